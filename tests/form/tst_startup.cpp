#include "app/casella.h"
#include "form/startup.h"
#include "store/archivioregistri.h"
#include "tests/dialoghiprova.h"
#include "tests/store/fileprova.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Where start-up finds the settings file and the company, and the boxes it shows when it cannot open it; with
// PEMTARX_PROVA_PG, a company's database on the test cluster too.
class TestStartup : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void settingsAndCompanyAreFound_data();
    void settingsAndCompanyAreFound();
    void keysBeforeTheFirstPaintFindThePages();
};

void TestStartup::settingsAndCompanyAreFound_data()
{
    // Paths begin with %R, the test's folder; the program is in "prog", the per-user folder is "config".
    // An entry ending in "/" is a folder, "name=text" a file with that text, "*.mdb" a company file.
    // On the cluster %N is the database's name in capitals, %S its socket folder, %P its address; `ostacolo`
    // stands in the way until the first box is answered Riprova; the second is answered Annulla.
    QTest::addColumn<QStringList>("voci");
    QTest::addColumn<QString>("fileIni");
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QStringList>("messaggi"); // the boxes shown, in order
    QTest::addColumn<QString>("ostacolo");
    const QString ini = u"prog/Quendrix.ini="_s, mdb = u"dati/X1/dogana.mdb"_s;
    const QString x1 = u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s;
    const QString x1minuscolo = QString(x1).replace(u"=X1"_s, u"=x1"_s);
    const QString inesistente = u"SOCIETA' INESISTENTE"_s;
    const QString ambigui = inesistente + u"\nNOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: "_s;
    const QString prog = u"%R/prog/Quendrix.ini"_s, config = u"%R/config/Quendrix.ini"_s, dove = u"%R/"_s + mdb;
    const auto r = [](const char* nome, const QStringList& voci, const QString& fileIni, const QString& percorso,
                      const QString& m = {}, const QString& ostacolo = {}) {
        QTest::newRow(nome) << voci << fileIni << percorso << m.split(u'|', Qt::SkipEmptyParts) << ostacolo;
    };
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
    const QString server = ini + u"[BASE]\r\nDITTA=%N\r\n[PATH]\r\nDIRINI=%R/\r\n[DATABASE]\r\nDRIVER=QPSQL\r\nHOST=%S\r\n"
                                 u"PORT=5432\r\nUTENTE=pemtarx\r\nNOME=%DITTA%\r\n"_s;
    const QString errore = u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s;
    r("server: database ready", {server}, prog, u"%P"_s, {}, u"nessuno"_s);
    r("server: tables made while the box is open", {server}, prog, u"%P"_s, errore, u"tabelle"_s);
    r("server: table held by another clerk", {server}, prog, u"%P"_s,
      errore + u"\ncanceling statement due to lock timeout"_s, u"tenuta"_s);
    r("server: database missing", {QString(server).replace(u"=%N"_s, u"=%NX"_s)}, prog, u"*"_s,
      inesistente + u'|' + inesistente, u"database"_s);
    r("server: not answering", {QString(server).replace(u"%S"_s, u"/nessun/server/qui"_s)}, prog, u"*"_s,
      inesistente + u'|' + inesistente, u"server"_s);
}

void TestStartup::settingsAndCompanyAreFound()
{
    QFETCH(QStringList, voci);
    QFETCH(QString, fileIni);
    QFETCH(QString, percorso);
    QFETCH(QStringList, messaggi);
    QFETCH(QString, ostacolo);
    if (ostacolo.isEmpty() == FileProva::server())
        QSKIP("for the other engine");
    const FileProva p;
    const QString r = p.cartella();
    QVERIFY(ostacolo.isEmpty() || ostacolo == u"tabelle"_s || p.crea());
    QSqlQuery altro(ostacolo.isEmpty() ? QSqlDatabase() : p.altraConnessione(ostacolo));
    QVERIFY(ostacolo != u"tenuta"_s ||
            (altro.exec(u"BEGIN"_s) && altro.exec(u"LOCK TABLE \"TabellaSerieSemplificata\""_s)));
    const auto espandi = [&](QString t) {
        return t.replace(u"%R"_s, r).replace(u"%S"_s, p.cluster()).replace(u"%P"_s, p.percorso())
            .replace(u"%N"_s, p.nomeDatabase().toUpper());
    };
    qputenv("XDG_CONFIG_HOME", (r + u"/config"_s).toUtf8());
    QVERIFY(QDir().mkpath(r + u"/prog"_s));
    for (const QString& voce : std::as_const(voci)) {
        const QString percorsoVoce = r + u'/' + voce.section(u'=', 0, 0);
        QVERIFY(QDir().mkpath(voce.endsWith(u'/') ? percorsoVoce : QFileInfo(percorsoVoce).path()));
        QFile f(percorsoVoce);
        if (voce.endsWith(u".mdb"_s, Qt::CaseInsensitive))
            QVERIFY(store::ArchivioRegistri::crea(percorsoVoce).ok());
        else if (!voce.endsWith(u'/'))
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(espandi(voce.section(u'=', 1)).toLatin1()) > 0);
    }
    DialoghiProva d;
    d.risposte = {ostacolo.isEmpty() ? app::Annulla : app::Riprova};
    d.mentre = [&] {
        if (ostacolo == u"tabelle"_s)
            p.crea();
        if (ostacolo == u"tenuta"_s)
            altro.exec(u"ROLLBACK"_s);
    };
    Startup w(d);
    QElapsedTimer tempo;
    tempo.start();
    const bool aperto = w.Form_Load(r + u"/prog"_s) && w.archivio().registriAperti() && w.archivio().testataAperta();
    QVERIFY2(tempo.elapsed() < 15000, "the wait for another clerk is bounded");
    QStringList mostrati;
    for (const DialoghiProva::Domanda& domanda : std::as_const(d.domande))
        mostrati << domanda.testo;
    QCOMPARE(mostrati, espandi(messaggi.join(u'|')).split(u'|', Qt::SkipEmptyParts));
    QCOMPARE(aperto, messaggi.size() < 2 && !messaggi.value(0).startsWith(u"SOCIETA' INESISTENTE"_s));
    QCOMPARE(w.fileIni, espandi(fileIni));
    QVERIFY(percorso == u"*"_s || w.percorsoDatabase == espandi(percorso));
    QVERIFY(!aperto || w.Combo1->count() == 4);
    // A key the window takes before it is active again, as right after a message box, is filtered all the same.
    w.Txt[1]->setFocus();
    QTest::keyClick(w.Txt[1], Qt::Key_C, Qt::AltModifier);
    QTest::keyClick(w.Txt[1], Qt::Key_A);
    QCOMPARE(w.Txt[1]->text().trimmed(), u"A"_s);
    QVERIFY(QFileInfo(w.cartellaDati).isDir());
    // The company's folder is never made, nor one beside the settings for a company on the server.
    QVERIFY(voci.size() > 1 || !QFileInfo::exists(r + u"/dati/X1"_s));
    QVERIFY(ostacolo.isEmpty() || !QFileInfo::exists(r + u'/' + p.nomeDatabase().toUpper()));
}

void TestStartup::keysBeforeTheFirstPaintFindThePages()
{
    // The second start, with the size the first kept, shows the window before its type pages exist.
    QTemporaryDir cartella;
    const QString r = cartella.path();
    qputenv("XDG_CACHE_HOME", (r + u"/cache"_s).toUtf8());
    QVERIFY(QDir().mkpath(r + u"/prog"_s) && QDir().mkpath(r + u"/dati/X1"_s));
    QFile ini(r + u"/prog/Quendrix.ini"_s);
    QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=" + r.toUtf8() + "/dati/\r\n") > 0);
    ini.close();
    QVERIFY(store::ArchivioRegistri::crea(r + u"/dati/X1/dogana.mdb"_s).ok());
    DialoghiProva d;
    QSize prima;
    {
        Startup w(d);
        QVERIFY(w.Form_Load(r + u"/prog"_s, QDate::currentDate(), true) && w.Txt[2]);
        prima = w.size();
    }
    Startup w(d);
    QVERIFY(w.Form_Load(r + u"/prog"_s, QDate::currentDate(), true));
    QVERIFY(w.isVisible() && !w.Txt[2]);
    // A key typed before the first paint builds them first, and the window keeps the size measured.
    w.DicKod->setFocus();
    QTest::keyClick(w.DicKod, Qt::Key_A);
    QVERIFY(w.Txt[2] && w.Combo1->count() == 4);
    QCOMPARE(w.size(), prima);
    QCOMPARE(w.DicKod->text(), u"A"_s);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
