#include "ambiente.h"

#include "app/casella.h"
#include "form/startup.h"
#include "lookup/sceltaregistri.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

// The keyboard contract of the edit page, with real key events.
class TestTastiera : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void charactersAreFilteredPerField_data();
    void charactersAreFilteredPerField();
    void enterMovesByIndexOverUnavailableBoxes();
    void arrowsWrapOverTheShownPage_data();
    void arrowsWrapOverTheShownPage();
    void enterInTheCodeAndInTheLastLineFollowsTheTabOrder();
    void f4InTheCodeOpensTheSearchWithoutALookup();
    void comboKeepsItsArrows();
    void entryInABoxSelectsFiftyCharacters();
    void waitingWithThePickerOpenGivesTheKeysBack();
    void noAvailableBoxLeavesTheFocusAlone();
    void pickFromTheSearchLeavesTheKeyboardInTheRegister_data();
    void pickFromTheSearchLeavesTheKeyboardInTheRegister();

private:
    QWidget* fuoco() const { return QApplication::focusWidget(); }
    void apri(const QString& codice);
    // Puts the focus on `x` and waits for it, as a click of the clerk would.
    void vai(QWidget* x)
    {
        x->setFocus();
        QTRY_COMPARE(fuoco(), x);
    }
    std::unique_ptr<Banco> b;
    Ambiente* a = nullptr;
    app::DialogsScript* d = nullptr;
    Startup* w = nullptr;
};

void TestTastiera::init()
{
    b = std::make_unique<Banco>(QStringList{
        u"INSERT INTO TabellaSerieSemplificata VALUES ('C01','CARICO','C',1,'.','.',0,'','',0,'','',' ',0,0,' ','','G','A')"_s,
        u"INSERT INTO TabellaSerieSemplificata VALUES ('S01','SCARICO','S',9,'','.',1,'','',0,'','',' ',0,0,' ','','N','C')"_s,
    });
    QVERIFY(b->pronto);
    a = &b->a;
    d = &b->d;
    w = b->w.get();
}

void TestTastiera::cleanup()
{
    b.reset();
}

void TestTastiera::apri(const QString& codice)
{
    b->digitaCodice(codice);
    QTRY_COMPARE(fuoco(), static_cast<QWidget*>(w->Txt[1]));
}

void TestTastiera::charactersAreFilteredPerField_data()
{
    QTest::addColumn<int>("campo");
    QTest::addColumn<QString>("digitato");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("digits only") << 3 << u"12a-3 "_s << u"123"_s;
    QTest::newRow("last load") << 6 << u"4.5,6"_s << u"456"_s;
    QTest::newRow("capitals") << 1 << u"dogana nord"_s << u"DOGANA NORD"_s;
    QTest::newRow("serie EDI") << 2 << u"a1"_s << u"A1"_s;
}

void TestTastiera::charactersAreFilteredPerField()
{
    QFETCH(int, campo);
    QFETCH(QString, digitato);
    apri(u"C01"_s);
    vai(w->Txt[campo]);
    w->Txt[campo]->clear();
    QTest::keyClicks(w->Txt[campo], digitato);
    QTEST(w->Txt[campo]->text(), "atteso");
    const QString prima = w->Txt[campo]->text();
    QTest::keyClick(w->Txt[campo], Qt::Key_Backspace);
    QCOMPARE(w->Txt[campo]->text(), prima.chopped(1));
    // An accented letter is no letter a to z: it stays as typed, or is dropped by a digit box.
    QTest::sendKeyEvent(QTest::Click, w->Txt[campo], Qt::Key_unknown, QString(u'é'), Qt::NoModifier);
    QCOMPARE(w->Txt[campo]->text().endsWith(u'é'), campo == 1 || campo == 2);
}

void TestTastiera::enterMovesByIndexOverUnavailableBoxes()
{
    apri(u"C01"_s);
    vai(w->Txt[5]);
    QTest::keyClick(fuoco(), Qt::Key_Return);
    QCOMPARE(fuoco(), static_cast<QWidget*>(w->Txt[6]));
    w->Txt[7]->setFocus();
    QTest::keyClicks(w->Txt[7], u"G"_s);  // a character in the group field opens its picker
    QVERIFY(w->pctRice->isVisible());
    QTest::mouseClick(w->findChild<QPushButton*>(u"Command1"_s), Qt::LeftButton);
    QTRY_COMPARE(fuoco(), static_cast<QWidget*>(w->Txt[7]));
    w->Txt[7]->setText(u"GRP"_s);
    w->Txt[5]->setFocus();  // leaving Txt(7) with a group closes Txt(6)
    QTRY_COMPARE(fuoco(), static_cast<QWidget*>(w->Txt[5]));
    QVERIFY(!w->Txt[6]->isEnabled());
    QTest::keyClick(fuoco(), Qt::Key_Return);
    QCOMPARE(fuoco(), static_cast<QWidget*>(w->Txt[7]));
}

void TestTastiera::arrowsWrapOverTheShownPage_data()
{
    QTest::addColumn<QString>("codice");
    QTest::addColumn<int>("da");
    QTest::addColumn<int>("tasto");
    QTest::addColumn<int>("a");
    QTest::newRow("loading down wraps") << u"C01"_s << 10 << int(Qt::Key_Down) << 1;
    QTest::newRow("loading up wraps") << u"C01"_s << 1 << int(Qt::Key_Up) << 10;
    QTest::newRow("unloading down") << u"S01"_s << 1 << int(Qt::Key_Down) << 12;
    QTest::newRow("unloading up") << u"S01"_s << 12 << int(Qt::Key_Up) << 1;
}

void TestTastiera::arrowsWrapOverTheShownPage()
{
    QFETCH(QString, codice);
    QFETCH(int, da);
    QFETCH(int, tasto);
    QFETCH(int, a);
    apri(codice);
    vai(w->Txt[da]);
    QTest::keyClick(fuoco(), static_cast<Qt::Key>(tasto));
    QCOMPARE(fuoco(), static_cast<QWidget*>(w->Txt[a]));
}

void TestTastiera::enterInTheCodeAndInTheLastLineFollowsTheTabOrder()
{
    apri(u"S01"_s);  // Enter in the code field reached Txt(1) by the tab order
    vai(w->Txt[22]);
    QTest::keyClick(fuoco(), Qt::Key_Return);
    QTRY_VERIFY(fuoco() == w->Option1[0] || fuoco() == w->Option1[1]);
}

void TestTastiera::f4InTheCodeOpensTheSearchWithoutALookup()
{
    QTest::keyClicks(w->DicKod, u"zz"_s);
    QTest::keyClick(w->DicKod, Qt::Key_F4);
    QVERIFY(d->domande.isEmpty());
    QVERIFY(w->Pict1->isVisible());
    QCOMPARE(w->stato.paginaAttiva, 1);
}

void TestTastiera::comboKeepsItsArrows()
{
    apri(u"C01"_s);
    w->Combo1->setFocus();
    QTRY_VERIFY(w->stato.comboAttivo);
    QTest::keyClick(w->Combo1, Qt::Key_Down);
    QCOMPARE(fuoco(), static_cast<QWidget*>(w->Combo1));
    QCOMPARE(w->Combo1->currentText(), u"P=Progressivo"_s);
}

void TestTastiera::entryInABoxSelectsFiftyCharacters()
{
    apri(u"S01"_s);
    w->Txt[13]->setText(QString(160, u'X'));
    vai(w->Txt[13]);
    QCOMPARE(w->Txt[13]->selectionStart(), 0);
    QCOMPARE(w->Txt[13]->selectedText().size(), 50);
}

void TestTastiera::waitingWithThePickerOpenGivesTheKeysBack()
{
    apri(u"C01"_s);
    vai(w->Txt[8]);
    QTest::keyClick(fuoco(), Qt::Key_F4);
    QVERIFY(w->pctRice->isVisible());
    QCOMPARE(w->stato.paginaAttiva, 1);
    QTest::mouseClick(w->cmdD[3], Qt::LeftButton);  // "&ANNULLA" of the edit page
    QVERIFY(!w->pctRice->isVisible());
    QCOMPARE(w->stato.paginaAttiva, 2);
    QTRY_COMPARE(fuoco(), static_cast<QWidget*>(w->DicKod));
    QTest::keyClick(w->DicKod, Qt::Key_F4);
    QVERIFY(w->Pict1->isVisible());
}

void TestTastiera::noAvailableBoxLeavesTheFocusAlone()
{
    apri(u"C01"_s);
    vai(w->Txt[1]);
    for (int i = 1; i <= 22; ++i)
        if (i != 1)
            w->Txt[i]->setEnabled(false);
    w->OptCS[1]->setFocus();
    w->Txt[1]->setEnabled(false);
    QTRY_COMPARE(fuoco(), static_cast<QWidget*>(w->OptCS[1]));
    QTest::keyClick(fuoco(), Qt::Key_Down);
    QCOMPARE(fuoco(), static_cast<QWidget*>(w->OptCS[1]));
}

void TestTastiera::pickFromTheSearchLeavesTheKeyboardInTheRegister_data()
{
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<bool>("inLista");
    QTest::addColumn<QList<int>>("risposte");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<bool>("attesa");
    QTest::newRow("second row by SELEZIONA, Down, Enter") << u"S"_s << true << QList<int>{} << u"S01"_s << false;
    QTest::newRow("new code, inserted") << u"XY"_s << false << QList<int>{app::Si} << u"XY"_s << false;
    QTest::newRow("new code, not inserted") << u"XY"_s << false << QList<int>{app::No} << u"XY"_s << true;
}

// The list that held the keyboard is hidden by the pick: the clerk goes on typing at once.
void TestTastiera::pickFromTheSearchLeavesTheKeyboardInTheRegister()
{
    QFETCH(QString, chiave);
    QFETCH(bool, inLista);
    QFETCH(QList<int>, risposte);
    QFETCH(QString, codice);
    QFETCH(bool, attesa);
    d->risposte = risposte;
    QTest::keyClick(w->DicKod, Qt::Key_F4);
    QVERIFY(w->Pict1->isVisible());
    QTest::keyClicks(fuoco(), chiave);
    // Its access key reaches the button only through the platform's shortcut map, not here.
    QTest::mouseClick(w->Pict1->findChild<QPushButton*>(u"cmd_r(0)"_s), Qt::LeftButton);
    if (inLista) {
        QCOMPARE(fuoco(), w->Pict1->findChild<QWidget*>(u"Lista"_s));
        QTest::keyClick(fuoco(), Qt::Key_Down);
        QTest::keyClick(fuoco(), Qt::Key_Return);
    }
    QTRY_VERIFY(!w->Pict1->isVisible());
    QCOMPARE(w->DicKod->text(), codice);
    QCOMPARE(d->domande.size(), risposte.size());
    QWidget* atteso = attesa ? static_cast<QWidget*>(w->DicKod) : static_cast<QWidget*>(w->Txt[1]);
    QTRY_COMPARE(fuoco(), atteso);
    if (!attesa) {
        QTest::keyClicks(fuoco(), u"nuova"_s);
        QVERIFY(w->Txt[1]->text().endsWith(u"NUOVA"_s));
    }
}

QTEST_MAIN(TestTastiera)
#include "tst_tastiera.moc"
