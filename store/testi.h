#pragma once

#include <QString>

// The store's own reasons, shown as the line after the window's headline.
namespace store::testi {

using namespace Qt::StringLiterals;

inline const QString registroCambiato = u"registro cambiato da un altro utente dopo la lettura"_s;

} // namespace store::testi
