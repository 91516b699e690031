#include "sorella.h"

#include "suite/processi.h"

#include "app/processo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum class Origine { Sorella, SorellaFinita, QuestoTest, Sleep, Script, Python, Zero, Negativo };
const QString proprio = u"<proprio>"_s; // the process's own start, as recorded when it was started
const QString altrui = u"<altrui>"_s;   // another process's start: the number was reused since

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

class TestProcessi : public QObject, private prova::Banco {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void startsDetachedOrGivesNoTask_data();
    void startsDetachedOrGivesNoTask();
    void activatesOnlyALiveProcessOfTheProgram_data();
    void activatesOnlyALiveProcessOfTheProgram();

private:
    qint64 figlio(const QString& programma, const QStringList& argomenti);

    QString conSpazi;     // the sibling, in a folder and under a name with blanks
    QString script;
    QString lanciaExec, lanciaFiglio; // launcher scripts that exec the sibling, or stay its parent
    QString python;
    std::vector<std::unique_ptr<QProcess>> figli;
};

void TestProcessi::initTestCase()
{
    QVERIFY(prepara());
    QVERIFY(QDir(cartella->path()).mkdir(u"con spazi"_s));
    conSpazi = cartella->filePath(u"con spazi/sveglia prova"_s);
    QVERIFY(prova::copiaSorella(conSpazi));
    script = cartella->filePath(u"attesa.sh"_s);
    lanciaExec = cartella->filePath(u"lancia-exec"_s);
    lanciaFiglio = cartella->filePath(u"lancia-figlio"_s);
    QVERIFY(prova::scriviLanciatore(lanciaExec, programma, false));
    QVERIFY(prova::scriviLanciatore(lanciaFiglio, programma, true));
    // The closing exit keeps the shell itself running instead of handing its process to sleep.
    const QList<std::pair<QString, QByteArray>> testi{
        {script, "#!/bin/sh\nsleep 30\nexit 0\n"},
        {cartella->filePath(u"sveglia.py"_s), "import time\ntime.sleep(30)\n"},
        {cartella->filePath(u"altro.py"_s), "import time\ntime.sleep(30)\n"}};
    for (const auto& [nome, contenuto] : testi) {
        QFile testo(nome);
        QVERIFY(testo.open(QIODevice::WriteOnly) && testo.write(contenuto) == contenuto.size());
        testo.close();
        QVERIFY(QFile::setPermissions(nome, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s, u"/bin"_s});
    QVERIFY2(!python.isEmpty(), "python3 is not installed");
}

void TestProcessi::cleanup()
{
    pulisci();
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

void TestProcessi::startsDetachedOrGivesNoTask_data()
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
    // No arguments: the program cannot start, and no task is given.
    QTest::newRow("missing program") << u"/inesistente/sveglia uno"_s << QStringList();
    QTest::newRow("not on the path") << u"pemtarx-sveglia-inesistente"_s << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("blanks") << u"   "_s << QStringList();
    QTest::newRow("a folder") << cartella->path() << QStringList();
    QTest::newRow("not executable") << ini << QStringList();
}

void TestProcessi::startsDetachedOrGivesNoTask()
{
    QFETCH(QString, rigaComando);
    QFETCH(QStringList, argomenti);
    QFile testo(ini);
    QVERIFY(testo.open(QIODevice::WriteOnly));
    testo.close();
    const qint64 pid = processi.avvia(rigaComando);
    QCOMPARE(pid > 0, !argomenti.isEmpty());
    if (argomenti.isEmpty())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(prova::avvii(contatore).size(), 1, 10000);
    QCOMPARE(prova::avvii(contatore).first(), QStringList{QString::number(pid)} + argomenti);
    // In a session and process group of its own, its standard streams closed.
    const QList<qint64> suoi = gruppoESessione(pid), nostri = gruppoESessione(QCoreApplication::applicationPid());
    QCOMPARE(suoi.size(), 2);
    QVERIFY(suoi[0] != nostri[0] && suoi[1] != nostri[1]);
    QCOMPARE(suoi[1], suoi[0]);
    for (int fd = 0; fd < 3; ++fd)
        QCOMPARE(QFileInfo(u"/proc/%1/fd/%2"_s.arg(pid).arg(fd)).symLinkTarget(), u"/dev/null"_s);
}

void TestProcessi::activatesOnlyALiveProcessOfTheProgram_data()
{
    QTest::addColumn<Origine>("origine");
    QTest::addColumn<QString>("rigaAvvio");
    QTest::addColumn<QString>("rigaComando");
    QTest::addColumn<QString>("avvio");
    QTest::addColumn<bool>("attivato");
    const QString sorella = programma + u' ' + contatore;
    const QString spazi = prova::tra(conSpazi) + u' ' + contatore;
    const QString pySorella = python + u' ' + cartella->filePath(u"sveglia.py"_s);
    const QString pyAltro = cartella->filePath(u"altro.py"_s);
    const auto r = [](const char* nome, Origine o, const QString& avvio, const QString& comando, bool attivato,
                      const QString& registrato = QString()) {
        QTest::newRow(nome) << o << avvio << comando << registrato << attivato;
    };
    r("live sibling", Origine::Sorella, sorella, sorella, true);
    r("live sibling, its start recorded", Origine::Sorella, sorella, sorella, true, proprio);
    r("sibling under a path with blanks", Origine::Sorella, spazi, spazi, true);
    r("ended sibling", Origine::SorellaFinita, sorella, sorella, false, proprio);
    r("sibling, another copy named", Origine::Sorella, sorella, spazi, false);
    r("sibling, another program named", Origine::Sorella, sorella, u"/bin/sleep 30"_s, false);
    const QString exec = lanciaExec + u' ' + contatore, genitore = lanciaFiglio + u' ' + contatore;
    r("launcher that execs the program", Origine::Sorella, exec, exec, true, proprio);
    r("launcher that stays the parent", Origine::Sorella, genitore, genitore, true, proprio);
    r("this test's own process", Origine::QuestoTest, QString(), sorella, false);
    r("an unrelated process", Origine::Sleep, QString(), sorella, false);
    r("program found on the path", Origine::Sleep, QString(), u"sleep 30"_s, true);
    r("script under its interpreter", Origine::Script, QString(), script, true);
    r("interpreter's script", Origine::Python, pySorella, pySorella, true);
    r("interpreter's script, its start recorded", Origine::Python, pySorella, pySorella, true, proprio);
    r("the interpreter running another script", Origine::Python, pyAltro, pySorella, false);
    r("the number reused by the interpreter", Origine::Python, pySorella, pySorella, false, altrui);
    r("task zero", Origine::Zero, QString(), sorella, false);
    r("negative task", Origine::Negativo, QString(), sorella, false);
}

void TestProcessi::activatesOnlyALiveProcessOfTheProgram()
{
    QFETCH(Origine, origine);
    QFETCH(QString, rigaAvvio);
    QFETCH(QString, rigaComando);
    QFETCH(QString, avvio);
    QFETCH(bool, attivato);
    QVERIFY(QGuiApplication::platformName() != u"xcb"_s);
    qint64 pid = 0;
    switch (origine) {
    case Origine::Sorella:
    case Origine::SorellaFinita:
        pid = processi.avvia(rigaAvvio);
        // Recorded at once, as a start is, before a launcher hands its process to the program.
        if (avvio == proprio)
            avvio = app::avvioProcesso(pid);
        QTRY_COMPARE_WITH_TIMEOUT(prova::avvii(contatore).size(), 1, 10000);
        if (origine == Origine::SorellaFinita) {
            prova::ferma(pid);
            QVERIFY(!prova::vivo(pid));
        }
        break;
    case Origine::QuestoTest: pid = QCoreApplication::applicationPid(); break;
    case Origine::Sleep: pid = figlio(u"sleep"_s, {u"30"_s}); break;
    case Origine::Script: pid = figlio(script, {}); break;
    case Origine::Python: pid = figlio(python, {rigaAvvio.section(u' ', -1)}); break;
    case Origine::Zero: pid = 0; break;
    case Origine::Negativo: pid = -1; break;
    }
    if (avvio == proprio)
        avvio = app::avvioProcesso(pid);
    else if (avvio == altrui)
        avvio = app::avvioProcesso(QCoreApplication::applicationPid());
    // A child under load may not have finished its exec when QProcess reports it started.
    QTRY_COMPARE_WITH_TIMEOUT(processi.attiva(pid, avvio, rigaComando), attivato, 5000);
}

QTEST_MAIN(TestProcessi)
#include "tst_processi.moc"
