#include "fileprova.h"

#include "store/registro.h"
#include "store/archivioregistri.h"
#include "store/ricerca.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;
using Fase = store::ArchivioRegistri::Fase;

Q_DECLARE_METATYPE(Fase)

namespace {

Registro registro(const QString& codice, const QString& descrizione)
{
    Registro r{codice};
    r.SspDescrizione = descrizione;
    r.SspCarScar = u"S"_s;
    return r;
}

TestataRegistro testata(const QString& riga)
{
    TestataRegistro t;
    t.TpsRiga[0] = riga;
    return t;
}

QStringList codiciTrovati(store::ArchivioRegistri& archivio, const QString& chiave)
{
    QStringList codici;
    QString sql;
    const store::Istruzione i = store::cercaRegistri(archivio.database().driver(), store::TipoRicerca::Codice, chiave,
                                                     std::nullopt, 50);
    store::esegui(archivio, i, sql, [&](const QSqlQuery& q) { codici << q.value(store::trCodice).toString(); });
    return codici;
}

} // namespace

// Two clerks on one company: what one saves the other finds, saves of one code never mix nor
// overwrite unseen what another clerk saved, and a row another clerk holds makes a save fail after
// the bounded wait instead of hanging.
class TestConcorrenza final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void salvataggioVistoDallAltro();
    void stessoCodiceInsieme();
    void cambiatoDaAltri_data();
    void cambiatoDaAltri();
    void rigaTenutaDaAltri_data();
    void rigaTenutaDaAltri();
    void connessioneCaduta_data();
    void connessioneCaduta();

private:
    std::unique_ptr<FileProva> f;
};

void TestConcorrenza::init()
{
    f = std::make_unique<FileProva>();
    QVERIFY(f->crea());
}

void TestConcorrenza::cleanup() { f.reset(); }

void TestConcorrenza::salvataggioVistoDallAltro()
{
    store::ArchivioRegistri mio(u"mio"_s), collega(u"collega"_s);
    for (store::ArchivioRegistri* a : {&mio, &collega})
        for (const store::Esito& e : {a->apriDatabase(f->percorso()), a->apriRegistri(), a->apriTestata()})
            QVERIFY2(e.ok(), qPrintable(e.descrizione));
    store::ArchivioRegistri::Righe righe;
    const std::optional<QSqlRecord>& riga = righe.registro;
    QVERIFY(mio.trova(u"V1"_s, righe).ok());
    QVERIFY(!riga);

    QVERIFY(collega.scrivi(registro(u"V1"_s, u"DEL COLLEGA"_s), testata(u"DOGANA DI COMO"_s)).esito.ok());
    QVERIFY(mio.trova(u"v1"_s, righe).ok());
    QVERIFY(riga);
    QCOMPARE(riga->value(u"SspDescrizione"_s).toString(), u"DEL COLLEGA"_s);
    QVERIFY(righe.testata);
    QCOMPARE(righe.testata->value(u"TpsRiga1"_s).toString(), u"DOGANA DI COMO"_s);
    QCOMPARE(codiciTrovati(mio, u"v"_s), QStringList{u"V1"_s});

    QVERIFY(collega.scrivi(registro(u"V1"_s, u"CAMBIATO"_s), testata(u"DOGANA DI LECCO"_s)).esito.ok());
    QVERIFY(mio.trova(u"V1"_s, righe).ok());
    QCOMPARE(riga->value(u"SspDescrizione"_s).toString(), u"CAMBIATO"_s);

    QVERIFY(collega.elimina(u"V1"_s).ok());
    QVERIFY(mio.trova(u"V1"_s, righe).ok());
    QVERIFY(!riga);
    QCOMPARE(codiciTrovati(mio, u"v"_s), QStringList());
}

void TestConcorrenza::stessoCodiceInsieme()
{
    // Few enough that one writer never keeps the other from the file longer than the engine waits.
    constexpr int volte = 100;
    QProcess scrittori[4];
    const auto avvia = [&](QProcess& p, const QString& modo, const QStringList& altri) {
        p.start(QStringLiteral(SCRITTORE), QStringList{modo, f->percorso()} + altri);
    };
    avvia(scrittori[0], u"stesso"_s, {u"PRIMO"_s, QString::number(volte)});
    avvia(scrittori[1], u"stesso"_s, {u"SECONDO"_s, QString::number(volte)});
    // Meanwhile every look-up shows both rows from one save.
    store::ArchivioRegistri mio(u"mio"_s);
    for (const store::Esito& e : {mio.apriDatabase(f->percorso()), mio.apriRegistri(), mio.apriTestata()})
        QVERIFY2(e.ok(), qPrintable(e.descrizione));
    const QDeadlineTimer scadenza(120000);
    int lette = 0;
    for (QProcess* p : {&scrittori[0], &scrittori[1]}) {
        while (p->state() != QProcess::NotRunning && !scadenza.hasExpired()) {
            store::ArchivioRegistri::Righe righe;
            QVERIFY(mio.trova(u"conteso"_s, righe).ok());
            if (righe.registro && righe.testata) {
                ++lette;
                QCOMPARE(righe.testata->value(u"TpsRigP5"_s).toString(),
                         righe.registro->value(u"SspRiqA"_s).toString());
            }
            QCoreApplication::processEvents();
        }
    }
    QVERIFY(lette > 0);
    // Two clerks adding one to the same number, each saving only what it looked up unchanged.
    avvia(scrittori[2], u"conta"_s, {QString::number(volte / 2)});
    avvia(scrittori[3], u"conta"_s, {QString::number(volte / 2)});
    for (QProcess& p : scrittori) {
        p.waitForFinished(static_cast<int>(scadenza.remainingTime()));
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardError().constData());
    }
    QCOMPARE(f->valore(u"SELECT SspUltimoCarico FROM TabellaSerieSemplificata WHERE SspCodice = 'CONTATORE'"_s).toInt(),
             volte);
    const QList<QVariantList> registri = f->righe(
        u"SELECT SspCodice, SspDescrizione, SspRiqA, SspUltimoCarico FROM TabellaSerieSemplificata "
        u"WHERE SspCodice = 'CONTESO'"_s);
    const QList<QVariantList> testate =
        f->righe(u"SELECT TpsCodice, TpsRiga1, TpsRiga2, TpsRiga3, TpsRiga4, TpsRiga5, TpsRigP1, TpsRigP2, TpsRigP3, "
                 u"TpsRigP4, TpsRigP5 FROM TestataRegistriPS WHERE TpsCodice = 'CONTESO'"_s);
    QCOMPARE(registri.size(), 1);
    QCOMPARE(testate.size(), 1);
    // The last save of one writer: both rows, every column, from the same save.
    const QString firma = registri.front().at(1).toString();
    QVERIFY2(firma == u"PRIMO %1"_s.arg(volte - 1) || firma == u"SECONDO %1"_s.arg(volte - 1), qPrintable(firma));
    QCOMPARE(registri.front().at(2).toString(), firma);
    QCOMPARE(registri.front().at(3).toInt(), volte - 1);
    QCOMPARE(testate.front().front().toString(), registri.front().front().toString());
    for (qsizetype i = 1; i < testate.front().size(); ++i)
        QCOMPARE(testate.front().at(i).toString(), firma);
    // Every save of both clerks has its history row, numbered in the order the saves committed.
    const QList<QVariantList> storia = f->righe(
        u"SELECT StoOperazione, SspDescrizione FROM StoricoRegistri WHERE SspCodice = 'CONTESO' ORDER BY StoNumero"_s);
    QCOMPARE(storia.size(), 2 * volte);
    QCOMPARE(storia.front().front().toString(), u"INSERIMENTO"_s);
    QCOMPARE(storia.back(), (QVariantList{u"VARIAZIONE"_s, firma}));
    QCOMPARE(f->valore(u"SELECT COUNT(*) FROM StoricoRegistri WHERE StoOperazione = 'INSERIMENTO' AND SspCodice = "
                       u"'CONTESO'"_s).toInt(), 1);
}

void TestConcorrenza::cambiatoDaAltri_data()
{
    QTest::addColumn<bool>("esiste");        // the register is there when this clerk looks it up
    QTest::addColumn<QStringList>("altro");  // what another clerk's program, or statement, does meanwhile
    QTest::addColumn<bool>("elimina");       // this clerk deletes instead of saving
    QTest::addColumn<bool>("cambiato");

    const QStringList salva{u"stesso"_s, u"ALTRO"_s, u"1"_s}, elimina{u"elimina"_s, u"CONTESO"_s};
    const QStringList testata{u"UPDATE TestataRegistriPS SET TpsRigP5 = 'ALTRI' WHERE TpsCodice = 'CONTESO'"_s};
    const QStringList soloTestata{u"INSERT INTO TestataRegistriPS (TpsCodice) VALUES ('CONTESO')"_s};
    QTest::newRow("nessuno, salvataggio") << true << QStringList() << false << false;
    QTest::newRow("cambiato, salvataggio") << true << salva << false << true;
    QTest::newRow("eliminato, salvataggio") << true << elimina << false << true;
    QTest::newRow("inserito, inserimento") << false << salva << false << true;
    QTest::newRow("testata cambiata, salvataggio") << true << testata << false << true;
    QTest::newRow("testata inserita, inserimento") << false << soloTestata << false << true;
    QTest::newRow("nessuno, cancellazione") << true << QStringList() << true << false;
    QTest::newRow("cambiato, cancellazione") << true << salva << true << true;
    QTest::newRow("eliminato, cancellazione") << true << elimina << true << true;
}

void TestConcorrenza::cambiatoDaAltri()
{
    QFETCH(bool, esiste);
    QFETCH(QStringList, altro);
    QFETCH(bool, elimina);
    QFETCH(bool, cambiato);
    store::ArchivioRegistri mio(u"mio"_s);
    for (const store::Esito& e : {mio.apriDatabase(f->percorso()), mio.apriRegistri(), mio.apriTestata()})
        QVERIFY2(e.ok(), qPrintable(e.descrizione));
    if (esiste)
        QVERIFY(mio.scrivi(registro(u"CONTESO"_s, u"MIO"_s), testata(u"MIA"_s)).esito.ok());
    store::ArchivioRegistri::Righe righe;
    QVERIFY(mio.trova(u"conteso"_s, righe).ok());
    QCOMPARE(bool(righe.registro), esiste);
    QCOMPARE(bool(righe.testata), esiste);
    if (!altro.isEmpty() && altro.front().contains(u' '))
        QCOMPARE(f->esegui(altro), QString());
    else if (!altro.isEmpty())
        QCOMPARE(QProcess::execute(QStringLiteral(SCRITTORE), QStringList{altro.front(), f->percorso()} + altro.mid(1)),
                 0);
    const QString prima = f->istantanea();

    const store::Esito e = elimina ? mio.elimina(u"CONTESO"_s, nullptr, &righe)
                                   : mio.scrivi(registro(u"CONTESO"_s, u"MIO DOPO"_s), testata(u"MIA"_s), &righe).esito;
    QCOMPARE(e.numero, cambiato ? store::erroreCambiato : 0);
    if (cambiato)
        QCOMPARE(f->istantanea(), prima);
    else
        QCOMPARE(f->valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspDescrizione = 'MIO DOPO'"_s).toInt(),
                 elimina ? 0 : 1);
}

void TestConcorrenza::rigaTenutaDaAltri_data()
{
    QTest::addColumn<QString>("tenuta");
    QTest::addColumn<bool>("elimina");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<bool>("bloccatoSulServer");
    QTest::addColumn<Fase>("faseSulServer");

    const QString registroTenuto =
        u"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'ALTRI' WHERE SspCodice = 'R1'"_s;
    const QString testataTenuta = u"UPDATE TestataRegistriPS SET TpsRiga1 = 'ALTRI' WHERE TpsCodice = 'R1'"_s;
    QTest::newRow("salvataggio, registro tenuto") << registroTenuto << false << u"r1"_s << true << Fase::Registro;
    QTest::newRow("salvataggio, testata tenuta") << testataTenuta << false << u"R1"_s << true << Fase::Testata;
    QTest::newRow("cancellazione, registro tenuto") << registroTenuto << true << u"R1"_s << true << Fase::Registro;
    QTest::newRow("cancellazione, testata tenuta") << testataTenuta << true << u"R1"_s << true << Fase::Testata;
    // The server locks rows, so another register is saved meanwhile; the file is locked whole.
    QTest::newRow("un altro registro") << registroTenuto << false << u"R2"_s << false << Fase::Nessuna;
}

void TestConcorrenza::rigaTenutaDaAltri()
{
    QFETCH(QString, tenuta);
    QFETCH(bool, elimina);
    QFETCH(QString, codice);
    QFETCH(bool, bloccatoSulServer);
    QFETCH(Fase, faseSulServer);
    const bool bloccato = bloccatoSulServer || !FileProva::server();
    const Fase fase = FileProva::server() ? faseSulServer : Fase::Registro;
    constexpr int attesaMs = 300;

    store::ArchivioRegistri archivio(u"archivio"_s);
    QVERIFY(archivio.apriDatabase(f->percorso(), attesaMs).ok());
    for (const QString& c : {u"R1"_s, u"R2"_s})
        QVERIFY(archivio.scrivi(registro(c, u"PRIMA"_s), testata(u"PRIMA"_s)).esito.ok());
    const QString prima = f->istantanea();

    const QString nome = u"altro-impiegato"_s;
    {
        QSqlDatabase altro = f->altraConnessione(nome);
        QSqlQuery q(altro);
        QVERIFY2(q.exec(FileProva::server() ? u"BEGIN"_s : u"BEGIN IMMEDIATE"_s), qPrintable(q.lastError().text()));
        QVERIFY2(q.exec(FileProva::quotaNomi(tenuta)), qPrintable(q.lastError().text()));

        QElapsedTimer tempo;
        tempo.start();
        Fase riportata = Fase::Nessuna;
        store::Esito e;
        if (elimina) {
            e = archivio.elimina(codice, &riportata);
        } else {
            const auto esito = archivio.scrivi(registro(codice, u"DOPO"_s), testata(u"DOPO"_s));
            e = esito.esito;
            riportata = esito.fase;
        }
        const qint64 trascorsi = tempo.elapsed();
        QCOMPARE(e.ok(), !bloccato);
        if (bloccato) {
            QCOMPARE(e.numero, store::erroreBloccata);
            QCOMPARE(e.descrizione, FileProva::testoBloccata());
            QCOMPARE(riportata, fase);
            QVERIFY2(trascorsi >= attesaMs - 50, qPrintable(QString::number(trascorsi)));
        }
        QVERIFY2(trascorsi < 5000, qPrintable(QString::number(trascorsi)));
        QVERIFY(q.exec(u"ROLLBACK"_s));
    }
    QSqlDatabase::removeDatabase(nome);
    if (bloccato)
        QCOMPARE(f->istantanea(), prima);

    // Once the other clerk lets go, the same save goes through.
    QVERIFY(archivio.scrivi(registro(codice, u"DOPO"_s), testata(u"DOPO"_s)).esito.ok());
    QCOMPARE(f->valore(u"SELECT TpsRiga1 FROM TestataRegistriPS WHERE TpsCodice = ?"_s, {codice}).toString(),
             u"DOPO"_s);
}

void TestConcorrenza::connessioneCaduta_data()
{
    QTest::addColumn<QString>("operazione");
    for (const char* o : {"lettura", "ricerca", "salvataggio", "cancellazione"})
        QTest::newRow(o) << QString::fromLatin1(o);
}

void TestConcorrenza::connessioneCaduta()
{
    if (!FileProva::server())
        QSKIP("a file has no connection to lose");
    QFETCH(QString, operazione);
    store::ArchivioRegistri archivio(u"archivio"_s);
    for (const store::Esito& e :
         {archivio.apriDatabase(f->percorso()), archivio.apriRegistri(), archivio.apriTestata()})
        QVERIFY2(e.ok(), qPrintable(e.descrizione));
    QVERIFY(archivio.scrivi(registro(u"K1"_s, u"PRIMA"_s), testata(u"PRIMA"_s)).esito.ok());
    store::ArchivioRegistri::Righe mostrate;
    QVERIFY(archivio.trova(u"K1"_s, mostrate).ok());

    // The server ends the store's connection, as a restart of the server or a broken network would.
    QCOMPARE(f->valore(u"SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity "
                       u"WHERE application_name = 'pemtarx' AND datname = current_database()"_s)
                 .toInt(),
             1);
    if (operazione == u"lettura"_s) {
        store::ArchivioRegistri::Righe righe;
        QVERIFY(archivio.trova(u"K1"_s, righe).ok());
        QVERIFY(righe.registro && righe.testata);
    } else if (operazione == u"ricerca"_s) {
        QCOMPARE(codiciTrovati(archivio, u"K"_s), QStringList{u"K1"_s});
    } else if (operazione == u"salvataggio"_s) {
        QVERIFY(archivio.scrivi(registro(u"K1"_s, u"DOPO"_s), testata(u"DOPO"_s), &mostrate).esito.ok());
        QCOMPARE(f->righe(u"SELECT SspDescrizione, TpsRiga1 FROM TabellaSerieSemplificata JOIN TestataRegistriPS "
                          u"ON TpsCodice = SspCodice"_s),
                 (QList<QVariantList>{{u"DOPO"_s, u"DOPO"_s}}));
    } else {
        QVERIFY(archivio.elimina(u"K1"_s, nullptr, &mostrate).ok());
        QCOMPARE(f->valore(u"SELECT COUNT(*) FROM TestataRegistriPS"_s).toInt(), 0);
    }
    // The new connection keeps the bounded wait and the open tables of the old one.
    QVERIFY(archivio.registriAperti());
    QVERIFY(archivio.testataAperta());
    QString attesa;
    QVERIFY(archivio.leggi(u"SELECT current_setting('lock_timeout')"_s, {},
                           [&](const QSqlQuery& q) { attesa = q.value(0).toString(); }).ok());
    QCOMPARE(attesa, u"5s"_s);
}

QTEST_GUILESS_MAIN(TestConcorrenza)
#include "tst_store_concorrenza.moc"
