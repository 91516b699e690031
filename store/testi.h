#pragma once

#include <QString>

// The store's own reasons, shown as the line after the window's headline.
namespace store::testi {

using namespace Qt::StringLiterals;

inline const QString registroCambiato = u"registro cambiato da un altro utente dopo la lettura"_s;
inline const QString permessoNegato = u"%1: l'utente %2 non ha il permesso di scrivere %3"_s;
inline const QString ilFile = u"il file"_s;
inline const QString laCartella = u"la cartella, dove il motore scrive il giornale delle modifiche"_s;
inline const QString soloLettura = u"%1: file system in sola lettura"_s;
inline const QString erroreAccesso = u"%1: accesso non verificabile (errore %2)"_s;
inline const QString ruoloSenzaPermessi = u"il ruolo %1 non ha i permessi %2 sulla tabella %3"_s;
inline const QString databaseSolaLettura = u"il database %1 accetta solo letture"_s;

} // namespace store::testi
