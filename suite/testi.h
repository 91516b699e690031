#pragma once

#include <QString>

// Every text the suite integration shows, written once.
namespace suite::testi {

using namespace Qt::StringLiterals;

inline const QString titoloProgramma = u"Pemtarx"_s;
inline const QString nonPresenteSu = u" non presente su "_s;
inline const QString nonTrovato = u" non trovato"_s;

inline const QString esco = u"ESCO ?"_s;
inline const QString titoloUscitaForzata = u"USCITA FORZATA"_s;

} // namespace suite::testi
