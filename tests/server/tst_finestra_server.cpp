#include "../store/fileprova.h"
#include "app/dialoghi.h"
#include "form/startup.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QSqlQuery>
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
        QVERIFY2(FileProva::server(), "PEMTARX_PROVA_PG names the test cluster");
        const FileProva p;
        QVERIFY(ostacolo == u"tabelle"_s || p.crea());
        QSqlQuery altro(p.altraConnessione(ostacolo));
        QVERIFY(ostacolo != u"tenuta"_s ||
                (altro.exec(u"BEGIN"_s) && altro.exec(u"LOCK TABLE \"TabellaSerieSemplificata\""_s)));
        const QString ditta = p.nomeDatabase().toUpper() + (ostacolo == u"database"_s ? u"X"_s : QString());
        qputenv("XDG_CONFIG_HOME", (p.cartella() + u"/config"_s).toUtf8());
        QFile ini(p.cartella() + u"/Quendrix.ini"_s);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        const QString host = ostacolo == u"server"_s ? u"/nessun/server/qui"_s : p.cluster();
        ini.write(u"[BASE]\r\nDITTA=%1\r\n[PATH]\r\nDIRINI=%2/\r\n[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%3\r\n"
                  u"PORT=5432\r\nUTENTE=pemtarx\r\nNOME=%DITTA%\r\n"_s.arg(ditta, p.cartella(), host)
                      .toLatin1());
        ini.close();
        DialoghiFunzione d;
        d.risposta = [&] {
            if (ostacolo == u"tabelle"_s)
                p.crea();
            altro.exec(u"ROLLBACK"_s);
            return d.testi.size() < 2 ? int(app::Riprova) : int(app::Annulla);
        };
        Startup w(d);
        QElapsedTimer tempo;
        tempo.start();
        const bool aperto = w.Form_Load(p.cartella()) && w.archivio().registriAperti() && w.archivio().testataAperta();
        QVERIFY2(tempo.elapsed() < 15000, "the wait for the other clerk is bounded");
        QCOMPARE(d.testi, messaggi);
        QCOMPARE(aperto, messaggi.size() < 2);
        QVERIFY(!aperto || (w.percorsoDatabase == p.percorso() && w.Combo1->count() == 4));
        // No company file is made beside the settings: the registers live on the server.
        QVERIFY(!QFileInfo::exists(p.cartella() + u'/' + ditta));
    }
};

QTEST_MAIN(TestFinestraServer)
#include "tst_finestra_server.moc"
