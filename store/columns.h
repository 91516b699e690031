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

std::span<const Colonna> colonneRegistri();
std::span<const Colonna> colonneTestata();

} // namespace store
