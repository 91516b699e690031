#include "app/dialoghi.h"
#include "form/startup.h"
#include "store/archivioregistri.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Where start-up finds the settings file and the company, and the one box it shows when it finds none.
class TestStartup : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void settingsAndCompanyAreFound_data();
    void settingsAndCompanyAreFound();
};

void TestStartup::settingsAndCompanyAreFound_data()
{
    // Paths begin with %R, the test's folder; the program is in "prog", the per-user folder is "config".
    // An entry ending in "/" is a folder, "name=text" a file with that text, "*.mdb" a company file.
    QTest::addColumn<QStringList>("voci");
    QTest::addColumn<QString>("fileIni");
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("messaggio"); // the one box shown, none when the company opens
    const QString ini = u"prog/Quendrix.ini="_s, mdb = u"dati/X1/dogana.mdb"_s;
    const QString x1 = u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s;
    const QString x1minuscolo = QString(x1).replace(u"=X1"_s, u"=x1"_s);
    const QString inesistente = u"SOCIETA' INESISTENTE"_s;
    const QString ambigui = inesistente + u"\nNOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: "_s;
    const QString prog = u"%R/prog/Quendrix.ini"_s, config = u"%R/config/Quendrix.ini"_s, dove = u"%R/"_s + mdb;
    const auto r = [](const char* nome, const QStringList& voci, const QString& fileIni, const QString& percorso,
                      const QString& m = {}) { QTest::newRow(nome) << voci << fileIni << percorso << m; };
    r("beside the program wins", {ini + x1, u"config/Quendrix.ini=[BASE]\r\nDITTA=ALTRA\r\n"_s, mdb}, prog, dove);
    r("no settings: the root", {}, config, u"//dogana.mdb"_s, inesistente);
    r("data folder without separator joins the company",
      {ini + u"[base]\r\nditta=X1\r\n[Path]\r\nDirIni=%R/DATI\r\n"_s, u"DATIX1/dogana.mdb"_s}, prog,
      u"%R/DATIX1/dogana.mdb"_s);
    r("blank data folder: the root", {ini + u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=\"   \"\r\n"_s}, prog,
      u"/X1/dogana.mdb"_s, inesistente);
    r("data folder made, never the company", {ini + x1}, prog, dove, inesistente);
    r("company folder and file in other case", {ini + x1minuscolo, u"dati/X1/DOGANA.MDB"_s}, prog,
      u"%R/dati/X1/DOGANA.MDB"_s);
    r("settings file in capitals", {u"prog/QUENDRIX.INI="_s + x1, mdb}, u"%R/prog/QUENDRIX.INI"_s, dove);
    r("a folder is no settings file", {u"prog/Quendrix.ini/"_s, u"config/Quendrix.ini="_s + x1, mdb}, config, dove);
    r("two folders differing in case: neither",
      {ini + u"[BASE]\r\nDITTA=ab\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s, u"dati/AB/dogana.mdb"_s,
       u"dati/aB/dogana.mdb"_s}, prog, u"%R/dati/ab/dogana.mdb"_s, ambigui + u"%R/dati/AB, %R/dati/aB"_s);
    r("two company files differing in case: neither", {ini + x1, u"dati/X1/DOGANA.MDB"_s, u"dati/X1/Dogana.mdb"_s},
      prog, dove, ambigui + u"%R/dati/X1/DOGANA.MDB, %R/dati/X1/Dogana.mdb"_s);
    r("two settings files differing in case: neither", {u"prog/quendrix.ini="_s + x1, u"prog/QUENDRIX.INI="_s + x1},
      config, u"//dogana.mdb"_s, ambigui + u"%R/prog/QUENDRIX.INI, %R/prog/quendrix.ini"_s);
    r("the exact name wins", {ini + x1minuscolo, mdb, u"dati/x1/DOGANA.MDB"_s, u"dati/x1/dogana.mdb"_s}, prog,
      u"%R/dati/x1/dogana.mdb"_s);
}

void TestStartup::settingsAndCompanyAreFound()
{
    QFETCH(QStringList, voci);
    QFETCH(QString, fileIni);
    QFETCH(QString, percorso);
    QFETCH(QString, messaggio);
    QTemporaryDir radice;
    const QString r = radice.path();
    qputenv("XDG_CONFIG_HOME", (r + u"/config"_s).toUtf8());
    QVERIFY(QDir().mkpath(r + u"/prog"_s));
    for (const QString& voce : std::as_const(voci)) {
        const QString percorsoVoce = r + u'/' + voce.section(u'=', 0, 0);
        QVERIFY(QDir().mkpath(voce.endsWith(u'/') ? percorsoVoce : QFileInfo(percorsoVoce).path()));
        QFile f(percorsoVoce);
        if (voce.endsWith(u".mdb"_s, Qt::CaseInsensitive))
            QVERIFY(store::ArchivioRegistri::crea(percorsoVoce).ok());
        else if (!voce.endsWith(u'/'))
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(voce.section(u'=', 1).replace(u"%R"_s, r).toLatin1()) > 0);
    }
    app::DialoghiScript d;
    Startup w(d);
    QCOMPARE(w.Form_Load(r + u"/prog"_s), messaggio.isEmpty());
    QCOMPARE(w.fileIni, fileIni.replace(u"%R"_s, r));
    QCOMPARE(w.percorsoDatabase, percorso.replace(u"%R"_s, r));
    QVERIFY(QFileInfo(w.cartellaDati).isDir());
    QCOMPARE(d.domande.size(), messaggio.isEmpty() ? 0 : 1);
    QCOMPARE(d.domande.value(0).testo, messaggio.replace(u"%R"_s, r));
    QVERIFY(voci.size() > 1 || !QFileInfo::exists(r + u"/dati/X1"_s)); // the company's folder is never made
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
