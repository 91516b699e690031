#pragma once

#include <QLatin1StringView>
#include <span>

// The window's text boxes, one row each: what they hold, how long, and what they accept.
namespace mappa {

enum class Filtro { Maiuscolo, SoloCifre };

struct Campo {
    int indice;                   // 0 = DicKod, 1..22 = Txt(i)
    QLatin1StringView etichetta;  // the caption a screen reader announces
    int lunghezza;
    Filtro filtro;
    bool nascostoPerGruppo;       // hidden on the loading page of a loading group
};

inline constexpr int ultimoTxt = 22;
inline constexpr int primaRigaRegistro = 13;
inline constexpr int primaRigaPreavviso = 18;

std::span<const Campo> campi();
const Campo& campo(int indice);

} // namespace mappa
