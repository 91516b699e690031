#include "sorella.h"

#include "suite/processi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum class Origine { Sorella, SorellaFinita, QuestoTest, Sleep, Script, Zero, Negativo };

// Fields 4 to 6 of /proc/PID/stat: parent, process group, session.
QList<qint64> gruppoESessione(qint64 pid)
{
    QFile stato(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    if (!stato.open(QIODevice::ReadOnly))
        return {};
    const QByteArray testo = stato.readAll();
    const QList<QByteArray> campi = testo.mid(testo.lastIndexOf(')') + 2).split(' ');
    return {campi.value(2).toLongLong(), campi.value(3).toLongLong()};
}

} // namespace

Q_DECLARE_METATYPE(Origine)

class TestProcessi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startsDetachedInASessionOfItsOwnWithClosedStreams();
    void splitsTheCommandLineAsAShellWould_data();
    void splitsTheCommandLineAsAShellWould();
    void programThatCannotStartGivesNoTask_data();
    void programThatCannotStartGivesNoTask();
    void activatesOnlyALiveProcessOfTheProgram_data();
    void activatesOnlyALiveProcessOfTheProgram();

private:
    qint64 figlio(const QString& programma, const QStringList& argomenti);

    std::unique_ptr<QTemporaryDir> cartella;
    QString programma;    // the sibling, in a path without blanks
    QString conSpazi;     // the sibling, in a folder and under a name with blanks
    QString script;
    QString contatore;
    prova::ProcessiRegistrati processi;
    std::vector<std::unique_ptr<QProcess>> figli;
};

void TestProcessi::initTestCase()
{
    cartella = std::make_unique<QTemporaryDir>();
    QVERIFY(cartella->isValid());
    programma = cartella->filePath(u"sveglia"_s);
    QVERIFY(prova::copiaSorella(programma));
    QVERIFY(QDir(cartella->path()).mkdir(u"con spazi"_s));
    conSpazi = cartella->filePath(u"con spazi/sveglia prova"_s);
    QVERIFY(prova::copiaSorella(conSpazi));
    script = cartella->filePath(u"attesa.sh"_s);
    QFile testo(script);
    QVERIFY(testo.open(QIODevice::WriteOnly));
    // The closing exit keeps the shell itself running instead of handing its process to sleep.
    testo.write("#!/bin/sh\nsleep 30\nexit 0\n");
    testo.close();
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    contatore = cartella->filePath(u"conta"_s);
}

void TestProcessi::init()
{
    QFile::remove(contatore);
}

void TestProcessi::cleanup()
{
    processi.fermaTutti();
    processi.avviati.clear();
    for (const auto& f : figli) {
        f->kill();
        f->waitForFinished(5000);
    }
    figli.clear();
}

qint64 TestProcessi::figlio(const QString& eseguibile, const QStringList& argomenti)
{
    auto& f = figli.emplace_back(std::make_unique<QProcess>());
    f->start(eseguibile, argomenti);
    return f->waitForStarted(5000) ? f->processId() : 0;
}

void TestProcessi::startsDetachedInASessionOfItsOwnWithClosedStreams()
{
    const qint64 pid = processi.avvia(prova::tra(programma) + u' ' + prova::tra(contatore));
    QVERIFY(pid > 0);
    QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), QList<qint64>{pid}, 10000);
    const QList<qint64> suoi = gruppoESessione(pid), nostri = gruppoESessione(QCoreApplication::applicationPid());
    QCOMPARE(suoi.size(), 2);
    QVERIFY(suoi[0] != nostri[0] && suoi[1] != nostri[1]);
    QCOMPARE(suoi[1], suoi[0]);
    for (int fd = 0; fd < 3; ++fd)
        QCOMPARE(QFileInfo(u"/proc/%1/fd/%2"_s.arg(pid).arg(fd)).symLinkTarget(), u"/dev/null"_s);
}

void TestProcessi::splitsTheCommandLineAsAShellWould_data()
{
    QTest::addColumn<QString>("rigaComando");
    QTest::addColumn<QStringList>("argomenti");
    const QString c = contatore;
    QTest::newRow("plain words") << programma + u' ' + c + u" uno due"_s << QStringList{c, u"uno"_s, u"due"_s};
    QTest::newRow("quoted path and argument") << prova::tra(conSpazi) + u' ' + prova::tra(c) + u" \"due parole\""_s
                                              << QStringList{c, u"due parole"_s};
    QTest::newRow("literal quotes") << programma + u' ' + c + u" \"\"\"citato\"\"\""_s
                                    << QStringList{c, u"\"citato\""_s};
    QTest::newRow("extra blanks") << u"  "_s + programma + u"   "_s + c + u"   uno  "_s << QStringList{c, u"uno"_s};
}

void TestProcessi::splitsTheCommandLineAsAShellWould()
{
    QFETCH(QString, rigaComando);
    QFETCH(QStringList, argomenti);
    const qint64 pid = processi.avvia(rigaComando);
    QVERIFY(pid > 0);
    QTRY_COMPARE_WITH_TIMEOUT(prova::avvii(contatore).size(), 1, 10000);
    QCOMPARE(prova::avvii(contatore).first(), QStringList{QString::number(pid)} + argomenti);
}

void TestProcessi::programThatCannotStartGivesNoTask_data()
{
    QTest::addColumn<QString>("rigaComando");
    QTest::newRow("missing program") << u"/inesistente/sveglia uno"_s;
    QTest::newRow("not on the path") << u"pemtarx-sveglia-inesistente"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << u"   "_s;
    QTest::newRow("a folder") << cartella->path();
    QTest::newRow("not executable") << contatore + u".txt"_s;
}

void TestProcessi::programThatCannotStartGivesNoTask()
{
    QFETCH(QString, rigaComando);
    QFile testo(contatore + u".txt"_s);
    QVERIFY(testo.open(QIODevice::WriteOnly));
    testo.close();
    QCOMPARE(processi.avvia(rigaComando), 0);
}

void TestProcessi::activatesOnlyALiveProcessOfTheProgram_data()
{
    QTest::addColumn<Origine>("origine");
    QTest::addColumn<QString>("rigaAvvio");
    QTest::addColumn<QString>("rigaComando");
    QTest::addColumn<bool>("attivato");
    const QString sorella = programma + u' ' + contatore;
    const QString spazi = prova::tra(conSpazi) + u' ' + contatore;
    QTest::newRow("live sibling") << Origine::Sorella << sorella << sorella << true;
    QTest::newRow("sibling under a path with blanks") << Origine::Sorella << spazi << spazi << true;
    QTest::newRow("ended sibling") << Origine::SorellaFinita << sorella << sorella << false;
    QTest::newRow("sibling, another copy named") << Origine::Sorella << sorella << spazi << false;
    QTest::newRow("sibling, another program named") << Origine::Sorella << sorella << u"/bin/sleep 30"_s << false;
    QTest::newRow("this test's own process") << Origine::QuestoTest << QString() << sorella << false;
    QTest::newRow("an unrelated process") << Origine::Sleep << QString() << sorella << false;
    QTest::newRow("program found on the path") << Origine::Sleep << QString() << u"sleep 30"_s << true;
    QTest::newRow("script under its interpreter") << Origine::Script << QString() << script << true;
    QTest::newRow("task zero") << Origine::Zero << QString() << sorella << false;
    QTest::newRow("negative task") << Origine::Negativo << QString() << sorella << false;
}

void TestProcessi::activatesOnlyALiveProcessOfTheProgram()
{
    QFETCH(Origine, origine);
    QFETCH(QString, rigaAvvio);
    QFETCH(QString, rigaComando);
    QFETCH(bool, attivato);
    QVERIFY(QGuiApplication::platformName() != u"xcb"_s);
    qint64 pid = 0;
    switch (origine) {
    case Origine::Sorella:
    case Origine::SorellaFinita:
        pid = processi.avvia(rigaAvvio);
        QTRY_COMPARE_WITH_TIMEOUT(prova::pidAvviati(contatore), QList<qint64>{pid}, 10000);
        if (origine == Origine::SorellaFinita) {
            prova::ferma(pid);
            QVERIFY(!prova::vivo(pid));
        }
        break;
    case Origine::QuestoTest: pid = QCoreApplication::applicationPid(); break;
    case Origine::Sleep: pid = figlio(u"sleep"_s, {u"30"_s}); break;
    case Origine::Script: pid = figlio(script, {}); break;
    case Origine::Zero: pid = 0; break;
    case Origine::Negativo: pid = -1; break;
    }
    // A child under load may not have finished its exec when QProcess reports it started.
    QTRY_COMPARE_WITH_TIMEOUT(processi.attiva(pid, rigaComando), attivato, 5000);
}

QTEST_MAIN(TestProcessi)
#include "tst_processi.moc"
