#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

// A company store in a fresh temporary folder, read and written behind the store's back: a SQLite
// file, or, when PEMTARX_PROVA_PG names the socket folder of a test cluster, a new database on it.
class FileProva final {
public:
    FileProva();
    ~FileProva();

    // True when the store under test is the server's.
    static bool server();
    // The socket folder of the test cluster, empty for the file.
    static QString cluster();
    // What the store opens: the file's path or the database's address.
    const QString& percorso() const { return percorso_; }
    // The database's name on the cluster, empty for the file.
    const QString& nomeDatabase() const { return nomeDatabase_; }
    // A store that does not exist: the file before crea(), or a database never made.
    QString assente() const;
    QString cartella() const { return cartella_.path(); }
    // Both tables, as the tool makes them.
    bool crea() const;
    bool scriviByte(const QByteArray& byte) const;
    QByteArray byte() const;
    // Names of everything in the folder, so a stray journal or a created file shows up.
    QStringList contenuto() const;
    // Everything the store holds, schema included, to check that something left it unchanged.
    QString istantanea() const;

    // Statements through a connection of the test's own; empty text when all succeeded. Table and
    // column names of the registers are quoted first, as the server needs them.
    QString esegui(const QStringList& sql, const QVariantList& valori = {}) const;
    QVariant valore(const QString& sql, const QVariantList& valori = {}) const;
    QList<QVariantList> righe(const QString& sql, const QVariantList& valori = {}) const;
    // A further connection of the test's own, open, for holding locks as another clerk would.
    QSqlDatabase altraConnessione(const QString& nome) const;

    // Statements that make `quando` (INSERT, UPDATE, DELETE) on `tabella` fail with "rifiutato dalla prova".
    static QStringList rifiuta(const QString& quando, const QString& tabella);
    static QString togliRifiuto(const QString& tabella);
    // An expression that reads "null" for a Null value and "text" for a text.
    static QString tipo(const QString& colonna);
    // The engine's description of a table another user holds.
    static QString testoBloccata();
    // Table and column names of the registers in double quotes.
    static QString quotaNomi(const QString& sql);

private:
    QSqlDatabase apri(const QString& connessione) const;

    QTemporaryDir cartella_;
    QString nomeDatabase_;
    QString percorso_;
    QString connessione_;
};
