#include "ambiente.h"

#include "app/casella.h"
#include "form/startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

// The window on a company with one loading register, one loading group and one unloading register.
class TestManutenzione : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void codeThatOpensNothingLeavesTheWindowWaiting_data();
    void codeThatOpensNothingLeavesTheWindowWaiting();
    void failedSaveKeepsWhatWasTyped();
    void anotherClerkChangedTheRegister_data();
    void anotherClerkChangedTheRegister();
    void registerHeldByAnotherClerk();
    void companyNotWritable_data();
    void companyNotWritable();
    void deleteWithoutHeadingRowDeletesTheRegister();
    void refusedDeleteKeepsTheCode();

private:
    void inAttesa();
    std::unique_ptr<Banco> b;
    Ambiente* a = nullptr;
    app::DialoghiScript* d = nullptr;
    Startup* w = nullptr;
};

void TestManutenzione::init()
{
    b = std::make_unique<Banco>(QStringList{
        u"INSERT INTO TabellaSerieSemplificata VALUES ('C01','CARICO NORD','C',12,'.','S01',0,'AB','7',123,"
        "'AUT1','TIMBRO',' ',0,0,' ','M01','P','T')"_s,
        u"INSERT INTO TabellaSerieSemplificata VALUES ('G01','GRUPPO','G',5,'.','.',0,'','',0,'','',' ',0,0,' ','','G','A')"_s,
        u"INSERT INTO TabellaSerieSemplificata VALUES ('S01','SCARICO','S',9,'','.',1,'','',0,'','',' ',0,0,' ','','N','C')"_s,
        u"INSERT INTO TestataRegistriPS VALUES ('S01','RIGA UNO','','','','','PREAVVISO','','','','')"_s,
    });
    QVERIFY(b->pronto);
    a = &b->a;
    d = &b->d;
    w = b->w.get();
}

void TestManutenzione::cleanup()
{
    b.reset();
}

// The window back at waiting for a code: the code field open and the title of the waiting page.
void TestManutenzione::inAttesa()
{
    QVERIFY(w->DicKod->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->DicKod));
    QCOMPARE(w->Label1->text(), u"GESTIONE REGISTRI P.S. EXPORT"_s);
}

void TestManutenzione::codeThatOpensNothingLeavesTheWindowWaiting_data()
{
    QTest::addColumn<QString>("prima");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("messaggio");  // empty: no question at all
    QTest::newRow("new code answered No") << QString() << u"XY"_s << u"REGISTRO INESISTENTE: INSERISCO"_s;
    QTest::newRow("blank code") << QString() << u"   "_s << QString();
    QTest::newRow("failing look-up") << u"DROP TABLE TabellaSerieSemplificata"_s << u"C01"_s
                                     << u"ERRORE IN LETTURA DEL REGISTRO\nno such table"_s;
}

void TestManutenzione::codeThatOpensNothingLeavesTheWindowWaiting()
{
    QFETCH(QString, prima);
    QFETCH(QString, codice);
    QFETCH(QString, messaggio);
    if (!prima.isEmpty())
        a->esegui({prima});
    d->risposte = {app::No};
    b->digitaCodice(codice);
    QCOMPARE(d->domande.size(), messaggio.isEmpty() ? 0 : 1);
    if (!messaggio.isEmpty())
        QVERIFY2(d->domande[0].testo.startsWith(messaggio), qPrintable(d->domande[0].testo));
    inAttesa();
    QVERIFY(!w->cmdD[1]->isVisible());
    QVERIFY(w->cmdD[2]->isVisible());
}

void TestManutenzione::failedSaveKeepsWhatWasTyped()
{
    a->esegui({u"CREATE TRIGGER rifiuta BEFORE UPDATE ON TestataRegistriPS BEGIN SELECT RAISE(ABORT, 'no'); END"_s});
    b->digitaCodice(u"S01"_s);
    w->Txt[1]->setFocus();
    QTest::keyClicks(w->Txt[1], u"cambiata"_s);
    QTest::mouseClick(w->cmdD[1], Qt::LeftButton);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo, u"ERRORE NELLA SCRITTURA DELLA TESTATA\nno"_s);
    QCOMPARE(d->domande[0].titolo, u"Pemtarx"_s);
    QCOMPARE(d->domande[0].pulsanti, app::Pulsanti::Ok);
    QCOMPARE(w->Txt[1]->text(), u"CAMBIATA"_s);
    QCOMPARE(w->Label1->text(), u"VARIAZIONE REGISTRO P.S. EXPORT"_s);
    QCOMPARE(a->valore(u"SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice='S01'"_s).toString(),
             u"SCARICO"_s);
}

void TestManutenzione::anotherClerkChangedTheRegister_data()
{
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("altro");  // what another clerk stores meanwhile
    QTest::addColumn<bool>("elimina");
    QTest::addColumn<int>("risposta");
    QTest::addColumn<QString>("descrizione");  // stored in the end

    const QString cambiato = u"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'ALTRO' WHERE SspCodice = 'S01'"_s;
    const QString eliminato = u"DELETE FROM TabellaSerieSemplificata WHERE SspCodice = 'S01'"_s;
    QTest::newRow("changed, save answered No") << u"S01"_s << cambiato << false << int(app::No) << u"ALTRO"_s;
    QTest::newRow("deleted, save answered Yes") << u"S01"_s << eliminato << false << int(app::Si) << u"CAMBIATA"_s;
    QTest::newRow("inserted, insert answered No")
        << u"N01"_s << u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione) VALUES ('N01', 'ALTRO')"_s
        << false << int(app::No) << u"ALTRO"_s;
    QTest::newRow("heading changed, delete answered No")
        << u"S01"_s << u"UPDATE TestataRegistriPS SET TpsRiga2 = 'ALTRA' WHERE TpsCodice = 'S01'"_s << true
        << int(app::No) << u"SCARICO"_s;
    QTest::newRow("deleted, delete answered Yes") << u"S01"_s << eliminato << true << int(app::Si) << QString();
}

void TestManutenzione::anotherClerkChangedTheRegister()
{
    QFETCH(QString, codice);
    QFETCH(QString, altro);
    QFETCH(bool, elimina);
    QFETCH(int, risposta);
    QFETCH(QString, descrizione);
    d->risposte = {app::Si};
    b->digitaCodice(codice);
    const QString titolo = w->Label1->text();
    w->Txt[1]->setFocus();
    QTest::keyClicks(w->Txt[1], u"cambiata"_s);
    a->esegui({altro});
    d->domande.clear();
    d->risposte = elimina ? QList<int>{app::Si, risposta} : QList<int>{risposta};
    QTest::mouseClick(w->cmdD[elimina ? 0 : 1], Qt::LeftButton);
    QCOMPARE(d->domande.size(), elimina ? 2 : 1);
    QCOMPARE(d->domande.last().testo,
             u"UN ALTRO UTENTE HA MODIFICATO%1 CANCELLATO IL REGISTRO DOPO CHE E' STATO MOSTRATO: %2 COMUNQUE?"_s.arg(
                 elimina ? u" O"_s : u", INSERITO O"_s, elimina ? u"CANCELLO"_s : u"SALVO"_s));
    QCOMPARE(d->domande.last().titolo, u"TRESKO - CONFERMA"_s);
    QCOMPARE(d->domande.last().predefinito, int(app::No));
    if (risposta == app::No) {
        // The page as typed, in its mode, until the clerk leaves it.
        QCOMPARE(w->Txt[1]->text(), u"CAMBIATA"_s);
        QCOMPARE(w->Label1->text(), titolo);
        QVERIFY(!w->DicKod->isEnabled());
    } else {
        inAttesa();
    }
    QCOMPARE(a->valore(u"SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice = '%1'"_s.arg(codice))
                 .toString(),
             descrizione);
}

void TestManutenzione::registerHeldByAnotherClerk()
{
    b->digitaCodice(u"S01"_s);
    QList<bool> clessidra;
    const auto avvisa = w->archivio().inAttesa;
    w->archivio().inAttesa = [&](bool inizio) {
        avvisa(inizio);
        const QCursor* puntatore = QGuiApplication::overrideCursor();
        clessidra << (puntatore && puntatore->shape() == Qt::WaitCursor);
    };
    {
        QSqlDatabase altro = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"altro"_s);
        altro.setDatabaseName(a->database());
        QVERIFY(altro.open());
        QVERIFY(QSqlQuery(altro).exec(u"BEGIN IMMEDIATE"_s));
        QTest::mouseClick(w->cmdD[1], Qt::LeftButton);
        altro.close();
    }
    QSqlDatabase::removeDatabase(u"altro"_s);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo,
             u"ERRORE NELLA SCRITTURA DEL RECORD\nREGISTRO IN USO DA UN ALTRO UTENTE: RIPROVARE TRA POCO"_s);
    // The hourglass while waiting, the pointer back before the message.
    QCOMPARE(clessidra, (QList<bool>{true, false}));
}

void TestManutenzione::companyNotWritable_data()
{
    QTest::addColumn<bool>("cartella");
    QTest::newRow("file") << false;
    QTest::newRow("folder") << true;
}

void TestManutenzione::companyNotWritable()
{
    QFETCH(bool, cartella);
    if (::geteuid() == 0) {
        // Root writes whatever the permissions say: the clerk's case needs an ordinary user.
        const QString utente = u"pemtarx-impiegato"_s;
        if (QProcess::execute(u"id"_s, {u"-u"_s, utente}) != 0 &&
            QProcess::execute(u"useradd"_s, {u"--system"_s, u"--no-create-home"_s, utente}) != 0)
            QSKIP("no ordinary user could be made with useradd");
        QProcess figlio;
        figlio.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.remove(u"XDG_RUNTIME_DIR"_s);
        ambiente.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        figlio.setProcessEnvironment(ambiente);
        figlio.setWorkingDirectory(QDir::tempPath());
        figlio.start(u"runuser"_s, {u"-u"_s, utente, u"--"_s, QCoreApplication::applicationFilePath(),
                                    u"companyNotWritable:"_s + QString::fromLatin1(QTest::currentDataTag())});
        QVERIFY(figlio.waitForFinished(60000));
        QVERIFY2(figlio.exitCode() == 0, figlio.readAll().constData());
        return;
    }
    Ambiente amb;
    amb.creaDitta();
    const QString protetto = cartella ? QFileInfo(amb.database()).path() : amb.database();
    const QFile::Permissions permessi = QFile::permissions(protetto);
    QVERIFY(QFile::setPermissions(protetto, permessi & ~(QFile::WriteOwner | QFile::WriteUser)));
    DialogsFunzione dialoghi;
    // Cancel ends the program; Retry asks again until the permission is given.
    dialoghi.risposta = [&](const QString&, const QString&) { return app::Annulla; };
    QVERIFY(!Startup(dialoghi).Form_Load(amb.programma));
    dialoghi.risposta = [&](const QString&, const QString&) {
        if (dialoghi.testi.size() == 3)
            QFile::setPermissions(protetto, permessi);
        return app::Riprova;
    };
    Startup finestra(dialoghi);
    QVERIFY(finestra.Form_Load(amb.programma));
    QCOMPARE(dialoghi.titoli, QStringList(3, u"TRESKO - ERRORE"_s));
    QVERIFY2(dialoghi.testi[0].startsWith(u"IMPOSSIBILE SCRIVERE NEI REGISTRI DELLA SOCIETA': CHIEDERE IL PERMESSO "
                                          u"DI SCRITTURA\n"_s + protetto + u": l'utente pemtarx-impiegato"_s),
             qPrintable(dialoghi.testi[0]));
    // Reopened once writable: a save goes through.
    QVERIFY(finestra.archivio().scrivi(Registro{u"W01"_s}, {}).esito.ok());
}

void TestManutenzione::deleteWithoutHeadingRowDeletesTheRegister()
{
    b->digitaCodice(u"C01"_s);
    d->risposte = {app::Si};
    QTest::mouseClick(w->cmdD[0], Qt::LeftButton);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo, u"CONFERMI LA CANCELLAZIONE DEL REGISTRO?"_s);
    QCOMPARE(a->valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCodice='C01'"_s).toInt(), 0);
    QCOMPARE(w->DicKod->text(), u" "_s);
}

void TestManutenzione::refusedDeleteKeepsTheCode()
{
    b->digitaCodice(u"S01"_s);
    d->risposte = {app::No};
    QTest::mouseClick(w->cmdD[0], Qt::LeftButton);
    QCOMPARE(w->DicKod->text(), u"S01"_s);
    QCOMPARE(w->Txt[1]->text(), u" "_s);
    QVERIFY(w->DicKod->isEnabled());
    QCOMPARE(a->valore(u"SELECT COUNT(*) FROM TestataRegistriPS WHERE TpsCodice='S01'"_s).toInt(), 1);
}

QTEST_MAIN(TestManutenzione)
#include "tst_manutenzione.moc"
