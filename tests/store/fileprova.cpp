#include "fileprova.h"

#include "store/archivioregistri.h"
#include "store/posizione.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

int contatore = 0;

} // namespace

bool FileProva::server() { return !cluster().isEmpty(); }

QString FileProva::cluster() { return qEnvironmentVariable("PEMTARX_PROVA_PG"); }

FileProva::FileProva() : connessione_(u"prova-%1"_s.arg(++contatore))
{
    percorso_ = cartella_.filePath(u"dogana.mdb"_s);
    if (!server())
        return;
    // The cluster goes at the end of the run, and every database with it.
    nomeDatabase_ = u"prova_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(contatore);
    percorso_ = store::indirizzo({cluster(), u"5432"_s, u"pemtarx"_s, nomeDatabase_, {}});
    FileProva(QString(percorso_).replace(nomeDatabase_, u"postgres"_s)).righe(u"CREATE DATABASE "_s + nomeDatabase_);
}

FileProva::FileProva(const QString& posizione)
    : nomeDatabase_(store::server(posizione).value_or(store::Server{}).nome), percorso_(posizione),
      connessione_(u"prova-%1"_s.arg(++contatore))
{
}

FileProva::~FileProva()
{
    QSqlDatabase::database(connessione_, false).close();
    QSqlDatabase::removeDatabase(connessione_);
}

QSqlDatabase FileProva::altraConnessione(const QString& nome) const
{
    const bool suServer = !nomeDatabase_.isEmpty();
    QSqlDatabase db = QSqlDatabase::contains(nome) ? QSqlDatabase::database(nome, false)
                                                   : QSqlDatabase::addDatabase(suServer ? u"QPSQL"_s : u"QSQLITE"_s, nome);
    db.setHostName(suServer ? cluster() : QString());
    db.setPort(suServer ? 5432 : -1);
    db.setUserName(suServer ? u"pemtarx"_s : QString());
    db.setDatabaseName(suServer ? nomeDatabase_ : percorso_);
    if (!db.isOpen() && db.open() && suServer)
        QSqlQuery(db).exec(u"SET client_min_messages = warning"_s);
    return db;
}

bool FileProva::crea() const { return store::ArchivioRegistri::crea(percorso_).ok(); }

QString FileProva::quotaNomi(const QString& sql)
{
    static const QRegularExpression nomi(uR"((?<!["'\w])(Ssp\w+|Tps\w+|Sto\w+|Tabella\w+|Testata\w+)(?!["'\w]))"_s);
    return QString(sql).replace(nomi, u"\"\\1\""_s);
}

QStringList FileProva::righe(const QString& sql, const QVariantList& valori) const
{
    QStringList tutte;
    {
        QSqlQuery q(altraConnessione(connessione_));
        if (!valori.isEmpty())
            q.prepare(quotaNomi(sql));
        for (qsizetype i = 0; i < valori.size(); ++i)
            q.bindValue(int(i), valori.at(i));
        const bool ok = valori.isEmpty() ? q.exec(quotaNomi(sql)) : q.exec();
        while (q.next()) {
            QStringList campi;
            for (int i = 0; i < q.record().count(); ++i)
                campi << (q.isNull(i)                                ? u"<null>"_s
                          : q.value(i).typeId() == QMetaType::Bool ? QString::number(q.value(i).toInt())
                                                                   : q.value(i).toString());
            tutte << campi.join(u'|');
        }
        if (!ok)
            tutte << u"ERRORE: "_s + q.lastError().text();
    }
    // Closed after every statement, so the test never holds a lock the store would wait for.
    if (nomeDatabase_.isEmpty())
        QSqlDatabase::database(connessione_, false).close();
    return tutte;
}

QString FileProva::istantanea() const
{
    QFile f(percorso_);
    if (nomeDatabase_.isEmpty())
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().toHex()) : QString();
    QStringList testo = righe(u"SELECT table_name, column_name, data_type, collation_name FROM "
                              u"information_schema.columns WHERE table_schema = 'public' ORDER BY 1, 2"_s);
    for (const QString& t : righe(u"SELECT tablename FROM pg_tables WHERE schemaname = 'public' ORDER BY 1"_s))
        testo += righe(u"SELECT * FROM \"%1\" ORDER BY 1"_s.arg(t));
    return testo.join(u'\n');
}
