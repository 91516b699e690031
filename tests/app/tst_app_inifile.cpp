#include "app/archivio.h"
#include "app/inifile.h"
#include "app/processo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString togli = u"<togli>"_s; // stands for std::nullopt in the tables
constexpr int chiaviCiclo = 20;

// The writer the tests start as a process of their own, as a sibling program writes the settings file:
//   --scrittore ciclo FILE PRIMO  writes [CICLO] K<n mod 20>=<n, padded> for n = PRIMO, PRIMO+1, ... forever
//   --scrittore chiavi FILE PREFISSO  writes [CHIAVI] PREFISSO<i>=<i> for i = 0..199, then exits
constexpr int chiaviPerScrittore = 200;

void riporta(qint64 n)
{
    std::printf("%lld\n", static_cast<long long>(n));
    std::fflush(stdout);
}

int ciclo(const QString& file, qint64 primo)
{
    for (qint64 n = primo;; ++n) {
        const QString chiave = u"K"_s + QString::number(n % chiaviCiclo);
        // Every value has the same length, so every complete file has the same size.
        if (!app::scriviIni(file, u"CICLO"_s, chiave, QString::number(n).rightJustified(90, u'0')))
            return 1;
        riporta(n);
    }
}

int chiavi(const QString& file, const QString& prefisso)
{
    for (int i = 0; i < chiaviPerScrittore; ++i) {
        if (!app::scriviIni(file, u"CHIAVI"_s, prefisso + QString::number(i), QString::number(i)))
            return 1;
    }
    return 0;
}

// Starts this executable as a writer.
void avviaScrittore(QProcess& p, const QString& modo, const QString& file, const QString& argomento)
{
    p.start(QCoreApplication::applicationFilePath(), {u"--scrittore"_s, modo, file, argomento});
}

QByteArray righeCiclo(const QList<qint64>& valori)
{
    QByteArray testo = "; suite settings\r\n[ALTRO]\r\nX=1\r\n[CICLO]\r\n";
    for (int j = 0; j < chiaviCiclo; ++j)
        testo += "K" + QByteArray::number(j) + '=' + QByteArray::number(valori[j]).rightJustified(90, '0') + "\r\n";
    return testo;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init()
    {
        cartella = std::make_unique<QTemporaryDir>();
        QVERIFY(cartella->isValid());
    }
    void readValueFollowsProfileRules_data();
    void readValueFollowsProfileRules();
    void writeChangesOnlyItsKey_data();
    void writeChangesOnlyItsKey();
    void missingFolderIsNotCreated();
    void failedWriteLeavesTheOldFile_data();
    void failedWriteLeavesTheOldFile();
    void lockLeftByAVanishedWriterIsBroken_data();
    void lockLeftByAVanishedWriterIsBroken();
    void windowsFolderEndsWithOneSlash_data();
    void windowsFolderEndsWithOneSlash();
    void killedWriterLeavesOldOrNewFile();
    void twoWritersAtOnceLoseNoKey();
    void storeChosenBySettings_data();
    void storeChosenBySettings();

  private:
    std::unique_ptr<QTemporaryDir> cartella;
    QString ini() const { return cartella->filePath(u"Quendrix.ini"_s); }
    void metti(const QByteArray& byte) const
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(byte), byte.size());
    }
    QByteArray contenuto() const
    {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

void TestIniFile::readValueFollowsProfileRules_data()
{
    // A null file means none on disk, and reading must not create one.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("atteso");
    const auto r = [](const char* nome, const QByteArray& file, const QString& atteso, const QString& s = u"A"_s,
                      const QString& k = u"K"_s) { QTest::newRow(nome) << file << s << k << atteso; };
    const QByteArray lungo = QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(120);
    const QString novantanove = QString::fromLatin1(lungo.left(99));
    r("missing file, nothing created", QByteArray(), QString(), u"BASE"_s, u"DITTA"_s);
    r("120 characters read as 99", "[A]\r\nK=" + lungo + "\r\n", novantanove);
    r("quotes go before the 99 are counted", "[A]\r\nK=\"" + lungo + "\"\r\n", novantanove);
    r("120 accented letters read as 99", "[A]\r\nK=" + QByteArray(120, '\xC0') + "\r\n", QString(99, u'À'));
    r("empty value reads empty", "[A]\r\nK=\r\nJ=1\r\n", QString());
    r("blank value reads empty", "[A]\r\nK=   \t\r\n", QString());
    r("case and inner blanks kept", "[A]\r\nK=Via  Roma\t1 bis\r\n", u"Via  Roma\t1 bis"_s);
    r("names in upper case find mixed case", "[Base]\r\nDitta=X1\r\n", u"X1"_s, u"BASE"_s, u"DITTA"_s);
    r("names in lower case find upper case", "[PATH]\r\nDIRINI=/dati/\r\n", u"/dati/"_s, u"path"_s, u"dirini"_s);
    r("blanks around name and value dropped", "  [ A ]  \r\n\t K  =  v  w \t\r\n", u"v  w"_s);
    r("double quotes removed, blanks inside kept", "[A]\r\nK = \"  a  \" \r\n", u"  a  "_s);
    r("single quotes removed", "[A]\r\nK='a b'\r\n", u"a b"_s);
    r("only one pair of quotes removed", "[A]\r\nK=\"\"a\"\"\r\n", u"\"a\""_s);
    r("unmatched quotes kept", "[A]\r\nK=\"a'\r\n", u"\"a'"_s);
    r("lone quote kept", "[A]\r\nK=\"\r\n", u"\""_s);
    r("inner quotes kept", "[A]\r\nK=a\"b\"\r\n", u"a\"b\""_s);
    r("equals sign inside the value", "[A]\r\nK=a=b\r\n", u"a=b"_s);
    r("comment is not a key", "[A]\r\n;K=x\r\n", QString());
    r("indented comment is not a key", "[A]\r\n  ; K=x\r\n", QString(), u"A"_s, u";K"_s);
    r("key of another section", "[A]\r\nK=1\r\n[B]\r\nJ=2\r\n", QString(), u"B"_s);
    r("key before any section", "K=1\r\n[A]\r\n", QString());
    r("missing section", "[A]\r\nK=1\r\n", QString(), u"B"_s);
    r("missing key", "[A]\r\nK=1\r\n", QString(), u"A"_s, u"J"_s);
    r("first of two equal keys", "[A]\r\nK=1\r\nk=2\r\n", u"1"_s);
    r("section opened again", "[A]\r\nJ=1\r\n[B]\r\n[a]\r\nK=3\r\n", u"3"_s);
    r("LF line ends", "[A]\nJ=1\nK=2\n", u"2"_s);
    r("CR line ends", "[A]\rJ=1\rK=2\r", u"2"_s);
    r("mixed line ends", "[A]\r\nJ=1\nK=2\r[B]", u"2"_s);
    r("no line end after the last value", "[A]\r\nK=2", u"2"_s);
    r("Windows-1252 bytes", "[A]\r\nK=CITT\xC0 PER\xD2 \x80\r\n", u"CITTÀ PERÒ €"_s);
    r("Windows-1252 punctuation", "[A]\r\nK=\x93\x84\x96\x85\x99\r\n", u"\u201C\u201E\u2013\u2026\u2122"_s);
    r("UTF-8 byte-order mark before the first section", "\xEF\xBB\xBF[BASE]\r\nDITTA=X1\r\n", u"X1"_s, u"BASE"_s,
      u"DITTA"_s);
    r("UTF-8 of a Linux editor", "[A]\nK=CITT\xC3\x80 \xE2\x82\xAC\n", u"CITTÀ €"_s);
    r("bytes that are no UTF-8 read as Windows-1252", "[A]\nK=\xC3\x80\xC0\n", u"Ã€À"_s);
    r("NUL cuts the value, blanks before it dropped", "[A]\r\nK=ab  \0cd\0e\r\n"_ba, u"ab"_s);
    r("value starting with NUL reads empty", "[A]\r\nK=\0abc\r\n"_ba, QString());
}

void TestIniFile::readValueFollowsProfileRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(QString, atteso);
    if (!file.isNull())
        metti(file);
    const QString letto = app::leggiIni(ini(), sezione, chiave);
    QCOMPARE(letto, atteso);
    QVERIFY(letto.size() <= 99);
    QCOMPARE(QFileInfo::exists(ini()), !file.isNull());
}

void TestIniFile::writeChangesOnlyItsKey_data()
{
    // A null file before means none on disk; a null file after means none must be left.
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<bool>("riuscita");
    QTest::addColumn<QByteArray>("dopo");
    const auto r = [](const char* nome, const QByteArray& prima, const QString& v, const QByteArray& dopo,
                      const QString& s = u"A"_s, const QString& k = u"K"_s) {
        QTest::newRow(nome) << prima << s << k << v << true << dopo;
    };
    r("comments and order kept, LF kept", "; suite\n[BASE]\n; company\nDITTA=X1\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n",
      u"X2"_s, "; suite\n[BASE]\n; company\nDITTA=X2\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n", u"BASE"_s, u"DITTA"_s);
    r("CRLF kept", "; suite\r\n[BASE]\r\nDITTA=X1\r\n\r\n[PATH]\r\nDIRINI=/dati/\r\n", u"/altro/"_s,
      "; suite\r\n[BASE]\r\nDITTA=X1\r\n\r\n[PATH]\r\nDIRINI=/altro/\r\n", u"PATH"_s, u"DIRINI"_s);
    r("CR kept", "[A]\rK=1\r\r; end\r", u"2"_s, "[A]\rK=2\r\r; end\r");
    r("first line end decides a mixed file", "[A]\nK=1\r\nJ=2\r", u"3"_s, "[A]\nK=3\nJ=2\n");
    r("line end added after the last line", "[A]\nx=1", u"2"_s, "[A]\nx=1\ny=2\n", u"A"_s, u"y"_s);
    r("names matched without regard to case, file's spelling kept", "[Base]\r\nDitta=X1\r\n", u"X2"_s,
      "[Base]\r\nDitta=X2\r\n", u"BASE"_s, u"DITTA"_s);
    r("blanks around the equals sign kept", "[A]\r\n  K = \"old\"  \r\n", u"new"_s, "[A]\r\n  K = new\r\n");
    r("same key in another section untouched", "[A]\r\nK=1\r\n[B]\r\nK=1\r\n", u"2"_s,
      "[A]\r\nK=1\r\n[B]\r\nK=2\r\n", u"b"_s, u"k"_s);
    r("commented key stays a comment", "[A]\r\n;K=old\r\n", u"new"_s, "[A]\r\nK=new\r\n;K=old\r\n");
    r("empty text keeps the key listed", "[A]\r\nK=x\r\nJ=y\r\n", QString(), "[A]\r\nK=\r\nJ=y\r\n");
    r("empty text adds the key listed", "[A]\r\nJ=y\r\n", QString(), "[A]\r\nJ=y\r\nK=\r\n");
    r("120 characters stored whole", "[A]\r\n", QString(120, u'x'), "[A]\r\nK=" + QByteArray(120, 'x') + "\r\n");
    r("removal takes only the key", "[A]\r\n; c\r\nK=x\r\nJ=y\r\n[B]\r\nK=z\r\n", togli,
      "[A]\r\n; c\r\nJ=y\r\n[B]\r\nK=z\r\n");
    r("removal takes every copy of the key", "[A]\r\nK=1\r\n[B]\r\n[A]\r\nk=2\r\n", togli, "[A]\r\n[B]\r\n[A]\r\n");
    r("removing the last key keeps the section", "[A]\r\nK=x\r\n", togli, "[A]\r\n");
    r("removing a missing key leaves the file as it was", "[A]\n  J = y \n", togli, "[A]\n  J = y \n");
    r("removing from a missing file creates nothing", QByteArray(), togli, QByteArray());
    r("new file written with CRLF", QByteArray(), u"X1"_s, "[BASE]\r\nDITTA=X1\r\n", u"BASE"_s, u"DITTA"_s);
    r("new file with empty text", QByteArray(), QString(), "[BASE]\r\nDITTA=\r\n", u"BASE"_s, u"DITTA"_s);
    r("new key at the end of its section", "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", u"3"_s,
      "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", u"A"_s, u"z"_s);
    r("new key in an empty section", "[A]\r\n\r\n[B]\r\n", u"3"_s, "[A]\r\nz=3\r\n\r\n[B]\r\n", u"a"_s, u"z"_s);
    r("new key before trailing blank lines", "[A]\r\nx=1\r\n\r\n\r\n", u"3"_s, "[A]\r\nx=1\r\nz=3\r\n\r\n\r\n",
      u"A"_s, u"z"_s);
    r("new section at the end of the file", "[A]\r\nx=1\r\n; end\r\n", u"2"_s,
      "[A]\r\nx=1\r\n; end\r\n[B]\r\ny=2\r\n", u"B"_s, u"y"_s);
    r("accented value stored as Windows-1252", "[A]\r\n", u"CITTÀ PERÒ €"_s, "[A]\r\nK=CITT\xC0 PER\xD2 \x80\r\n");
    r("byte-order mark kept, written as UTF-8", "\xEF\xBB\xBF[A]\r\nK=1\r\n", u"CITTÀ"_s,
      "\xEF\xBB\xBF[A]\r\nK=CITT\xC3\x80\r\n");
    r("UTF-8 file written as UTF-8", "; citt\xC3\xA0\n[A]\nK=1\n", u"€ \u6F22"_s,
      "; citt\xC3\xA0\n[A]\nK=\xE2\x82\xAC \xE6\xBC\xA2\n");
    r("a value's own blanks replace those after the equals sign", "[Z]\r\nHANDLE=   5981\r\n", u" 6000"_s,
      "[Z]\r\nHANDLE= 6000\r\n", u"Z"_s, u"HANDLE"_s);
    r("characters outside Windows-1252 become ?", "[A]\r\n", u"a\u6F22b\U0001F600c\u0100"_s, "[A]\r\nK=a?b?c?\r\n");
    QByteArray tutti;
    for (int b = 0x20; b <= 0xFF; ++b)
        tutti += static_cast<char>(b);
    r("every 8-bit byte of other lines kept", "; " + tutti + "\r\n[A]\r\nK=1\r\n", u"2"_s,
      "; " + tutti + "\r\n[A]\r\nK=2\r\n");
    // Names that could not be read back are refused and leave the file as it was.
    const QByteArray fisso("[A]\r\nK=0\r\n");
    const auto rifiuta = [&](const char* nome, const QString& s, const QString& k, const QString& v) {
        QTest::newRow(nome) << fisso << s << k << v << false << fisso;
    };
    rifiuta("refused: empty section", QString(), u"K"_s, u"1"_s);
    rifiuta("refused: bracket in section", u"A]B"_s, u"K"_s, u"1"_s);
    rifiuta("refused: line end in section", u"A\nB"_s, u"K"_s, u"1"_s);
    rifiuta("refused: empty key", u"A"_s, u"  "_s, u"1"_s);
    rifiuta("refused: equals sign in key", u"A"_s, u"K=J"_s, u"1"_s);
    rifiuta("refused: key starting a comment", u"A"_s, u";K"_s, u"1"_s);
    rifiuta("refused: key starting a header", u"A"_s, u"[K"_s, u"1"_s);
    rifiuta("refused: line end in value", u"A"_s, u"K"_s, u"1\r\n[B]"_s);
}

void TestIniFile::writeChangesOnlyItsKey()
{
    QFETCH(QByteArray, prima);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(QString, valore);
    QFETCH(bool, riuscita);
    QFETCH(QByteArray, dopo);
    if (!prima.isNull())
        metti(prima);
    QCOMPARE(app::scriviIni(ini(), sezione, chiave, valore == togli ? std::nullopt : std::optional<QString>(valore)),
             riuscita);
    QCOMPARE(contenuto(), dopo);
    QCOMPARE(QFileInfo::exists(ini()), !dopo.isNull());
}

void TestIniFile::missingFolderIsNotCreated()
{
    QVERIFY(!app::scriviIni(cartella->filePath(u"manca/Quendrix.ini"_s), u"BASE"_s, u"DITTA"_s, u"X1"_s));
    QVERIFY(!QFileInfo::exists(cartella->filePath(u"manca"_s)));
}

void TestIniFile::failedWriteLeavesTheOldFile_data()
{
    QTest::addColumn<bool>("discoPieno");
    QTest::newRow("one free page on a small file system") << true;
    QTest::newRow("write error") << false;
}

void TestIniFile::failedWriteLeavesTheOldFile()
{
    QFETCH(bool, discoPieno);
    const QString piccolo = cartella->filePath(u"piccolo"_s), riempitivo = piccolo + u"/riempitivo"_s;
    QVERIFY(QDir().mkpath(piccolo));
    if (discoPieno && ::geteuid() != 0)
        QSKIP("mounting a small file system needs root");
    if (discoPieno && QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, piccolo}))
        QSKIP("a small file system could not be mounted here");
    rlimit limite{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &limite) == 0);
    const auto smonta = qScopeGuard([&] {
        if (discoPieno)
            QProcess::execute(u"umount"_s, {piccolo});
    });
    const QString file = piccolo + u"/Quendrix.ini"_s;
    const QByteArray prima = "[BASE]\r\nDITTA=X1\r\n; " + QByteArray(2000, 'x') + "\r\n";
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(prima) == prima.size() && f.flush());
    f.close();
    if (discoPieno) {
        QFile pieno(riempitivo);
        QVERIFY(pieno.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (pieno.write(QByteArray(4096, 'r')) == 4096) {
        }
        pieno.close();
        QVERIFY(pieno.resize(pieno.size() / 4096 * 4096 - 4096));
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
    QFile dopo(file);
    QVERIFY(dopo.open(QIODevice::ReadOnly));
    QCOMPARE(dopo.readAll(), prima);
    QCOMPARE(QDir(piccolo).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"Quendrix.ini"_s} + (discoPieno ? QStringList{u"riempitivo"_s} : QStringList()));
    // Once there is room again, the same write goes through.
    QFile::remove(riempitivo);
    QVERIFY(app::scriviIni(file, u"Zevedez"_s, u"HANDLE"_s, u" 5981"_s));
    QCOMPARE(app::leggiIni(file, u"BASE"_s, u"DITTA"_s), u"X1"_s);
}

void TestIniFile::lockLeftByAVanishedWriterIsBroken_data()
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

void TestIniFile::lockLeftByAVanishedWriterIsBroken()
{
    QFETCH(QString, macchina);
    QFETCH(QString, comando);
    QFETCH(int, eta);
    QProcess guscio;
    const auto fine = qScopeGuard([&] {
        guscio.kill();
        guscio.waitForFinished();
    });
    QByteArray pid;
    if (!comando.isEmpty()) {
        guscio.start(u"sh"_s, {u"-c"_s, comando});
        QVERIFY(guscio.waitForReadyRead(5000));
        pid = guscio.readLine().trimmed();
        QTRY_VERIFY(app::avvioProcesso(pid.toLongLong()).isEmpty());
    }
    // What a writer killed in the middle leaves: its lock and its half-written file.
    QFile blocco(ini() + u".lock"_s);
    QVERIFY(blocco.open(QIODevice::WriteOnly));
    if (!pid.isEmpty())
        blocco.write(pid + "\ntrue\n" + macchina.toUtf8() + '\n');
    QVERIFY(blocco.flush());
    QVERIFY(blocco.setFileTime(QDateTime::currentDateTime().addSecs(-eta), QFileDevice::FileModificationTime));
    blocco.close();
    QFile mezzo(ini() + u".scrittura-k1lled"_s);
    QVERIFY(mezzo.open(QIODevice::WriteOnly) && mezzo.write("[BASE]\r\nDI") > 0);
    mezzo.close();
    QElapsedTimer tempo;
    tempo.start();
    QVERIFY(app::scriviIni(ini(), u"BASE"_s, u"DITTA"_s, u"X1"_s));
    QVERIFY2(tempo.elapsed() < 2000, qPrintable(QString::number(tempo.elapsed())));
    QCOMPARE(contenuto(), QByteArray("[BASE]\r\nDITTA=X1\r\n"));
    QCOMPARE(QDir(cartella->path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Quendrix.ini"_s});
}

void TestIniFile::windowsFolderEndsWithOneSlash_data()
{
    QTest::addColumn<bool>("conXdg");
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QByteArray>("casa");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("XDG_CONFIG_HOME gets its slash") << true << "/srv/conf"_ba << "/home/u"_ba << u"/srv/conf/"_s;
    QTest::newRow("XDG_CONFIG_HOME slash not doubled") << true << "/srv/conf/"_ba << "/home/u"_ba << u"/srv/conf/"_s;
    QTest::newRow("unset XDG_CONFIG_HOME") << false << QByteArray() << "/home/u"_ba << u"/home/u/.config/"_s;
    QTest::newRow("empty XDG_CONFIG_HOME") << true << QByteArray() << "/home/u"_ba << u"/home/u/.config/"_s;
    QTest::newRow("HOME slash not doubled") << false << QByteArray() << "/home/u/"_ba << u"/home/u/.config/"_s;
}

void TestIniFile::windowsFolderEndsWithOneSlash()
{
    QFETCH(bool, conXdg);
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, casa);
    QFETCH(QString, atteso);
    const bool avevaXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray vecchioXdg = qgetenv("XDG_CONFIG_HOME"), vecchiaCasa = qgetenv("HOME");
    const auto ripristina = qScopeGuard([&] {
        avevaXdg ? void(qputenv("XDG_CONFIG_HOME", vecchioXdg)) : void(qunsetenv("XDG_CONFIG_HOME"));
        qputenv("HOME", vecchiaCasa);
    });
    conXdg ? void(qputenv("XDG_CONFIG_HOME", xdg)) : void(qunsetenv("XDG_CONFIG_HOME"));
    qputenv("HOME", casa);
    QCOMPARE(app::cartellaWindows(), atteso);
}

void TestIniFile::killedWriterLeavesOldOrNewFile()
{
    QList<qint64> valori;
    for (int j = 0; j < chiaviCiclo; ++j)
        valori << j;
    metti(righeCiclo(valori));
    const qsizetype dimensione = contenuto().size();
    qint64 ultimo = chiaviCiclo - 1;
    for (int giro = 0; giro < 50; ++giro) {
        QProcess figlio;
        avviaScrittore(figlio, u"ciclo"_s, ini(), QString::number(ultimo + 1));
        QVERIFY(figlio.waitForStarted(5000));
        // Killed after a varying number of writes, most often in the middle of the next one.
        QByteArray uscita;
        while (uscita.count('\n') < 1 + giro % 5) {
            // A lock left by the killed writer never stops the next one beyond the bounded wait.
            QVERIFY2(figlio.waitForReadyRead(8000), qPrintable(u"round %1"_s.arg(giro)));
            uscita += figlio.readAllStandardOutput();
        }
        figlio.kill();
        QVERIFY(figlio.waitForFinished(5000));
        QCOMPARE(figlio.exitStatus(), QProcess::CrashExit);
        uscita += figlio.readAllStandardOutput();
        const qint64 riportato = uscita.trimmed().split('\n').last().toLongLong();

        const QByteArray file = contenuto();
        QCOMPARE(file.size(), dimensione);
        const QList<QByteArray> righeFile = file.split('\n');
        QCOMPARE(righeFile.size(), 4 + chiaviCiclo + 1);
        qint64 massimo = 0;
        for (int j = 0; j < chiaviCiclo; ++j) {
            const QByteArray riga = righeFile[4 + j].chopped(1);
            const QByteArray prefisso = "K" + QByteArray::number(j) + '=';
            bool numero = false;
            valori[j] = riga.mid(prefisso.size()).toLongLong(&numero);
            QVERIFY2(riga.startsWith(prefisso) && numero && valori[j] % chiaviCiclo == j, riga.constData());
            massimo = std::max(massimo, valori[j]);
        }
        QCOMPARE(file, righeCiclo(valori));
        // Every reported write is in the file; at most the one under way when killed is added.
        QVERIFY2(massimo == riportato || massimo == riportato + 1,
                 qPrintable(u"%1 in the file, %2 reported"_s.arg(massimo).arg(riportato)));
        ultimo = massimo;
    }
}

void TestIniFile::twoWritersAtOnceLoseNoKey()
{
    QProcess scrittori[2];
    QSet<QByteArray> attese{"[CHIAVI]\r"};
    for (int s = 0; s < 2; ++s) {
        const QByteArray prefisso(1, char('A' + s));
        avviaScrittore(scrittori[s], u"chiavi"_s, ini(), QString::fromLatin1(prefisso));
        for (int i = 0; i < 200; ++i)
            attese << prefisso + QByteArray::number(i) + '=' + QByteArray::number(i) + '\r';
    }
    for (QProcess& s : scrittori) {
        QVERIFY(s.waitForFinished(30000));
        QCOMPARE(s.exitStatus(), QProcess::NormalExit);
        QCOMPARE(s.exitCode(), 0);
    }
    QList<QByteArray> righe = contenuto().split('\n');
    QCOMPARE(righe.takeLast(), QByteArray());
    QCOMPARE(righe.first(), QByteArray("[CHIAVI]\r"));
    QCOMPARE(righe.size(), 1 + 2 * 200);
    QCOMPARE(QSet<QByteArray>(righe.begin(), righe.end()), attese);
}

void TestIniFile::storeChosenBySettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("atteso");
    QTest::addColumn<bool>("soloFile"); // company and its folder come from the settings file alone
    const auto r = [](const char* nome, const QByteArray& file, const QString& atteso, bool soloFile = false) {
        QTest::newRow(nome) << file << atteso << soloFile;
    };
    r("data folder", "[BASE]\r\nDITTA=001\r\n[PATH]\r\nDIRINI=/srv/dati/\r\n", u"/srv/dati/001/dogana.mdb"_s, true);
    r("no folder, the root", "[BASE]\r\nDITTA=001\r\n", u"/001/dogana.mdb"_s, true);
    r("blank folder, the root", "[BASE]\r\nDITTA=001\r\n[PATH]\r\nDIRINI=\"   \"\r\n", u"/001/dogana.mdb"_s, true);
    r("server from the file alone", "[BASE]\r\nDITTA=AB7\r\n[DATABASE]\r\nDRIVER=QPSQL\r\n", u"postgresql:///dogana_ab7"_s,
      true);
    r("no DATABASE section", "[BASE]\r\nDITTA=X1\r\n", u"/dati/X1/dogana.mdb"_s);
    r("SQLite driver", "[DATABASE]\r\nDRIVER=QSQLITE\r\nHOST=db\r\n", u"/dati/X1/dogana.mdb"_s);
    r("empty driver", "[DATABASE]\r\nDRIVER=\r\nNOME=altro\r\n", u"/dati/X1/dogana.mdb"_s);
    r("server with defaults only", "[DATABASE]\r\nDRIVER=QPSQL\r\n", u"postgresql:///dogana_x1"_s);
    r("names without regard to case", "[database]\r\ndriver=qpsql\r\nnome=Registri_%ditta%\r\n",
      u"postgresql:///Registri_x1"_s);
    r("host, port and user", "[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=db.ufficio.lan\r\nPORT=5433\r\nUTENTE=mario\r\n",
      u"postgresql:///dogana_x1?host=db.ufficio.lan&port=5433&user=mario"_s);
    r("socket folder", "[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=/var/run/postgresql\r\nNOME=%DITTA%\r\n",
      u"postgresql:///x1?host=/var/run/postgresql"_s);
    r("the password is never read", "[DATABASE]\r\nDRIVER=QPSQL\r\nPASSWORD=segreta\r\nPASSWD=segreta\r\n",
      u"postgresql:///dogana_x1"_s);
    r("characters to encode", "[DATABASE]\r\nDRIVER=QPSQL\r\nUTENTE=m&r=o\r\nNOME=d?x#%DITTA%\r\n",
      u"postgresql:///d%3Fx%23x1?user=m%26r%3Do"_s);
}

void TestIniFile::storeChosenBySettings()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, atteso);
    QFETCH(bool, soloFile);
    metti(file);
    QCOMPARE(soloFile ? app::posizioneArchivio(ini()) : app::posizioneArchivio(ini(), u"/dati/"_s, u"X1"_s), atteso);
}

int main(int argc, char** argv)
{
    QCoreApplication programma(argc, argv);
    const QStringList a = programma.arguments();
    if (a.size() == 5 && a[1] == u"--scrittore"_s)
        return a[2] == u"ciclo"_s ? ciclo(a[3], a[4].toLongLong()) : chiavi(a[3], a[4]);
    TestIniFile t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_app_inifile.moc"
