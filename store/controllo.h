#pragma once

#include "store/esito.h"

#include <QStringList>

namespace store {

class ArchivioRegistri;

// What a check of a company file found; the first four lists empty mean a healthy file.
struct Controllo {
    QStringList tabelleMancanti;
    QStringList colonneMancanti;  // "Tabella.Colonna"
    QStringList chiaviMancanti;   // tables whose code is not their primary key
    QStringList integrita;        // the engine's own report, when it is not "ok"
    QStringList registriSenzaTestata;
    QStringList testateSenzaRegistro;
    int registri = 0;
    int testate = 0;
    bool storicoAssente = false;  // a store made before the history: the first save adds it
    int storico = 0;

    bool integro() const;
};

// Reads the schema and the health of the open file; writes nothing.
Esito controlla(ArchivioRegistri& archivio, Controllo& esito);

} // namespace store
