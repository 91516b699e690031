#pragma once

#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>

// A company store in a fresh temporary folder, read and written behind the store's back: a SQLite
// file, or, when PEMTARX_PROVA_PG names the socket folder of a test cluster, a new database on it.
class FileProva final {
public:
    FileProva();
    // Another store, read and written the same way and left as it is.
    explicit FileProva(const QString& posizione);
    ~FileProva();

    static bool server();
    // The socket folder of the test cluster, empty for the file.
    static QString cluster();
    // What the store opens: the file's path or the database's address.
    const QString& percorso() const { return percorso_; }
    const QString& nomeDatabase() const { return nomeDatabase_; }
    QString cartella() const { return cartella_.path(); }
    // Both tables, as the tool makes them.
    bool crea() const;
    // Every row a statement reads, values joined by '|', a Null as <null>; a failure as "ERRORE: " and its text.
    QStringList righe(const QString& sql, const QVariantList& valori = {}) const;
    // Everything the store holds, schema included, to check that something left it unchanged.
    QString istantanea() const;
    // A further connection of the test's own, open, for holding locks as another clerk would.
    QSqlDatabase altraConnessione(const QString& nome) const;
    // Table and column names of the registers in double quotes, as the server needs them.
    static QString quotaNomi(const QString& sql);

private:
    QTemporaryDir cartella_;
    QString nomeDatabase_;
    QString percorso_;
    QString connessione_;
};
