#include "app/dialoghi.h"
#include "form/startup.h"
#include "store/archivioregistri.h"
#include "store/posizione.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Answers message boxes through a function, so a test can act between two questions.
class DialoghiFunzione final : public app::Dialoghi {
  public:
    std::function<int()> risposta;
    QStringList testi;
    int chiedi(const QString& testo, const QString&, app::Pulsanti p, app::Icona i, int) override
    {
        testi << testo + (i == app::Icona::Critica ? u" (!)"_s : QString());
        return p == app::Pulsanti::RiprovaAnnulla ? risposta() : -1;
    }
};

// The settings file points the window at a company's database on the test cluster, and the window opens it, waits
// for it, or reports it as it does the company's file.
class TestFinestraServer final : public QObject {
    Q_OBJECT
  private slots:
    void apreIlDatabaseQuandoPuo_data()
    {
        // What stands in the way of the first opening; the clerk answers Riprova, once it has gone, then Annulla.
        QTest::addColumn<QString>("ostacolo");
        QTest::addColumn<QStringList>("messaggi");
        const QString errore = u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s,
                      manca = u"SOCIETA' INESISTENTE (!)"_s;
        QTest::newRow("database pronto") << u"nessuno"_s << QStringList();
        QTest::newRow("tabelle create mentre il messaggio e' aperto") << u"tabelle"_s << QStringList{errore};
        QTest::newRow("tabella tenuta da un altro impiegato")
            << u"tenuta"_s << QStringList{errore + u"\ncanceling statement due to lock timeout"_s};
        QTest::newRow("database mancante") << u"database"_s << QStringList{manca, manca};
        QTest::newRow("server che non risponde") << u"server"_s << QStringList{manca, manca};
    }

    void apreIlDatabaseQuandoPuo()
    {
        QFETCH(QString, ostacolo);
        QFETCH(QStringList, messaggi);
        const QString cluster = qEnvironmentVariable("PEMTARX_PROVA_PG"), nome = u"finestra_"_s + ostacolo;
        QVERIFY2(!cluster.isEmpty(), "PEMTARX_PROVA_PG names the test cluster");
        const auto connessione = [&](const QString& database) {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, ostacolo + database);
            db.setHostName(cluster);
            db.setUserName(u"pemtarx"_s);
            db.setDatabaseName(database);
            db.open();
            return QSqlQuery(db);
        };
        const QString host = ostacolo == u"server"_s ? u"/nessun/server/qui"_s : cluster;
        const QString indirizzo = store::indirizzo({host, u"5432"_s, u"pemtarx"_s, nome, {}});
        QSqlQuery amministra = connessione(u"postgres"_s);
        QVERIFY(
            ostacolo == u"database"_s || ostacolo == u"server"_s ||
            (amministra.exec(u"DROP DATABASE IF EXISTS "_s + nome) && amministra.exec(u"CREATE DATABASE "_s + nome)));
        QVERIFY((ostacolo != u"nessuno"_s && ostacolo != u"tenuta"_s) || store::ArchivioRegistri::crea(indirizzo).ok());
        QSqlQuery altro = connessione(nome);
        QVERIFY(ostacolo != u"tenuta"_s ||
                (altro.exec(u"BEGIN"_s) && altro.exec(u"LOCK TABLE \"TabellaSerieSemplificata\""_s)));
        QTemporaryDir radice;
        qputenv("XDG_CONFIG_HOME", radice.filePath(u"config"_s).toUtf8());
        QFile ini(radice.filePath(u"Quendrix.ini"_s));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2/\r\n[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%3\r\nPORT=5432\r\n"
            u"UTENTE=pemtarx\r\nNOME=%DITTA%\r\n"_s.arg(nome.toUpper(), radice.path(), host)
                .toLatin1());
        ini.close();
        DialoghiFunzione d;
        d.risposta = [&] {
            if (ostacolo == u"tabelle"_s)
                store::ArchivioRegistri::crea(indirizzo);
            altro.exec(u"ROLLBACK"_s);
            return d.testi.size() < 2 ? int(app::Riprova) : int(app::Annulla);
        };
        Startup w(d);
        QElapsedTimer tempo;
        tempo.start();
        const bool aperto = w.Form_Load(radice.path()) && w.archivio().registriAperti() && w.archivio().testataAperta();
        QVERIFY2(tempo.elapsed() < 15000, "the wait for the other clerk is bounded");
        QCOMPARE(d.testi, messaggi);
        QCOMPARE(aperto, messaggi.size() < 2);
        QVERIFY(!aperto || (w.percorsoDatabase == indirizzo && w.Combo1->count() == 4));
        // No company file is made beside the settings: the registers live on the server.
        QVERIFY(!QFileInfo::exists(radice.filePath(nome.toUpper())));
    }
};

QTEST_MAIN(TestFinestraServer)
#include "tst_finestra_server.moc"
