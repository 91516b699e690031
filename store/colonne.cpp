#include "colonne.h"

#include <algorithm>
#include <array>

namespace store {

using namespace Qt::StringLiterals;

namespace {

constexpr std::array registri{
    Colonna{"SspCodice"_L1, Tipo::Testo, 10},
    Colonna{"SspDescrizione"_L1, Tipo::Testo, 30},
    Colonna{"SspCarScar"_L1, Tipo::Testo, 1},
    Colonna{"SspUltimoCarico"_L1, Tipo::Intero32, 0},
    Colonna{"SspGruppoCarico"_L1, Tipo::Testo, 10},
    Colonna{"SspGruppoSCarico"_L1, Tipo::Testo, 10},
    Colonna{"SspStampaperSerie"_L1, Tipo::Booleano, 0},
    Colonna{"SspCodiceDischetto"_L1, Tipo::Testo, 2},
    Colonna{"SspMeccanogCin"_L1, Tipo::Testo, 1},
    Colonna{"SspMeccanogNum"_L1, Tipo::Intero16, 0},
    Colonna{"SspCodAutorizzazione"_L1, Tipo::Testo, 12},
    Colonna{"SspRiqA"_L1, Tipo::Testo, 22},
    Colonna{"SspUltimaFilialeCheHaAcquisito"_L1, Tipo::Testo, 0},
    Colonna{"SspDataUltimaAcquisizione"_L1, Tipo::Reale, 0},
    Colonna{"SspUltimoBloccoNumeriAcquisiti"_L1, Tipo::Intero16, 0},
    Colonna{"SspFilialeCheHaIRegistri"_L1, Tipo::Testo, 0},
    Colonna{"SspNTelefonoDaChiamare"_L1, Tipo::Testo, 3},
    Colonna{"SspTipoProtocollo"_L1, Tipo::Testo, 1},
    Colonna{"SspACT"_L1, Tipo::Testo, 1},
};

constexpr std::array testata{
    Colonna{"TpsCodice"_L1, Tipo::Testo, 10},
    Colonna{"TpsRiga1"_L1, Tipo::Testo, 160}, Colonna{"TpsRiga2"_L1, Tipo::Testo, 160},
    Colonna{"TpsRiga3"_L1, Tipo::Testo, 160}, Colonna{"TpsRiga4"_L1, Tipo::Testo, 160},
    Colonna{"TpsRiga5"_L1, Tipo::Testo, 160},
    Colonna{"TpsRigP1"_L1, Tipo::Testo, 80},  Colonna{"TpsRigP2"_L1, Tipo::Testo, 80},
    Colonna{"TpsRigP3"_L1, Tipo::Testo, 80},  Colonna{"TpsRigP4"_L1, Tipo::Testo, 80},
    Colonna{"TpsRigP5"_L1, Tipo::Testo, 80},
};

constexpr std::array proprie{
    Colonna{"StoNumero"_L1, Tipo::Intero32, 0},
    Colonna{"StoQuando"_L1, Tipo::Testo, 0},
    Colonna{"StoUtente"_L1, Tipo::Testo, 0},
    Colonna{"StoComputer"_L1, Tipo::Testo, 0},
    Colonna{"StoOperazione"_L1, Tipo::Testo, 0},
};
static_assert(proprie.size() == colonneProprieStorico);

constexpr auto storico = [] {
    std::array<Colonna, proprie.size() + registri.size() + testata.size()> tutte{};
    auto fine = std::copy(proprie.begin(), proprie.end(), tutte.begin());
    fine = std::copy(registri.begin(), registri.end(), fine);
    std::copy(testata.begin(), testata.end(), fine);
    return tutte;
}();

} // namespace

std::span<const Colonna> colonneRegistri() { return registri; }
std::span<const Colonna> colonneTestata() { return testata; }
std::span<const Colonna> colonneStorico() { return storico; }

std::span<const Colonna> colonneDi(QLatin1StringView tabella)
{
    if (tabella == tabellaRegistri)
        return registri;
    if (tabella == tabellaTestata)
        return testata;
    if (tabella == tabellaStorico)
        return storico;
    return {};
}

} // namespace store
