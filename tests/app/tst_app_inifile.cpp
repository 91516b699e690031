#include "app/archivio.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// In the tables "|" stands for CRLF.
QByteArray crlf(QByteArray b)
{
    return b.isNull() ? b : b.replace('|', "\r\n");
}

void metti(const QString& file, const QByteArray& byte)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(byte) == byte.size());
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> cartella;
    QString ini() const { return cartella->filePath(u"Quendrix.ini"_s); }
  private Q_SLOTS:
    void init() { QVERIFY(cartella.emplace().isValid()); }
    void regoleDelProfilo_data();
    void regoleDelProfilo();
    void scritturaAvversa_data();
    void scritturaAvversa();
    void scrittoriUccisiOInsiemeNonPerdonoChiavi();
};

void TestIniFile::regoleDelProfilo_data()
{
    // operazione: "?" reads, "-" removes, "@" gives the company's store, "~" the folder for XDG_CONFIG_HOME ("-"
    // unset) and HOME in chiave, anything else is written. dopo: what was read, else the file left. Null: no file.
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("chiave"); // SECTION/KEY
    QTest::addColumn<QString>("operazione");
    QTest::addColumn<QByteArray>("dopo");
    const auto r = [](const char* nome, const QByteArray& prima, const QString& op, const QByteArray& dopo,
                      const QString& k = u"A/K"_s) { QTest::newRow(nome) << crlf(prima) << k << op << crlf(dopo); };
    const auto v = [&r](const char* nome, const QByteArray& valore, const QByteArray& letto) {
        r(nome, "[A]|K=" + valore + "|", u"?"_s, letto);
    };
    const auto a = [&r](const char* nome, const QByteArray& prima, const char* dove) { r(nome, prima, u"@"_s, dove); };
    const auto l = [&r](const char* nome, const QByteArray& prima, const char* letto, const QString& k = u"A/K"_s) {
        r(nome, prima, u"?"_s, letto, k);
    };
    const QByteArray lungo = QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(120);
    const char* dati = "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=/dati/\n[DATABASE]\nDRIVER=";
    l("missing file read, nothing made", nullptr, "", u"BASE/DITTA"_s);
    v("120 characters read as 99, quotes go before they are counted", '"' + lungo + '"', lungo.left(99));
    l("outer blanks dropped; case, inner blanks, = kept", "  [ a ]  |\t k  =  V  R\t1=b \t|", "V  R\t1=b");
    v("double quotes removed, blanks inside kept", " \"  a  \" ", "  a  ");
    v("single quotes removed", "'a b'", "a b");
    v("only one pair of quotes removed", "\"\"a\"\"", "\"a\"");
    v("unmatched quotes kept", "\"a'", "\"a'");
    v("lone quote kept", "\"", "\"");
    v("inner quotes kept", "a\"b\"", "a\"b\"");
    l("indented comment is not a key", "[A]|  ; K=x|", "", u"A/;K"_s);
    l("keys before any section or in another are not the section's", "K=1|[A]|J=2|[B]|K=3|", "");
    l("first of two keys, section opened again", "[A]|J=1|[B]|K=0|[a]|K=3|k=4|", "3");
    l("LF, CR, and no line end after the last value", "[A]|J=1\nL=2\rK=3", "3");
    v("Windows-1252 read", "CITT\xC0 \x80\x93\x84\x96\x85\x99", u"CITTÀ €\u201C\u201E\u2013\u2026\u2122"_s.toUtf8());
    l("UTF-8 byte-order mark", "\xEF\xBB\xBF[BASE]|DITTA=X1|", "X1", u"BASE/DITTA"_s);
    v("UTF-8 of a Linux editor", "CITT\xC3\x80 \xE2\x82\xAC", "CITT\xC3\x80 \xE2\x82\xAC");
    v("bytes that are no UTF-8 read as Windows-1252", "\xC3\x80\xC0", u"Ã€À"_s.toUtf8());
    v("NUL cuts the value, blanks before it dropped", "ab  \0cd\0e"_ba, "ab");
    r("comments, order and LF kept", "; s\n[B]\n; c\nD=X1\nE=2\n\n[P]\nF=/d/\n", u"X2"_s,
      "; s\n[B]\n; c\nD=X2\nE=2\n\n[P]\nF=/d/\n", u"B/D"_s);
    r("case-blind names, spelling and CRLF kept", "[Base]|Ditta=X1|", u"X2"_s, "[Base]|Ditta=X2|", u"BASE/DITTA"_s);
    r("first line end decides a mixed file", "[A]\nK=1\r\nJ=2\r", u"3"_s, "[A]\nK=3\nJ=2\n");
    r("line end added after the last line", "[A]\nx=1", u"2"_s, "[A]\nx=1\ny=2\n", u"A/y"_s);
    r("blanks around the equals sign kept", "[A]|  K = \"old\"  |", u"new"_s, "[A]|  K = new|");
    r("a value's own blanks replace those after =", "[A]|K=   5981|", u" 6000"_s, "[A]|K= 6000|");
    r("same key in another section untouched", "[A]|K=1|[B]|K=1|", u"2"_s, "[A]|K=1|[B]|K=2|", u"b/k"_s);
    r("commented key stays a comment", "[A]|;K=old|", u"new"_s, "[A]|K=new|;K=old|");
    r("empty text keeps the key listed", "[A]|K=x|J=y|", u""_s, "[A]|K=|J=y|");
    r("120 characters stored whole", "[A]|", QString(120, u'x'), crlf("[A]|K=" + QByteArray(120, 'x') + "|"));
    r("removal takes every copy, sections stay", "[A]|; c|K=1|[B]|K=z|[a]|k=2|", u"-"_s, "[A]|; c|[B]|K=z|[a]|");
    r("removing a missing key leaves the file as it was", "[A]\n  J = y \n", u"-"_s, "[A]\n  J = y \n");
    r("removing from a missing file makes none", nullptr, u"-"_s, QByteArray());
    r("new file in CRLF", nullptr, u"X1"_s, "[BASE]|DITTA=X1|", u"BASE/DITTA"_s);
    r("new key at the end of its section", "[A]|x=1||; B|[B]|", u"3"_s, "[A]|x=1|z=3||; B|[B]|", u"A/z"_s);
    r("new section at the end", "[A]|x=1|; end|", u"2"_s, "[A]|x=1|; end|[B]|y=2|", u"B/y"_s);
    r("Windows-1252 written, ? outside it", "[A]|", u"CITTÀ € \u6F22\U0001F600\u0100"_s, "[A]|K=CITT\xC0 \x80 ???|");
    r("byte-order mark kept, UTF-8 written", "\xEF\xBB\xBF[A]|K=1|", u"À"_s, "\xEF\xBB\xBF[A]|K=\xC3\x80|");
    r("UTF-8 stays UTF-8", "; \xC3\xA0\n[A]\nK=1\n", u"€\u6F22"_s, "; \xC3\xA0\n[A]\nK=\xE2\x82\xAC\xE6\xBC\xA2\n");
    QByteArray tutti(";");
    for (int b = 0x20; b <= 0xFF; ++b)
        tutti += b == '|' ? '/' : char(b);
    r("every 8-bit byte of other lines kept", tutti + "|[A]|K=1|", u"2"_s, crlf(tutti + "|[A]|K=2|"));
    // Names that could not be read back are refused.
    for (const QString& n : {u"/K"_s, u"A]B/K"_s, u"A\nB/K"_s, u"A/  "_s, u"A/K=J"_s, u"A/;K"_s, u"A/[K"_s})
        QTest::addRow("refused: %s", qPrintable(n)) << crlf("[A]|K=0|") << n << u"1"_s << crlf("[A]|K=0|");
    r("refused: a lone CR in the value", "[A]|K=0|", u"1\r[B]"_s, "[A]|K=0|");
    a("store: no folder, the root", "[BASE]\nDITTA=X1\n", "/X1/dogana.mdb");
    a("store: blank folder, the root", "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=\"   \"\n", "/X1/dogana.mdb");
    a("store: SQLite driver", dati + "QSQLITE\nHOST=db\n"_ba, "/dati/X1/dogana.mdb");
    a("store: empty driver", dati + "\nNOME=altro\n"_ba, "/dati/X1/dogana.mdb");
    a("store: server, defaults only", dati + "QPSQL\n"_ba, "postgresql:///dogana_x1");
    a("store: names in any case", "[base]\nditta=X1\n[database]\ndriver=qpsql\nnome=R_%ditta%\n", "postgresql:///R_x1");
    a("store: host, port and user", dati + "QPSQL\nHOST=db.lan\nPORT=5433\nUTENTE=mario\n"_ba,
      "postgresql:///dogana_x1?host=db.lan&port=5433&user=mario");
    a("store: the password is never read", dati + "QPSQL\nPASSWORD=s\nPASSWD=s\n"_ba, "postgresql:///dogana_x1");
    for (const char* c : {"/srv/c /h /srv/c/", "/srv/c/ /h /srv/c/", "- /h /h/.config/", " /h/ /h/.config/"})
        r(c, nullptr, u"~"_s, QByteArray(c).split(' ')[2], QString::fromLatin1(c));
}

void TestIniFile::regoleDelProfilo()
{
    QFETCH(QByteArray, prima);
    QFETCH(QString, chiave);
    QFETCH(QString, operazione);
    QFETCH(QByteArray, dopo);
    if (!prima.isNull())
        metti(ini(), prima);
    const QString s = chiave.section(u'/', 0, 0), k = chiave.section(u'/', 1);
    const std::optional<QString> valore = operazione == u"-"_s ? std::nullopt : std::optional(operazione);
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME"), casa = qgetenv("HOME");
    const auto ripristina = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", xdg), qputenv("HOME", casa); });
    const QStringList c = chiave.split(u' ');
    if (operazione == u"~"_s) {
        c[0] == u"-"_s ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", c[0].toUtf8());
        qputenv("HOME", c[1].toUtf8());
    }
    if (operazione == u"?"_s || operazione == u"@"_s || operazione == u"~"_s) {
        QCOMPARE(operazione == u"?"_s   ? app::leggiIni(ini(), s, k)
                 : operazione == u"@"_s ? app::posizioneArchivio(ini())
                                        : app::cartellaWindows(),
                 QString::fromUtf8(dopo));
        dopo = prima;
    } else {
        QCOMPARE(app::scriviIni(ini(), s, k, valore), prima.isNull() || prima != dopo || !valore);
    }
    QCOMPARE(contenuto(ini()), dopo);
    QCOMPARE(QFileInfo::exists(ini()), !dopo.isNull());
}

void TestIniFile::scritturaAvversa_data()
{
    // What stands in the way: 0 a full disk, 1 a missing folder; or 2 a lock left by a writer that vanished, with its
    // half-written file: the lock's owner (machine and a command printing a pid) and age.
    QTest::addColumn<int>("guasto");
    QTest::addColumn<QStringList>("blocco");
    const QString questa = QSysInfo::machineHostName();
    QTest::newRow("one free page on a small file system") << 0 << QStringList();
    QTest::newRow("missing folder, not made") << 1 << QStringList();
    // A lock from another machine cannot be checked by process: only its age tells it was left behind.
    QTest::newRow("lock of another machine, old") << 2 << QStringList{u"another-host"_s, u"echo 99999999"_s, u"60"_s};
    QTest::newRow("lock of this machine, writer gone") << 2 << QStringList{questa, u"true & echo $!; wait"_s, u"0"_s};
    QTest::newRow("lock of a writer killed, not yet reaped")
        << 2 << QStringList{questa, u"true & echo $!; exec sleep 30"_s, u"0"_s};
    QTest::newRow("lock of a writer killed before it wrote into it") << 2 << QStringList{{}, {}, u"1"_s};
}

void TestIniFile::scritturaAvversa()
{
    QFETCH(int, guasto);
    QFETCH(QStringList, blocco);
    const QString d = cartella->filePath(u"d"_s), file = d + u"/Quendrix.ini"_s, pieno = d + u"/r"_s;
    QVERIFY(guasto == 1 || QDir().mkpath(d));
    if (guasto == 0 && QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, d}))
        QSKIP("mounting a small file system needs root");
    QProcess guscio;
    const auto fine = qScopeGuard([&] {
        guscio.kill(), guscio.waitForFinished();
        if (guasto == 0)
            QProcess::execute(u"umount"_s, {d});
    });
    const QByteArray prima = guasto == 1 ? QByteArray() : crlf("[BASE]|DITTA=X1|; ") + QByteArray(2000, 'x');
    if (guasto != 1)
        metti(file, prima);
    QFile f(guasto == 0 ? pieno : file + u".lock"_s);
    if (guasto == 0 && f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (f.write(QByteArray(4096, 'r')) == 4096) {
        }
        QVERIFY(f.resize(f.size() / 4096 * 4096 - 4096));
    }
    if (guasto == 2) {
        QByteArray pid;
        if (!blocco[1].isEmpty()) {
            guscio.start(u"sh"_s, {u"-c"_s, blocco[1]});
            QVERIFY(guscio.waitForReadyRead(5000));
            pid = guscio.readLine().trimmed() + "\ntrue\n" + blocco[0].toUtf8() + '\n';
            QTRY_VERIFY(app::avvioProcesso(pid.split('\n').front().toLongLong()).isEmpty());
        }
        const QDateTime quando = QDateTime::currentDateTime().addSecs(-blocco[2].toInt());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(pid) == pid.size() && f.flush() &&
                f.setFileTime(quando, QFileDevice::FileModificationTime));
        metti(file + u".scrittura-k1lled"_s, "[BASE]\r\nDI");
    }
    f.close();
    QElapsedTimer tempo;
    tempo.start();
    const bool riuscita = app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s);
    QCOMPARE(riuscita, guasto == 2);
    QVERIFY2(tempo.elapsed() < 2000, qPrintable(QString::number(tempo.elapsed())));
    QCOMPARE(contenuto(file), guasto == 2 ? prima + crlf("|[Zevedez]|HANDLE= 5981|") : prima);
    QCOMPARE(QDir(d).entryList(QDir::Files | QDir::Hidden),
             guasto == 1 ? QStringList() : QStringList{u"Quendrix.ini"_s} + QStringList{u"r"_s}.mid(guasto ? 1 : 0));
    QVERIFY(guasto != 1 || !QFileInfo::exists(d));
    // Once there is room again, the same write goes through.
    QFile::remove(pieno);
    QCOMPARE(app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s), guasto != 1);
}

void TestIniFile::scrittoriUccisiOInsiemeNonPerdonoChiavi()
{
    // Each round, B adds its 40 keys while A, beside it, is killed after a few, most often in the middle of one.
    const QByteArray testa = "; " + QByteArray(4000, 'x');
    metti(ini(), testa + "\r\n[CHIAVI]\r\n");
    QSet<QByteArray> attese{testa + '\r', "[CHIAVI]\r", ""}, forse;
    const auto riga = [](const QString& prefisso, int i) -> QByteArray {
        return prefisso.toLatin1() + QByteArray::number(i) + '=' + QByteArray::number(i).rightJustified(90, '0') + '\r';
    };
    for (int giro = 0; giro < 20; ++giro) {
        QProcess a, b;
        const QString pa = u"A%1_"_s.arg(giro), pb = u"B%1_"_s.arg(giro);
        a.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pa});
        b.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pb});
        QByteArray uscita;
        // A lock left by a killed writer never stops the next one beyond the bounded wait.
        while (uscita.count('\n') < 1 + giro % 5)
            QVERIFY2(a.waitForReadyRead(8000) && !uscita.append(a.readAllStandardOutput()).isEmpty(), "A writes");
        a.kill();
        QVERIFY(a.waitForFinished(5000) && b.waitForFinished(30000));
        QVERIFY(b.exitStatus() == QProcess::NormalExit && b.exitCode() == 0);
        const int fatte = int(uscita.append(a.readAllStandardOutput()).count('\n'));
        for (int i = 0; i < 40; ++i)
            attese << riga(pb, i) << (i < fatte ? riga(pa, i) : QByteArray(testa + '\r'));
        // Killed after its write and before its report, A's last key may be there too.
        forse << riga(pa, fatte);
        // Every line once, in CRLF, and nothing but the keys written.
        const QList<QByteArray> righe = contenuto(ini()).split('\n');
        const QSet<QByteArray> trovate(righe.begin(), righe.end());
        QCOMPARE(trovate.size(), righe.size());
        QCOMPARE(trovate - forse, attese);
    }
}

int main(int argc, char** argv)
{
    QCoreApplication programma(argc, argv);
    const QStringList a = programma.arguments();
    // The writer the tests start as a process of their own, as a sibling program writes the settings file.
    if (a.size() == 4 && a[1] == u"--scrittore"_s) {
        for (int i = 0; i < 40; ++i)
            if (!app::scriviIni(a[2], u"CHIAVI"_s, a[3] + QString::number(i),
                                QString::number(i).rightJustified(90, u'0')) ||
                std::printf("%d\n", i) < 0 || std::fflush(stdout) != 0)
                return 1;
        return 0;
    }
    TestIniFile t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_app_inifile.moc"
