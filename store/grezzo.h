#pragma once

#include "store/esito.h"

#include <QLatin1StringView>
#include <QSqlQuery>
#include <QVariantList>
#include <functional>
#include <optional>
#include <span>

class QSqlDatabase;

// Rows carried as they are, for bringing data over from another program: none of the writer's rules.
namespace store {

// Inserts one row of `tabella`, values in the order of the column table. A Null value (invalid,
// null, or a null text) is stored as Null, an empty text as an empty text; a value that does not
// fit its column's type exactly is refused, never converted.
Esito inserisciGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const QVariantList& valori);

struct Colonna;

// Inserts rows of one table as inserisciGrezzo does, through one statement prepared once.
class InserimentoGrezzo final {
public:
    InserimentoGrezzo(QSqlDatabase& db, QLatin1StringView tabella);
    // The failure of the preparation, or of the last row inserted.
    const Esito& esito() const { return esito_; }
    Esito inserisci(const QVariantList& valori);

private:
    QLatin1StringView tabella_;
    std::span<const Colonna> colonne_;
    std::optional<QSqlQuery> q_;
    Esito esito_;
};

// Every row of `tabella` by key, in the order of the column table, each value as the engine gives it.
Esito leggiGrezzo(QSqlDatabase& db, QLatin1StringView tabella, const std::function<void(const QVariantList&)>& riga);

} // namespace store
