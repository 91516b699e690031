#pragma once

#include <QString>

// Every text the search page and the register picker show, written once.
namespace testiRicerca {

using namespace Qt::StringLiterals;

inline const QString titoloProgramma = u"Pemtarx"_s;

inline const QString titoloPagina = u"Registri Proc. Sempl. EXPORT"_s;
inline const QString codice = u"Codice"_s;
inline const QString descrizione = u"Descrizione"_s;
inline const QString intestazione1 = u"AUTORIZZAZ.          MECCAN.          ULTIMO      REGISTRO         COD"_s;
inline const QString intestazione2 = u"PROGR.     SCARICO             EDI"_s;
inline const QString registriTrovati = u"Registri trovati"_s;
inline const QString conferma = u"&CONFERMA"_s;
inline const QString uscita = u"&USCITA"_s;

inline const QString seleziona = u"&X SELEZIONA"_s;
inline const QString ricerca = u"&X RICERCA"_s;
inline const QString nuovo = u"&NUOVO"_s;
inline const QString versoLista = u"&X"_s;  // the captions that send the keyboard into the list

inline const QString registriScarico = u"      REGISTRI DI SCARICO"_s;
inline const QString gruppiCarico = u"       GRUPPI DI CARICO"_s;
inline const QString registri = u"Registri"_s;
inline const QString annulla = u"&ANNULLA"_s;

inline const QString erroreRicerca = u"ERRORE NELLA RICERCA DEI REGISTRI"_s;
inline const QString erroreElenco = u"ERRORE NELLA LETTURA DELL'ELENCO DEI REGISTRI"_s;

} // namespace testiRicerca
