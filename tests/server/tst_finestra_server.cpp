#include "app/dialoghi.h"
#include "form/startup.h"
#include "store/archivioregistri.h"
#include "store/posizione.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

// What stands in the way of the first opening; for the first two the clerk answers Riprova once it has gone.
enum class Ostacolo { Nessuno, TabelleDaCreare, TabellaTenutaDaAltri, DatabaseMancante, ServerAssente };
Q_DECLARE_METATYPE(Ostacolo)

namespace {

// A connection of the test's own to a database of the test cluster, named by PEMTARX_PROVA_PG.
QSqlDatabase connessione(const QString& nome, const QString& database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, nome);
    db.setHostName(qEnvironmentVariable("PEMTARX_PROVA_PG"));
    db.setPort(5432);
    db.setUserName(u"pemtarx"_s);
    db.setDatabaseName(database);
    db.open();
    return db;
}

// Answers message boxes through a function, so a test can act between two questions.
class DialoghiFunzione final : public app::Dialoghi {
public:
    std::function<int()> risposta;
    QStringList testi;
    QList<app::Icona> icone;
    int chiedi(const QString& testo, const QString&, app::Pulsanti p, app::Icona i, int) override
    {
        testi << testo;
        icone << i;
        return p == app::Pulsanti::RiprovaAnnulla ? risposta() : -1;
    }
};

} // namespace

// The settings file points the window at a company's database on a server, and the window opens it,
// waits for it, or reports it as it does the company's file.
class TestFinestraServer final : public QObject {
    Q_OBJECT
private slots:
    void apreIlDatabaseQuandoPuo_data();
    void apreIlDatabaseQuandoPuo();
};

void TestFinestraServer::apreIlDatabaseQuandoPuo_data()
{
    QTest::addColumn<Ostacolo>("ostacolo");
    QTest::addColumn<QStringList>("messaggi");
    const QString errore = u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s, inesistente = u"SOCIETA' INESISTENTE"_s;
    QTest::newRow("database pronto") << Ostacolo::Nessuno << QStringList();
    QTest::newRow("tabelle create mentre il messaggio e' aperto") << Ostacolo::TabelleDaCreare << QStringList{errore};
    QTest::newRow("tabella tenuta da un altro impiegato")
        << Ostacolo::TabellaTenutaDaAltri << QStringList{errore + u"\ncanceling statement due to lock timeout"_s};
    QTest::newRow("database mancante") << Ostacolo::DatabaseMancante << QStringList{inesistente, inesistente};
    QTest::newRow("server che non risponde") << Ostacolo::ServerAssente << QStringList{inesistente, inesistente};
}

void TestFinestraServer::apreIlDatabaseQuandoPuo()
{
    QFETCH(Ostacolo, ostacolo);
    QFETCH(QStringList, messaggi);
    QVERIFY2(qEnvironmentVariableIsSet("PEMTARX_PROVA_PG"), "PEMTARX_PROVA_PG names the test cluster");
    QTemporaryDir radice;
    qputenv("XDG_CONFIG_HOME", radice.filePath(u"config"_s).toUtf8());
    static int contatore = 0;
    const QString nome = u"finestra_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++contatore);
    const QString host = ostacolo == Ostacolo::ServerAssente ? u"/nessun/server/qui"_s : qEnvironmentVariable("PEMTARX_PROVA_PG");
    const QString indirizzo = store::indirizzo({host, u"5432"_s, u"pemtarx"_s, nome, {}});
    if (ostacolo != Ostacolo::DatabaseMancante && ostacolo != Ostacolo::ServerAssente)
        QVERIFY(QSqlQuery(connessione(nome + u"-crea"_s, u"postgres"_s)).exec(u"CREATE DATABASE "_s + nome));
    if (ostacolo == Ostacolo::Nessuno || ostacolo == Ostacolo::TabellaTenutaDaAltri)
        QVERIFY(store::ArchivioRegistri::crea(indirizzo).ok());
    QSqlQuery altro;
    if (ostacolo == Ostacolo::TabellaTenutaDaAltri) {
        altro = QSqlQuery(connessione(nome, nome));
        QVERIFY(altro.exec(u"BEGIN"_s) && altro.exec(u"LOCK TABLE \"TabellaSerieSemplificata\" IN ACCESS EXCLUSIVE MODE"_s));
    }
    QFile ini(radice.filePath(u"Quendrix.ini"_s));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2/\r\n[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%3\r\nPORT=5432\r\nUTENTE=pemtarx\r\n"
              u"NOME=%DITTA%\r\n"_s.arg(nome.toUpper(), radice.filePath(u"dati"_s), host).toLatin1());
    ini.close();
    DialoghiFunzione d;
    d.risposta = [&] {
        if (ostacolo == Ostacolo::TabelleDaCreare)
            store::ArchivioRegistri::crea(indirizzo);
        altro.exec(u"ROLLBACK"_s);
        return d.testi.size() < 2 ? int(app::Riprova) : int(app::Annulla);
    };
    Startup w(d);
    QElapsedTimer tempo;
    tempo.start();
    const bool aperto = w.Form_Load(radice.path());
    QVERIFY2(tempo.elapsed() < 15000, "the wait for the other clerk is bounded");
    QCOMPARE(d.testi, messaggi);
    QCOMPARE(aperto, messaggi.size() < 2);
    QVERIFY(aperto || d.icone == (QList{app::Icona::Critica, app::Icona::Critica}));
    QCOMPARE(w.archivio().registriAperti(), aperto);
    QCOMPARE(w.archivio().testataAperta(), aperto);
    QVERIFY(!aperto || (w.percorsoDatabase == indirizzo && w.Combo1->count() == 4));
    // No company file is made beside the settings: the registers live on the server.
    QVERIFY(!QFileInfo::exists(radice.filePath(u"dati/"_s) + nome.toUpper()));
}

QTEST_MAIN(TestFinestraServer)
#include "tst_finestra_server.moc"
