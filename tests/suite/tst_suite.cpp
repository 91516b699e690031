// The suite's programs finding one another: the settings file's bookkeeping, starting a program, bringing its
// window forward. ctest runs it offscreen, and theEarlierWindowComesForward on an Xvfb without a window manager.
#include "suite/moduliopzionali.h"
#include "suite/processi.h"

#include "tests/dialoghiprova.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

// What the called section names before the request.
enum class Prima { Niente, Sorella, Uccisa };

struct Identita {
    QString avvio, comando;        // the command line started (none: the task is `pid`), the one asked for
    bool attivato, altrui = false; // altrui: the start recorded is another process's, the number reused since
    qint64 pid = 0;
};

struct Richiesta {
    QString applicativi = {}, handle = {}; // the section naming the programs, the called section's HANDLE line
    QString chiamante = u"x1"_s, chiamata = u"Y2"_s; // the caller's company, the one the called section records
    Prima prima = Prima::Niente;
    bool attivata = false; // the earlier instance came forward, nothing new started
    QString messaggio = {};
};
Q_DECLARE_METATYPE(Identita)
Q_DECLARE_METATYPE(Richiesta)

class TestSuite : public QObject {
    Q_OBJECT

    QTemporaryDir cartella;
    const QString programma = QString::fromUtf8(PEMTARX_SVEGLIA_PROVA);
    const QString spazi = in(u"sveglia prova"_s); // a copy of the sibling, a blank in its path
    const QString contatore = in(u"c"_s), ini = in(u"Quendrix.ini"_s), zevedez = u"Zevedez"_s;
    const QString python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s, u"/bin"_s});
    suite::ProcessiSistema processi;
    QList<qint64> avviati;
    DialoghiProva dialoghi;

    QString in(const QString& nome) const { return cartella.filePath(nome); }
    static qint64 pidDi(const QString& avvio) { return avvio.section(u'\t', 0, 0).toLongLong(); }
    // HANDLE as this program writes it: one blank before the digits.
    static QByteArray rigaHandle(qint64 pid) { return "\r\nHANDLE= " + QByteArray::number(pid) + "\r\n"; }
    qint64 avvia(const QString& comando) { return avviati.emplace_back(processi.avvia(comando)); }
    static QByteArray contenuto(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool scrivi(const QString& file, const QByteArray& testo, QFile::Permissions piu = {})
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(testo) == testo.size() &&
               f.setPermissions(f.permissions() | piu);
    }
    // The starts the sibling recorded in its counter file: "pid<TAB>arguments" each.
    QStringList avvii() const { return QString::fromUtf8(contenuto(contatore)).split(u'\n', Qt::SkipEmptyParts); }
    // What a shell command prints, its blanks and line ends made single blanks.
    static QString sh(const QString& comando)
    {
        QProcess p;
        p.start(u"sh"_s, {u"-c"_s, comando});
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    }
    // Its whole group, a launcher with the sibling it started; a detached process is no child of ours, so this polls.
    static void ferma(qint64 pid)
    {
        if (const pid_t gruppo = ::getpgid(pid_t(pid)); pid > 0 && gruppo > 0 && gruppo != ::getpgrp())
            ::killpg(gruppo, SIGKILL);
        QTRY_VERIFY(app::avvioProcesso(pid).isEmpty());
    }

  private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::copy(programma, spazi) && !python.isEmpty());
        const QByteArray sorella = '"' + QFile::encodeName(programma) + "\" \"$@\"";
        // The closing exit keeps the shell running instead of handing its process to the command.
        QVERIFY(scrivi(in(u"lancia-figlio"_s), "#!/bin/sh\n" + sorella + "\nexit 0\n", QFile::ExeOwner));
        QVERIFY(scrivi(in(u"sveglia.py"_s), "import time\ntime.sleep(30)\n") &&
                QFile::copy(in(u"sveglia.py"_s), in(u"altro.py"_s)));
    }

    void cleanup()
    {
        for (const QString& avvio : avvii())
            avviati << pidDi(avvio);
        for (const qint64 pid : std::exchange(avviati, {}))
            ferma(pid);
        dialoghi.domande.clear();
        QFile::remove(contatore);
    }

    void activatesOnlyALiveProcessOfTheProgram_data()
    {
        QTest::addColumn<Identita>("caso");
        const QString s = programma + u' ' + contatore, sp = u'"' + spazi + u"\" "_s + contatore;
        const QString py = python + u' ' + in(u"sveglia.py"_s), figlio = in(u"lancia-figlio"_s) + u' ' + contatore;
        QTest::newRow("live sibling") << Identita{s, s, true};
        QTest::newRow("sibling under a path with a blank") << Identita{sp, sp, true};
        QTest::newRow("sibling, another copy named") << Identita{s, sp, false};
        QTest::newRow("sibling, another program named") << Identita{s, u"/bin/sleep 30"_s, false};
        QTest::newRow("an unrelated process") << Identita{u"sleep 30"_s, s, false};
        QTest::newRow("program found on the path") << Identita{u"sleep 30"_s, u"sleep 30"_s, true};
        QTest::newRow("launcher script under its interpreter") << Identita{figlio, figlio, true};
        QTest::newRow("interpreter's script") << Identita{py, py, true};
        QTest::newRow("the interpreter running another script")
            << Identita{python + u' ' + in(u"altro.py"_s), py, false};
        QTest::newRow("the number reused by the interpreter") << Identita{py, py, false, true};
        QTest::newRow("this test's own process") << Identita{{}, s, false, false, qApp->applicationPid()};
        QTest::newRow("task zero") << Identita{{}, s, false, false, 0};
        QTest::newRow("negative task") << Identita{{}, s, false, false, -1};
    }

    void activatesOnlyALiveProcessOfTheProgram()
    {
        QFETCH(Identita, caso);
        const qint64 pid = caso.avvio.isEmpty() ? caso.pid : avvia(caso.avvio);
        // Until its exec the new process runs a copy of this test.
        const QString noi = QCoreApplication::applicationFilePath();
        QTRY_VERIFY(caso.avvio.isEmpty() || QFileInfo(u"/proc/%1/exe"_s.arg(pid)).canonicalFilePath() != noi);
        const QString avvio = caso.altrui ? app::avvioProcesso(qApp->applicationPid()) : QString();
        QTRY_COMPARE_WITH_TIMEOUT(processi.attiva(pid, avvio, caso.comando), caso.attivato, 5000);
    }

    void requestActivatesTheCompanysInstanceOrStartsOne_data()
    {
        QTest::addColumn<Richiesta>("caso");
        // A blank in the path, quotes in the arguments: each start goes through the quoting of the command line.
        const QString sorella = u'"' + spazi + u"\"  "_s + contatore + u" \"a b\"   \"\"\"c\"\"\" d"_s;
        const QString lista = u"[APPLICATIVI]\r\nZevedez="_s, nonPresente = u"Zevedez non presente su "_s + ini;
        // Nothing started, nothing written but the caller's company.
        const auto avviso = [&](const char* nome, const QString& applicativi, const QString& messaggio) {
            QTest::newRow(nome) << Richiesta{.applicativi = applicativi, .messaggio = messaggio};
        };
        avviso("named only in another section", u"[ALTRI]\r\nZevedez="_s + sorella, nonPresente);
        avviso("blank command", lista + u"   "_s, nonPresente);
        avviso("section header not closed", u"[APPLICATIVI\r\nZevedez="_s + sorella, nonPresente);
        for (const QString& manca : QStringList{u'"' + in(u"manca"_s) + u"\" uno"_s, u"pemtarx-sveglia-inesistente"_s,
                                                cartella.path(), in(u"altro.py"_s)})
            avviso(qPrintable(u"cannot start: "_s + manca), lista + manca, manca + u" non trovato"_s);
        // No task to ask for: a new instance, and the stale company left in the section gives way to the caller's.
        for (const char* handle :
             {"", "HANDLE=", "HANDLE=   ", "HANDLE=abc", "HANDLE=12abc", "HANDLE=0", "HANDLE=-4", "HANDLE=99999999999"})
            QTest::addRow("%s", *handle ? handle : "no HANDLE key")
                << Richiesta{.applicativi = lista + sorella, .handle = QString::fromLatin1(handle) + u"\r\n"_s};
        const auto corre = [&](const char* nome, const QString& chiamante, const QString& chiamata, Prima prima,
                               bool attivata) {
            QTest::newRow(nome) << Richiesta{lista + sorella, {}, chiamante, chiamata, prima, attivata};
        };
        corre("running for the same company is activated", u"X1"_s, u"X1"_s, Prima::Sorella, true);
        corre("same company, caller in lower case", u"x1"_s, u"X1"_s, Prima::Sorella, true);
        corre("same company, sibling in lower case", u"X1"_s, u"x1"_s, Prima::Sorella, true);
        corre("running for another company: a second instance", u"X1"_s, u"Y2"_s, Prima::Sorella, false);
        corre("killed: a new instance", u"X1"_s, u"X1"_s, Prima::Uccisa, false);
    }

    void requestActivatesTheCompanysInstanceOrStartsOne()
    {
        QFETCH(Richiesta, caso);
        QVERIFY(scrivi(ini, (u"[BASE]\r\nDITTA="_s + caso.chiamante + u"\r\n"_s + caso.applicativi +
                             u"\r\n[Zevedez]\r\n"_s + caso.handle + u"DITTA="_s + caso.chiamata + u"\r\n"_s)
                                .toLatin1()));
        suite::ModuliOpzionali m(ini, u"P9"_s, dialoghi, processi);
        m.nomeProceduraChiamata(zevedez);
        m.nomeProceduraChiamante(u"BASE"_s);
        qint64 vecchio = 0;
        if (caso.prima != Prima::Niente) {
            m.lanciaProcedura(app::leggiIni(ini, u"APPLICATIVI"_s, zevedez)); // as an earlier request did
            QTRY_COMPARE_WITH_TIMEOUT(avvii().size(), 1, 10000);
            vecchio = pidDi(avvii()[0]);
            if (caso.prima == Prima::Uccisa)
                ferma(vecchio);
        }
        const QByteArray file = contenuto(ini);

        m.attivaProcedura();
        const bool nuova = !caso.attivata && caso.messaggio.isEmpty();
        QTRY_COMPARE_WITH_TIMEOUT(avvii().size(), (vecchio ? 1 : 0) + (nuova ? 1 : 0), 10000);
        QCOMPARE(contenuto(ini) == file, !nuova);
        m.scriviCodiceSocieta();

        QCOMPARE(dialoghi.domande.size(), caso.messaggio.isEmpty() ? 0 : 1);
        QCOMPARE(dialoghi.domande.value(0).testo, caso.messaggio);
        QCOMPARE(app::leggiIni(ini, zevedez, u"DITTA"_s), u"X1"_s); // the caller's company, never the program's own
        QVERIFY(!caso.attivata || !app::avvioProcesso(vecchio).isEmpty());
        if (!nuova)
            return;
        // In HANDLE with one blank before its digits, its arguments whole, detached: a session and process group of
        // its own, its standard streams closed.
        const qint64 pid = pidDi(avvii().last());
        QVERIFY(contenuto(ini).contains(rigaHandle(pid)));
        QCOMPARE(avvii().last(), QString::number(pid) + u'\t' + contatore + u"\ta b\t\"c\"\td"_s);
        const QStringList ids =
            sh(u"sed 's/.*) //' /proc/%1/stat /proc/$PPID/stat | cut -d' ' -f3,4"_s.arg(pid)).split(u' ');
        QVERIFY(ids.size() == 4 && ids[0] == ids[1] && ids[0] != ids[2] && ids[1] != ids[3]);
        QCOMPARE(sh(u"readlink /proc/%1/fd/[012]"_s.arg(pid)), u"/dev/null /dev/null /dev/null"_s);
    }

    void theCalledSectionsBookkeeping()
    {
        // Read as a sibling left them, the company in capitals; HANDLE emptied but kept; the program's own company.
        QVERIFY(scrivi(ini, "[BASE]\r\nDITTA=X1\r\n[Zevedez]\r\nHANDLE=4321\r\nDITTA=y3\r\n"));
        suite::ModuliOpzionali m(ini, u"P9"_s, dialoghi, processi);
        m.nomeProceduraChiamata(zevedez);
        m.leggiHandle();
        m.leggiCodiceSocieta();
        QCOMPARE(m.numeroHandleString().toString() + m.codiceDitta().toString(), u"4321Y3"_s);
        m.codiceDitta(u"ZZ"_s);
        m.scriviCodiceSocieta();
        m.pulisciHandle();
        QVERIFY(contenuto(ini).contains("\r\nHANDLE=\r\nDITTA=P9\r\n"));
        QCOMPARE(app::leggiIni(ini, u"BASE"_s, u"DITTA"_s), u"X1"_s);
        m.scriviHandle();
        QVERIFY(contenuto(ini).contains(rigaHandle(QCoreApplication::applicationPid())));
    }

    void theEarlierWindowComesForward_data()
    {
        QTest::addColumn<QString>("comando");
        QTest::addColumn<bool>("finestra");
        QTest::newRow("its window raised and focused") << programma + u' ' + contatore << true;
        QTest::newRow("the window of a launcher's child") << in(u"lancia-figlio"_s) + u' ' + contatore << true;
        QTest::newRow("no window: not activated") << programma + u' ' + contatore + u" --senza-finestra"_s << false;
    }

    void theEarlierWindowComesForward()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("on an X server only");
        QFETCH(QString, comando);
        QFETCH(bool, finestra);
        const auto finestraDi = [](qint64 pid) {
            return sh(u"xdotool search --sync --onlyvisible --pid %1 | head -1"_s.arg(pid));
        };
        // Without a window manager: the shown window at the top of the stack, and the focused one.
        const auto davanti = [] {
            return sh(u"echo $(xdotool search --maxdepth 1 --onlyvisible . | tail -1)/$(xdotool getwindowfocus)"_s);
        };
        const qint64 pid = avvia(comando);
        // The window is the sibling's, which a launcher starts as its child.
        QTRY_COMPARE_WITH_TIMEOUT(avvii().size(), 1, 10000);
        const QString a = finestra ? finestraDi(pidDi(avvii()[0])) : QString();
        const QString b = finestraDi(avvia(programma + u' ' + contatore));
        QTRY_VERIFY_WITH_TIMEOUT(davanti().startsWith(b + u'/'), 10000);

        QCOMPARE(processi.attiva(pid, QString(), comando), finestra);
        if (finestra)
            QTRY_COMPARE_WITH_TIMEOUT(davanti(), a + u'/' + a, 10000);
    }
};

QTEST_MAIN(TestSuite)
#include "tst_suite.moc"
