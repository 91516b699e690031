#pragma once

#include <QLatin1StringView>
#include <span>

// The columns of the two tables: one list drives the schema, the writes and the reads.
namespace store {

enum class Tipo { Testo, Intero16, Intero32, Booleano, Reale };

struct Colonna {
    QLatin1StringView nome;
    Tipo tipo;
    int lunghezza;  // texts only; 0 for unlimited
};

inline constexpr QLatin1StringView tabellaRegistri{"TabellaSerieSemplificata"};
inline constexpr QLatin1StringView tabellaTestata{"TestataRegistriPS"};
// One row per write of a register: who, when, what, then both rows as they stood.
inline constexpr QLatin1StringView tabellaStorico{"StoricoRegistri"};

std::span<const Colonna> colonneRegistri();
std::span<const Colonna> colonneTestata();
// The history's own five columns, its key first, then every column of the two tables above.
std::span<const Colonna> colonneStorico();
inline constexpr std::size_t colonneProprieStorico = 5;
// The columns of one of the three tables; empty for any other name.
std::span<const Colonna> colonneDi(QLatin1StringView tabella);

} // namespace store
