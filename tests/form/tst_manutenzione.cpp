#include "ambiente.h"

#include "app/casella.h"
#include "form/startup.h"
#include "lookup/paginaricerca.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

// The window on a company with one loading register, one loading group and one unloading register.
class TestManutenzione : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void existingCodeOpensChangeMode();
    void newCodeAnsweredYesOpensInsertMode();
    void newCodeAnsweredNoReturnsToWaiting();
    void blankCodeAsksNothing();
    void pressOnExitWhileInTheCodeAsksNothing();
    void onlyALoadingGroupHidesTheLoadingFields();
    void codeWithBlanksIsItsOwnRegister_data();
    void codeWithBlanksIsItsOwnRegister();
    void confirmStoresBothRowsAndReturnsToWaiting();
    void failedSaveKeepsWhatWasTyped();
    void deleteWithoutHeadingRowDeletesTheRegister();
    void refusedDeleteKeepsTheCode();
    void lookupErrorLeavesTheWindowWaiting();

private:
    void inAttesa();
    std::unique_ptr<Banco> b;
    Ambiente* a = nullptr;
    app::DialogsScript* d = nullptr;
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

void TestManutenzione::existingCodeOpensChangeMode()
{
    b->digitaCodice(u"c01"_s);
    QVERIFY(d->domande.isEmpty());
    QCOMPARE(w->Label1->text(), u"VARIAZIONE REGISTRO P.S. EXPORT"_s);
    QVERIFY(!w->DicKod->isEnabled());
    for (QPushButton* b : w->cmdD)
        QVERIFY(b->isVisible());
    QCOMPARE(w->DicKod->text(), u"C01"_s);
    QCOMPARE(w->Txt[1]->text(), u"CARICO NORD"_s);
    QCOMPARE(w->Txt[3]->text(), u"123"_s);
    QCOMPARE(w->Txt[7]->text(), u" "_s);
    QCOMPARE(w->Txt[8]->text(), u"S01"_s);
    QCOMPARE(w->Combo1->currentText(), u"P=Progressivo"_s);
    QCOMPARE(w->cmbRiqACT->currentText(), u"T=Entrambi"_s);
    QVERIFY(w->OptCS[1]->isChecked());
    QVERIFY(w->Picture1[1]->isVisible());
    QVERIFY(!w->Picture1[0]->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Txt[1]));
}

void TestManutenzione::newCodeAnsweredYesOpensInsertMode()
{
    d->risposte = {app::Si};
    b->digitaCodice(u"nuovo"_s);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo, u"REGISTRO INESISTENTE: INSERISCO"_s);
    QCOMPARE(d->domande[0].titolo, u"TRESKO - CONFERMA"_s);
    QCOMPARE(d->domande[0].predefinito, int(app::No));
    QCOMPARE(w->Label1->text(), u"INSERIMENTO REGISTRO P.S. EXPORT"_s);
    QVERIFY(!w->cmdD[0]->isVisible());
    QVERIFY(w->cmdD[1]->isVisible() && w->cmdD[2]->isVisible() && w->cmdD[3]->isVisible());
    QCOMPARE(w->stato.campoCorrente, 1);
    QCOMPARE(w->Txt[6]->text(), u"0"_s);
    QCOMPARE(w->Combo1->currentText(), u"G=Giornaliero"_s);
    QVERIFY(w->Option1[0]->isChecked());
    QVERIFY(!w->Picture1[0]->isVisible() && !w->Picture1[1]->isVisible());
}

void TestManutenzione::newCodeAnsweredNoReturnsToWaiting()
{
    d->risposte = {app::No};
    b->digitaCodice(u"XY"_s);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(w->DicKod->text(), u" "_s);
    inAttesa();
    QVERIFY(!w->cmdD[1]->isVisible());
    QVERIFY(w->cmdD[2]->isVisible());
}

void TestManutenzione::blankCodeAsksNothing()
{
    QTest::keyClicks(w->DicKod, u"   "_s);
    QTest::keyClick(w->DicKod, Qt::Key_Return);
    QApplication::processEvents();
    QVERIFY(d->domande.isEmpty());
    inAttesa();
}

void TestManutenzione::pressOnExitWhileInTheCodeAsksNothing()
{
    QTest::keyClicks(w->DicKod, u"XY"_s);
    // Through the window, as a real press arrives, not straight to the button.
    const QPoint centro = w->cmdD[2]->mapTo(w, w->cmdD[2]->rect().center());
    QTest::mousePress(w->windowHandle(), Qt::RightButton, {}, centro);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->cmdD[2]));
    QVERIFY(d->domande.isEmpty());
}

void TestManutenzione::onlyALoadingGroupHidesTheLoadingFields()
{
    b->digitaCodice(u"G01"_s);
    QVERIFY(w->OptCS[2]->isChecked());
    QVERIFY(w->Txt[6]->isVisible() && w->Txt[10]->isVisible());
    QVERIFY(!w->Txt[2]->isVisible() && !w->Txt[7]->isVisible() && !w->LabeG[0]->isVisible());
    QTest::mouseClick(w->cmdD[3], Qt::LeftButton);
    d->risposte = {app::Si};
    b->digitaCodice(u"NUOVO"_s);
    QTest::mouseClick(w->OptCS[1], Qt::LeftButton);
    QVERIFY(w->Picture1[1]->isVisible());
    QVERIFY(w->Txt[2]->isVisible() && w->Txt[9]->isVisible() && w->LabeG[5]->isVisible());
}

void TestManutenzione::codeWithBlanksIsItsOwnRegister_data()
{
    QTest::addColumn<QString>("digitato");  // empty: picked from the search list instead
    QTest::addColumn<int>("riga");
    QTest::addColumn<QString>("aperto");
    QTest::newRow("typed with blanks around") << u" ab "_s << 0 << u"AB"_s;
    QTest::newRow("picked, leading blank") << QString() << 0 << u" AB"_s;
    QTest::newRow("picked, plain") << QString() << 1 << u"AB"_s;
    QTest::newRow("picked, trailing blank") << QString() << 2 << u"AB "_s;
}

// Registers written by other programs with blanks in their codes are opened and deleted each as itself.
void TestManutenzione::codeWithBlanksIsItsOwnRegister()
{
    QFETCH(QString, digitato);
    QFETCH(int, riga);
    QFETCH(QString, aperto);
    a->esegui({u"DELETE FROM TabellaSerieSemplificata"_s});
    for (const QString& c : {u" AB"_s, u"AB"_s, u"AB "_s})
        a->esegui({u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar) VALUES ('%1', '%1', 'S')"_s.arg(c)});
    if (!digitato.isNull()) {
        b->digitaCodice(digitato);
    } else {
        QTest::keyClick(w->DicKod, Qt::Key_F4);
        QTRY_VERIFY(w->Pict1->isVisible());
        auto* lista = w->Pict1->findChild<QAbstractItemView*>(u"Lista"_s);
        QCOMPARE(lista->model()->rowCount(), 3);
        lista->setCurrentIndex(lista->model()->index(riga, 0));
        w->ricerca->scegli();
    }
    QVERIFY(d->domande.isEmpty());
    QCOMPARE(w->registroCorrente.SspCodice, aperto);
    QCOMPARE(w->Txt[1]->text(), aperto);
    d->risposte = {app::Si};
    QTest::mouseClick(w->cmdD[0], Qt::LeftButton);
    QCOMPARE(a->valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata"_s).toInt(), 2);
    QCOMPARE(a->valore(u"SELECT COUNT(*) FROM TabellaSerieSemplificata WHERE SspCodice = '%1'"_s.arg(aperto)).toInt(), 0);
}

void TestManutenzione::confirmStoresBothRowsAndReturnsToWaiting()
{
    d->risposte = {app::Si};
    b->digitaCodice(u"S02"_s);
    QTest::mouseClick(w->OptCS[0], Qt::LeftButton);
    QVERIFY(w->Picture1[0]->isVisible());
    QTest::mouseClick(w->Txt[1], Qt::LeftButton);  // into the cleared blank: typing replaces it
    QTest::keyClicks(w->Txt[1], u"nuovo scarico"_s);
    w->Txt[12]->setFocus();
    QTest::keyClicks(w->Txt[12], u"4a2"_s);
    w->Txt[13]->setFocus();
    QTest::keyClicks(w->Txt[13], u"  dogana di genova  "_s);
    QTest::mouseClick(w->cmdD[1], Qt::LeftButton);
    QCOMPARE(a->valore(u"SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice='S02'"_s).toString(),
             u"NUOVO SCARICO"_s);
    QCOMPARE(a->valore(u"SELECT SspUltimoCarico FROM TabellaSerieSemplificata WHERE SspCodice='S02'"_s).toInt(), 42);
    QCOMPARE(a->valore(u"SELECT TpsRiga1 FROM TestataRegistriPS WHERE TpsCodice='S02'"_s).toString(),
             u"DOGANA DI GENOVA"_s);
    QCOMPARE(w->DicKod->text(), u" "_s);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->DicKod));
}

void TestManutenzione::failedSaveKeepsWhatWasTyped()
{
    a->esegui({u"CREATE TRIGGER rifiuta BEFORE UPDATE ON TestataRegistriPS BEGIN SELECT RAISE(ABORT, 'no'); END"_s});
    b->digitaCodice(u"S01"_s);
    w->Txt[1]->setFocus();
    QTest::keyClicks(w->Txt[1], u"cambiata"_s);
    QTest::mouseClick(w->cmdD[1], Qt::LeftButton);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo, u"ERRORE NELLA SCRITTURA DELLA TESTATA"_s);
    QCOMPARE(d->domande[0].titolo, u"Pemtarx"_s);
    QCOMPARE(d->domande[0].pulsanti, app::Pulsanti::Ok);
    QCOMPARE(w->Txt[1]->text(), u"CAMBIATA"_s);
    QCOMPARE(w->Label1->text(), u"VARIAZIONE REGISTRO P.S. EXPORT"_s);
    QCOMPARE(a->valore(u"SELECT SspDescrizione FROM TabellaSerieSemplificata WHERE SspCodice='S01'"_s).toString(),
             u"SCARICO"_s);
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

void TestManutenzione::lookupErrorLeavesTheWindowWaiting()
{
    a->esegui({u"DROP TABLE TabellaSerieSemplificata"_s});
    b->digitaCodice(u"C01"_s);
    QCOMPARE(d->domande.size(), 1);
    QCOMPARE(d->domande[0].testo, u"ERRORE IN LETTURA DEL REGISTRO"_s);
    inAttesa();
}

QTEST_MAIN(TestManutenzione)
#include "tst_manutenzione.moc"
