#include "ambiente.h"

#include "app/casella.h"
#include "form/mappacampi.h"
#include "form/startup.h"
#include "store/registerstore.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsBesideTheProgramWin();
    void withoutSettingsTheRootIsTheDataFolder();
    void dataFolderWithoutSeparatorJoinsTheCompany();
    void blankDataFolderFallsBackToRoot();
    void missingDataFolderIsCreatedButNotTheCompany();
    void retryAfterTheCompanyAppearsOpensIt();
    void missingHeadingTableStopsPreparation();
    void lockedDatabaseShowsTheEngineText();
    void foreignFileIsReportedAndLeftAlone();
    void loadedWindowAsDesigned();
};

void TestStartup::settingsBesideTheProgramWin()
{
    Ambiente a;
    a.creaDitta();
    QDir().mkpath(a.radice.filePath(u"config"_s));
    QFile altro(a.radice.filePath(u"config/Quendrix.ini"_s));
    QVERIFY(altro.open(QIODevice::WriteOnly));
    altro.write("[BASE]\r\nDITTA=ALTRA\r\n");
    altro.close();
    app::DialogsScript d;
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma));
    QCOMPARE(w.fileIni, a.programma + u"/Quendrix.ini"_s);
    QCOMPARE(w.codiceSocieta, u"X1"_s);
    QCOMPARE(w.percorsoDatabase, a.database());
    QVERIFY(d.domande.isEmpty());
}

void TestStartup::withoutSettingsTheRootIsTheDataFolder()
{
    Ambiente a;
    QFile::remove(a.programma + u"/Quendrix.ini"_s);
    app::DialogsScript d;
    d.risposte = {app::Annulla};
    Startup w(d);
    QVERIFY(!w.Form_Load(a.programma));
    QCOMPARE(w.fileIni, a.radice.filePath(u"config/Quendrix.ini"_s));
    QCOMPARE(w.cartellaDati, u"/"_s);
    QCOMPARE(w.percorsoDatabase, u"//dogana.mdb"_s);
    QCOMPARE(d.domande.size(), 1);
    QCOMPARE(d.domande[0].testo, u"SOCIETA' INESISTENTE"_s);
    QCOMPARE(d.domande[0].titolo, u"TRESKO - ERRORE"_s);
    QCOMPARE(d.domande[0].pulsanti, app::Pulsanti::RiprovaAnnulla);
    QCOMPARE(d.domande[0].icona, app::Icona::Critica);
}

void TestStartup::dataFolderWithoutSeparatorJoinsTheCompany()
{
    Ambiente a;
    const QString dati = a.radice.filePath(u"DATI"_s);
    a.scriviIni(u"[base]\r\nditta=X1\r\n[Path]\r\nDirIni=%1\r\n"_s.arg(dati));
    QDir().mkpath(dati + u"X1"_s);
    QVERIFY(store::RegisterStore::crea(dati + u"X1/dogana.mdb"_s).ok());
    app::DialogsScript d;
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma));
    QCOMPARE(w.percorsoDatabase, dati + u"X1/dogana.mdb"_s);
    QVERIFY(d.domande.isEmpty());
}

void TestStartup::blankDataFolderFallsBackToRoot()
{
    Ambiente a;
    a.scriviIni(u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=\"   \"\r\n"_s);
    app::DialogsScript d;
    Startup w(d);
    QVERIFY(!w.Form_Load(a.programma));
    QCOMPARE(w.percorsoDatabase, u"/X1/dogana.mdb"_s);
}

void TestStartup::missingDataFolderIsCreatedButNotTheCompany()
{
    Ambiente a;
    app::DialogsScript d;
    Startup w(d);
    QVERIFY(!w.Form_Load(a.programma));
    QVERIFY(QFileInfo(a.dati).isDir());
    QVERIFY(!QFileInfo::exists(a.dati + a.ditta));
    QCOMPARE(d.domande.value(0).testo, u"SOCIETA' INESISTENTE"_s);
}

void TestStartup::retryAfterTheCompanyAppearsOpensIt()
{
    Ambiente a;
    DialogsFunzione d;
    d.risposta = [&](const QString&, const QString&) {
        a.creaDitta();
        return int(app::Riprova);
    };
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma));
    QCOMPARE(d.testi, QStringList{u"SOCIETA' INESISTENTE"_s});
    QVERIFY(w.archivio().registriAperti());
    QVERIFY(w.archivio().testataAperta());
    QCOMPARE(w.Combo1->count(), 4);
}

void TestStartup::missingHeadingTableStopsPreparation()
{
    Ambiente a;
    a.creaDitta({u"DROP TABLE TestataRegistriPS"_s});
    app::DialogsScript d;
    d.risposte = {app::Riprova, app::Annulla};
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma));
    QCOMPARE(d.domande.size(), 2);
    for (const auto& q : d.domande) {
        QCOMPARE(q.testo, u"ERRORE IN APERTURA TESTATA REGISTRI PROC. SEMPLIFICATA"_s);
        QCOMPARE(q.titolo, u"TESTATA REGISTRI PROCEDURA SEMPLIFICATA"_s);
        QCOMPARE(q.icona, app::Icona::Esclamazione);
    }
    QCOMPARE(w.Combo1->count(), 0);
    QCOMPARE(w.cmbRiqACT->count(), 0);
    QCOMPARE(w.lbVer->text(), u"Vers."_s);
}

void TestStartup::lockedDatabaseShowsTheEngineText()
{
    Ambiente a;
    a.creaDitta();
    QSqlDatabase altro = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"altroUtente"_s);
    altro.setDatabaseName(a.database());
    QVERIFY(altro.open());
    QSqlQuery q(altro);
    QVERIFY(q.exec(u"BEGIN EXCLUSIVE"_s));
    QVERIFY(q.exec(u"DELETE FROM TabellaSerieSemplificata"_s));
    {
        app::DialogsScript d;
        Startup w(d);
        QVERIFY(w.Form_Load(a.programma));
        QCOMPARE(d.domande.size(), 1);
        const QStringList righe = d.domande[0].testo.split(u'\n');
        QCOMPARE(righe.size(), 2);
        QCOMPARE(righe[0], u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA"_s);
        QVERIFY2(righe[1].contains(u"locked"_s), qPrintable(righe[1]));
        QCOMPARE(d.domande[0].titolo, u"REGISTRI PROCEDURA SEMPLIFICATA"_s);
        QVERIFY(!w.archivio().testataAperta());
    }
    q.exec(u"ROLLBACK"_s);
    altro.close();
}

void TestStartup::foreignFileIsReportedAndLeftAlone()
{
    Ambiente a;
    QDir().mkpath(a.dati + a.ditta);
    const QByteArray vecchio = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4000, 'x');
    QFile f(a.database());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(vecchio);
    f.close();
    app::DialogsScript d;
    {
        Startup w(d);
        QVERIFY(w.Form_Load(a.programma));
    }
    QCOMPARE(d.domande.size(), 1);
    QCOMPARE(d.domande[0].testo, u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA\n"
                                 u"ARCHIVIO DEL VECCHIO FORMATO: CONVERTIRLO CON pemtarx-db importa --ini"_s);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), vecchio);
}

// Caption, lists, controls by name, tab order and the page shown first, on a good company file.
void TestStartup::loadedWindowAsDesigned()
{
    Ambiente a;
    a.creaDitta();
    app::DialogsScript d;
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma, QDate(2026, 3, 9)));
    QCOMPARE(w.windowTitle(),
             u"GESTIONE REGISTRI PER PROCEDURE SEMPLIFICATE EXPORT"_s + QString(40, u' ') + u"(09/03/2026)"_s);
    QCOMPARE(w.lbVer->text(), u"Versione 1.0.0"_s);
    QStringList voci;
    for (int i = 0; i < w.Combo1->count(); ++i)
        voci << w.Combo1->itemText(i);
    QCOMPARE(voci, (QStringList{u"N=Nessuno"_s, u"F=Forzato"_s, u"G=Giornaliero"_s, u"P=Progressivo"_s}));
    QCOMPARE(w.Combo1->currentIndex(), 0);
    QCOMPARE(w.cmbRiqACT->count(), 3);
    QCOMPARE(w.cmbRiqACT->currentIndex(), -1);
    QVERIFY(w.OptCS[3]->isChecked());
    QCOMPARE(w.Txt[6]->text(), u"0"_s);
    QCOMPARE(w.Txt[1]->text(), u" "_s);
    for (const mappa::Campo& c : mappa::campi()) {
        const QString nome = c.indice == 0 ? u"DicKod"_s : u"Txt(%1)"_s.arg(c.indice);
        auto* t = w.findChild<QLineEdit*>(nome);
        QVERIFY2(t, qPrintable(nome));
        QCOMPARE(t->maxLength(), c.lunghezza);
        QVERIFY2(!t->accessibleName().isEmpty(), qPrintable(nome));
    }
    for (const QString& nome : {u"cmdD(0)"_s, u"cmdD(1)"_s, u"cmdD(2)"_s, u"cmdD(3)"_s, u"OptCS(0)"_s, u"OptCS(3)"_s,
                                u"Option1(1)"_s, u"Combo1"_s, u"cmbRiqACT"_s, u"List1"_s, u"Command1"_s, u"pctRice"_s,
                                u"Pict(2)"_s, u"Picture1(0)"_s, u"Picture1(1)"_s, u"LabeG(5)"_s, u"Label4(20)"_s})
        QVERIFY2(w.findChild<QWidget*>(nome), qPrintable(nome));
    QCOMPARE(w.findChild<QPushButton*>(u"cmdD(1)"_s)->text(), u"&CONFERMA"_s);
    // Tab order of the edit page, as the clerk's Enter follows it.
    QWidget* dopo = w.DicKod;
    for (int i = 1; i <= 9; ++i) {
        dopo = dopo->nextInFocusChain();
        while (dopo->focusPolicy() == Qt::NoFocus)
            dopo = dopo->nextInFocusChain();
        QCOMPARE(dopo, static_cast<QWidget*>(w.Txt[i]));
    }
    w.show();
    w.DicKod->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(w.Pict2->isVisible());
    QVERIFY(!w.Pict1);  // the search page is built when first opened
    QVERIFY(!w.Picture1[0]->isVisible());
    QVERIFY(!w.Picture1[1]->isVisible());
    QVERIFY(!w.Txt[11]->isVisibleTo(w.Picture1[1]));
    QVERIFY(!w.OptCS[3]->isVisibleTo(&w));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.DicKod));
    QCOMPARE(w.Label1->text(), u"GESTIONE REGISTRI P.S. EXPORT"_s);
    QVERIFY(w.cmdD[2]->isVisible());
    QVERIFY(!w.cmdD[1]->isVisible());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
