// The suite's programs finding one another: the settings file's bookkeeping, starting a program, bringing its
// window forward. ctest runs it offscreen, and theEarlierWindowComesForward on an Xvfb without a window manager.
#include "suite/moduliopzionali.h"
#include "suite/processi.h"

#include "app/dialoghi.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString zevedez = u"Zevedez"_s;
const QString assente = u"<assente>"_s;

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
        pid.append(riga.section(u'\t', 0, 0).toLongLong());
    return pid;
}

bool vivo(qint64 pid)
{
    return pid > 0 && !app::avvioProcesso(pid).isEmpty();
}

// SIGTERM, then SIGKILL; a detached process is no child of ours, so this polls until it is gone.
void ferma(qint64 pid)
{
    for (const int segnale : {SIGTERM, SIGKILL}) {
        if (vivo(pid))
            ::kill(pid_t(pid), segnale);
        for (QDeadlineTimer termine(5000); vivo(pid) && !termine.hasExpired();)
            QThread::msleep(10);
    }
}

// The line of `chiave` in `sezione` exactly as written, blanks kept.
QString rigaGrezza(const QString& file, const QString& sezione, const QString& chiave)
{
    bool dentro = false;
    for (const QString& riga : QString::fromLatin1(contenuto(file)).split(u"\r\n"_s)) {
        if (riga.startsWith(u'['))
            dentro = riga.compare(u'[' + sezione + u']', Qt::CaseInsensitive) == 0;
        else if (dentro && riga.startsWith(chiave + u'=', Qt::CaseInsensitive))
            return riga;
    }
    return {};
}

// Process group and session, from /proc/PID/stat.
QList<qint64> gruppoESessione(qint64 pid)
{
    const QByteArray stato = contenuto(u"/proc/%1/stat"_s.arg(pid));
    const QList<QByteArray> campi = stato.mid(stato.lastIndexOf(')') + 2).split(' ');
    return {campi.value(2).toLongLong(), campi.value(3).toLongLong()};
}

// What an X tool prints: window ids in decimal, one a line.
QString x11(const QStringList& argomenti)
{
    QProcess strumento;
    strumento.start(u"xdotool"_s, argomenti);
    strumento.waitForFinished(20000);
    return QString::fromLatin1(strumento.readAllStandardOutput()).trimmed();
}

QString finestraDi(qint64 pid)
{
    return x11({u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)}).section(u'\n', 0, 0);
}

// Without a window manager: the shown window at the top of the stack, and the one with the focus.
QString inCimaEFuoco()
{
    return x11({u"search"_s, u"--maxdepth"_s, u"1"_s, u"--onlyvisible"_s, u"--name"_s, u"."_s}).section(u'\n', -1) +
           u' ' + x11({u"getwindowfocus"_s});
}

// Every box shown: text, title, buttons, icon.
QStringList scatole(const app::DialoghiScript& dialoghi)
{
    QStringList testi;
    for (const auto& d : dialoghi.domande)
        testi << u"%1|%2|%3|%4"_s.arg(d.testo, d.titolo).arg(int(d.pulsanti)).arg(int(d.icona));
    return testi;
}

// The real processes, with a record of what was asked of them.
class Registrati final : public suite::Processi {
  public:
    suite::ProcessiSistema sistema;
    QList<qint64> avviati, richieste, attivati;
    qint64 avvia(const QString& rigaComando) override
    {
        const qint64 pid = sistema.avvia(rigaComando);
        if (pid)
            avviati << pid;
        return pid;
    }
    bool attiva(qint64 pid, const QString& avvio, const QString& rigaComando) override
    {
        richieste << pid;
        const bool riuscita = sistema.attiva(pid, avvio, rigaComando);
        if (riuscita)
            attivati << pid;
        return riuscita;
    }
};

} // namespace

// What the called section names before the request; the start handed to attiva.
enum class Prima { Niente, Sorella, SorellaFinita, Estraneo, QuestoTest };
enum class Avvio { Ignoto, Proprio, Altrui, Finito };
Q_DECLARE_METATYPE(Prima)
Q_DECLARE_METATYPE(Avvio)

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
    std::unique_ptr<suite::ModuliOpzionali> modulo()
    {
        auto m = std::make_unique<suite::ModuliOpzionali>(ini, u"P9"_s, dialoghi, processi);
        m->nomeProceduraChiamata(zevedez);
        m->nomeProceduraChiamante(u"BASE"_s);
        return m;
    }

    QTemporaryDir cartella;
    const QString programma = QString::fromUtf8(PEMTARX_SVEGLIA_PROVA);
    QString spazi, contatore, ini, python; // spazi: a copy of the sibling, with blanks in its path
    Registrati processi;
    app::DialoghiScript dialoghi;
};

void TestSuite::initTestCase()
{
    QVERIFY(cartella.isValid() && QDir(cartella.path()).mkdir(u"con spazi"_s));
    spazi = in(u"con spazi/sveglia prova"_s);
    contatore = in(u"conta"_s);
    ini = in(u"Quendrix.ini"_s);
    python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s, u"/bin"_s});
    QVERIFY(!python.isEmpty() && QFile::copy(programma, spazi));
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
    for (const qint64 pid : pidAvviati(contatore) + processi.avviati)
        ferma(pid);
    processi.avviati = processi.richieste = processi.attivati = {};
    dialoghi.domande.clear();
    QFile::remove(contatore);
}

void TestSuite::startsDetachedOrGivesNoTask_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<QStringList>("argomenti"); // none: it cannot start and no task is given
    const QString c = contatore;
    QTest::newRow("plain words") << programma + u' ' + c + u" uno due"_s << QStringList{c, u"uno"_s, u"due"_s};
    QTest::newRow("quoted path and argument")
        << tra(spazi) + u' ' + tra(c) + u" \"due parole\""_s << QStringList{c, u"due parole"_s};
    QTest::newRow("literal quotes") << programma + u' ' + c + u" \"\"\"citato\"\"\""_s
                                    << QStringList{c, u"\"citato\""_s};
    QTest::newRow("extra blanks") << u"  "_s + programma + u"   "_s + c + u"   uno  "_s << QStringList{c, u"uno"_s};
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
    const QList<qint64> suoi = gruppoESessione(pid), nostri = gruppoESessione(QCoreApplication::applicationPid());
    QVERIFY(suoi[0] != nostri[0] && suoi[1] != nostri[1] && suoi[0] == suoi[1]);
    for (int fd = 0; fd < 3; ++fd)
        QCOMPARE(QFileInfo(u"/proc/%1/fd/%2"_s.arg(pid).arg(fd)).symLinkTarget(), u"/dev/null"_s);
}

void TestSuite::activatesOnlyALiveProcessOfTheProgram_data()
{
    QTest::addColumn<QString>("avvio"); // the command line started; none: the task is `pid`
    QTest::addColumn<qint64>("pid");
    QTest::addColumn<QString>("comando");
    QTest::addColumn<Avvio>("registrato");
    QTest::addColumn<bool>("attivato");
    const QString s = programma + u' ' + contatore, sp = tra(spazi) + u' ' + contatore;
    const QString exec = in(u"lancia-exec"_s) + u' ' + contatore, figlio = in(u"lancia-figlio"_s) + u' ' + contatore;
    const QString py = python + u' ' + in(u"sveglia.py"_s), script = in(u"attesa.sh"_s);
    const auto r = [](const char* nome, const QString& avvio, const QString& comando, Avvio registrato, bool attivato,
                      qint64 pid = 0) { QTest::newRow(nome) << avvio << pid << comando << registrato << attivato; };
    r("live sibling", s, s, Avvio::Ignoto, true);
    r("live sibling, its start recorded", s, s, Avvio::Proprio, true);
    r("sibling under a path with blanks", sp, sp, Avvio::Ignoto, true);
    r("ended sibling", s, s, Avvio::Finito, false);
    r("sibling, another copy named", s, sp, Avvio::Ignoto, false);
    r("sibling, another program named", s, u"/bin/sleep 30"_s, Avvio::Ignoto, false);
    r("launcher that execs the program", exec, exec, Avvio::Proprio, true);
    r("launcher that stays the parent", figlio, figlio, Avvio::Proprio, true);
    r("an unrelated process", u"sleep 30"_s, s, Avvio::Ignoto, false);
    r("program found on the path", u"sleep 30"_s, u"sleep 30"_s, Avvio::Ignoto, true);
    r("script under its interpreter", script, script, Avvio::Ignoto, true);
    r("interpreter's script", py, py, Avvio::Ignoto, true);
    r("interpreter's script, its start recorded", py, py, Avvio::Proprio, true);
    r("the interpreter running another script", python + u' ' + in(u"altro.py"_s), py, Avvio::Ignoto, false);
    r("the number reused by the interpreter", py, py, Avvio::Altrui, false);
    r("this test's own process", {}, s, Avvio::Ignoto, false, QCoreApplication::applicationPid());
    r("task zero", {}, s, Avvio::Ignoto, false, 0);
    r("negative task", {}, s, Avvio::Ignoto, false, -1);
}

void TestSuite::activatesOnlyALiveProcessOfTheProgram()
{
    QFETCH(QString, avvio);
    QFETCH(qint64, pid);
    QFETCH(QString, comando);
    QFETCH(Avvio, registrato);
    QFETCH(bool, attivato);
    if (!avvio.isEmpty())
        QVERIFY((pid = processi.avvia(avvio)) > 0);
    // Recorded at once, as a start is, before a launcher hands its process to the program.
    const QString proprio = app::avvioProcesso(pid);
    // Until its exec the new process runs a copy of this test.
    const QString noi = QCoreApplication::applicationFilePath();
    QTRY_VERIFY(avvio.isEmpty() || QFileInfo(u"/proc/%1/exe"_s.arg(pid)).canonicalFilePath() != noi);
    if (registrato == Avvio::Finito)
        ferma(pid);
    const QString dato = registrato == Avvio::Ignoto   ? QString()
                         : registrato == Avvio::Altrui ? app::avvioProcesso(QCoreApplication::applicationPid())
                                                       : proprio;
    QTRY_COMPARE_WITH_TIMEOUT(processi.attiva(pid, dato, comando), attivato, 5000);
}

void TestSuite::requestActivatesTheCompanysInstanceOrStartsOne_data()
{
    QTest::addColumn<QString>("applicativi"); // the lines naming the programs
    QTest::addColumn<Prima>("prima");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<QString>("chiamante"); // the caller's company
    QTest::addColumn<QString>("chiamata");  // the company the called section records
    QTest::addColumn<bool>("chiesta");      // the recorded task was asked to come forward
    QTest::addColumn<bool>("attivata");     // and it did, so nothing new was started
    QTest::addColumn<QString>("messaggio");
    // A blank in the program's path: each start goes through the quoting of the command line.
    const QString lista = u"[APPLICATIVI]\r\nZevedez="_s, comando = tra(spazi) + u' ' + tra(contatore) + u" prova"_s;
    const QString nonPresente = u"Zevedez non presente su "_s + ini, manca = tra(in(u"manca"_s)) + u" uno"_s;
    const auto avviso = [](const char* nome, const QString& applicativi, const QString& messaggio) {
        QTest::newRow(nome) << applicativi << Prima::Niente << u" 77"_s << u"x1"_s << u"Y2"_s << false << false
                            << messaggio;
    };
    avviso("named only in another section", u"[ALTRI]\r\nZevedez="_s + comando, nonPresente);
    avviso("blank command", lista + u"   "_s, nonPresente);
    avviso("section header not closed", u"[APPLICATIVI\r\nZevedez="_s + comando, nonPresente);
    avviso("program that cannot start", lista + manca, manca + u" non trovato"_s);
    // No task to ask for: a new instance, and the stale company left in the section gives way to the caller's.
    const auto testo = [&](const char* nome, const QString& handle) {
        QTest::newRow(nome) << lista + comando << Prima::Niente << handle << u"x1"_s << u"Y2"_s << false << false
                            << QString();
    };
    testo("no handle key", assente);
    testo("empty handle", QString());
    testo("blank handle", u"   "_s);
    testo("handle not a number", u"abc"_s);
    testo("handle a number followed by text", u"12abc"_s);
    testo("handle zero", u"0"_s);
    testo("handle negative", u"-4"_s);
    testo("handle beyond a task number", u"99999999999"_s);
    const auto corre = [&](const char* nome, Prima prima, const QString& chiamante, const QString& chiamata,
                           bool chiesta, bool attivata, const QString& programma = {}) {
        QTest::newRow(nome) << lista + (programma.isEmpty() ? comando : programma) << prima << QString() << chiamante
                            << chiamata << chiesta << attivata << QString();
    };
    corre("running for the same company is activated", Prima::Sorella, u"X1"_s, u"X1"_s, true, true);
    corre("same company, caller in lower case", Prima::Sorella, u"x1"_s, u"X1"_s, true, true);
    corre("same company, sibling in lower case", Prima::Sorella, u"X1"_s, u"x1"_s, true, true);
    corre("running for another company: a second instance", Prima::Sorella, u"X1"_s, u"Y2"_s, false, false);
    corre("ended task: a new instance", Prima::SorellaFinita, u"X1"_s, u"X1"_s, true, false);
    corre("started through a launcher that execs it", Prima::Sorella, u"X1"_s, u"X1"_s, true, true,
          tra(in(u"lancia-exec"_s)) + u' ' + tra(contatore) + u" x"_s);
    corre("handle of a task now running sleep", Prima::Estraneo, u"X1"_s, u"X1"_s, true, false);
    corre("handle of the caller's own task", Prima::QuestoTest, u"X1"_s, u"X1"_s, true, false);
}

void TestSuite::requestActivatesTheCompanysInstanceOrStartsOne()
{
    QFETCH(QString, applicativi);
    QFETCH(Prima, prima);
    QFETCH(QString, handle);
    QFETCH(QString, chiamante);
    QFETCH(QString, chiamata);
    QFETCH(bool, chiesta);
    QFETCH(bool, attivata);
    QFETCH(QString, messaggio);
    const QString chiave = handle == assente ? QString() : u"HANDLE="_s + handle + u"\r\n"_s;
    QVERIFY(scrivi(ini, (u"; impostazioni della suite\r\n[BASE]\r\nDITTA="_s + chiamante + u"\r\n"_s + applicativi +
                         u"\r\n[Zevedez]\r\n"_s + chiave + u"DITTA="_s + chiamata + u"\r\n"_s)
                            .toLatin1()));
    qint64 vecchio = 0;
    QList<qint64> sorelle; // every sibling expected in the counter file
    if (prima == Prima::Sorella || prima == Prima::SorellaFinita) {
        // Started as an earlier request would have.
        modulo()->lanciaProcedura(app::leggiIni(ini, u"APPLICATIVI"_s, zevedez));
        sorelle << (vecchio = processi.avviati.value(0));
        QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore), sorelle, 10000);
        if (prima == Prima::SorellaFinita)
            ferma(vecchio);
    } else if (prima != Prima::Niente) {
        vecchio = prima == Prima::Estraneo ? processi.avvia(u"sleep 30"_s) : QCoreApplication::applicationPid();
        QVERIFY(app::scriviIni(ini, zevedez, u"HANDLE"_s, u' ' + QString::number(vecchio)));
    }
    const qsizetype giaAvviati = processi.avviati.size();
    const QByteArray file = contenuto(ini);
    auto m = modulo();

    m->attivaProcedura();
    if (!messaggio.isEmpty())
        QCOMPARE(contenuto(ini), file);
    m->scriviCodiceSocieta();

    // With only an OK button and no icon.
    QCOMPARE(scatole(dialoghi), messaggio.isEmpty() ? QStringList() : QStringList(messaggio + u"|Pemtarx|0|0"_s));
    QCOMPARE(processi.richieste, chiesta ? QList<qint64>{vecchio} : QList<qint64>());
    QCOMPARE(processi.attivati, attivata ? QList<qint64>{vecchio} : QList<qint64>());
    const QList<qint64> nuove = processi.avviati.mid(giaAvviati);
    QCOMPARE(nuove.size(), attivata || !messaggio.isEmpty() ? 0 : 1);
    sorelle += nuove;
    QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore), sorelle, 10000);
    if (attivata)
        QVERIFY(vivo(vecchio));
    if (!nuove.isEmpty())
        QCOMPARE(m->numeroHandleString().toString(), u' ' + QString::number(nuove[0]));
    // HANDLE with one blank before the digits; the caller's company, never the program's own.
    if (!sorelle.isEmpty())
        QCOMPARE(rigaGrezza(ini, zevedez, u"HANDLE"_s), u"HANDLE= "_s + QString::number(sorelle.last()));
    QCOMPARE(rigaGrezza(ini, zevedez, u"DITTA"_s), u"DITTA=X1"_s);
}

void TestSuite::siblingWritingAtTheSameTimeLosesNothing()
{
    constexpr int scritture = 40;
    const QString comando = programma + u' ' + contatore;
    QVERIFY(scrivi(ini, (u"[BASE]\r\nDITTA=X1\r\n[APPLICATIVI]\r\nZevedez="_s + comando +
                         u"\r\n[Zevedez]\r\nHANDLE=4321\r\nDITTA=y3\r\n"_s)
                            .toLatin1()));
    auto m = modulo();
    m->leggiHandle();
    m->leggiCodiceSocieta();
    QCOMPARE(m->numeroHandleString().toString() + m->codiceDitta().toString(), u"4321Y3"_s);
    QProcess sorella;
    sorella.start(programma, {u"--scrivi"_s, ini, zevedez, QString::number(scritture)});
    QVERIFY(sorella.waitForStarted(5000));
    QTRY_COMPARE_WITH_TIMEOUT(app::leggiIni(ini, zevedez, u"SVEGLIA1"_s), u"1"_s, 10000);
    m->codiceDitta(u"ZZ"_s); // takes the program's own company whatever given
    for (int i = 0; i < scritture; ++i) {
        m->scriviHandle();
        m->scriviCodiceSocieta();
        m->pulisciHandle();
    }

    QVERIFY(sorella.waitForFinished(60000));
    QCOMPARE(sorella.exitCode(), 0);
    for (int i = 1; i <= scritture; ++i)
        QCOMPARE(app::leggiIni(ini, zevedez, u"SVEGLIA"_s + QString::number(i)), QString::number(i));
    QCOMPARE(rigaGrezza(ini, zevedez, u"HANDLE"_s) + rigaGrezza(ini, zevedez, u"DITTA"_s), u"HANDLE=DITTA=P9"_s);
    QCOMPARE(app::leggiIni(ini, u"BASE"_s, u"DITTA"_s), u"X1"_s);
    QCOMPARE(app::leggiIni(ini, u"APPLICATIVI"_s, zevedez), comando);
    // Replaced by a rename: a sibling that had the file open still reads it whole and unchanged.
    QFile aperto(ini);
    QVERIFY(aperto.open(QIODevice::ReadOnly));
    const QByteArray prima = aperto.readAll();
    m->scriviHandle();
    QVERIFY(aperto.seek(0));
    QCOMPARE(aperto.readAll(), prima);
    QCOMPARE(rigaGrezza(ini, zevedez, u"HANDLE"_s),
             u"HANDLE= "_s + QString::number(QCoreApplication::applicationPid()));
}

void TestSuite::theEarlierWindowComesForward_data()
{
    QTest::addColumn<QString>("comando");
    QTest::addColumn<bool>("finestra");
    const QString s = programma + u' ' + contatore;
    QTest::newRow("its window raised and focused") << s << true;
    QTest::newRow("the window of a launcher's child") << in(u"lancia-figlio"_s) + u' ' + contatore << true;
    QTest::newRow("no window: not activated") << s + u" --senza-finestra"_s << false;
}

void TestSuite::theEarlierWindowComesForward()
{
    if (QGuiApplication::platformName() != u"xcb"_s)
        QSKIP("on an X server only");
    QFETCH(QString, comando);
    QFETCH(bool, finestra);
    const qint64 pid = processi.avvia(comando);
    const QString avvio = app::avvioProcesso(pid);
    QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore).size(), 1, 10000);
    const QString a = finestra ? finestraDi(pidAvviati(contatore)[0]) : QString();
    processi.avvia(programma + u' ' + contatore);
    QTRY_COMPARE_WITH_TIMEOUT(pidAvviati(contatore).size(), 2, 10000);
    const QString b = finestraDi(pidAvviati(contatore)[1]);
    QTRY_VERIFY_WITH_TIMEOUT(inCimaEFuoco().startsWith(b + u' '), 10000);

    QCOMPARE(processi.attiva(pid, avvio, comando), finestra);
    if (finestra)
        QTRY_COMPARE_WITH_TIMEOUT(inCimaEFuoco(), a + u' ' + a, 10000);
}

QTEST_MAIN(TestSuite)
#include "tst_suite.moc"
