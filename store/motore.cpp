#include "store/motore.h"

#include "store/archivioregistri.h"
#include "store/colonne.h"
#include "store/posizione.h"
#include "store/storico.h"
#include "store/testi.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>

namespace store {

using namespace Qt::StringLiterals;

bool sqlite(const QSqlDriver* d) { return d->dbmsType() == QSqlDriver::SQLite; }

QString quota(const QSqlDriver* d, QLatin1StringView nome, QSqlDriver::IdentifierType tipo)
{
    return d->escapeIdentifier(nome, tipo);
}

QString tipoSql(const QSqlDriver* d, const Colonna& c)
{
    switch (c.tipo) {
    // Codes and descriptions compare without regard to case, as the office has always typed them:
    // NOCASE folds ASCII only and then compares bytes; citext in the "C" collation does the same.
    case Tipo::Testo:
        if (!sqlite(d))
            return u"CITEXT COLLATE \"C\""_s;
        return u"VARCHAR(%1) COLLATE NOCASE"_s.arg(c.lunghezza > 0 ? c.lunghezza : 255);
    case Tipo::Intero16: return u"SMALLINT"_s;
    case Tipo::Intero32: return u"INTEGER"_s;
    case Tipo::Booleano: return u"BOOLEAN"_s;
    case Tipo::Reale: return u"DOUBLE PRECISION"_s;
    }
    return {};
}

namespace {

// The server's message without its severity, its SQLSTATE suffix and its detail lines.
QString testoServer(const QSqlError& e)
{
    QString t = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    t = t.section(u'\n', 0, 0).trimmed();
    for (const QString& livello : {u"ERROR:"_s, u"FATAL:"_s, u"ERRORE:"_s})
        if (t.startsWith(livello))
            t = t.mid(livello.size()).trimmed();
    const QString codice = u'(' + e.nativeErrorCode() + u')';
    if (!e.nativeErrorCode().isEmpty() && t.endsWith(codice))
        t.chop(codice.size());
    return t.trimmed();
}

} // namespace

Esito esitoSql(const QSqlError& e, const QSqlDriver* d)
{
    if (d && !sqlite(d)) {
        const QString testo = testoServer(e);
        // lock_not_available: lock_timeout ran out on a table or row another clerk holds.
        if (e.nativeErrorCode() == u"55P03"_s)
            return Esito::errore(erroreBloccata, testo);
        return Esito::errore(erroreGenerico, testo.isEmpty() ? u"errore sconosciuto"_s : testo);
    }
    // Without extended codes the low byte is SQLite's primary result code.
    const int codice = e.nativeErrorCode().toInt() & 0xff;
    const QString testo = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    // SQLITE_BUSY and SQLITE_LOCKED: the table is held by another user.
    if (codice == 5 || codice == 6)
        return Esito::errore(erroreBloccata, testo);
    if (codice == 26)  // SQLITE_NOTADB
        return Esito::errore(erroreNonArchivio, testo);
    if (codice == 11)  // SQLITE_CORRUPT
        return Esito::errore(erroreDanneggiato, testo);
    return Esito::errore(erroreGenerico, testo.isEmpty() ? u"errore sconosciuto"_s : testo);
}

bool ArchivioRegistri::vecchioFormato(const QString& percorso)
{
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray testa = f.read(32);
    return testa.mid(4).startsWith("Standard Jet DB") || testa.mid(4).startsWith("Standard ACE DB");
}

namespace {

// The connection `nome` with the driver asked for; one of another driver is replaced.
QSqlDatabase connessione(const QString& nome, const QString& driver)
{
    if (QSqlDatabase::contains(nome)) {
        QSqlDatabase db = QSqlDatabase::database(nome, false);
        db.close();
        if (db.driverName() == driver)
            return db;
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nome);
    }
    return QSqlDatabase::addDatabase(driver, nome);
}

Esito apriServer(const QString& nome, const Server& s, int attesaMs)
{
    QSqlDatabase db = connessione(nome, u"QPSQL"_s);
    if (!db.isValid())
        return Esito::errore(erroreGenerico, u"driver QPSQL non disponibile"_s);
    bool numero = true;
    const int porta = s.porta.isEmpty() ? -1 : s.porta.toInt(&numero);
    if (!numero)
        return Esito::errore(erroreGenerico, u"porta non valida: "_s + s.porta);
    db.setHostName(s.host);
    db.setPort(porta);
    db.setUserName(s.utente);
    db.setPassword(QString());  // libpq finds it: ~/.pgpass, PGPASSFILE, peer or certificate
    db.setDatabaseName(s.nome);
    // A server that does not answer is reported as a missing company, not waited for; the address's
    // own parameters come after, and libpq takes the last value of a parameter given twice.
    QStringList opzioni{u"connect_timeout=5"_s, u"application_name=pemtarx"_s};
    static const QRegularExpression nomeParametro(u"^[a-z_]+$"_s);
    for (const QString& opzione : s.opzioni) {
        const QString chiave = opzione.section(u'=', 0, 0);
        QString valore = opzione.section(u'=', 1);
        // Qt splits the options at ";", so a value holding one could not reach libpq whole.
        if (!nomeParametro.match(chiave).hasMatch() || valore.contains(u';'))
            return Esito::errore(erroreGenerico, u"parametro non valido: "_s + opzione);
        valore.replace(u"\\"_s, u"\\\\"_s).replace(u"'"_s, u"\\'"_s);
        opzioni << chiave + u"='"_s + valore + u'\'';
    }
    db.setConnectOptions(opzioni.join(u';'));
    if (!db.open())
        return esitoSql(db.lastError(), db.driver());
    // A row or table held by another clerk's transaction is waited for this long, then reported;
    // the server's notices would reach the clerk's terminal through libpq.
    QSqlQuery q(db);
    if (q.prepare(
            u"SELECT set_config('lock_timeout', ?, false), set_config('client_min_messages', 'warning', false)"_s)) {
        q.bindValue(0, QString::number(attesaMs));
        if (q.exec())
            return {};
    }
    const Esito e = esitoSql(q.lastError(), db.driver());
    db.close();
    return e;
}

} // namespace

Esito apriConnessione(const QString& nome, const QString& percorso, int attesaMs, bool& vecchio, bool& pronto)
{
    vecchio = false;
    pronto = true;
    if (const std::optional<Server> s = server(percorso))
        return apriServer(nome, *s, attesaMs);
    const QFileInfo info(percorso);
    if (!info.isFile())
        return Esito::errore(erroreGenerico, u"archivio inesistente: "_s + percorso);
    vecchio = ArchivioRegistri::vecchioFormato(percorso);
    QSqlDatabase db = connessione(nome, u"QSQLITE"_s);
    if (vecchio)
        return {};  // the table opening reports it, and the file is never handed to SQLite
    // mode=rw: a file removed since the check above is reported, never created empty.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) + u"?mode=rw"_s);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI"_s.arg(attesaMs));
    if (!db.open())
        return esitoSql(db.lastError(), db.driver());
    // Not waited for here: with the file held by another user, the table opening sets them.
    attendi(db, 0);
    pronto = impostaFile(db);
    attendi(db, attesaMs);
    return {};
}

bool impostaFile(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    return !sqlite(db.driver()) || (q.exec(u"PRAGMA journal_mode=DELETE"_s) && q.exec(u"PRAGMA synchronous=FULL"_s));
}

Esito attendi(const QSqlDatabase& db, int ms)
{
    QSqlQuery q(db);
    if (sqlite(db.driver()))
        return q.exec(u"PRAGMA busy_timeout = %1"_s.arg(ms)) ? Esito{} : esitoSql(q.lastError(), db.driver());
    if (q.prepare(u"SELECT set_config('lock_timeout', ?, false)"_s)) {
        q.bindValue(0, QString::number(ms));
        if (q.exec())
            return {};
    }
    return esitoSql(q.lastError(), db.driver());
}

Esito inizia(QSqlDatabase db, std::optional<QSqlQuery>& inizio)
{
    if (!sqlite(db.driver()))
        return db.transaction() ? Esito{} : esitoSql(db.lastError(), db.driver());
    // Take the write lock at the start: a read lock upgraded halfway could fail without waiting.
    if (!inizio) {
        inizio.emplace(db);
        if (!inizio->prepare(u"BEGIN IMMEDIATE"_s)) {
            const Esito e = esitoSql(inizio->lastError(), db.driver());
            inizio.reset();
            return e;
        }
    }
    return inizio->exec() ? Esito{} : esitoSql(inizio->lastError(), db.driver());
}

bool connessionePersa(const QSqlDatabase& db, const QString& posizione)
{
    // A connection that still answers failed for a reason of the statement's own.
    QSqlQuery prova(db);
    return server(posizione) && !prova.exec(u"SELECT 1"_s);
}

namespace {

// Whether the effective user may write `percorso`, as the engine will try it; root passes by the
// kernel's own rule, a read-only mount does not.
QString accessoScrittura(const QString& percorso, const QString& cosa, int modo)
{
    if (::faccessat(AT_FDCWD, QFile::encodeName(percorso).constData(), modo, AT_EACCESS) == 0)
        return {};
    const int codice = errno;
    if (codice == EROFS)
        return testi::soloLettura.arg(percorso);
    if (codice == EACCES || codice == EPERM)
        return testi::permessoNegato.arg(percorso, utenteSistema(), cosa);
    return testi::erroreAccesso.arg(percorso).arg(codice);
}

} // namespace

Esito verificaScrittura(const QSqlDatabase& db, const QString& posizione)
{
    if (!server(posizione)) {
        const QFileInfo file(posizione);
        // The engine writes its journal beside the file, so the folder must take new files too.
        for (const auto& [percorso, cosa, modo] : {std::tuple{file.absoluteFilePath(), testi::ilFile, W_OK},
                                                   std::tuple{file.absolutePath(), testi::laCartella, W_OK | X_OK}})
            if (const QString perche = accessoScrittura(percorso, cosa, modo); !perche.isEmpty())
                return Esito::errore(erroreSolaLettura, perche);
        return {};
    }
    QSqlQuery q(db);
    if (!q.prepare(u"SELECT current_user, current_setting('transaction_read_only'), has_table_privilege(?, 'INSERT'), "
                   u"has_table_privilege(?, 'UPDATE'), has_table_privilege(?, 'DELETE')"_s))
        return esitoSql(q.lastError(), db.driver());
    for (QLatin1StringView tabella : {tabellaRegistri, tabellaTestata}) {
        for (int i = 0; i < 3; ++i)
            q.bindValue(i, quota(db.driver(), tabella, QSqlDriver::TableName));
        if (!q.exec() || !q.next())
            return esitoSql(q.lastError(), db.driver());
        if (q.value(1).toString() == u"on"_s)
            return Esito::errore(erroreSolaLettura, testi::databaseSolaLettura.arg(db.databaseName()));
        QStringList mancanti;
        for (int i = 0; i < 3; ++i)
            if (!q.value(2 + i).toBool())
                mancanti << QStringList{u"INSERT"_s, u"UPDATE"_s, u"DELETE"_s}.at(i);
        if (!mancanti.isEmpty())
            return Esito::errore(erroreSolaLettura,
                                 testi::ruoloSenzaPermessi.arg(q.value(0).toString(), mancanti.join(u", "_s), tabella));
        q.finish();
    }
    return {};
}

Esito preparaSchema(QSqlDatabase& db)
{
    if (sqlite(db.driver()))
        return {};
    // Texts sort by their UTF-8 bytes as in the file; another encoding would order them otherwise.
    QSqlQuery q(db);
    if (!q.exec(u"SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = current_database()"_s) ||
        !q.next())
        return esitoSql(q.lastError(), db.driver());
    if (const QString codifica = q.value(0).toString(); codifica != u"UTF8"_s)
        return Esito::errore(erroreGenerico, u"il database è in %1, non in UTF8"_s.arg(codifica));
    q.finish();
    // citext is a trusted extension: the owner of the company's database may add it.
    if (!q.exec(u"CREATE EXTENSION IF NOT EXISTS citext"_s))
        return esitoSql(q.lastError(), db.driver());
    return {};
}

} // namespace store
