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

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int chiaviPerScrittore = 40;

QByteArray rigaScritta(const QString& prefisso, int i)
{
    return prefisso.toLatin1() + QByteArray::number(i) + '=' + QByteArray::number(i).rightJustified(90, '0');
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
    void scritturaFallitaLasciaIlVecchio_data();
    void scritturaFallitaLasciaIlVecchio();
    void bloccoAbbandonatoTolto_data();
    void bloccoAbbandonatoTolto();
    void scrittoriUccisiOInsiemeNonPerdonoChiavi();
    void cartellaWindowsConUnaBarra();
};

void TestIniFile::regoleDelProfilo_data()
{
    // operazione: "leggi", "togli" (the key removed), "posizione" (the company's store), or the value written.
    // dopo: the value read or the store's place, else the file left (the file as it was when the write is refused).
    // A null file means none on disk, and none may be made.
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("operazione");
    QTest::addColumn<QByteArray>("dopo");
    const auto r = [](const char* nome, const QByteArray& prima, const QString& op, const QByteArray& dopo,
                      const QString& s = u"A"_s, const QString& k = u"K"_s) { QTest::newRow(nome) << prima << s << k << op << dopo; };
    const auto v = [&r](const char* nome, const QByteArray& valore, const QByteArray& letto) {
        r(nome, "[A]\r\nK=" + valore + "\r\n", u"leggi"_s, letto);
    };
    const QString leggi = u"leggi"_s, togli = u"togli"_s, posizione = u"posizione"_s;
    const QByteArray lungo = QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(120), dati = "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=/dati/\n";
    r("read: missing file, nothing created", QByteArray(), leggi, "", u"BASE"_s, u"DITTA"_s);
    v("read: 120 characters as 99, quotes go before they are counted", '"' + lungo + '"', lungo.left(99));
    r("read: blanks around names and value dropped, case, inner blanks and = kept", "  [ a ]  \r\n\t k  =  Via  Roma\t1=bis \t\r\n",
      leggi, "Via  Roma\t1=bis");
    r("read: names in lower case find upper case", "[PATH]\r\nDIRINI=/dati/\r\n", leggi, "/dati/", u"path"_s, u"dirini"_s);
    v("read: blank value", "   \t", "");
    v("read: double quotes removed, blanks inside kept", " \"  a  \" ", "  a  ");
    v("read: single quotes removed", "'a b'", "a b");
    v("read: only one pair of quotes removed", "\"\"a\"\"", "\"a\"");
    v("read: unmatched quotes kept", "\"a'", "\"a'");
    v("read: lone quote kept", "\"", "\"");
    v("read: inner quotes kept", "a\"b\"", "a\"b\"");
    r("read: indented comment is not a key", "[A]\r\n  ; K=x\r\n", leggi, "", u"A"_s, u";K"_s);
    r("read: keys before any section or in another are not the section's", "K=1\r\n[A]\r\nJ=2\r\n[B]\r\nK=3\r\n", leggi, "");
    r("read: first of two keys, section opened again", "[A]\r\nJ=1\r\n[B]\r\nK=0\r\n[a]\r\nK=3\r\nk=4\r\n", leggi, "3");
    r("read: LF, CR, and no line end after the last value", "[A]\r\nJ=1\nL=2\rK=3", leggi, "3");
    v("read: Windows-1252", "CITT\xC0 PER\xD2 \x80\x93\x84\x96\x85\x99", u"CITTÀ PERÒ €\u201C\u201E\u2013\u2026\u2122"_s.toUtf8());
    r("read: UTF-8 byte-order mark", "\xEF\xBB\xBF[BASE]\r\nDITTA=X1\r\n", leggi, "X1", u"BASE"_s, u"DITTA"_s);
    v("read: UTF-8 of a Linux editor", "CITT\xC3\x80 \xE2\x82\xAC", "CITT\xC3\x80 \xE2\x82\xAC");
    v("read: bytes that are no UTF-8 read as Windows-1252", "\xC3\x80\xC0", u"Ã€À"_s.toUtf8());
    v("read: NUL cuts the value, blanks before it dropped", "ab  \0cd\0e"_ba, "ab");
    r("write: comments, order and LF kept", "; s\n[BASE]\n; c\nDITTA=X1\nANNO=2024\n\n[PATH]\nDIRINI=/d/\n", u"X2"_s,
      "; s\n[BASE]\n; c\nDITTA=X2\nANNO=2024\n\n[PATH]\nDIRINI=/d/\n", u"BASE"_s, u"DITTA"_s);
    r("write: names matched without regard to case, spelling and CRLF kept", "[Base]\r\nDitta=X1\r\n", u"X2"_s, "[Base]\r\nDitta=X2\r\n",
      u"BASE"_s, u"DITTA"_s);
    r("write: CR kept", "[A]\rK=1\r\r; end\r", u"2"_s, "[A]\rK=2\r\r; end\r");
    r("write: first line end decides a mixed file", "[A]\nK=1\r\nJ=2\r", u"3"_s, "[A]\nK=3\nJ=2\n");
    r("write: line end added after the last line", "[A]\nx=1", u"2"_s, "[A]\nx=1\ny=2\n", u"A"_s, u"y"_s);
    r("write: blanks around the equals sign kept", "[A]\r\n  K = \"old\"  \r\n", u"new"_s, "[A]\r\n  K = new\r\n");
    r("write: a value's own blanks replace those after =", "[A]\r\nK=   5981\r\n", u" 6000"_s, "[A]\r\nK= 6000\r\n");
    r("write: same key in another section untouched", "[A]\r\nK=1\r\n[B]\r\nK=1\r\n", u"2"_s, "[A]\r\nK=1\r\n[B]\r\nK=2\r\n", u"b"_s, u"k"_s);
    r("write: commented key stays a comment", "[A]\r\n;K=old\r\n", u"new"_s, "[A]\r\nK=new\r\n;K=old\r\n");
    r("write: empty text keeps the key listed", "[A]\r\nK=x\r\nJ=y\r\n", u""_s, "[A]\r\nK=\r\nJ=y\r\n");
    r("write: 120 characters stored whole", "[A]\r\n", QString(120, u'x'), "[A]\r\nK=" + QByteArray(120, 'x') + "\r\n");
    r("write: removal takes every copy, sections stay", "[A]\r\n; c\r\nK=1\r\n[B]\r\nK=z\r\n[a]\r\nk=2\r\n", togli,
      "[A]\r\n; c\r\n[B]\r\nK=z\r\n[a]\r\n");
    r("write: removing a missing key leaves the file as it was", "[A]\n  J = y \n", togli, "[A]\n  J = y \n");
    r("write: removing from a missing file creates nothing", QByteArray(), togli, QByteArray());
    r("write: new file in CRLF", QByteArray(), u"X1"_s, "[BASE]\r\nDITTA=X1\r\n", u"BASE"_s, u"DITTA"_s);
    r("write: new key at the end of its section", "[A]\r\nx=1\r\n\r\n; B\r\n[B]\r\n", u"3"_s, "[A]\r\nx=1\r\nz=3\r\n\r\n; B\r\n[B]\r\n",
      u"A"_s, u"z"_s);
    r("write: new section at the end", "[A]\r\nx=1\r\n; end\r\n", u"2"_s, "[A]\r\nx=1\r\n; end\r\n[B]\r\ny=2\r\n", u"B"_s, u"y"_s);
    r("write: Windows-1252, ? outside it", "[A]\r\n", u"CITTÀ € \u6F22\U0001F600\u0100"_s, "[A]\r\nK=CITT\xC0 \x80 ???\r\n");
    r("write: byte-order mark kept, UTF-8", "\xEF\xBB\xBF[A]\r\nK=1\r\n", u"À"_s, "\xEF\xBB\xBF[A]\r\nK=\xC3\x80\r\n");
    r("write: UTF-8 file as UTF-8", "; \xC3\xA0\n[A]\nK=1\n", u"€ \u6F22"_s, "; \xC3\xA0\n[A]\nK=\xE2\x82\xAC \xE6\xBC\xA2\n");
    QByteArray tutti(";");
    for (int b = 0x20; b <= 0xFF; ++b)
        tutti += char(b);
    r("write: every 8-bit byte of other lines kept", tutti + "\r\n[A]\r\nK=1\r\n", u"2"_s, tutti + "\r\n[A]\r\nK=2\r\n");
    // Names that could not be read back are refused.
    for (const QString& n : {u"|K|1"_s, u"A]B|K|1"_s, u"A\nB|K|1"_s, u"A|  |1"_s, u"A|K=J|1"_s, u"A|;K|1"_s, u"A|[K|1"_s, u"A|K|1\r\n[B]"_s})
        QTest::addRow("refused: %s", qPrintable(n)) << "[A]\r\nK=0\r\n"_ba << n.section(u'|', 0, 0) << n.section(u'|', 1, 1)
                                                    << n.section(u'|', 2) << "[A]\r\nK=0\r\n"_ba;
    r("store: no folder, the root", "[BASE]\nDITTA=X1\n", posizione, "/X1/dogana.mdb");
    r("store: blank folder, the root", "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=\"   \"\n", posizione, "/X1/dogana.mdb");
    r("store: SQLite driver", dati + "[DATABASE]\nDRIVER=QSQLITE\nHOST=db\n", posizione, "/dati/X1/dogana.mdb");
    r("store: empty driver", dati + "[DATABASE]\nDRIVER=\nNOME=altro\n", posizione, "/dati/X1/dogana.mdb");
    r("store: server, defaults only", dati + "[DATABASE]\nDRIVER=QPSQL\n", posizione, "postgresql:///dogana_x1");
    r("store: names without regard to case", dati + "[database]\ndriver=qpsql\nnome=R_%ditta%\n", posizione, "postgresql:///R_x1");
    r("store: host, port and user", dati + "[DATABASE]\nDRIVER=QPSQL\nHOST=db.lan\nPORT=5433\nUTENTE=mario\n", posizione,
      "postgresql:///dogana_x1?host=db.lan&port=5433&user=mario");
    r("store: socket folder", dati + "[DATABASE]\nDRIVER=QPSQL\nHOST=/run/pg\nNOME=%DITTA%\n", posizione, "postgresql:///x1?host=/run/pg");
    r("store: the password is never read", dati + "[DATABASE]\nDRIVER=QPSQL\nPASSWORD=s\nPASSWD=s\n", posizione, "postgresql:///dogana_x1");
    r("store: characters to encode", dati + "[DATABASE]\nDRIVER=QPSQL\nUTENTE=m&r=o\nNOME=d?x#%DITTA%\n", posizione,
      "postgresql:///d%3Fx%23x1?user=m%26r%3Do");
}

void TestIniFile::regoleDelProfilo()
{
    QFETCH(QByteArray, prima);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(QString, operazione);
    QFETCH(QByteArray, dopo);
    if (!prima.isNull())
        metti(ini(), prima);
    if (operazione == u"leggi"_s || operazione == u"posizione"_s) {
        QCOMPARE(operazione == u"leggi"_s ? app::leggiIni(ini(), sezione, chiave) : app::posizioneArchivio(ini()), QString::fromUtf8(dopo));
        dopo = prima;
    } else {
        const std::optional<QString> valore = operazione == u"togli"_s ? std::nullopt : std::optional(operazione);
        QCOMPARE(app::scriviIni(ini(), sezione, chiave, valore), prima.isNull() || prima != dopo || !valore);
    }
    QCOMPARE(contenuto(ini()), dopo);
    QCOMPARE(QFileInfo::exists(ini()), !dopo.isNull());
}

void TestIniFile::scritturaFallitaLasciaIlVecchio_data()
{
    QTest::addColumn<int>("guasto");
    QTest::newRow("one free page on a small file system") << 0;
    QTest::newRow("write error") << 1;
    QTest::newRow("missing folder, not created") << 2;
}

void TestIniFile::scritturaFallitaLasciaIlVecchio()
{
    QFETCH(int, guasto);
    QTemporaryDir d;
    const QString piccolo = d.filePath(u"piccolo"_s), file = piccolo + u"/Quendrix.ini"_s, riempitivo = piccolo + u"/r"_s;
    QVERIFY(guasto == 2 || QDir().mkpath(piccolo));
    if (guasto == 0 && (::geteuid() != 0 || QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, piccolo})))
        QSKIP("mounting a small file system needs root");
    const auto smonta = qScopeGuard([&] { guasto == 0 && QProcess::execute(u"umount"_s, {piccolo}); });
    const QByteArray prima = guasto == 2 ? QByteArray() : "[BASE]\r\nDITTA=X1\r\n; " + QByteArray(2000, 'x') + "\r\n";
    if (guasto != 2)
        metti(file, prima);
    rlimit limite{}, basso{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &limite) == 0 && ::getrlimit(RLIMIT_FSIZE, &basso) == 0);
    QFile f(riempitivo);
    if (guasto == 0 && f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (f.write(QByteArray(4096, 'r')) == 4096) {
        }
        f.close();
        QVERIFY(f.resize(f.size() / 4096 * 4096 - 4096));
    }
    // Past this size the kernel refuses to write (EFBIG) instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    basso.rlim_cur = guasto == 1 ? 1000 : limite.rlim_cur;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &basso) == 0);
    const bool riuscita = app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s);
    ::setrlimit(RLIMIT_FSIZE, &limite);
    QVERIFY(!riuscita);
    QCOMPARE(contenuto(file), prima);
    QCOMPARE(QDir(piccolo).entryList(QDir::Files | QDir::Hidden).size(), 2 - guasto);
    QVERIFY(guasto != 2 || !QFileInfo::exists(piccolo));
    // Once there is room again, the same write goes through.
    QVERIFY(guasto == 2 || (QFile::remove(riempitivo) || guasto == 1));
    QCOMPARE(guasto == 2 || app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s), true);
    QCOMPARE(app::leggiIni(file, u"BASE"_s, u"DITTA"_s), guasto == 2 ? QString() : u"X1"_s);
}

void TestIniFile::bloccoAbbandonatoTolto_data()
{
    QTest::addColumn<QString>("macchina");
    QTest::addColumn<QString>("comando"); // prints the writer's number, once it has ended
    QTest::addColumn<int>("eta");
    const QString questa = QSysInfo::machineHostName();
    // A lock from another machine cannot be checked by process: only its age tells it was left behind.
    QTest::newRow("another machine, old") << u"another-host"_s << u"echo 99999999"_s << 60;
    QTest::newRow("this machine, writer gone") << questa << u"true & echo $!; wait"_s << 0;
    QTest::newRow("this machine, writer killed, not yet reaped") << questa << u"true & echo $!; exec sleep 30"_s << 0;
    QTest::newRow("writer killed before it wrote into its lock") << QString() << QString() << 1;
}

void TestIniFile::bloccoAbbandonatoTolto()
{
    QFETCH(QString, macchina);
    QFETCH(QString, comando);
    QFETCH(int, eta);
    QProcess guscio;
    const auto fine = qScopeGuard([&] { guscio.kill(), guscio.waitForFinished(); });
    QByteArray pid;
    if (!comando.isEmpty()) {
        guscio.start(u"sh"_s, {u"-c"_s, comando});
        QVERIFY(guscio.waitForReadyRead(5000));
        pid = guscio.readLine().trimmed();
        QTRY_VERIFY(app::avvioProcesso(pid.toLongLong()).isEmpty());
    }
    // What a writer killed in the middle leaves: its lock and its half-written file.
    metti(ini() + u".lock"_s, pid.isEmpty() ? pid : pid + "\ntrue\n" + macchina.toUtf8() + '\n');
    QFile f(ini() + u".lock"_s);
    QVERIFY(f.open(QIODevice::Append) && f.setFileTime(QDateTime::currentDateTime().addSecs(-eta), QFileDevice::FileModificationTime));
    metti(ini() + u".scrittura-k1lled"_s, "[BASE]\r\nDI");
    QElapsedTimer tempo;
    tempo.start();
    QVERIFY(app::scriviIni(ini(), u"BASE"_s, u"DITTA"_s, u"X1"_s));
    QVERIFY2(tempo.elapsed() < 2000, qPrintable(QString::number(tempo.elapsed())));
    QCOMPARE(contenuto(ini()), QByteArray("[BASE]\r\nDITTA=X1\r\n"));
    QCOMPARE(QDir(cartella->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Quendrix.ini"_s});
}

void TestIniFile::scrittoriUccisiOInsiemeNonPerdonoChiavi()
{
    // Each round, B adds all its keys while A, beside it, is killed after a few, most often in the middle of one.
    const QByteArray testa = "; " + QByteArray(4000, 'x');
    metti(ini(), testa + "\r\n[CHIAVI]\r\n");
    QSet<QByteArray> attese{testa, "[CHIAVI]"}, forse;
    for (int giro = 0; giro < 20; ++giro) {
        QProcess a, b;
        const QString pa = u"A%1_"_s.arg(giro), pb = u"B%1_"_s.arg(giro);
        a.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pa});
        b.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pb});
        QByteArray uscita;
        // A lock left by a killed writer never stops the next one beyond the bounded wait.
        while (uscita.count('\n') < 1 + giro % 5)
            QVERIFY2(a.waitForReadyRead(8000) && !uscita.append(a.readAllStandardOutput()).isEmpty(), qPrintable(u"round %1"_s.arg(giro)));
        a.kill();
        QVERIFY(a.waitForFinished(5000) && b.waitForFinished(30000) && b.exitStatus() == QProcess::NormalExit && b.exitCode() == 0);
        const int fatte = int(uscita.append(a.readAllStandardOutput()).count('\n'));
        for (int i = 0; i < chiaviPerScrittore; ++i)
            attese << rigaScritta(pb, i);
        for (int i = 0; i < fatte; ++i)
            attese << rigaScritta(pa, i);
        // Killed after its write and before its report, A's last key may be there too.
        forse << rigaScritta(pa, fatte);
        const QList<QByteArray> righe = contenuto(ini()).split('\n');
        QSet<QByteArray> trovate;
        for (const QByteArray& r : righe.first(righe.size() - 1)) {
            QVERIFY2(r.endsWith('\r') && (attese.contains(r.chopped(1)) || forse.contains(r.chopped(1))) && !trovate.contains(r.chopped(1)),
                     r.constData());
            trovate << r.chopped(1);
        }
        QVERIFY(righe.last().isEmpty() && trovate - forse == attese);
    }
}

void TestIniFile::cartellaWindowsConUnaBarra()
{
    const QByteArray vecchio = qgetenv("XDG_CONFIG_HOME"), casa = qgetenv("HOME");
    const auto ripristina = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", vecchio), qputenv("HOME", casa); });
    // XDG_CONFIG_HOME, HOME and the folder; "-" leaves XDG_CONFIG_HOME unset.
    for (const QString& caso : {u"/srv/conf /h /srv/conf/"_s, u"/srv/conf/ /h /srv/conf/"_s, u"- /h /h/.config/"_s, u"'' /h/ /h/.config/"_s}) {
        const QStringList c = caso.split(u' ');
        c[0] == u"-"_s ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", c[0] == u"''"_s ? QByteArray() : c[0].toUtf8());
        qputenv("HOME", c[1].toUtf8());
        QVERIFY2(app::cartellaWindows() == c[2], qPrintable(caso + u" -> "_s + app::cartellaWindows()));
    }
}

int main(int argc, char** argv)
{
    QCoreApplication programma(argc, argv);
    const QStringList a = programma.arguments();
    // The writer the tests start as a process of their own, as a sibling program writes the settings file.
    if (a.size() == 4 && a[1] == u"--scrittore"_s) {
        for (int i = 0; i < chiaviPerScrittore; ++i)
            if (!app::scriviIni(a[2], u"CHIAVI"_s, a[3] + QString::number(i), QString::number(i).rightJustified(90, u'0')) ||
                std::printf("%d\n", i) < 0 || std::fflush(stdout) != 0)
                return 1;
        return 0;
    }
    TestIniFile t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_app_inifile.moc"
