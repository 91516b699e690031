#pragma once

#include "store/ricerca.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

// The text rows of the two look-up lists, built column by column from the rows the store returns.
namespace righe {

// `testo` trimmed and right-aligned in `larghezza`; unchanged when blank or at least that wide.
QString allineaDestra(const QString& testo, int larghezza);

// One row of the search list from the values of store::ColonnaTrovata; the code search starts
// with the code, the description search with the description.
QString rigaRegistro(const QVariantList& valori, store::TipoRicerca tipo);

// One line of the picker: the code in exactly 10 characters, " - ", the description as stored.
QString rigaElenco(const QVariant& codice, const QVariant& descrizione);

} // namespace righe
