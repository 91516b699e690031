#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// How the store reads a company's location: the SQLite file, or a database on a PostgreSQL server.
namespace store {

// A database on a server; an empty member takes libpq's default (PGHOST, PGPORT, PGUSER, ...).
struct Server {
    QString host;  // a host name, or the folder of the server's socket when it begins with "/"
    QString porta;
    QString utente;
    QString nome;
    // libpq's other parameters as "chiave=valore", sslmode=require for one, in the address's order.
    QStringList opzioni;

    bool operator==(const Server&) const = default;
};

// The server named by a "postgresql://" address as libpq writes it; none for a file path.
std::optional<Server> server(const QString& posizione);
// The "postgresql://" address of a server database, read back unchanged by `server`.
QString indirizzo(const Server& s);

} // namespace store
