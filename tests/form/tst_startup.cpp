#include "ambiente.h"

#include "app/casella.h"
#include "form/mappacampi.h"
#include "form/startup.h"
#include "store/archivioregistri.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsAndCompanyAreFound_data();
    void settingsAndCompanyAreFound();
    void retryAfterTheCompanyAppearsOpensIt();
    void tableThatCannotOpenStopsPreparation_data();
    void tableThatCannotOpenStopsPreparation();
    void fieldsHoldNoMoreThanTheirColumns();
};

void TestStartup::settingsAndCompanyAreFound_data()
{
    // Paths begin with %R, the test's folder; a settings file beside the program ("prog") comes first, then
    // "config". An entry ending in "/" is a folder, "name=text" a file with that text, "*.mdb" a company file.
    QTest::addColumn<QString>("ini");  // beside the program as Quendrix.ini; none when empty
    QTest::addColumn<QStringList>("voci");
    QTest::addColumn<QString>("fileIni");
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("messaggio");  // the one box shown; none when the company opens

    const QString x1 = u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s;
    const QString inesistente = u"SOCIETA' INESISTENTE"_s;
    QTest::newRow("beside the program wins")
        << x1 << QStringList{u"config/Quendrix.ini=[BASE]\r\nDITTA=ALTRA\r\n"_s, u"dati/X1/dogana.mdb"_s}
        << u"%R/prog/Quendrix.ini"_s << u"%R/dati/X1/dogana.mdb"_s << QString();
    QTest::newRow("no settings: the root") << QString() << QStringList() << u"%R/config/Quendrix.ini"_s
                                           << u"//dogana.mdb"_s << inesistente;
    QTest::newRow("data folder without separator joins the company")
        << u"[base]\r\nditta=X1\r\n[Path]\r\nDirIni=%R/DATI\r\n"_s << QStringList{u"DATIX1/dogana.mdb"_s}
        << u"%R/prog/Quendrix.ini"_s << u"%R/DATIX1/dogana.mdb"_s << QString();
    QTest::newRow("blank data folder: the root") << u"[BASE]\r\nDITTA=X1\r\n[PATH]\r\nDIRINI=\"   \"\r\n"_s
                                                 << QStringList() << u"%R/prog/Quendrix.ini"_s
                                                 << u"/X1/dogana.mdb"_s << inesistente;
    QTest::newRow("data folder made, never the company") << x1 << QStringList() << u"%R/prog/Quendrix.ini"_s
                                                         << u"%R/dati/X1/dogana.mdb"_s << inesistente;
    QTest::newRow("company folder and file in other case")
        << u"[BASE]\r\nDITTA=x1\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s << QStringList{u"dati/X1/DOGANA.MDB"_s}
        << u"%R/prog/Quendrix.ini"_s << u"%R/dati/X1/DOGANA.MDB"_s << QString();
    QTest::newRow("settings file in capitals") << QString()
                                               << QStringList{u"prog/QUENDRIX.INI="_s + x1, u"dati/X1/dogana.mdb"_s}
                                               << u"%R/prog/QUENDRIX.INI"_s << u"%R/dati/X1/dogana.mdb"_s << QString();
    QTest::newRow("a folder is no settings file")
        << QString() << QStringList{u"prog/Quendrix.ini/"_s, u"config/Quendrix.ini="_s + x1, u"dati/X1/dogana.mdb"_s}
        << u"%R/config/Quendrix.ini"_s << u"%R/dati/X1/dogana.mdb"_s << QString();
    QTest::newRow("two folders differing in case: neither")
        << u"[BASE]\r\nDITTA=ab\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s
        << QStringList{u"dati/AB/dogana.mdb"_s, u"dati/aB/dogana.mdb"_s} << u"%R/prog/Quendrix.ini"_s
        << u"%R/dati/ab/dogana.mdb"_s
        << inesistente + u"\nNOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: %R/dati/AB, %R/dati/aB"_s;
    QTest::newRow("two company files differing in case: neither")
        << x1 << QStringList{u"dati/X1/DOGANA.MDB"_s, u"dati/X1/Dogana.mdb"_s} << u"%R/prog/Quendrix.ini"_s
        << u"%R/dati/X1/dogana.mdb"_s
        << inesistente + u"\nNOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: %R/dati/X1/DOGANA.MDB, "_s
                         u"%R/dati/X1/Dogana.mdb"_s;
    QTest::newRow("two settings files differing in case: neither")
        << QString() << QStringList{u"prog/quendrix.ini="_s + x1, u"prog/QUENDRIX.INI="_s + x1}
        << u"%R/config/Quendrix.ini"_s << u"//dogana.mdb"_s
        << inesistente + u"\nNOMI CHE DIFFERISCONO SOLO PER LE MAIUSCOLE, NESSUNO USATO: %R/prog/QUENDRIX.INI, "_s
                         u"%R/prog/quendrix.ini"_s;
    QTest::newRow("the exact name wins")
        << u"[BASE]\r\nDITTA=x1\r\n[PATH]\r\nDIRINI=%R/dati/\r\n"_s
        << QStringList{u"dati/X1/dogana.mdb"_s, u"dati/x1/DOGANA.MDB"_s, u"dati/x1/dogana.mdb"_s}
        << u"%R/prog/Quendrix.ini"_s << u"%R/dati/x1/dogana.mdb"_s << QString();
}

void TestStartup::settingsAndCompanyAreFound()
{
    QFETCH(QString, ini);
    QFETCH(QStringList, voci);
    QFETCH(QString, fileIni);
    QFETCH(QString, percorso);
    QFETCH(QString, messaggio);
    Ambiente a;
    const QString r = a.radice.path();
    QFile::remove(a.programma + u"/Quendrix.ini"_s);
    if (!ini.isEmpty())
        a.scriviIni(QString(ini).replace(u"%R"_s, r));
    for (const QString& voce : std::as_const(voci)) {
        const QString percorsoVoce = r + u'/' + voce.section(u'=', 0, 0);
        QVERIFY(QDir().mkpath(voce.endsWith(u'/') ? percorsoVoce : QFileInfo(percorsoVoce).path()));
        QFile f(percorsoVoce);
        if (voce.endsWith(u".mdb"_s, Qt::CaseInsensitive))
            QVERIFY(store::ArchivioRegistri::crea(percorsoVoce).ok());
        else if (!voce.endsWith(u'/'))
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(voce.section(u'=', 1, -1).replace(u"%R"_s, r).toLatin1()) > 0);
    }
    app::DialoghiScript d;
    Startup w(d);
    QCOMPARE(w.Form_Load(a.programma), messaggio.isEmpty());
    QCOMPARE(w.fileIni, QString(fileIni).replace(u"%R"_s, r));
    QCOMPARE(w.percorsoDatabase, QString(percorso).replace(u"%R"_s, r));
    QVERIFY(QFileInfo(w.cartellaDati).isDir());
    QCOMPARE(d.domande.size(), messaggio.isEmpty() ? 0 : 1);
    if (messaggio.isEmpty())
        return;
    QCOMPARE(d.domande[0].testo, QString(messaggio).replace(u"%R"_s, r));
    QCOMPARE(d.domande[0].titolo, u"TRESKO - ERRORE"_s);
    QCOMPARE(d.domande[0].pulsanti, app::Pulsanti::RiprovaAnnulla);
    QCOMPARE(d.domande[0].icona, app::Icona::Critica);
    QVERIFY(!voci.isEmpty() || !QFileInfo::exists(r + u"/dati/X1"_s));
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

void TestStartup::tableThatCannotOpenStopsPreparation_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<int>("volte");  // boxes shown: Retry until the last, then Cancel
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("titolo");
    QTest::newRow("heading table missing") << u"DROP TABLE TestataRegistriPS"_s << 2
                                           << u"ERRORE IN APERTURA TESTATA REGISTRI PROC. SEMPLIFICATA"_s
                                           << u"TESTATA REGISTRI PROCEDURA SEMPLIFICATA"_s;
    QTest::newRow("locked by another clerk: the engine's text")
        << u"bloccata"_s << 1 << u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA\ndatabase is locked"_s
        << u"REGISTRI PROCEDURA SEMPLIFICATA"_s;
    QTest::newRow("old format's file, left alone")
        << u"jet"_s << 1
        << u"ERRORE IN APERTURA REGISTRI PROC. SEMPLIFICATA\n"
           u"ARCHIVIO DEL VECCHIO FORMATO: CONVERTIRLO CON pemtarx-db importa --ini"_s
        << u"REGISTRI PROCEDURA SEMPLIFICATA"_s;
}

void TestStartup::tableThatCannotOpenStopsPreparation()
{
    QFETCH(QString, caso);
    QFETCH(int, volte);
    QFETCH(QString, testo);
    QFETCH(QString, titolo);
    Ambiente a;
    QFile f(a.database());
    if (caso == u"jet"_s) {
        QDir().mkpath(a.dati + a.ditta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4000, 'x'));
        f.close();
    } else {
        a.creaDitta(caso == u"bloccata"_s ? QStringList() : QStringList{caso});
    }
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray prima = f.readAll();
    {
        QSqlDatabase altro = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"altroUtente"_s);
        altro.setDatabaseName(a.database());
        QSqlQuery q(altro);
        if (caso == u"bloccata"_s)
            QVERIFY(altro.open() && q.exec(u"BEGIN EXCLUSIVE"_s) && q.exec(u"DELETE FROM TabellaSerieSemplificata"_s));
        app::DialoghiScript d;
        d.risposte = QList<int>(volte - 1, app::Riprova) << app::Annulla;
        Startup w(d);
        QVERIFY(w.Form_Load(a.programma));
        QCOMPARE(d.domande.size(), volte);
        for (const auto& domanda : std::as_const(d.domande)) {
            QVERIFY2(domanda.testo.startsWith(testo), qPrintable(domanda.testo));
            QCOMPARE(domanda.titolo, titolo);
            QCOMPARE(domanda.icona, app::Icona::Esclamazione);
        }
        QVERIFY(!w.archivio().testataAperta());
        QCOMPARE(w.Combo1->count(), 0);
        QCOMPARE(w.cmbRiqACT->count(), 0);
        QCOMPARE(w.lbVer->text(), u"Vers."_s);
        q.finish();
        altro.close();
    }
    QSqlDatabase::removeDatabase(u"altroUtente"_s);
    QVERIFY(f.seek(0));
    QCOMPARE(f.readAll(), prima);
}

// Every field of the map takes no more than its column holds.
void TestStartup::fieldsHoldNoMoreThanTheirColumns()
{
    Ambiente a;
    a.creaDitta();
    app::DialoghiScript d;
    Startup w(d);
    QVERIFY(w.Form_Load(a.programma));
    for (const mappa::Campo& c : mappa::campi()) {
        const QString nome = c.indice == 0 ? u"DicKod"_s : u"Txt(%1)"_s.arg(c.indice);
        auto* t = w.findChild<QLineEdit*>(nome);
        QVERIFY2(t, qPrintable(nome));
        QCOMPARE(t->maxLength(), c.lunghezza);
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
