#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Where a company's registers are: the SQLite file, or a database on a PostgreSQL server.
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

// What a name is expected to be on disk.
enum class Voce { File, Cartella };

// `nome` in `cartella`: the entry of that kind with exactly that name, else the only one whose name differs
// from it in case alone, as Windows would find it; the exact path when none is, or when several are, which
// then go into `ambigui`. Nothing is renamed.
QString trovaVoce(const QString& cartella, const QString& nome, Voce voce, QStringList* ambigui = nullptr);

// The settings file: Quendrix.ini beside the program, else in the per-user folder, whether it exists or not.
QString fileImpostazioni(const QString& cartellaProgramma, QStringList* ambigui = nullptr);

// The company's store as the settings file chooses it: the file dogana.mdb in the company's folder (both
// found as trovaVoce finds them), or, with DRIVER=QPSQL in the section DATABASE, the address of the
// company's database on the server.
QString posizioneArchivio(const QString& fileIni, const QString& cartellaDati, const QString& codiceSocieta,
                          QStringList* ambigui = nullptr);
// The same when only the settings file is known: company and data folder are read from it as the window does.
QString posizioneArchivio(const QString& fileIni, QStringList* ambigui = nullptr);

} // namespace store
