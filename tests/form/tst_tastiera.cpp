#include "ambiente.h"

#include "app/casella.h"
#include "form/startup.h"
#include "lookup/sceltaregistri.h"

#include <QApplication>
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
    QTest::addColumn<QList<int>>("risposte");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<bool>("attesa");
    QTest::newRow("new code, inserted") << u"XY"_s << QList<int>{app::Si} << u"XY"_s << false;
    QTest::newRow("new code, not inserted") << u"XY"_s << QList<int>{app::No} << u"XY"_s << true;
}

// The list that held the keyboard is hidden by the pick: the clerk goes on typing at once.
void TestTastiera::pickFromTheSearchLeavesTheKeyboardInTheRegister()
{
    QFETCH(QString, chiave);
    QFETCH(QList<int>, risposte);
    QFETCH(QString, codice);
    QFETCH(bool, attesa);
    d->risposte = risposte;
    QTest::keyClick(w->DicKod, Qt::Key_F4);
    QVERIFY(w->Pict1->isVisible());
    QTest::keyClicks(fuoco(), chiave);
    // Its access key reaches the button only through the platform's shortcut map, not here.
    QTest::mouseClick(w->Pict1->findChild<QPushButton*>(u"cmd_r(0)"_s), Qt::LeftButton);
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
