#include "../store/fileprova.h"

#include "app/dialoghi.h"
#include "form/startup.h"
#include "store/archivioregistri.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Answers message boxes through a function, so a test can act between two questions.
class DialogsFunzione final : public app::Dialoghi {
public:
    std::function<int(const QString& testo)> risposta;
    QStringList testi;
    int chiedi(const QString& testo, const QString&, app::Pulsanti, app::Icona, int) override
    {
        testi << testo;
        return risposta ? risposta(testo) : app::Annulla;
    }
};

} // namespace

// The settings file points the window at a company's database on a server, and the window opens it,
// waits for it, or reports it as it does the company's file.
class TestFinestraServer final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void apreIlDatabaseQuandoPuo_data();
    void apreIlDatabaseQuandoPuo();
    void societaInesistente_data();
    void societaInesistente();

private:
    void scriviIni(const QString& host, const QString& nome) const;

    std::unique_ptr<QTemporaryDir> radice;
    std::unique_ptr<FileProva> server;
    QString programma;
};

void TestFinestraServer::init()
{
    QVERIFY2(FileProva::server(), "PEMTARX_PROVA_PG names the test cluster");
    radice = std::make_unique<QTemporaryDir>();
    programma = radice->filePath(u"prog"_s);
    QVERIFY(QDir().mkpath(programma));
    qputenv("XDG_CONFIG_HOME", radice->filePath(u"config"_s).toUtf8());
    server = std::make_unique<FileProva>();
    scriviIni(FileProva::cluster(), u"%DITTA%"_s);
}

void TestFinestraServer::cleanup()
{
    server.reset();
    radice.reset();
}

void TestFinestraServer::scriviIni(const QString& host, const QString& nome) const
{
    QFile f(programma + u"/Quendrix.ini"_s);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2/\r\n"
            u"[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%3\r\nPORT=5432\r\nUTENTE=pemtarx\r\nNOME=%4\r\n"_s.arg(server->nomeDatabase().toUpper(), radice->filePath(u"dati"_s), host, nome)
                .toLatin1());
}

// What stands in the way of the first opening; the clerk answers Riprova once it has gone.
enum class Ostacolo { Nessuno, TabelleDaCreare, TabellaTenutaDaAltri };
Q_DECLARE_METATYPE(Ostacolo)

void TestFinestraServer::apreIlDatabaseQuandoPuo_data()
{
    QTest::addColumn<Ostacolo>("ostacolo");
    QTest::addColumn<QStringList>("messaggi");
    const QString errore = u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s;
    QTest::newRow("database pronto") << Ostacolo::Nessuno << QStringList();
    QTest::newRow("tabelle create mentre il messaggio e' aperto") << Ostacolo::TabelleDaCreare << QStringList{errore};
    QTest::newRow("tabella tenuta da un altro impiegato")
        << Ostacolo::TabellaTenutaDaAltri << QStringList{errore + u"\ncanceling statement due to lock timeout"_s};
}

void TestFinestraServer::apreIlDatabaseQuandoPuo()
{
    QFETCH(Ostacolo, ostacolo);
    QFETCH(QStringList, messaggi);
    QVERIFY(ostacolo == Ostacolo::TabelleDaCreare || server->crea());
    QSqlQuery q;
    if (ostacolo == Ostacolo::TabellaTenutaDaAltri) {
        q = QSqlQuery(server->altraConnessione(u"altro-impiegato"_s));
        QVERIFY(q.exec(u"BEGIN"_s) && q.exec(u"LOCK TABLE \"TabellaSerieSemplificata\" IN ACCESS EXCLUSIVE MODE"_s));
    }
    DialogsFunzione d;
    d.risposta = [&](const QString&) {
        ostacolo == Ostacolo::TabelleDaCreare ? void(server->crea()) : void(q.exec(u"ROLLBACK"_s));
        return int(app::Riprova);
    };
    Startup w(d);
    QElapsedTimer tempo;
    tempo.start();
    QVERIFY(w.Form_Load(programma));
    QVERIFY2(tempo.elapsed() < 15000, "the wait for the other clerk is bounded");
    QCOMPARE(d.testi, messaggi);
    QCOMPARE(w.percorsoDatabase, server->percorso());
    QVERIFY(w.archivio().registriAperti());
    QVERIFY(w.archivio().testataAperta());
    QCOMPARE(w.Combo1->count(), 4);
    // No company file is made beside the settings: the registers live on the server.
    QVERIFY(!QFileInfo::exists(radice->filePath(u"dati/"_s) + server->nomeDatabase().toUpper()));
}

void TestFinestraServer::societaInesistente_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("nome");
    QTest::newRow("database mancante") << FileProva::cluster() << u"%DITTA%_mancante"_s;
    QTest::newRow("server che non risponde") << u"/nessun/server/qui"_s << u"%DITTA%"_s;
}

void TestFinestraServer::societaInesistente()
{
    QFETCH(QString, host);
    QFETCH(QString, nome);
    scriviIni(host, nome);
    app::DialoghiScript d;
    d.risposte = {app::Riprova, app::Annulla};
    Startup w(d);
    QVERIFY(!w.Form_Load(programma));
    QCOMPARE(d.domande.size(), 2);
    for (const auto& q : d.domande) {
        QCOMPARE(q.testo, u"SOCIETA' INESISTENTE"_s);
        QCOMPARE(q.pulsanti, app::Pulsanti::RiprovaAnnulla);
        QCOMPARE(q.icona, app::Icona::Critica);
    }
    QVERIFY(!w.archivio().registriAperti());
}

QTEST_MAIN(TestFinestraServer)
#include "tst_finestra_server.moc"
