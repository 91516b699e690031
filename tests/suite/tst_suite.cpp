// The suite's programs finding one another: the settings file's bookkeeping, starting a program, bringing its
// window forward. ctest runs it offscreen, and theEarlierWindowComesForward on an Xvfb without a window manager.
#include "suite/moduliopzionali.h"
#include "suite/processi.h"

#include "app/dialoghi.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString zevedez = u"Zevedez"_s;

QString tra(const QString& testo)
{
    return u'"' + testo + u'"';
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool scrivi(const QString& file, const QByteArray& testo, bool eseguibile = false)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(testo) == testo.size() &&
           f.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                            (eseguibile ? QFile::ExeOwner : QFile::Permission{}));
}

// The starts the sibling recorded in its counter file: "pid<TAB>arguments" each.
QStringList avvii(const QString& contatore)
{
    return QString::fromUtf8(contenuto(contatore)).split(u'\n', Qt::SkipEmptyParts);
}

QList<qint64> pidAvviati(const QString& contatore)
{
    QList<qint64> pid;
    for (const QString& riga : avvii(contatore))
        pid << riga.section(u'\t', 0, 0).toLongLong();
    return pid;
}

bool vivo(qint64 pid)
{
    return pid > 0 && !app::avvioProcesso(pid).isEmpty();
}

// A detached process is no child of ours: this polls until it is gone.
void ferma(qint64 pid)
{
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
    QTRY_VERIFY(!vivo(pid));
}

// What xdotool prints: window ids in decimal, one a line.
QStringList xdotool(const QStringList& argomenti)
{
    QProcess x;
    x.start(u"xdotool"_s, argomenti);
    x.waitForFinished(20000);
    return QString::fromLatin1(x.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

// What the called section names before the request; the start handed to attiva.
enum class Prima { Niente, Sorella, SorellaFinita, Estraneo, QuestoTest };
enum class Avvio { Ignoto, Proprio, Altrui, Finito };

struct Identita {
    QString avvio; // the command line started; none: the task is `pid`
    QString comando;
    Avvio registrato;
    bool attivato;
    qint64 pid = 0;
};

struct Richiesta {
    QString applicativi = {}; // the section naming the programs; none: the sibling's command line
    Prima prima = Prima::Niente;
    QString handle = u"<assente>"_s;
    QString chiamante = u"x1"_s, chiamata = u"Y2"_s; // the caller's company, the one the called section records
    bool attivata = false;                           // the earlier instance came forward, nothing new started
    QString messaggio = {};
};
Q_DECLARE_METATYPE(Identita)
Q_DECLARE_METATYPE(Richiesta)

class TestSuite : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void startsDetachedOrGivesNoTask_data();
    void startsDetachedOrGivesNoTask();
    void activatesOnlyALiveProcessOfTheProgram_data();
    void activatesOnlyALiveProcessOfTheProgram();
    void requestActivatesTheCompanysInstanceOrStartsOne_data();
    void requestActivatesTheCompanysInstanceOrStartsOne();
    void siblingWritingAtTheSameTimeLosesNothing();
    void theEarlierWindowComesForward_data();
    void theEarlierWindowComesForward();

  private:
    QString in(const QString& nome) const { return cartella.filePath(nome); }
    qint64 avvia(const QString& comando) { return avviati.emplace_back(processi.avvia(comando)); }
    std::unique_ptr<suite::ModuliOpzionali> modulo()
    {
        auto m = std::make_unique<suite::ModuliOpzionali>(ini, u"P9"_s, dialoghi, processi);
        m->nomeProceduraChiamata(zevedez);
        m->nomeProceduraChiamante(u"BASE"_s);
        return m;
    }

    QTemporaryDir cartella;
    const QString programma = QString::fromUtf8(PEMTARX_SVEGLIA_PROVA);
    const QString spazi = in(u"con spazi/sveglia prova"_s); // a copy of the sibling, blanks in its path
    const QString contatore = in(u"conta"_s), ini = in(u"Quendrix.ini"_s);
    const QString python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s, u"/bin"_s});
    suite::ProcessiSistema processi;
    QList<qint64> avviati;
    app::DialoghiScript dialoghi;
};

void TestSuite::initTestCase()
{
    QVERIFY(QDir(cartella.path()).mkdir(u"con spazi"_s) && QFile::copy(programma, spazi) && !python.isEmpty());
    const QByteArray sorella = QFile::encodeName(tra(programma)) + " \"$@\"";
    // The closing exit keeps the shell running instead of handing its process to the command.
    QVERIFY(scrivi(in(u"lancia-exec"_s), "#!/bin/sh\nexec " + sorella + '\n', true));
    QVERIFY(scrivi(in(u"lancia-figlio"_s), "#!/bin/sh\n" + sorella + "\nexit 0\n", true));
    QVERIFY(scrivi(in(u"attesa.sh"_s), "#!/bin/sh\nsleep 30\nexit 0\n", true));
    QVERIFY(scrivi(in(u"sveglia.py"_s), "import time\ntime.sleep(30)\n"));
    QVERIFY(scrivi(in(u"altro.py"_s), "import time\ntime.sleep(30)\n"));
}

void TestSuite::cleanup()
{
    // A launcher that stays the parent leaves the sibling running when it is stopped: both are stopped.
    for (const qint64 pid : pidAvviati(contatore) + avviati)
        ferma(pid);
    avviati.clear();
    dialoghi.domande.clear();
    QFile::remove(contatore);
}

void TestSuite::startsDetachedOrGivesNoTask_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QStringList>("argomenti"); // none: it cannot start and no task is given
    QTest::newRow("quoted, literal quotes, extra blanks")
        << u"  "_s + tra(spazi) + u"  "_s + contatore + u" \"due parole\"   \"\"\"citato\"\"\" "_s
        << QStringList{contatore, u"due parole"_s, u"\"citato\""_s};
    QTest::newRow("missing program") << u"/inesistente/sveglia uno"_s << QStringList();
    QTest::newRow("not on the path") << u"pemtarx-sveglia-inesistente"_s << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("blanks") << u"   "_s << QStringList();
    QTest::newRow("a folder") << cartella.path() << QStringList();
    QTest::newRow("not executable") << in(u"altro.py"_s) << QStringList();
}

void TestSuite::startsDetachedOrGivesNoTask()
{
    QFETCH(QString, comando);
    QFETCH(QStringList, argomenti);
    const qint64 pid = processi.avvia(comando);
    QCOMPARE(pid > 0, !argomenti.isEmpty());
    if (!pid)
        return;
    QTRY_COMPARE_WITH_TIMEOUT(avvii(contatore), QStringList(QString::number(pid) + u'\t' + argomenti.join(u'\t')),
                              10000);
    // In a session and process group of its own, its standard streams closed.
    const auto gruppoESessione = [](const QString& pid) {
        return contenuto(u"/proc/"_s + pid + u"/stat"_s).split(')').last().split(' ').mid(3, 2);
    };
    const QList<QByteArray> suoi = gruppoESessione(QString::number(pid)), nostri = gruppoESessione(u"self"_s);
    QVERIFY(suoi[0] != nostri[0] && suoi[1] != nostri[1] && suoi[0] == suoi[1]);
    for (int fd = 0; fd < 3; ++fd)
        QCOMPARE(QFileInfo(u"/proc/%1/fd/%2"_s.arg(pid).arg(fd)).symLinkTarget(), u"/dev/null"_s);
}

void TestSuite::activatesOnlyALiveProcessOfTheProgram_data()
{
    QTest::addColumn<Identita>("caso");
    const QString s = programma + u' ' + contatore, sp = tra(spazi) + u' ' + contatore;
    const QString exec = in(u"lancia-exec"_s) + u' ' + contatore, figlio = in(u"lancia-figlio"_s) + u' ' + contatore;
    const QString py = python + u' ' + in(u"sveglia.py"_s), script = in(u"attesa.sh"_s);
    QTest::newRow("live sibling") << Identita{s, s, Avvio::Ignoto, true};
    QTest::newRow("live sibling, its start recorded") << Identita{s, s, Avvio::Proprio, true};
    QTest::newRow("sibling under a path with blanks") << Identita{sp, sp, Avvio::Ignoto, true};
    QTest::newRow("ended sibling") << Identita{s, s, Avvio::Finito, false};
    QTest::newRow("sibling, another copy named") << Identita{s, sp, Avvio::Ignoto, false};
    QTest::newRow("sibling, another program named") << Identita{s, u"/bin/sleep 30"_s, Avvio::Ignoto, false};
    QTest::newRow("launcher that execs the program") << Identita{exec, exec, Avvio::Proprio, true};
    QTest::newRow("launcher that stays the parent") << Identita{figlio, figlio, Avvio::Proprio, true};
    QTest::newRow("an unrelated process") << Identita{u"sleep 30"_s, s, Avvio::Ignoto, false};
    QTest::newRow("program found on the path") << Identita{u"sleep 30"_s, u"sleep 30"_s, Avvio::Ignoto, true};
    QTest::newRow("script under its interpreter") << Identita{script, script, Avvio::Ignoto, true};
    QTest::newRow("interpreter's script") << Identita{py, py, Avvio::Ignoto, true};
    QTest::newRow("interpreter's script, its start recorded") << Identita{py, py, Avvio::Proprio, true};
    QTest::newRow("the interpreter running another script")
        << Identita{python + u' ' + in(u"altro.py"_s), py, Avvio::Ignoto, false};
    QTest::newRow("the number reused by the interpreter") << Identita{py, py, Avvio::Altrui, false};
    QTest::newRow("this test's own process")
        << Identita{{}, s, Avvio::Ignoto, false, QCoreApplication::applicationPid()};
    QTest::newRow("task zero") << Identita{{}, s, Avvio::Ignoto, false, 0};
    QTest::newRow("negative task") << Identita{{}, s, Avvio::Ignoto, false, -1};
}

void TestSuite::activatesOnlyALiveProcessOfTheProgram()
{
    QFETCH(Identita, caso);
    const qint64 pid = caso.avvio.isEmpty() ? caso.pid : avvia(caso.avvio);
    // Recorded at once, as a start is, before a launcher hands its process to the program.
    const QString proprio = app::avvioProcesso(pid), noi = QCoreApplication::applicationFilePath();
    // Until its exec the new process runs a copy of this test.
    QTRY_VERIFY(caso.avvio.isEmpty() || QFileInfo(u"/proc/%1/exe"_s.arg(pid)).canonicalFilePath() != noi);
    if (caso.registrato == Avvio::Finito)
        ferma(pid);
    const QString avvio = caso.registrato == Avvio::Ignoto   ? QString()
                          : caso.registrato == Avvio::Altrui ? app::avvioProcesso(QCoreApplication::applicationPid())
                                                             : proprio;
    QTRY_COMPARE_WITH_TIMEOUT(processi.attiva(pid, avvio, caso.comando), caso.attivato, 5000);
}

void TestSuite::requestActivatesTheCompanysInstanceOrStartsOne_data()
{
    QTest::addColumn<Richiesta>("caso");
    const QString lista = u"[APPLICATIVI]\r\nZevedez="_s, manca = tra(in(u"manca"_s)) + u" uno"_s;
    const QString nonPresente = u"Zevedez non presente su "_s + ini, lanciatore = tra(in(u"lancia-exec"_s));
    const QString sorella = u" "_s + tra(contatore) + u" prova"_s;
    // Nothing started, nothing written but the caller's company.
    QTest::newRow("named only in another section") << Richiesta{
        .applicativi = u"[ALTRI]\r\nZevedez="_s + tra(spazi) + sorella, .handle = u" 77"_s, .messaggio = nonPresente};
    QTest::newRow("blank command") << Richiesta{.applicativi = lista + u"   "_s, .messaggio = nonPresente};
    QTest::newRow("section header not closed")
        << Richiesta{.applicativi = u"[APPLICATIVI\r\nZevedez="_s + tra(spazi) + sorella, .messaggio = nonPresente};
    QTest::newRow("program that cannot start")
        << Richiesta{.applicativi = lista + manca, .handle = u" 77"_s, .messaggio = manca + u" non trovato"_s};
    // No task to ask for: a new instance, and the stale company left in the section gives way to the caller's.
    for (const char* handle : {"<assente>", "", "   ", "abc", "12abc", "0", "-4", "99999999999"})
        QTest::addRow("handle \"%s\"", handle) << Richiesta{.handle = QString::fromLatin1(handle)};
    const auto corre = [](Prima prima, const char* chiamante, const char* chiamata, bool attivata) {
        return Richiesta{.prima = prima,
                         .handle = {},
                         .chiamante = QString::fromLatin1(chiamante),
                         .chiamata = QString::fromLatin1(chiamata),
                         .attivata = attivata};
    };
    QTest::newRow("running for the same company is activated") << corre(Prima::Sorella, "X1", "X1", true);
    QTest::newRow("same company, caller in lower case") << corre(Prima::Sorella, "x1", "X1", true);
    QTest::newRow("same company, sibling in lower case") << corre(Prima::Sorella, "X1", "x1", true);
    QTest::newRow("running for another company: a second instance") << corre(Prima::Sorella, "X1", "Y2", false);
    QTest::newRow("killed: a new instance") << corre(Prima::SorellaFinita, "X1", "X1", false);
    Richiesta lanciata = corre(Prima::Sorella, "X1", "X1", true);
    lanciata.applicativi = lista + lanciatore + sorella;
    QTest::newRow("started through a launcher that execs it") << lanciata;
    QTest::newRow("handle of a task now running sleep") << corre(Prima::Estraneo, "X1", "X1", false);
    QTest::newRow("handle of the caller's own task") << corre(Prima::QuestoTest, "X1", "X1", false);
}

void TestSuite::requestActivatesTheCompanysInstanceOrStartsOne()
{
    QFETCH(Richiesta, caso);
    const QString applicativi = caso.applicativi.isEmpty()
                                    ? u"[APPLICATIVI]\r\nZevedez="_s + tra(spazi) + u' ' + tra(contatore) + u" prova"_s
                                    : caso.applicativi;
    const QString handle = caso.handle == u"<assente>"_s ? QString() : u"HANDLE="_s + caso.handle + u"\r\n"_s;
    QVERIFY(scrivi(ini, (u"[BASE]\r\nDITTA="_s + caso.chiamante + u"\r\n"_s + applicativi + u"\r\n[Zevedez]\r\n"_s +
                         handle + u"DITTA="_s + caso.chiamata + u"\r\n"_s)
                            .toLatin1()));
    qint64 vecchio = 0;
    if (caso.prima == Prima::Sorella || caso.prima == Prima::SorellaFinita) {
        // Started as an earlier request would have.
        modulo()->lanciaProcedura(app::leggiIni(ini, u"APPLICATIVI"_s, zevedez));
        QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore).size(), 1, 10000);
        vecchio = pidAvviati(contatore)[0];
        if (caso.prima == Prima::SorellaFinita)
            ferma(vecchio);
    } else if (caso.prima != Prima::Niente) {
        vecchio = caso.prima == Prima::Estraneo ? avvia(u"sleep 30"_s) : QCoreApplication::applicationPid();
        QVERIFY(app::scriviIni(ini, zevedez, u"HANDLE"_s, u' ' + QString::number(vecchio)));
    }
    const qsizetype prima = pidAvviati(contatore).size();
    const QByteArray file = contenuto(ini);
    auto m = modulo();

    m->attivaProcedura();
    QCOMPARE(contenuto(ini) == file, !caso.messaggio.isEmpty() || caso.attivata);
    m->scriviCodiceSocieta();

    QCOMPARE(dialoghi.domande.size(), caso.messaggio.isEmpty() ? 0 : 1);
    QCOMPARE(dialoghi.domande.value(0).testo, caso.messaggio);
    const bool nuova = !caso.attivata && caso.messaggio.isEmpty();
    QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore).size(), prima + (nuova ? 1 : 0), 10000);
    QVERIFY(!caso.attivata || vivo(vecchio));
    // The instance running, one blank before its digits; the caller's company, never the program's own.
    const QByteArray riga = "\r\nHANDLE= " + QByteArray::number(nuova ? pidAvviati(contatore).last() : vecchio);
    QVERIFY(!caso.messaggio.isEmpty() || contenuto(ini).contains(QByteArray(riga + "\r\n")));
    QCOMPARE(app::leggiIni(ini, zevedez, u"DITTA"_s), u"X1"_s);
}

void TestSuite::siblingWritingAtTheSameTimeLosesNothing()
{
    constexpr int scritture = 40;
    QVERIFY(scrivi(ini, "[BASE]\r\nDITTA=X1\r\n[Zevedez]\r\nHANDLE=4321\r\nDITTA=y3\r\n"));
    auto m = modulo();
    m->leggiHandle();
    m->leggiCodiceSocieta();
    QCOMPARE(m->numeroHandleString().toString() + m->codiceDitta().toString(), u"4321Y3"_s);
    QProcess sorella;
    sorella.start(programma, {u"--scrivi"_s, ini, zevedez, QString::number(scritture)});
    QTRY_COMPARE_WITH_TIMEOUT(app::leggiIni(ini, zevedez, u"SVEGLIA1"_s), u"1"_s, 10000);
    m->codiceDitta(u"ZZ"_s);
    for (int i = 0; i < scritture; ++i) {
        m->scriviHandle();
        m->scriviCodiceSocieta();
        m->pulisciHandle();
    }

    QVERIFY(sorella.waitForFinished(60000) && sorella.exitCode() == 0);
    for (int i = 1; i <= scritture; ++i)
        QCOMPARE(app::leggiIni(ini, zevedez, u"SVEGLIA"_s + QString::number(i)), QString::number(i));
    // HANDLE kept, empty; the company the program's own, whatever given.
    QVERIFY(contenuto(ini).contains("\r\nHANDLE=\r\nDITTA=P9\r\n"));
    QCOMPARE(app::leggiIni(ini, u"BASE"_s, u"DITTA"_s), u"X1"_s);
    m->scriviHandle();
    QVERIFY(contenuto(ini).contains(
        QByteArray("\r\nHANDLE= " + QByteArray::number(QCoreApplication::applicationPid()) + "\r\n")));
}

void TestSuite::theEarlierWindowComesForward_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<bool>("finestra");
    QTest::newRow("its window raised and focused") << programma + u' ' + contatore << true;
    QTest::newRow("the window of a launcher's child") << in(u"lancia-figlio"_s) + u' ' + contatore << true;
    QTest::newRow("no window: not activated") << programma + u' ' + contatore + u" --senza-finestra"_s << false;
}

void TestSuite::theEarlierWindowComesForward()
{
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("on an X server only");
    QFETCH(QString, comando);
    QFETCH(bool, finestra);
    const auto finestraDi = [this](int i) {
        Q_UNUSED(QTest::qWaitFor([&] { return pidAvviati(contatore).size() > i; }, 10000));
        const QString pid = QString::number(pidAvviati(contatore).value(i));
        return xdotool({u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--pid"_s, pid}).value(0);
    };
    // Without a window manager: the shown window at the top of the stack, and the focused one.
    const auto davanti = [] {
        const QStringList mostrate =
            xdotool({u"search"_s, u"--maxdepth"_s, u"1"_s, u"--onlyvisible"_s, u"--name"_s, u"."_s});
        return QString(mostrate.join(u' ').section(u' ', -1) + u' ' + xdotool({u"getwindowfocus"_s}).value(0));
    };
    const qint64 pid = processi.avvia(comando);
    const QString avvio = app::avvioProcesso(pid), a = finestra ? finestraDi(0) : QString();
    processi.avvia(programma + u' ' + contatore);
    const QString b = finestraDi(1);
    QTRY_VERIFY_WITH_TIMEOUT(davanti().startsWith(b + u' '), 10000);

    QCOMPARE(processi.attiva(pid, avvio, comando), finestra);
    if (finestra)
        QTRY_COMPARE_WITH_TIMEOUT(davanti(), a + u' ' + a, 10000);
}

QTEST_MAIN(TestSuite)
#include "tst_suite.moc"
