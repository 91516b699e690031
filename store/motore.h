#pragma once

#include "store/esito.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <optional>

// What differs between a company file and a database on a server; the register operations are said once.
namespace store {

bool sqlite(const QSqlDriver* d);
QString quota(const QSqlDriver* d, QLatin1StringView nome, QSqlDriver::IdentifierType tipo = QSqlDriver::FieldName);

// Opens the connection `nome` on an existing file, shared and writable, or on the database of a
// "postgresql://" address; a file of the original engine is left unopened and told by `vecchio`.
// `pronto` tells whether the engine's settings are in force (a file held by another user may defer them).
Esito apriConnessione(const QString& nome, const QString& percorso, int attesaMs, bool& vecchio, bool& pronto);
// Rollback journal and full sync on a file: safe on a shared folder and after a power cut.
bool impostaFile(const QSqlDatabase& db);
// The engine's wait for another user's lock, from now on.
Esito attendi(const QSqlDatabase& db, int ms);
// Begins a write; on a file its lock is taken at once by `inizio`, prepared on first use.
Esito inizia(QSqlDatabase db, std::optional<QSqlQuery>& inizio);
// True when the server's connection is gone, so the operation may be repeated on a new one.
bool connessionePersa(const QSqlDatabase& db, const QString& posizione);
// Whether this user may write the store at `posizione`: the file and its folder, or the role's privileges.
Esito verificaScrittura(const QSqlDatabase& db, const QString& posizione);
// What a database needs before the tables: on a server, its encoding checked and citext added.
Esito preparaSchema(QSqlDatabase& db);

} // namespace store
