#pragma once

#include "store/archivioregistri.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// A fresh company file in a folder of its own, opened through a real store on connection `nome`.
struct Archivio {
    explicit Archivio(const QString& nome);

    QTemporaryDir cartella;
    store::ArchivioRegistri store;
    bool pronto = false;

    // Statements on the store's connection behind its back, for data the program never writes.
    bool esegui(const QString& sql, const QVariantList& valori = {});
};
