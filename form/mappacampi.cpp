#include "mappacampi.h"

#include <array>

namespace mappa {

using namespace Qt::StringLiterals;

namespace {

constexpr std::array tabella{
    Campo{0, "Codice"_L1, 10, Filtro::Maiuscolo, false},
    Campo{1, "Descrizione"_L1, 30, Filtro::Maiuscolo, false},
    Campo{2, "Serie per EDI"_L1, 2, Filtro::Maiuscolo, true},
    Campo{3, "Autorizzazione P.S.: cod. meccanografico"_L1, 6, Filtro::SoloCifre, true},
    Campo{4, "Carattere di controllo"_L1, 1, Filtro::Maiuscolo, true},
    Campo{5, "Serie/Num./Tipo"_L1, 12, Filtro::Maiuscolo, true},
    Campo{6, "Ultimo Carico"_L1, 6, Filtro::SoloCifre, false},
    Campo{7, "o Gruppo di Carico con numerazione unica"_L1, 10, Filtro::Maiuscolo, true},
    Campo{8, "Registro di Scarico"_L1, 10, Filtro::Maiuscolo, true},
    Campo{9, "Magazzino per EUR1"_L1, 3, Filtro::Maiuscolo, true},
    Campo{10, "Esposizione timbro"_L1, 22, Filtro::Maiuscolo, false},
    Campo{11, "Riservato"_L1, 5, Filtro::Maiuscolo, false},
    Campo{12, "Ultimo Scarico"_L1, 6, Filtro::SoloCifre, false},
    Campo{13, "Intestazione del Registro 1"_L1, 160, Filtro::Maiuscolo, false},
    Campo{14, "Intestazione del Registro 2"_L1, 160, Filtro::Maiuscolo, false},
    Campo{15, "Intestazione del Registro 3"_L1, 160, Filtro::Maiuscolo, false},
    Campo{16, "Intestazione del Registro 4"_L1, 160, Filtro::Maiuscolo, false},
    Campo{17, "Intestazione del Registro 5"_L1, 160, Filtro::Maiuscolo, false},
    Campo{18, "Intestazione del Preavviso 1"_L1, 80, Filtro::Maiuscolo, false},
    Campo{19, "Intestazione del Preavviso 2"_L1, 80, Filtro::Maiuscolo, false},
    Campo{20, "Intestazione del Preavviso 3"_L1, 80, Filtro::Maiuscolo, false},
    Campo{21, "Intestazione del Preavviso 4"_L1, 80, Filtro::Maiuscolo, false},
    Campo{22, "Intestazione del Preavviso 5"_L1, 80, Filtro::Maiuscolo, false},
};

static_assert(tabella.size() == ultimoTxt + 1);

} // namespace

std::span<const Campo> campi() { return tabella; }
const Campo& campo(int indice) { return tabella.at(static_cast<std::size_t>(indice)); }

} // namespace mappa
