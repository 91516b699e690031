#include "app/inifile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString scrittore = QStringLiteral(SCRITTORE_INI);
constexpr int chiaviCiclo = 20;
constexpr int chiaviPerScrittore = 200;

// Puts an environment variable back as it was when the test started.
class VariabileSalvata {
  public:
    explicit VariabileSalvata(const char* nome)
        : nome(nome), impostata(qEnvironmentVariableIsSet(nome)), valore(qgetenv(nome))
    {
    }
    ~VariabileSalvata()
    {
        if (impostata)
            qputenv(nome, valore);
        else
            qunsetenv(nome);
    }
    Q_DISABLE_COPY_MOVE(VariabileSalvata)

  private:
    const char* nome;
    bool impostata;
    QByteArray valore;
};

QByteArray righeCiclo(const QList<qint64>& valori)
{
    QByteArray testo = "; suite settings\r\n[ALTRO]\r\nX=1\r\n[CICLO]\r\n";
    for (int j = 0; j < chiaviCiclo; ++j)
        testo += "K" + QByteArray::number(j) + '=' + QByteArray::number(valori[j]).rightJustified(90, '0') +
                 "\r\n";
    return testo;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup();
    void readValueFollowsProfileRules_data();
    void readValueFollowsProfileRules();
    void readingAMissingFileGivesEmptyAndCreatesNothing();
    void writeChangesOnlyItsKey_data();
    void writeChangesOnlyItsKey();
    void newFileIsWrittenWithCrLf_data();
    void newFileIsWrittenWithCrLf();
    void removingFromAMissingFileCreatesNothing();
    void missingFolderIsNotCreated();
    void namesThatCannotBeReadBackAreRefused_data();
    void namesThatCannotBeReadBackAreRefused();
    void lockLeftByAVanishedWriterIsBroken();
    void windowsFolderEndsWithOneSlash_data();
    void windowsFolderEndsWithOneSlash();
    void textIsCutAtTheFirstNul_data();
    void textIsCutAtTheFirstNul();
    void killedWriterLeavesOldOrNewFile();
    void twoWritersAtOnceLoseNoKey();

  private:
    std::unique_ptr<QTemporaryDir> cartella;
    QString ini;
    void metti(const QByteArray& byte) const;
    QByteArray contenuto() const;
};

void TestIniFile::init()
{
    cartella = std::make_unique<QTemporaryDir>();
    QVERIFY(cartella->isValid());
    ini = cartella->filePath(u"Quendrix.ini"_s);
}

void TestIniFile::cleanup()
{
    cartella.reset();
}

void TestIniFile::metti(const QByteArray& byte) const
{
    QFile f(ini);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(byte), byte.size());
}

QByteArray TestIniFile::contenuto() const
{
    QFile f(ini);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestIniFile::readValueFollowsProfileRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("atteso");

    const QByteArray lungo = QByteArray("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(4).left(120);
    QTest::newRow("120 characters read as 99") << "[A]\r\nK=" + lungo + "\r\n"
                                               << u"A"_s << u"K"_s << QString::fromLatin1(lungo.left(99));
    QTest::newRow("quotes go before the 99 are counted")
        << "[A]\r\nK=\"" + lungo + "\"\r\n"
        << u"A"_s << u"K"_s << QString::fromLatin1(lungo.left(99));
    QTest::newRow("120 accented letters read as 99") << "[A]\r\nK=" + QByteArray(120, '\xC0') + "\r\n"
                                                     << u"A"_s << u"K"_s << QString(99, u'À');
    QTest::newRow("empty value reads empty")
        << QByteArray("[A]\r\nK=\r\nJ=1\r\n") << u"A"_s << u"K"_s << QString();
    QTest::newRow("blank value reads empty")
        << QByteArray("[A]\r\nK=   \t\r\n") << u"A"_s << u"K"_s << QString();
    QTest::newRow("case and inner blanks kept")
        << QByteArray("[A]\r\nK=Via  Roma\t1 bis\r\n") << u"A"_s << u"K"_s << u"Via  Roma\t1 bis"_s;
    QTest::newRow("names in upper case find mixed case")
        << QByteArray("[Base]\r\nDitta=X1\r\n") << u"BASE"_s << u"DITTA"_s << u"X1"_s;
    QTest::newRow("names in lower case find upper case")
        << QByteArray("[PATH]\r\nDIRINI=/dati/\r\n") << u"path"_s << u"dirini"_s << u"/dati/"_s;
    QTest::newRow("blanks around name and value dropped")
        << QByteArray("  [ A ]  \r\n\t K  =  v  w \t\r\n") << u"A"_s << u"K"_s << u"v  w"_s;
    QTest::newRow("double quotes removed, blanks inside kept")
        << QByteArray("[A]\r\nK = \"  a  \" \r\n") << u"A"_s << u"K"_s << u"  a  "_s;
    QTest::newRow("single quotes removed")
        << QByteArray("[A]\r\nK='a b'\r\n") << u"A"_s << u"K"_s << u"a b"_s;
    QTest::newRow("only one pair of quotes removed")
        << QByteArray("[A]\r\nK=\"\"a\"\"\r\n") << u"A"_s << u"K"_s << u"\"a\""_s;
    QTest::newRow("unmatched quotes kept")
        << QByteArray("[A]\r\nK=\"a'\r\n") << u"A"_s << u"K"_s << u"\"a'"_s;
    QTest::newRow("lone quote kept") << QByteArray("[A]\r\nK=\"\r\n") << u"A"_s << u"K"_s << u"\""_s;
    QTest::newRow("inner quotes kept")
        << QByteArray("[A]\r\nK=a\"b\"\r\n") << u"A"_s << u"K"_s << u"a\"b\""_s;
    QTest::newRow("equals sign inside the value")
        << QByteArray("[A]\r\nK=a=b\r\n") << u"A"_s << u"K"_s << u"a=b"_s;
    QTest::newRow("comment is not a key") << QByteArray("[A]\r\n;K=x\r\n") << u"A"_s << u"K"_s << QString();
    QTest::newRow("indented comment is not a key")
        << QByteArray("[A]\r\n  ; K=x\r\n") << u"A"_s << u";K"_s << QString();
    QTest::newRow("key of another section")
        << QByteArray("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n") << u"B"_s << u"K"_s << QString();
    QTest::newRow("key before any section") << QByteArray("K=1\r\n[A]\r\n") << u"A"_s << u"K"_s << QString();
    QTest::newRow("missing section") << QByteArray("[A]\r\nK=1\r\n") << u"B"_s << u"K"_s << QString();
    QTest::newRow("missing key") << QByteArray("[A]\r\nK=1\r\n") << u"A"_s << u"J"_s << QString();
    QTest::newRow("first of two equal keys")
        << QByteArray("[A]\r\nK=1\r\nk=2\r\n") << u"A"_s << u"K"_s << u"1"_s;
    QTest::newRow("section opened again")
        << QByteArray("[A]\r\nJ=1\r\n[B]\r\n[a]\r\nK=3\r\n") << u"A"_s << u"K"_s << u"3"_s;
    QTest::newRow("LF line ends") << QByteArray("[A]\nJ=1\nK=2\n") << u"A"_s << u"K"_s << u"2"_s;
    QTest::newRow("CR line ends") << QByteArray("[A]\rJ=1\rK=2\r") << u"A"_s << u"K"_s << u"2"_s;
    QTest::newRow("mixed line ends") << QByteArray("[A]\r\nJ=1\nK=2\r[B]") << u"A"_s << u"K"_s << u"2"_s;
    QTest::newRow("no line end after the last value")
        << QByteArray("[A]\r\nK=2") << u"A"_s << u"K"_s << u"2"_s;
    QTest::newRow("Windows-1252 bytes")
        << QByteArray("[A]\r\nK=CITT\xC0 PER\xD2 \x80\r\n") << u"A"_s << u"K"_s << u"CITTÀ PERÒ €"_s;
    QTest::newRow("Windows-1252 punctuation") << QByteArray("[A]\r\nK=\x93\x84\x96\x85\x99\r\n") << u"A"_s
                                              << u"K"_s << u"\u201C\u201E\u2013\u2026\u2122"_s;
}

void TestIniFile::readValueFollowsProfileRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(QString, atteso);
    metti(file);
    const QString letto = app::leggiIni(ini, sezione, chiave);
    QCOMPARE(letto, atteso);
    QVERIFY(letto.size() <= 99);
}

void TestIniFile::readingAMissingFileGivesEmptyAndCreatesNothing()
{
    QCOMPARE(app::leggiIni(ini, u"BASE"_s, u"DITTA"_s), QString());
    QVERIFY(!QFileInfo::exists(ini));
}

void TestIniFile::writeChangesOnlyItsKey_data()
{
    QTest::addColumn<QByteArray>("prima");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<bool>("rimuovi");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QByteArray>("dopo");

    QTest::newRow("comments and order kept, LF kept")
        << QByteArray("; suite\n[BASE]\n; company\nDITTA=X1\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n")
        << u"BASE"_s << u"DITTA"_s << false << u"X2"_s
        << QByteArray("; suite\n[BASE]\n; company\nDITTA=X2\nANNO=2024\n\n[PATH]\nDIRINI=/dati/\n");
    QTest::newRow("CRLF kept")
        << QByteArray("; suite\r\n[BASE]\r\nDITTA=X1\r\n\r\n[PATH]\r\nDIRINI=/dati/\r\n") << u"PATH"_s
        << u"DIRINI"_s << false << u"/altro/"_s
        << QByteArray("; suite\r\n[BASE]\r\nDITTA=X1\r\n\r\n[PATH]\r\nDIRINI=/altro/\r\n");
    QTest::newRow("CR kept") << QByteArray("[A]\rK=1\r\r; end\r") << u"A"_s << u"K"_s << false << u"2"_s
                             << QByteArray("[A]\rK=2\r\r; end\r");
    QTest::newRow("first line end decides a mixed file")
        << QByteArray("[A]\nK=1\r\nJ=2\r") << u"A"_s << u"K"_s << false << u"3"_s
        << QByteArray("[A]\nK=3\nJ=2\n");
    QTest::newRow("line end added after the last line")
        << QByteArray("[A]\nx=1") << u"A"_s << u"y"_s << false << u"2"_s << QByteArray("[A]\nx=1\ny=2\n");
    QTest::newRow("names matched without regard to case, file's spelling kept")
        << QByteArray("[Base]\r\nDitta=X1\r\n") << u"BASE"_s << u"DITTA"_s << false << u"X2"_s
        << QByteArray("[Base]\r\nDitta=X2\r\n");
    QTest::newRow("blanks around the equals sign kept")
        << QByteArray("[A]\r\n  K = \"old\"  \r\n") << u"A"_s << u"K"_s << false << u"new"_s
        << QByteArray("[A]\r\n  K = new\r\n");
    QTest::newRow("same key in another section untouched")
        << QByteArray("[A]\r\nK=1\r\n[B]\r\nK=1\r\n") << u"b"_s << u"k"_s << false << u"2"_s
        << QByteArray("[A]\r\nK=1\r\n[B]\r\nK=2\r\n");
    QTest::newRow("commented key stays a comment")
        << QByteArray("[A]\r\n;K=old\r\n") << u"A"_s << u"K"_s << false << u"new"_s
        << QByteArray("[A]\r\nK=new\r\n;K=old\r\n");
    QTest::newRow("empty text keeps the key listed")
        << QByteArray("[A]\r\nK=x\r\nJ=y\r\n") << u"A"_s << u"K"_s << false << QString()
        << QByteArray("[A]\r\nK=\r\nJ=y\r\n");
    QTest::newRow("empty text adds the key listed")
        << QByteArray("[A]\r\nJ=y\r\n") << u"A"_s << u"K"_s << false << QString()
        << QByteArray("[A]\r\nJ=y\r\nK=\r\n");
    QTest::newRow("120 characters stored whole")
        << QByteArray("[A]\r\n") << u"A"_s << u"K"_s << false << QString(120, u'x')
        << "[A]\r\nK=" + QByteArray(120, 'x') + "\r\n";
    QTest::newRow("removal takes only the key")
        << QByteArray("[A]\r\n; c\r\nK=x\r\nJ=y\r\n[B]\r\nK=z\r\n") << u"A"_s << u"K"_s << true << QString()
        << QByteArray("[A]\r\n; c\r\nJ=y\r\n[B]\r\nK=z\r\n");
    QTest::newRow("removal takes every copy of the key")
        << QByteArray("[A]\r\nK=1\r\n[B]\r\n[A]\r\nk=2\r\n") << u"A"_s << u"K"_s << true << QString()
        << QByteArray("[A]\r\n[B]\r\n[A]\r\n");
    QTest::newRow("removing the last key keeps the section")
        << QByteArray("[A]\r\nK=x\r\n") << u"A"_s << u"K"_s << true << QString() << QByteArray("[A]\r\n");
    QTest::newRow("removing a missing key leaves the file as it was")
        << QByteArray("[A]\n  J = y \n") << u"A"_s << u"K"_s << true << QString()
        << QByteArray("[A]\n  J = y \n");
    QTest::newRow("new key at the end of its section")
        << QByteArray("[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n") << u"A"_s << u"z"_s << false << u"3"_s
        << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
    QTest::newRow("new key in an empty section")
        << QByteArray("[A]\r\n\r\n[B]\r\n") << u"a"_s << u"z"_s << false << u"3"_s
        << QByteArray("[A]\r\nz=3\r\n\r\n[B]\r\n");
    QTest::newRow("new key before trailing blank lines")
        << QByteArray("[A]\r\nx=1\r\n\r\n\r\n") << u"A"_s << u"z"_s << false << u"3"_s
        << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n\r\n");
    QTest::newRow("new section at the end of the file")
        << QByteArray("[A]\r\nx=1\r\n; end\r\n") << u"B"_s << u"y"_s << false << u"2"_s
        << QByteArray("[A]\r\nx=1\r\n; end\r\n[B]\r\ny=2\r\n");
    QTest::newRow("accented value stored as Windows-1252")
        << QByteArray("[A]\r\n") << u"A"_s << u"CITTA"_s << false << u"CITTÀ PERÒ €"_s
        << QByteArray("[A]\r\nCITTA=CITT\xC0 PER\xD2 \x80\r\n");
    QTest::newRow("characters outside Windows-1252 become ?")
        << QByteArray("[A]\r\n") << u"A"_s << u"K"_s << false << u"a\u6F22b\U0001F600c\u0100"_s
        << QByteArray("[A]\r\nK=a?b?c?\r\n");
    QByteArray tutti;
    for (int b = 0x20; b <= 0xFF; ++b)
        tutti += static_cast<char>(b);
    QTest::newRow("every 8-bit byte of other lines kept")
        << "; " + tutti + "\r\n[A]\r\nK=1\r\n"
        << u"A"_s << u"K"_s << false << u"2"_s << "; " + tutti + "\r\n[A]\r\nK=2\r\n";
}

void TestIniFile::writeChangesOnlyItsKey()
{
    QFETCH(QByteArray, prima);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(bool, rimuovi);
    QFETCH(QString, valore);
    QFETCH(QByteArray, dopo);
    metti(prima);
    QVERIFY(app::scriviIni(ini, sezione, chiave, rimuovi ? std::nullopt : std::optional<QString>(valore)));
    QCOMPARE(contenuto(), dopo);
}

void TestIniFile::newFileIsWrittenWithCrLf_data()
{
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QByteArray>("dopo");
    QTest::newRow("value") << u"X1"_s << QByteArray("[BASE]\r\nDITTA=X1\r\n");
    QTest::newRow("empty text") << QString() << QByteArray("[BASE]\r\nDITTA=\r\n");
}

void TestIniFile::newFileIsWrittenWithCrLf()
{
    QFETCH(QString, valore);
    QFETCH(QByteArray, dopo);
    QVERIFY(app::scriviIni(ini, u"BASE"_s, u"DITTA"_s, valore));
    QCOMPARE(contenuto(), dopo);
}

void TestIniFile::removingFromAMissingFileCreatesNothing()
{
    QVERIFY(app::scriviIni(ini, u"BASE"_s, u"DITTA"_s, std::nullopt));
    QVERIFY(!QFileInfo::exists(ini));
}

void TestIniFile::missingFolderIsNotCreated()
{
    const QString dentro = cartella->filePath(u"manca/Quendrix.ini"_s);
    QVERIFY(!app::scriviIni(dentro, u"BASE"_s, u"DITTA"_s, u"X1"_s));
    QVERIFY(!QFileInfo::exists(cartella->filePath(u"manca"_s)));
}

void TestIniFile::namesThatCannotBeReadBackAreRefused_data()
{
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QString>("valore");
    QTest::newRow("empty section") << QString() << u"K"_s << u"1"_s;
    QTest::newRow("bracket in section") << u"A]B"_s << u"K"_s << u"1"_s;
    QTest::newRow("line end in section") << u"A\nB"_s << u"K"_s << u"1"_s;
    QTest::newRow("empty key") << u"A"_s << u"  "_s << u"1"_s;
    QTest::newRow("equals sign in key") << u"A"_s << u"K=J"_s << u"1"_s;
    QTest::newRow("key starting a comment") << u"A"_s << u";K"_s << u"1"_s;
    QTest::newRow("key starting a header") << u"A"_s << u"[K"_s << u"1"_s;
    QTest::newRow("line end in value") << u"A"_s << u"K"_s << u"1\r\n[B]"_s;
}

void TestIniFile::namesThatCannotBeReadBackAreRefused()
{
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(QString, valore);
    const QByteArray prima("[A]\r\nK=0\r\n");
    metti(prima);
    QVERIFY(!app::scriviIni(ini, sezione, chiave, valore));
    QCOMPARE(contenuto(), prima);
}

void TestIniFile::lockLeftByAVanishedWriterIsBroken()
{
    // A lock from another machine cannot be checked by process: only its age tells it was left behind.
    QFile blocco(ini + u".lock"_s);
    QVERIFY(blocco.open(QIODevice::WriteOnly));
    blocco.write("4242\nwriter\nanother-host\n");
    QVERIFY(blocco.flush());
    QVERIFY(blocco.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    blocco.close();
    QElapsedTimer tempo;
    tempo.start();
    QVERIFY(app::scriviIni(ini, u"BASE"_s, u"DITTA"_s, u"X1"_s));
    QVERIFY2(tempo.elapsed() < 2000, qPrintable(QString::number(tempo.elapsed())));
    QCOMPARE(contenuto(), QByteArray("[BASE]\r\nDITTA=X1\r\n"));
}

void TestIniFile::windowsFolderEndsWithOneSlash_data()
{
    QTest::addColumn<bool>("conXdg");
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QByteArray>("casa");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("XDG_CONFIG_HOME gets its slash")
        << true << QByteArray("/srv/conf") << QByteArray("/home/u") << u"/srv/conf/"_s;
    QTest::newRow("XDG_CONFIG_HOME slash not doubled")
        << true << QByteArray("/srv/conf/") << QByteArray("/home/u") << u"/srv/conf/"_s;
    QTest::newRow("unset XDG_CONFIG_HOME")
        << false << QByteArray() << QByteArray("/home/u") << u"/home/u/.config/"_s;
    QTest::newRow("empty XDG_CONFIG_HOME")
        << true << QByteArray() << QByteArray("/home/u") << u"/home/u/.config/"_s;
    QTest::newRow("HOME slash not doubled")
        << false << QByteArray() << QByteArray("/home/u/") << u"/home/u/.config/"_s;
}

void TestIniFile::windowsFolderEndsWithOneSlash()
{
    QFETCH(bool, conXdg);
    QFETCH(QByteArray, xdg);
    QFETCH(QByteArray, casa);
    QFETCH(QString, atteso);
    const VariabileSalvata salvaXdg("XDG_CONFIG_HOME"), salvaCasa("HOME");
    if (conXdg)
        qputenv("XDG_CONFIG_HOME", xdg);
    else
        qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", casa);
    QCOMPARE(app::cartellaWindows(), atteso);
}

void TestIniFile::textIsCutAtTheFirstNul_data()
{
    const QChar nul(0);
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("no NUL") << u"C:\\WINDOWS"_s << u"C:\\WINDOWS"_s;
    QTest::newRow("starts with NUL") << QString(nul) + u"abc"_s << QString();
    QTest::newRow("NUL inside, blanks before it kept") << u"ab  "_s + nul + u"cd"_s << u"ab  "_s;
    QTest::newRow("cut at the first of two") << u"a"_s + nul + u"b"_s + nul << u"a"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestIniFile::textIsCutAtTheFirstNul()
{
    QFETCH(QString, testo);
    QFETCH(QString, atteso);
    QCOMPARE(app::tagliaNul(testo), atteso);
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
        figlio.start(scrittore, {u"ciclo"_s, ini, QString::number(ultimo + 1)});
        QVERIFY(figlio.waitForStarted(5000));
        // Killed after a varying number of writes, most often in the middle of the next one.
        const int scritture = 1 + giro % 5;
        int righe = 0;
        QByteArray uscita;
        while (righe < scritture) {
            // A lock left by the killed writer never stops the next one beyond the bounded wait.
            QVERIFY2(figlio.waitForReadyRead(8000), qPrintable(u"round %1"_s.arg(giro)));
            uscita += figlio.readAllStandardOutput();
            righe = int(uscita.count('\n'));
        }
        figlio.kill();
        QVERIFY(figlio.waitForFinished(5000));
        QCOMPARE(figlio.exitStatus(), QProcess::CrashExit);
        uscita += figlio.readAllStandardOutput();
        const QList<QByteArray> riportate = uscita.trimmed().split('\n');
        const qint64 riportato = riportate.last().toLongLong();

        const QByteArray file = contenuto();
        QCOMPARE(file.size(), dimensione);
        QList<QByteArray> righeFile = file.split('\n');
        QCOMPARE(righeFile.size(), 4 + chiaviCiclo + 1);
        qint64 massimo = 0;
        for (int j = 0; j < chiaviCiclo; ++j) {
            const QByteArray riga = righeFile[4 + j].chopped(1);
            const QByteArray prefisso = "K" + QByteArray::number(j) + '=';
            QVERIFY2(riga.startsWith(prefisso), riga.constData());
            bool numero = false;
            valori[j] = riga.mid(prefisso.size()).toLongLong(&numero);
            QVERIFY2(numero && valori[j] % chiaviCiclo == j, riga.constData());
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
    QProcess primo, secondo;
    primo.start(scrittore, {u"chiavi"_s, ini, u"A"_s});
    secondo.start(scrittore, {u"chiavi"_s, ini, u"B"_s});
    QVERIFY(primo.waitForFinished(30000));
    QVERIFY(secondo.waitForFinished(30000));
    QCOMPARE(primo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(primo.exitCode(), 0);
    QCOMPARE(secondo.exitStatus(), QProcess::NormalExit);
    QCOMPARE(secondo.exitCode(), 0);

    QList<QByteArray> righe = contenuto().split('\n');
    QCOMPARE(righe.takeLast(), QByteArray());
    QCOMPARE(righe.takeFirst(), QByteArray("[CHIAVI]\r"));
    QSet<QByteArray> attese;
    for (int i = 0; i < chiaviPerScrittore; ++i) {
        attese << "A" + QByteArray::number(i) + '=' + QByteArray::number(i) + '\r';
        attese << "B" + QByteArray::number(i) + '=' + QByteArray::number(i) + '\r';
    }
    QCOMPARE(righe.size(), 2 * chiaviPerScrittore);
    QCOMPARE(QSet<QByteArray>(righe.begin(), righe.end()), attese);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_app_inifile.moc"
