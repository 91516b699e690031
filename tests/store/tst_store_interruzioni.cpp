#include "fileprova.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>

using namespace Qt::StringLiterals;

// A save killed at any moment never leaves a register row without its heading row, nor the reverse,
// nor a change without its history row, nor a history row without its change.
class TestInterruzioni final : public QObject {
    Q_OBJECT
private slots:
    void salvataggioUcciso();
};

void TestInterruzioni::salvataggioUcciso()
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
    FileProva f;
    QVERIFY(f.crea());
    const quint32 seme = QRandomGenerator::global()->generate();
    QRandomGenerator caso(seme);
    qInfo("seme %u", seme);

    int interruzioniInTransazione = 0;
    int salvati = 0;
    for (int volta = 0; volta < 100; ++volta) {
        QProcess scrittore;
        scrittore.start(QStringLiteral(SCRITTORE), {u"salva"_s, f.percorso(), QString::number(caso.bounded(1000))});
        QVERIFY(scrittore.waitForStarted());
        // Kill after a random number of commits: the next transaction is then somewhere under way.
        const int attesi = caso.bounded(1, 6);
        int visti = 0;
        const QDeadlineTimer scadenza(20000);
        QElapsedTimer orologio;
        while (visti < attesi) {
            if (!scrittore.canReadLine())
                QVERIFY2(scrittore.waitForReadyRead(static_cast<int>(scadenza.remainingTime())),
                         qPrintable(u"volta %1: "_s.arg(volta) + QString::fromUtf8(scrittore.readAllStandardError())));
            while (scrittore.canReadLine()) {
                scrittore.readLine();
                if (++visti == 1)
                    orologio.start();
            }
        }
        // Then a random moment within the next two saves, however long one takes on this disk or
        // server, so kills land in every step of one.
        const qint64 salvataggio = visti > 1 ? orologio.nsecsElapsed() / 1000 / (visti - 1) : 0;
        const QDeadlineTimer momento(
            std::chrono::microseconds(caso.bounded(0, static_cast<int>(std::max<qint64>(2 * salvataggio, 4000)))),
            Qt::PreciseTimer);
        while (!momento.hasExpired())
            scrittore.waitForReadyRead(0);
        scrittore.kill();
        QVERIFY(scrittore.waitForFinished());
        QCOMPARE(scrittore.exitStatus(), QProcess::CrashExit);
        salvati += visti;
        if (!FileProva::server()) {
            if (QFileInfo(f.percorso() + u"-journal"_s).size() > 0)
                ++interruzioniInTransazione;
            // The first reader rolls a half-done transaction back from the journal.
            QCOMPARE(f.valore(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        }
        for (const QString& spaiati : spaiate)
            QVERIFY2(f.righe(spaiati).isEmpty(), qPrintable(spaiati));
    }
    qInfo("%d commits seen, %d kills inside a transaction", salvati, interruzioniInTransazione);
    // The server rolls back the transaction of a client that vanished; only a file keeps a journal.
    if (!FileProva::server())
        QVERIFY2(interruzioniInTransazione > 0, "no kill left a journal to roll back");
    QVERIFY(f.valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata"_s).toInt() > 0);

    // The office's check finds the file whole after the last kill.
    QProcess verifica;
    verifica.start(QStringLiteral(PEMTARX_DB), {u"verifica"_s, f.percorso()});
    QVERIFY(verifica.waitForFinished(30000));
    QVERIFY2(verifica.exitStatus() == QProcess::NormalExit && verifica.exitCode() == 0,
             verifica.readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(TestInterruzioni)
#include "tst_store_interruzioni.moc"
