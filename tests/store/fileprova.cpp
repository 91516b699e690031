#include "fileprova.h"

#include "store/posizione.h"
#include "store/archivioregistri.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

int contatore = 0;
// The port cluster-pg gives the server: only the name of its socket, never PGPORT's.
const QString portaCluster = u"5432"_s;
// Databases of this process that no store test uses now: a new database costs more than emptying one.
QStringList liberi;

// Runs one statement on the cluster's maintenance database.
QString amministra(const QString& sql)
{
    const QString nome = u"prova-amministra"_s;
    QString errore;
    {
        QSqlDatabase db = QSqlDatabase::contains(nome) ? QSqlDatabase::database(nome, false)
                                                       : QSqlDatabase::addDatabase(u"QPSQL"_s, nome);
        db.setHostName(FileProva::cluster());
        db.setPort(portaCluster.toInt());
        db.setUserName(u"pemtarx"_s);
        db.setDatabaseName(u"postgres"_s);
        if (!db.isOpen() && (!db.open() || !QSqlQuery(db).exec(u"SET client_min_messages = warning"_s)))
            return db.lastError().text();
        QSqlQuery q(db);
        if (!q.exec(sql))
            errore = q.lastError().text();
    }
    return errore;
}

} // namespace

bool FileProva::server() { return !cluster().isEmpty(); }

QString FileProva::cluster() { return qEnvironmentVariable("PEMTARX_PROVA_PG"); }

FileProva::FileProva() : connessione_(u"prova-%1"_s.arg(++contatore))
{
    if (!server()) {
        percorso_ = cartella_.filePath(u"dogana.mdb"_s);
        return;
    }
    if (!liberi.isEmpty()) {
        nomeDatabase_ = liberi.takeLast();
        percorso_ = store::indirizzo({cluster(), portaCluster, u"pemtarx"_s, nomeDatabase_, {}});
        const QString e = esegui({u"DROP TABLE IF EXISTS TabellaSerieSemplificata, TestataRegistriPS, StoricoRegistri CASCADE"_s,
                                  u"DROP FUNCTION IF EXISTS rifiuta() CASCADE"_s});
        if (!e.isEmpty())
            qWarning("%s", qPrintable(e));
        return;
    }
    nomeDatabase_ = u"prova_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(contatore);
    percorso_ = store::indirizzo({cluster(), portaCluster, u"pemtarx"_s, nomeDatabase_, {}});
    const QString e = amministra(u"CREATE DATABASE "_s + nomeDatabase_);
    if (!e.isEmpty())
        qWarning("%s", qPrintable(e));
}

FileProva::~FileProva()
{
    QSqlDatabase::database(connessione_, false).close();
    QSqlDatabase::removeDatabase(connessione_);
    // The cluster goes at the end of the run, and every database with it.
    if (server())
        liberi << nomeDatabase_;
}

QString FileProva::assente() const
{
    return server() ? store::indirizzo({cluster(), portaCluster, u"pemtarx"_s, nomeDatabase_ + u"_assente"_s, {}})
                    : percorso_;
}

QSqlDatabase FileProva::apri(const QString& connessione) const
{
    QSqlDatabase db = QSqlDatabase::contains(connessione)
                          ? QSqlDatabase::database(connessione, false)
                          : QSqlDatabase::addDatabase(server() ? u"QPSQL"_s : u"QSQLITE"_s, connessione);
    if (server()) {
        db.setHostName(cluster());
        db.setPort(portaCluster.toInt());
        db.setUserName(u"pemtarx"_s);
        db.setDatabaseName(nomeDatabase_);
    } else {
        db.setDatabaseName(percorso_);
    }
    if (!db.isOpen() && db.open() && server())
        QSqlQuery(db).exec(u"SET client_min_messages = warning"_s);
    return db;
}

QSqlDatabase FileProva::altraConnessione(const QString& nome) const { return apri(nome); }

bool FileProva::crea() const { return store::ArchivioRegistri::crea(percorso_).ok(); }

bool FileProva::scriviByte(const QByteArray& byte) const
{
    QFile f(percorso_);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(byte) == byte.size();
}

QByteArray FileProva::byte() const
{
    QFile f(percorso_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList FileProva::contenuto() const
{
    return QDir(cartella_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString FileProva::istantanea() const
{
    if (!server())
        return QString::fromLatin1(byte().toHex());
    QStringList testo;
    const QString schema = u"SELECT table_name, column_name, data_type, collation_name FROM information_schema.columns "
                           u"WHERE table_schema = 'public' ORDER BY table_name, ordinal_position"_s;
    for (const QVariantList& r : righe(schema))
        testo << r.front().toString() + u'.' + r.at(1).toString() + u' ' + r.at(2).toString() + u' ' +
                     r.at(3).toString();
    for (const QVariantList& t : righe(u"SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1"_s))
        for (const QVariantList& r : righe(u"SELECT * FROM \"%1\" ORDER BY 1"_s.arg(t.front().toString()))) {
            QStringList campi;
            for (const QVariant& v : r)
                campi << (v.isNull() ? u"<null>"_s : v.toString());
            testo << campi.join(u'|');
        }
    return testo.join(u'\n');
}

QString FileProva::quotaNomi(const QString& sql)
{
    static const QRegularExpression nomi(
        uR"((?<!["'\w])(Ssp\w+|Tps\w+|Sto\w+|TabellaSerieSemplificata|TestataRegistriPS)(?!["'\w]))"_s);
    QString s = sql;
    return s.replace(nomi, u"\"\\1\""_s);
}

QString FileProva::esegui(const QStringList& sql, const QVariantList& valori) const
{
    QSqlDatabase db = apri(connessione_);
    if (!db.isOpen())
        return db.lastError().text();
    for (const QString& originale : sql) {
        const QString testo = quotaNomi(originale);
        QSqlQuery q(db);
        // The server prepares only queries and row changes, never a change of the schema.
        const bool ok = valori.isEmpty() ? q.exec(testo) : [&] {
            if (!q.prepare(testo))
                return false;
            for (qsizetype i = 0; i < valori.size() && i < q.boundValues().size(); ++i)
                q.bindValue(static_cast<int>(i), valori.at(i));
            return q.exec();
        }();
        if (!ok)
            return q.lastError().text() + u": "_s + testo;
    }
    if (!server())
        db.close();
    return {};
}

QList<QVariantList> FileProva::righe(const QString& sql, const QVariantList& valori) const
{
    QList<QVariantList> tutte;
    {
        QSqlDatabase db = apri(connessione_);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(quotaNomi(sql));
        for (qsizetype i = 0; i < valori.size(); ++i)
            q.bindValue(static_cast<int>(i), valori.at(i));
        if (q.exec()) {
            while (q.next()) {
                QVariantList riga;
                for (int i = 0; i < q.record().count(); ++i)
                    riga << q.value(i);
                tutte << riga;
            }
        } else {
            tutte << QVariantList{QString(u"ERRORE: "_s + q.lastError().text())};
        }
    }
    // Closed after every read, so the test never holds a lock the store would wait for; the server
    // takes no lock for a finished read.
    if (!server())
        QSqlDatabase::database(connessione_, false).close();
    return tutte;
}

QVariant FileProva::valore(const QString& sql, const QVariantList& valori) const
{
    const QList<QVariantList> r = righe(sql, valori);
    return r.isEmpty() || r.front().isEmpty() ? QVariant() : r.front().front();
}

QStringList FileProva::rifiuta(const QString& quando, const QString& tabella)
{
    if (!server())
        return {u"CREATE TRIGGER rifiuta BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, 'rifiutato dalla prova'); END"_s.arg(
            quando, tabella)};
    return {u"CREATE OR REPLACE FUNCTION rifiuta() RETURNS trigger LANGUAGE plpgsql AS "
            u"$$BEGIN RAISE EXCEPTION 'rifiutato dalla prova'; END$$"_s,
            u"CREATE TRIGGER rifiuta BEFORE %1 ON %2 FOR EACH ROW EXECUTE FUNCTION rifiuta()"_s.arg(quando, tabella)};
}

QString FileProva::togliRifiuto(const QString& tabella)
{
    return server() ? u"DROP TRIGGER rifiuta ON "_s + tabella : u"DROP TRIGGER rifiuta"_s;
}

QString FileProva::tipo(const QString& colonna)
{
    return server() ? u"CASE WHEN %1 IS NULL THEN 'null' ELSE 'text' END"_s.arg(colonna) : u"typeof(%1)"_s.arg(colonna);
}

QString FileProva::testoBloccata()
{
    return server() ? u"canceling statement due to lock timeout"_s : u"database is locked"_s;
}
