#pragma once

#include "store/archivioregistri.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

// A fresh company file in a folder of its own, opened through a real store on connection `nome`.
struct Archivio {
    explicit Archivio(const QString& nome) : store(nome)
    {
        const QString file = cartella.filePath(QStringLiteral("dogana.mdb"));
        pronto = store::ArchivioRegistri::crea(file).ok() && store.apriDatabase(file).ok() &&
                 store.apriRegistri().ok() && store.apriTestata().ok();
    }

    QTemporaryDir cartella;
    store::ArchivioRegistri store;
    bool pronto = false;

    // Statements on the store's connection behind its back, for data the program never writes.
    bool esegui(const QString& sql, const QVariantList& valori = {})
    {
        QSqlQuery q(store.database());
        q.prepare(sql);
        for (int i = 0; i < valori.size(); ++i)
            q.bindValue(i, valori.at(i));
        if (!q.exec())
            qWarning("%s: %s", qPrintable(q.lastError().text()), qPrintable(sql));
        return q.isActive();
    }
};
