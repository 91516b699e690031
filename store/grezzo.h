#pragma once

#include "store/esito.h"

#include <QLatin1StringView>
#include <QVariantList>
#include <functional>

class QSqlDatabase;

// Rows carried as they are, for bringing data over from another program: none of the writer's rules.
namespace store {

// Inserts one row of `tabella`, values in the order of the column table. A Null value (invalid,
// null, or a null text) is stored as Null, an empty text as an empty text; a value that does not
// fit its column's type exactly is refused, never converted.
Esito inserisciGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const QVariantList& valori);

// Every row of `tabella` by key, in the order of the column table, each value as the engine gives it.
Esito leggiGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const std::function<void(const QVariantList&)>& riga);

} // namespace store
