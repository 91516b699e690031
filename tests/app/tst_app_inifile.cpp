#include "app/archivio.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString togli = u"<togli>"_s; // stands for std::nullopt in the tables
constexpr int chiaviPerScrittore = 40;

// The writer the tests start as a process of their own, as a sibling program writes the settings file:
// [CHIAVI] PREFISSO<i>=<i, padded> for i = 0..39, each reported on stdout once written.
int scrittore(const QString& file, const QString& prefisso)
{
    for (int i = 0; i < chiaviPerScrittore; ++i) {
        if (!app::scriviIni(file, u"CHIAVI"_s, prefisso + QString::number(i), QString::number(i).rightJustified(90, u'0')))
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}

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
  private Q_SLOTS:
    void init() { QVERIFY((cartella = std::make_unique<QTemporaryDir>())->isValid()); }
    void leggeComeIProfili_data();
    void leggeComeIProfili();
    void scriveSoloLaSuaChiave_data();
    void scriveSoloLaSuaChiave();
    void scritturaFallitaLasciaIlVecchio_data();
    void scritturaFallitaLasciaIlVecchio();
    void bloccoAbbandonatoTolto_data();
    void bloccoAbbandonatoTolto();
    void scrittoriUccisiOInsiemeNonPerdonoChiavi();
    void cartellaWindowsConUnaBarra_data();
    void cartellaWindowsConUnaBarra();
    void archivioSceltoDalleImpostazioni_data();
    void archivioSceltoDalleImpostazioni();

  private:
    std::unique_ptr<QTemporaryDir> cartella;
    QString ini() const { return cartella->filePath(u"Quendrix.ini"_s); }
};

void TestIniFile::leggeComeIProfili_data()
{
    // A null file means none on disk, and reading must not create one.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("atteso");
    const auto f = [](const char* nome, const QByteArray& file, const QString& atteso, const QString& s = u"A"_s,
                      const QString& k = u"K"_s) { QTest::newRow(nome) << file << s << k << atteso; };
    const auto v = [&f](const char* nome, const QByteArray& valore, const QString& atteso) {
        f(nome, "[A]\r\nK=" + valore + "\r\n", atteso);
    };
    const QByteArray lungo = QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(120);
    f("missing file, nothing created", QByteArray(), QString(), u"BASE"_s, u"DITTA"_s);
    v("120 characters read as 99", lungo, QString::fromLatin1(lungo.left(99)));
    v("quotes go before the 99 are counted", '"' + lungo + '"', QString::fromLatin1(lungo.left(99)));
    v("blank value reads empty", "   \t", QString());
    f("blanks around names and value dropped, case and inner blanks kept", "  [ a ]  \r\n\t k  =  Via  Roma\t1 bis \t\r\n",
      u"Via  Roma\t1 bis"_s);
    f("names in lower case find upper case", "[PATH]\r\nDIRINI=/dati/\r\n", u"/dati/"_s, u"path"_s, u"dirini"_s);
    v("double quotes removed, blanks inside kept", " \"  a  \" ", u"  a  "_s);
    v("single quotes removed", "'a b'", u"a b"_s);
    v("only one pair of quotes removed", "\"\"a\"\"", u"\"a\""_s);
    v("unmatched quotes kept", "\"a'", u"\"a'"_s);
    v("lone quote kept", "\"", u"\""_s);
    v("inner quotes kept", "a\"b\"", u"a\"b\""_s);
    v("equals sign inside the value", "a=b", u"a=b"_s);
    f("comment is not a key", "[A]\r\n;K=x\r\n", QString());
    f("indented comment is not a key", "[A]\r\n  ; K=x\r\n", QString(), u"A"_s, u";K"_s);
    f("key of another section", "[A]\r\nK=1\r\n[B]\r\nJ=2\r\n", QString(), u"B"_s);
    f("missing section", "[A]\r\nK=1\r\n", QString(), u"B"_s);
    f("key before any section", "K=1\r\n[A]\r\n", QString());
    f("first of two equal keys", "[A]\r\nK=1\r\nk=2\r\n", u"1"_s);
    f("section opened again", "[A]\r\nJ=1\r\n[B]\r\n[a]\r\nK=3\r\n", u"3"_s);
    f("LF, CR, and no line end after the last value", "[A]\r\nJ=1\nL=2\rK=3", u"3"_s);
    f("CR line ends", "[A]\rJ=1\rK=2\r", u"2"_s);
    v("Windows-1252 bytes", "CITT\xC0 PER\xD2 \x80\x93\x84\x96\x85\x99", u"CITTÀ PERÒ €\u201C\u201E\u2013\u2026\u2122"_s);
    f("UTF-8 byte-order mark before the first section", "\xEF\xBB\xBF[BASE]\r\nDITTA=X1\r\n", u"X1"_s, u"BASE"_s,
      u"DITTA"_s);
    v("UTF-8 of a Linux editor", "CITT\xC3\x80 \xE2\x82\xAC", u"CITTÀ €"_s);
    v("bytes that are no UTF-8 read as Windows-1252", "\xC3\x80\xC0", u"Ã€À"_s);
    v("NUL cuts the value, blanks before it dropped", "ab  \0cd\0e"_ba, u"ab"_s);
    v("value starting with NUL reads empty", "\0abc"_ba, QString());
}

void TestIniFile::leggeComeIProfili()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, atteso);
    if (!file.isNull())
        metti(ini(), file);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QCOMPARE(app::leggiIni(ini(), sezione, chiave), atteso);
    QCOMPARE(QFileInfo::exists(ini()), !file.isNull());
}

void TestIniFile::scriveSoloLaSuaChiave_data()
{
    // A null file before means none on disk; a null file after means none must be left.
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QByteArray>("dopo"); // the file as it was, and the call refused, when it equals `prima`
    const auto r = [](const char* nome, const QByteArray& prima, const QString& v, const QByteArray& dopo,
                      const QString& s = u"A"_s, const QString& k = u"K"_s) {
        QTest::newRow(nome) << prima << s << k << v << dopo;
    };
    r("comments and order kept, LF kept", "; suite\n[BASE]\n; company\nDITTA=X1\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n",
      u"X2"_s, "; suite\n[BASE]\n; company\nDITTA=X2\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n", u"BASE"_s, u"DITTA"_s);
    r("names matched without regard to case, spelling and CRLF kept", "[Base]\r\nDitta=X1\r\n", u"X2"_s,
      "[Base]\r\nDitta=X2\r\n", u"BASE"_s, u"DITTA"_s);
    r("CR kept", "[A]\rK=1\r\r; end\r", u"2"_s, "[A]\rK=2\r\r; end\r");
    r("first line end decides a mixed file", "[A]\nK=1\r\nJ=2\r", u"3"_s, "[A]\nK=3\nJ=2\n");
    r("line end added after the last line", "[A]\nx=1", u"2"_s, "[A]\nx=1\ny=2\n", u"A"_s, u"y"_s);
    r("blanks around the equals sign kept", "[A]\r\n  K = \"old\"  \r\n", u"new"_s, "[A]\r\n  K = new\r\n");
    r("a value's own blanks replace those after the equals sign", "[A]\r\nK=   5981\r\n", u" 6000"_s, "[A]\r\nK= 6000\r\n");
    r("same key in another section untouched", "[A]\r\nK=1\r\n[B]\r\nK=1\r\n", u"2"_s, "[A]\r\nK=1\r\n[B]\r\nK=2\r\n",
      u"b"_s, u"k"_s);
    r("commented key stays a comment", "[A]\r\n;K=old\r\n", u"new"_s, "[A]\r\nK=new\r\n;K=old\r\n");
    r("empty text keeps the key listed", "[A]\r\nK=x\r\nJ=y\r\n", QString(), "[A]\r\nK=\r\nJ=y\r\n");
    r("empty text adds the key listed", "[A]\r\nJ=y\r\n", QString(), "[A]\r\nJ=y\r\nK=\r\n");
    r("120 characters stored whole", "[A]\r\n", QString(120, u'x'), "[A]\r\nK=" + QByteArray(120, 'x') + "\r\n");
    r("removal takes only the key, the section stays", "[A]\r\n; c\r\nK=x\r\n[B]\r\nK=z\r\n", togli,
      "[A]\r\n; c\r\n[B]\r\nK=z\r\n");
    r("removal takes every copy of the key", "[A]\r\nK=1\r\nJ=2\r\n[B]\r\n[A]\r\nk=2\r\n", togli, "[A]\r\nJ=2\r\n[B]\r\n[A]\r\n");
    r("removing a missing key leaves the file as it was", "[A]\n  J = y \n", togli, "[A]\n  J = y \n");
    r("removing from a missing file creates nothing", QByteArray(), togli, QByteArray());
    r("new file written with CRLF", QByteArray(), u"X1"_s, "[BASE]\r\nDITTA=X1\r\n", u"BASE"_s, u"DITTA"_s);
    r("new key at the end of its section", "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", u"3"_s,
      "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", u"A"_s, u"z"_s);
    r("new key in an empty section", "[A]\r\n\r\n[B]\r\n", u"3"_s, "[A]\r\nz=3\r\n\r\n[B]\r\n", u"a"_s, u"z"_s);
    r("new section at the end of the file", "[A]\r\nx=1\r\n; end\r\n", u"2"_s, "[A]\r\nx=1\r\n; end\r\n[B]\r\ny=2\r\n",
      u"B"_s, u"y"_s);
    r("accented value stored as Windows-1252", "[A]\r\n", u"CITTÀ PERÒ €"_s, "[A]\r\nK=CITT\xC0 PER\xD2 \x80\r\n");
    r("byte-order mark kept, written as UTF-8", "\xEF\xBB\xBF[A]\r\nK=1\r\n", u"CITTÀ"_s,
      "\xEF\xBB\xBF[A]\r\nK=CITT\xC3\x80\r\n");
    r("UTF-8 file written as UTF-8", "; citt\xC3\xA0\n[A]\nK=1\n", u"€ \u6F22"_s,
      "; citt\xC3\xA0\n[A]\nK=\xE2\x82\xAC \xE6\xBC\xA2\n");
    r("characters outside Windows-1252 become ?", "[A]\r\n", u"a\u6F22b\U0001F600c\u0100"_s, "[A]\r\nK=a?b?c?\r\n");
    QByteArray tutti;
    for (int b = 0x20; b <= 0xFF; ++b)
        tutti += static_cast<char>(b);
    r("every 8-bit byte of other lines kept", "; " + tutti + "\r\n[A]\r\nK=1\r\n", u"2"_s, "; " + tutti + "\r\n[A]\r\nK=2\r\n");
    // Names that could not be read back are refused and leave the file as it was.
    const QList<QStringList> rifiutati{{u""_s, u"K"_s, u"1"_s}, {u"A]B"_s, u"K"_s, u"1"_s}, {u"A\nB"_s, u"K"_s, u"1"_s},
                                       {u"A"_s, u"  "_s, u"1"_s},  {u"A"_s, u"K=J"_s, u"1"_s}, {u"A"_s, u";K"_s, u"1"_s},
                                       {u"A"_s, u"[K"_s, u"1"_s},  {u"A"_s, u"K"_s, u"1\r\n[B]"_s}};
    for (const QStringList& n : rifiutati)
        QTest::addRow("refused: [%s] %s=%s", qPrintable(n[0]), qPrintable(n[1]), qPrintable(n[2]))
            << "[A]\r\nK=0\r\n"_ba << n[0] << n[1] << n[2] << "[A]\r\nK=0\r\n"_ba;
}

void TestIniFile::scriveSoloLaSuaChiave()
{
    QFETCH(QByteArray, prima);
    QFETCH(QString, valore);
    QFETCH(QByteArray, dopo);
    if (!prima.isNull())
        metti(ini(), prima);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    const bool rifiutato = !prima.isNull() && prima == dopo && valore != togli;
    QCOMPARE(app::scriviIni(ini(), sezione, chiave, valore == togli ? std::nullopt : std::optional(valore)), !rifiutato);
    QCOMPARE(contenuto(ini()), dopo);
    QCOMPARE(QFileInfo::exists(ini()), !dopo.isNull());
}

void TestIniFile::scritturaFallitaLasciaIlVecchio_data()
{
    QTest::addColumn<QString>("guasto");
    QTest::newRow("one free page on a small file system") << u"disco pieno"_s;
    QTest::newRow("write error") << u"errore"_s;
    QTest::newRow("missing folder, not created") << u"cartella"_s;
}

void TestIniFile::scritturaFallitaLasciaIlVecchio()
{
    QFETCH(QString, guasto);
    const QString piccolo = cartella->filePath(u"piccolo"_s), riempitivo = piccolo + u"/riempitivo"_s;
    const QString file = piccolo + u"/Quendrix.ini"_s;
    if (guasto == u"cartella"_s) {
        QVERIFY(!app::scriviIni(file, u"BASE"_s, u"DITTA"_s, u"X1"_s));
        QVERIFY(!QFileInfo::exists(piccolo));
        return;
    }
    QVERIFY(QDir().mkpath(piccolo));
    const bool pieno = guasto == u"disco pieno"_s;
    if (pieno && (::geteuid() != 0 || QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, piccolo})))
        QSKIP("mounting a small file system needs root");
    const auto smonta = qScopeGuard([&] {
        if (pieno)
            QProcess::execute(u"umount"_s, {piccolo});
    });
    const QByteArray prima = "[BASE]\r\nDITTA=X1\r\n; " + QByteArray(2000, 'x') + "\r\n";
    metti(file, prima);
    rlimit limite{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &limite) == 0);
    if (pieno) {
        QFile f(riempitivo);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (f.write(QByteArray(4096, 'r')) == 4096) {
        }
        f.close();
        QVERIFY(f.resize(f.size() / 4096 * 4096 - 4096));
    } else {
        // Past this size the kernel refuses to write (EFBIG) instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit basso = limite;
        basso.rlim_cur = 1000;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &basso) == 0);
    }
    const bool riuscita = app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s);
    ::setrlimit(RLIMIT_FSIZE, &limite);
    QVERIFY(!riuscita);
    QCOMPARE(contenuto(file), prima);
    QCOMPARE(QDir(piccolo).entryList(QDir::Files | QDir::Hidden), QStringList{u"Quendrix.ini"_s} + (pieno ? QStringList{u"riempitivo"_s} : QStringList()));
    // Once there is room again, the same write goes through.
    QFile::remove(riempitivo);
    QVERIFY(app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s));
    QCOMPARE(app::leggiIni(file, u"BASE"_s, u"DITTA"_s), u"X1"_s);
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
    QByteArray blocco;
    if (!comando.isEmpty()) {
        guscio.start(u"sh"_s, {u"-c"_s, comando});
        QVERIFY(guscio.waitForReadyRead(5000));
        const QByteArray pid = guscio.readLine().trimmed();
        QTRY_VERIFY(app::avvioProcesso(pid.toLongLong()).isEmpty());
        blocco = pid + "\ntrue\n" + macchina.toUtf8() + '\n';
    }
    // What a writer killed in the middle leaves: its lock and its half-written file.
    metti(ini() + u".lock"_s, blocco);
    QFile f(ini() + u".lock"_s);
    QVERIFY(f.open(QIODevice::Append) && f.setFileTime(QDateTime::currentDateTime().addSecs(-eta), QFileDevice::FileModificationTime));
    f.close();
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
    metti(ini(), "; " + QByteArray(4000, 'x') + "\r\n[CHIAVI]\r\n");
    QSet<QByteArray> attese{"; " + QByteArray(4000, 'x'), "[CHIAVI]"}, forse;
    for (int giro = 0; giro < 20; ++giro) {
        QProcess a, b;
        const QString pa = u"A%1_"_s.arg(giro), pb = u"B%1_"_s.arg(giro);
        a.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pa});
        b.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, ini(), pb});
        QByteArray uscita;
        while (uscita.count('\n') < 1 + giro % 5) {
            // A lock left by a killed writer never stops the next one beyond the bounded wait.
            QVERIFY2(a.waitForReadyRead(8000), qPrintable(u"round %1"_s.arg(giro)));
            uscita += a.readAllStandardOutput();
        }
        a.kill();
        QVERIFY(a.waitForFinished(5000) && b.waitForFinished(30000));
        QCOMPARE(b.exitStatus(), QProcess::NormalExit);
        QCOMPARE(b.exitCode(), 0);
        const int fatte = int(uscita.append(a.readAllStandardOutput()).count('\n'));
        for (int i = 0; i < chiaviPerScrittore; ++i)
            attese << rigaScritta(pb, i);
        for (int i = 0; i < fatte; ++i)
            attese << rigaScritta(pa, i);
        // Killed after its write and before its report, A's last key may be there too.
        forse << rigaScritta(pa, fatte);
        QList<QByteArray> righe = contenuto(ini()).split('\n');
        QCOMPARE(righe.takeLast(), QByteArray());
        QSet<QByteArray> trovate;
        for (QByteArray& r : righe) {
            QVERIFY2(r.endsWith('\r') && (attese.contains(r.chopped(1)) || forse.contains(r.chopped(1))), r.constData());
            trovate << r.chopped(1);
        }
        QCOMPARE(trovate.size(), righe.size());
        QCOMPARE(trovate - forse, attese);
    }
}

void TestIniFile::cartellaWindowsConUnaBarra_data()
{
    // A null XDG_CONFIG_HOME is unset.
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QByteArray>("casa");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("XDG_CONFIG_HOME gets its slash") << "/srv/conf"_ba << "/home/u"_ba << u"/srv/conf/"_s;
    QTest::newRow("XDG_CONFIG_HOME slash not doubled") << "/srv/conf/"_ba << "/home/u"_ba << u"/srv/conf/"_s;
    QTest::newRow("unset XDG_CONFIG_HOME") << QByteArray() << "/home/u"_ba << u"/home/u/.config/"_s;
    QTest::newRow("empty XDG_CONFIG_HOME") << ""_ba << "/home/u"_ba << u"/home/u/.config/"_s;
    QTest::newRow("HOME slash not doubled") << QByteArray() << "/home/u/"_ba << u"/home/u/.config/"_s;
}

void TestIniFile::cartellaWindowsConUnaBarra()
{
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, casa);
    QFETCH(QString, atteso);
    const bool aveva = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray vecchio = qgetenv("XDG_CONFIG_HOME"), vecchiaCasa = qgetenv("HOME");
    const auto ripristina = qScopeGuard([&] {
        aveva ? qputenv("XDG_CONFIG_HOME", vecchio) : qunsetenv("XDG_CONFIG_HOME");
        qputenv("HOME", vecchiaCasa);
    });
    xdg.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", xdg);
    qputenv("HOME", casa);
    QCOMPARE(app::cartellaWindows(), atteso);
}

void TestIniFile::archivioSceltoDalleImpostazioni_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("atteso");
    const auto r = [](const char* nome, const QByteArray& database, const QString& atteso,
                      const QByteArray& base = "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=/dati/\n") {
        QTest::newRow(nome) << base + database << atteso;
    };
    r("no folder, the root", "", u"/X1/dogana.mdb"_s, "[BASE]\nDITTA=X1\n");
    r("blank folder, the root", "", u"/X1/dogana.mdb"_s, "[BASE]\nDITTA=X1\n[PATH]\nDIRINI=\"   \"\n");
    r("no DATABASE section", "", u"/dati/X1/dogana.mdb"_s);
    r("SQLite driver", "[DATABASE]\nDRIVER=QSQLITE\nHOST=db\n", u"/dati/X1/dogana.mdb"_s);
    r("empty driver", "[DATABASE]\nDRIVER=\nNOME=altro\n", u"/dati/X1/dogana.mdb"_s);
    r("server with defaults only", "[DATABASE]\nDRIVER=QPSQL\n", u"postgresql:///dogana_x1"_s);
    r("names without regard to case", "[database]\ndriver=qpsql\nnome=Registri_%ditta%\n", u"postgresql:///Registri_x1"_s);
    r("host, port and user", "[DATABASE]\nDRIVER=QPSQL\nHOST=db.ufficio.lan\nPORT=5433\nUTENTE=mario\n",
      u"postgresql:///dogana_x1?host=db.ufficio.lan&port=5433&user=mario"_s);
    r("socket folder", "[DATABASE]\nDRIVER=QPSQL\nHOST=/var/run/postgresql\nNOME=%DITTA%\n", u"postgresql:///x1?host=/var/run/postgresql"_s);
    r("the password is never read", "[DATABASE]\nDRIVER=QPSQL\nPASSWORD=segreta\nPASSWD=segreta\n", u"postgresql:///dogana_x1"_s);
    r("characters to encode", "[DATABASE]\nDRIVER=QPSQL\nUTENTE=m&r=o\nNOME=d?x#%DITTA%\n", u"postgresql:///d%3Fx%23x1?user=m%26r%3Do"_s);
}

void TestIniFile::archivioSceltoDalleImpostazioni()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, atteso);
    metti(ini(), file);
    QCOMPARE(app::posizioneArchivio(ini()), atteso);
}

int main(int argc, char** argv)
{
    QCoreApplication programma(argc, argv);
    const QStringList a = programma.arguments();
    if (a.size() == 4 && a[1] == u"--scrittore"_s)
        return scrittore(a[2], a[3]);
    TestIniFile t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_app_inifile.moc"
