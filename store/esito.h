#pragma once

#include <QString>

namespace store {

// The engine's number for a table another user holds locked; the window shows its description.
inline constexpr int erroreBloccata = 3261;
// Any other failure of the store.
inline constexpr int erroreGenerico = 1;
// The company file is a database of the original engine, which this program never writes.
inline constexpr int erroreVecchioFormato = 2;
// The file exists but is not a database the engine can read.
inline constexpr int erroreNonArchivio = 3;
// The engine found the file damaged.
inline constexpr int erroreDanneggiato = 4;
// The company's tables are already there: a store is never made over one.
inline constexpr int erroreEsistente = 5;
// Another clerk changed, inserted or deleted the register since it was shown: nothing was written.
inline constexpr int erroreCambiato = 6;
// The company can be read but not written by this user.
inline constexpr int erroreSolaLettura = 7;

// Outcome of a store operation: ok, or an error number with the engine's own text.
struct Esito {
    int numero = 0;
    QString descrizione;

    bool ok() const { return numero == 0; }
    static Esito errore(int numero, const QString& descrizione) { return {numero, descrizione}; }
};

} // namespace store
