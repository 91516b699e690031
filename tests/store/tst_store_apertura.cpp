#include "fileprova.h"

#include "store/posizione.h"
#include "store/archivioregistri.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

// Opening a company's store: what fails, what is reported, and that nothing is created or changed.
class TestApertura final : public QObject {
    Q_OBJECT
private slots:
    void fileMancanteNonCreato();
    void fileEstraneoIntatto_data();
    void fileEstraneoIntatto();
    void tabelleAperte_data();
    void tabelleAperte();
    void parametriDellIndirizzo_data();
    void parametriDellIndirizzo();
    void bloccatoDaAltri_data();
    void bloccatoDaAltri();
    void ruoloSenzaPermessi();
};

void TestApertura::fileMancanteNonCreato()
{
    FileProva f;
    {
        store::ArchivioRegistri archivio(u"apertura"_s);
        QVERIFY(!archivio.apriDatabase(f.assente()).ok());
        QVERIFY(!archivio.apriRegistri().ok());
        QVERIFY(!archivio.registriAperti());
    }
    QCOMPARE(f.contenuto(), QStringList());
    if (FileProva::server())
        QCOMPARE(f.valore(u"SELECT COUNT(*) FROM pg_database WHERE datname LIKE 'prova%assente'"_s).toInt(), 0);
}

void TestApertura::fileEstraneoIntatto_data()
{
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<int>("numero");

    QByteArray casuali(8192, '\0');
    QRandomGenerator generatore(20240611);
    for (char& c : casuali)
        c = static_cast<char>(generatore.bounded(256));
    QTest::newRow("byte casuali") << casuali << store::erroreNonArchivio;

    QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    jet += QByteArray(4096 - jet.size(), '\x5a');
    QTest::newRow("motore originale") << jet << store::erroreVecchioFormato;

    QTest::newRow("testo") << QByteArray("[BASE]\r\nDITTA=001\r\n").repeated(200) << store::erroreNonArchivio;
}

void TestApertura::fileEstraneoIntatto()
{
    if (FileProva::server())
        QSKIP("a server database has no bytes of its own to be foreign");
    QFETCH(QByteArray, byte);
    QFETCH(int, numero);
    FileProva f;
    QVERIFY(f.scriviByte(byte));
    {
        store::ArchivioRegistri archivio(u"apertura"_s);
        archivio.apriDatabase(f.percorso());
        const store::Esito registri = archivio.apriRegistri();
        QCOMPARE(registri.numero, numero);
        QVERIFY(!archivio.registriAperti());
        QVERIFY(!archivio.apriTestata().ok());
        store::ArchivioRegistri::Righe righe;
        QVERIFY(!archivio.trova(u"X1"_s, righe).ok());
    }
    QCOMPARE(f.byte(), byte);
    QCOMPARE(f.contenuto(), QStringList{u"dogana.mdb"_s});
}

void TestApertura::tabelleAperte_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("registri");
    QTest::addColumn<bool>("testata");

    QTest::newRow("file sano") << QString() << true << true;
    QTest::newRow("senza testata") << u"DROP TABLE TestataRegistriPS"_s << true << false;
    QTest::newRow("senza registri") << u"DROP TABLE TabellaSerieSemplificata"_s << false << true;
    QTest::newRow("testata senza una riga del preavviso")
        << u"ALTER TABLE TestataRegistriPS DROP COLUMN TpsRigP5"_s << true << false;
    QTest::newRow("registri senza il timbro")
        << u"ALTER TABLE TabellaSerieSemplificata DROP COLUMN SspACT"_s << false << true;
}

void TestApertura::tabelleAperte()
{
    QFETCH(QString, sql);
    QFETCH(bool, registri);
    QFETCH(bool, testata);
    FileProva f;
    QVERIFY(f.crea());
    if (!sql.isEmpty())
        QCOMPARE(f.esegui({sql}), QString());
    const QString prima = f.istantanea();
    {
        store::ArchivioRegistri archivio(u"apertura"_s);
        QVERIFY(archivio.apriDatabase(f.percorso()).ok());
        const store::Esito r = archivio.apriRegistri();
        const store::Esito t = archivio.apriTestata();
        QCOMPARE(r.ok(), registri);
        QCOMPARE(t.ok(), testata);
        QCOMPARE(archivio.registriAperti(), registri);
        QCOMPARE(archivio.testataAperta(), testata);
        // Only the locked-table case carries the engine's text to the clerk.
        for (const store::Esito& e : {r, t})
            if (!e.ok())
                QCOMPARE(e.numero, store::erroreGenerico);
        // The file keeps its rollback journal; the server waits a bounded time for another clerk's lock.
        const QString modo =
            FileProva::server() ? u"SELECT current_setting('lock_timeout')"_s : u"PRAGMA journal_mode"_s;
        QString letto;
        QVERIFY(archivio.leggi(modo, {}, [&](const QSqlQuery& q) { letto = q.value(0).toString(); }).ok());
        QCOMPARE(letto, FileProva::server() ? u"5s"_s : u"delete"_s);
    }
    QCOMPARE(f.istantanea(), prima);
}

void TestApertura::parametriDellIndirizzo_data()
{
    QTest::addColumn<QString>("parametri");
    QTest::addColumn<bool>("apre");
    QTest::addColumn<QString>("impostazione");
    QTest::addColumn<QString>("attesa");
    QTest::newRow("nessuno") << QString() << true << u"application_name"_s << u"pemtarx"_s;
    QTest::newRow("nome del programma") << u"application_name=contabilita"_s << true << u"application_name"_s
                                        << u"contabilita"_s;
    QTest::newRow("apice e barra") << u"application_name=l'uff%5Cicio%20due"_s << true << u"application_name"_s
                                   << u"l'uff\\icio due"_s;
    QTest::newRow("spazi e uguale") << u"options=-c%20work_mem%3D5MB"_s << true << u"work_mem"_s << u"5MB"_s;
    QTest::newRow("parametro sconosciuto a libpq") << u"colore=blu"_s << false << QString() << QString();
    QTest::newRow("punto e virgola") << u"application_name=a%3Bb"_s << false << QString() << QString();
}

void TestApertura::parametriDellIndirizzo()
{
    if (!FileProva::server())
        QSKIP("a file has no connection parameters");
    QFETCH(QString, parametri);
    QFETCH(bool, apre);
    QFETCH(QString, impostazione);
    QFETCH(QString, attesa);
    FileProva f;
    QVERIFY(f.crea());
    store::ArchivioRegistri archivio(u"apertura"_s);
    const QString indirizzo = parametri.isEmpty() ? f.percorso() : f.percorso() + u'&' + parametri;
    const store::Esito e = archivio.apriDatabase(indirizzo);
    QVERIFY2(e.ok() == apre, qPrintable(e.descrizione));
    if (!apre)
        return;
    QString letto;
    QVERIFY(archivio
                .leggi(u"SELECT current_setting(?)"_s, {impostazione},
                       [&](const QSqlQuery& q) { letto = q.value(0).toString(); })
                .ok());
    QCOMPARE(letto, attesa);
}

void TestApertura::bloccatoDaAltri_data()
{
    QTest::addColumn<bool>("processo");
    QTest::newRow("altra connessione") << false;
    QTest::newRow("altro processo") << true;
}

void TestApertura::bloccatoDaAltri()
{
    QFETCH(bool, processo);
    FileProva f;
    QVERIFY(f.crea());

    QProcess altro;
    QSqlDatabase connessione;
    const QString nome = u"altro-utente"_s;
    if (processo) {
        altro.start(QStringLiteral(SCRITTORE), {u"blocca"_s, f.percorso()});
        QVERIFY(altro.waitForStarted());
        const QDeadlineTimer scadenza(10000);
        while (!altro.canReadLine())
            QVERIFY2(altro.waitForReadyRead(static_cast<int>(scadenza.remainingTime())),
                     altro.readAllStandardError().constData());
        QCOMPARE(altro.readLine().trimmed(), QByteArray("bloccato"));
    } else {
        connessione = f.altraConnessione(nome);
        QVERIFY(connessione.isOpen());
        QSqlQuery q(connessione);
        const QStringList blocco =
            FileProva::server()
                ? QStringList{u"BEGIN"_s, u"LOCK TABLE TabellaSerieSemplificata IN ACCESS EXCLUSIVE MODE"_s}
                : QStringList{u"BEGIN EXCLUSIVE"_s};
        for (const QString& sql :
             blocco + QStringList{u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('BLOCCO')"_s})
            QVERIFY2(q.exec(FileProva::quotaNomi(sql)), qPrintable(q.lastError().text()));
    }

    {
        store::ArchivioRegistri archivio(u"apertura"_s);
        QElapsedTimer tempo;
        tempo.start();
        archivio.apriDatabase(f.percorso(), 1000);
        const store::Esito e = archivio.apriRegistri();
        QCOMPARE(e.numero, store::erroreBloccata);
        QCOMPARE(e.descrizione, FileProva::testoBloccata());
        QVERIFY(!archivio.registriAperti());
        // One wait for the other user, not one for every statement of the opening.
        QVERIFY2(tempo.elapsed() >= 950 && tempo.elapsed() < 1900, qPrintable(QString::number(tempo.elapsed())));

        if (processo) {
            altro.closeWriteChannel();
            QVERIFY(altro.waitForFinished());
            QCOMPARE(altro.exitCode(), 0);
        } else {
            QSqlQuery(connessione).exec(u"ROLLBACK"_s);
            connessione.close();
        }
        // Retry once the other user lets go.
        QVERIFY(archivio.apriRegistri().ok());
        QVERIFY(archivio.apriTestata().ok());
        store::ArchivioRegistri::Righe righe;
        QVERIFY(archivio.trova(u"BLOCCO"_s, righe).ok());
        QVERIFY(!righe.registro);
    }
    connessione = QSqlDatabase();
    QSqlDatabase::removeDatabase(nome);
    QCOMPARE(f.valore(u"SELECT COUNT(*) FROM TestataRegistriPS"_s).toInt(), 0);
}

void TestApertura::ruoloSenzaPermessi()
{
    if (!FileProva::server())
        QSKIP("a file's permissions are checked by the window's test, run as an ordinary user");
    FileProva f;
    QVERIFY(f.crea());
    QCOMPARE(f.esegui({u"DO $$BEGIN CREATE ROLE impiegato LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END$$"_s,
                       u"GRANT SELECT, UPDATE ON TabellaSerieSemplificata, TestataRegistriPS TO impiegato"_s}),
             QString());
    store::ArchivioRegistri archivio(u"apertura"_s);
    const QString impiegato = store::indirizzo({FileProva::cluster(), u"5432"_s, u"impiegato"_s, f.nomeDatabase(), {}});
    QVERIFY(archivio.apriDatabase(impiegato).ok());
    QVERIFY(archivio.apriRegistri().ok() && archivio.apriTestata().ok());
    const store::Esito e = archivio.verificaScrittura();
    QCOMPARE(e.numero, store::erroreSolaLettura);
    QCOMPARE(e.descrizione,
             u"il ruolo impiegato non ha i permessi INSERT, DELETE sulla tabella TabellaSerieSemplificata"_s);
    QCOMPARE(f.esegui({u"GRANT INSERT, DELETE ON TabellaSerieSemplificata, TestataRegistriPS TO impiegato"_s}),
             QString());
    QVERIFY(archivio.verificaScrittura().ok());
}

QTEST_GUILESS_MAIN(TestApertura)
#include "tst_store_apertura.moc"
