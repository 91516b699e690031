#include "fileprova.h"

#include "store/archivioregistri.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>

using namespace Qt::StringLiterals;

// Other clerks as processes of their own: one killed at any moment of a save, two saving one code at once.
class TestConcorrenza final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { f.reset(); }
    void salvataggioUcciso();
    void stessoCodiceInsieme();

private:
    std::unique_ptr<FileProva> f;
};

void TestConcorrenza::init()
{
    f = std::make_unique<FileProva>();
    QVERIFY(f->crea());
}

// A save killed at any moment never leaves a register row without its heading row, nor the reverse,
// nor a change without its history row, nor a history row without its change.
void TestConcorrenza::salvataggioUcciso()
{
    const QStringList spaiate{
        u"SELECT SspCodice FROM TabellaSerieSemplificata LEFT JOIN TestataRegistriPS ON TpsCodice = SspCodice "
        u"WHERE TpsCodice IS NULL"_s,
        u"SELECT TpsCodice FROM TestataRegistriPS LEFT JOIN TabellaSerieSemplificata ON SspCodice = TpsCodice "
        u"WHERE SspCodice IS NULL"_s,
        // Every save names its step in the rows: the latest history row of a code is what the tables hold.
        u"SELECT s.SspCodice FROM StoricoRegistri s LEFT JOIN TabellaSerieSemplificata r ON r.SspCodice = s.SspCodice "
        u"LEFT JOIN TestataRegistriPS t ON t.TpsCodice = s.SspCodice WHERE s.StoNumero = (SELECT MAX(u.StoNumero) "
        u"FROM StoricoRegistri u WHERE u.SspCodice = s.SspCodice) AND CASE WHEN s.StoOperazione = 'CANCELLAZIONE' "
        u"THEN r.SspCodice IS NOT NULL OR t.TpsCodice IS NOT NULL ELSE r.SspCodice IS NULL OR t.TpsCodice IS NULL "
        u"OR r.SspDescrizione <> s.SspDescrizione OR r.SspUltimoCarico <> s.SspUltimoCarico OR t.TpsRiga1 <> "
        u"s.TpsRiga1 END"_s,
        u"SELECT SspCodice FROM TabellaSerieSemplificata r WHERE NOT EXISTS (SELECT 1 FROM StoricoRegistri s "
        u"WHERE s.SspCodice = r.SspCodice)"_s};
    const quint32 seme = QRandomGenerator::global()->generate();
    QRandomGenerator caso(seme);
    qInfo("seme %u", seme);
    int nelGiornale = 0;
    for (int volta = 0; volta < 100; ++volta) {
        QProcess scrittore;
        scrittore.start(QStringLiteral(SCRITTORE), {u"salva"_s, f->percorso(), QString::number(caso.bounded(1000))});
        // Kill after a random number of commits, then at a random moment within the next two saves,
        // however long one takes here, so kills land in every step of one.
        const int attesi = caso.bounded(1, 6);
        QElapsedTimer orologio;
        for (int visti = 0; visti < attesi;) {
            QVERIFY2(scrittore.canReadLine() || scrittore.waitForReadyRead(20000), scrittore.readAllStandardError());
            for (; scrittore.canReadLine(); scrittore.readLine())
                if (++visti == 1)
                    orologio.start();
        }
        const qint64 salvataggio = attesi > 1 ? orologio.nsecsElapsed() / 1000 / (attesi - 1) : 0;
        const QDeadlineTimer momento(std::chrono::microseconds(caso.bounded(int(std::max<qint64>(2 * salvataggio, 4000)))),
                                     Qt::PreciseTimer);
        while (!momento.hasExpired())
            scrittore.waitForReadyRead(0);
        scrittore.kill();
        QVERIFY(scrittore.waitForFinished());
        if (!FileProva::server()) {
            nelGiornale += QFileInfo(f->percorso() + u"-journal"_s).size() > 0;
            // The first reader rolls a half-done transaction back from the journal.
            QCOMPARE(f->righe(u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
        }
        for (const QString& spaiati : spaiate)
            QCOMPARE(f->righe(spaiati), QStringList());
    }
    // The server rolls back the transaction of a client that vanished; only a file keeps a journal.
    QVERIFY2(FileProva::server() || nelGiornale > 0, "no kill left a journal to roll back");
    const Uscita verifica = lancia(QStringLiteral(PEMTARX_DB), {u"verifica"_s, f->percorso()});
    QVERIFY2(verifica.codice == 0, qPrintable(verifica.errori));
}

// Two clerks saving one code over and over: every look-up meanwhile shows both rows from one save,
// and the last save is whole. Then two clerks adding one to one number, each saving only what it read.
void TestConcorrenza::stessoCodiceInsieme()
{
    constexpr int volte = 100;
    QProcess scrittori[4];
    scrittori[0].start(QStringLiteral(SCRITTORE), {u"stesso"_s, f->percorso(), u"PRIMO"_s, QString::number(volte)});
    scrittori[1].start(QStringLiteral(SCRITTORE), {u"stesso"_s, f->percorso(), u"SECONDO"_s, QString::number(volte)});
    store::ArchivioRegistri mio(u"mio"_s);
    QVERIFY(mio.apriDatabase(f->percorso()).ok() && mio.apriRegistri().ok() && mio.apriTestata().ok());
    int lette = 0;
    for (QProcess* p : {&scrittori[0], &scrittori[1]})
        while (!p->waitForFinished(0)) {
            store::ArchivioRegistri::Righe righe;
            QVERIFY(mio.trova(u"conteso"_s, righe).ok());
            if (righe.registro && righe.testata && ++lette)
                QCOMPARE(righe.testata->value(u"TpsRigP5"_s).toString(), righe.registro->value(u"SspRiqA"_s).toString());
        }
    QVERIFY(lette > 0);
    for (int i : {2, 3})
        scrittori[i].start(QStringLiteral(SCRITTORE), {u"conta"_s, f->percorso(), QString::number(volte / 2)});
    for (QProcess& p : scrittori) {
        p.waitForFinished(120000);
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardError().constData());
    }
    QCOMPARE(f->righe(u"SELECT SspUltimoCarico FROM TabellaSerieSemplificata WHERE SspCodice = 'CONTATORE'"_s),
             QStringList{QString::number(volte)});
    const QStringList ultimo = f->righe(
        u"SELECT SspDescrizione, SspRiqA, TpsRiga1, TpsRiga2, TpsRiga3, TpsRiga4, TpsRiga5, TpsRigP1, TpsRigP2, TpsRigP3, "
        u"TpsRigP4, TpsRigP5, SspUltimoCarico FROM TabellaSerieSemplificata JOIN TestataRegistriPS ON TpsCodice = SspCodice "
        u"WHERE SspCodice = 'CONTESO'"_s);
    const QString firma = ultimo.value(0).section(u'|', 0, 0);
    QVERIFY2(firma == u"PRIMO %1"_s.arg(volte - 1) || firma == u"SECONDO %1"_s.arg(volte - 1), qPrintable(firma));
    QCOMPARE(ultimo, QStringList{QStringList(12, firma).join(u'|') + u'|' + QString::number(volte - 1)});
    // Every save of both clerks has its history row, numbered in the order the saves committed.
    const QStringList storia = f->righe(
        u"SELECT StoOperazione, SspDescrizione FROM StoricoRegistri WHERE SspCodice = 'CONTESO' ORDER BY StoNumero"_s);
    QCOMPARE(storia.size(), 2 * volte);
    QCOMPARE(storia.filter(u"INSERIMENTO"_s).size(), 1);
    QVERIFY(storia.front().startsWith(u"INSERIMENTO"_s));
    QCOMPARE(storia.back(), u"VARIAZIONE|"_s + firma);
}

QTEST_GUILESS_MAIN(TestConcorrenza)
#include "tst_store_concorrenza.moc"
