#include "tests/form/ambiente.h"

#include "app/dialoghi.h"
#include "app/statofinestra.h"
#include "lookup/sceltaregistri.h"

#include <QAbstractItemModelTester>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <array>
#include <memory>

using namespace Qt::StringLiterals;

// The register picker on a loading page with its two fields, wired as the register window wires it.
class TestScelta : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void linesOfOneKindOrderedByCode_data();
    void linesOfOneKindOrderedByCode();
    void captionAndPlace_data();
    void captionAndPlace();
    void listsAfreshEachTime();
    void failingQueryShowsAMessageAndAnEmptyList();

private:
    void apri(int campo);
    QStringList linee() const;
    QWidget* fuoco() const { return QApplication::focusWidget(); }

    std::unique_ptr<Archivio> archivio;
    StatoFinestra stato;
    app::DialoghiScript dialoghi;
    std::unique_ptr<Finestra> finestra;
    QWidget* pagina = nullptr;
    std::array<QLineEdit*, 9> Txt{};
    SceltaRegistri* pctRice = nullptr;
    QListView* List1 = nullptr;
};

void TestScelta::init()
{
    archivio = std::make_unique<Archivio>();
    QVERIFY(archivio->pronto);
    stato = StatoFinestra{};
    dialoghi = app::DialoghiScript{};
    finestra = std::make_unique<Finestra>();
    auto* colonna = new QVBoxLayout(finestra.get());
    pagina = new QWidget(finestra.get());
    pagina->setObjectName(u"Picture1(1)"_s);
    colonna->addWidget(pagina);
    auto* griglia = new QGridLayout(pagina);
    for (int i : {7, 8}) {
        Txt[i] = new QLineEdit(pagina);
        Txt[i]->setMaxLength(10);
        Txt[i]->setFixedWidth(120);
        griglia->addWidget(Txt[i], i - 7, i == 7 ? 2 : 1);
    }
    griglia->setRowStretch(2, 1);
    griglia->setColumnStretch(0, 1);
    pctRice = new SceltaRegistri(archivio->store, stato, dialoghi, pagina);
    connect(pctRice, &SceltaRegistri::scelto, this, [this](const QString& c) { Txt[stato.campoCorrente]->setText(c); });
    connect(pctRice, &SceltaRegistri::chiuso, this, [this] { Txt[stato.campoCorrente]->setFocus(); });
    List1 = pctRice->findChild<QListView*>(u"List1"_s);
    QVERIFY(List1);
    new QAbstractItemModelTester(List1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest, pctRice);
    QVERIFY(finestra->mostra());
}

void TestScelta::cleanup()
{
    finestra.reset();
    archivio.reset();
}

void TestScelta::apri(int campo)
{
    Txt[campo]->setFocus();
    stato.campoCorrente = campo;
    stato.paginaAttiva = 1;
    pctRice->caricaElencoRegistri(campo == 7 ? u"G"_s : u"S"_s, Txt[campo]);
    QVERIFY(pctRice->isVisible());
    QCOMPARE(fuoco(), static_cast<QWidget*>(List1));
}

QStringList TestScelta::linee() const
{
    QStringList l;
    for (int i = 0; i < List1->model()->rowCount(); ++i)
        l << List1->model()->index(i, 0).data().toString();
    return l;
}

void TestScelta::linesOfOneKindOrderedByCode_data()
{
    QTest::addColumn<int>("campo");
    QTest::addColumn<QStringList>("attese");
    QTest::newRow("unloading registers")
        << 8
        << QStringList{u"A B        - CON SPAZI"_s, u"S012345678 - DIECI"_s, u"S1         - SCARICO UNO"_s,
                       u"s2         - "_s, u"S3         - "_s};
    QTest::newRow("loading groups") << 7 << QStringList{u"AB1        - GRUPPO NORD"_s};
}

void TestScelta::linesOfOneKindOrderedByCode()
{
    QFETCH(int, campo);
    QFETCH(QStringList, attese);
    for (const auto& [c, d, t] : {std::tuple{u"S1"_s, u"SCARICO UNO"_s, u"S"_s}, std::tuple{u"AB1"_s, u"GRUPPO NORD"_s, u"G"_s},
                                  std::tuple{u"C1"_s, u"CARICO"_s, u"C"_s}, std::tuple{u"S012345678"_s, u"DIECI"_s, u"S"_s},
                                  std::tuple{u"A B"_s, u"CON SPAZI"_s, u"S"_s}, std::tuple{u"s2"_s, u""_s, u"S"_s}})
        QVERIFY(archivio->scrivi(registro(c, d, t)));
    QVERIFY(archivio->esegui(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar) "
                             "VALUES ('S3', NULL, 'S')"_s));
    apri(campo);
    QCOMPARE(linee(), attese);
    QVERIFY(stato.testoSql.contains(u"ORDER BY"_s));
    QVERIFY(!stato.testoSql.contains(u"'S'"_s) && !stato.testoSql.contains(u"'G'"_s));  // the kind is bound
}

void TestScelta::captionAndPlace_data()
{
    QTest::addColumn<int>("campo");
    QTest::addColumn<QString>("didascalia");
    QTest::newRow("S under Txt(8)") << 8 << u"      REGISTRI DI SCARICO"_s;
    QTest::newRow("G at the right edge under Txt(7)") << 7 << u"       GRUPPI DI CARICO"_s;
}

void TestScelta::captionAndPlace()
{
    QFETCH(int, campo);
    QFETCH(QString, didascalia);
    const QSize dimensione = pctRice->size();
    apri(campo);
    QCOMPARE(pctRice->findChild<QLabel*>(u"Label5"_s)->text(), didascalia);
    QCOMPARE(pctRice->size(), dimensione);
    const QRect casella = Txt[campo]->geometry();
    QCOMPARE(pctRice->y(), casella.bottom() + 1);
    if (campo == 8)
        QCOMPARE(pctRice->x(), casella.left());
    else
        QCOMPARE(pctRice->geometry().right() + 1, pagina->contentsRect().right() + 1);
}

void TestScelta::listsAfreshEachTime()
{
    QVERIFY(archivio->scrivi(registro(u"S1"_s, u"UNO"_s, u"S"_s)));
    apri(8);
    QCOMPARE(linee().size(), 1);
    QTest::mouseClick(pctRice->findChild<QPushButton*>(u"Command1"_s), Qt::LeftButton);
    QVERIFY(archivio->scrivi(registro(u"S0"_s, u"ZERO"_s, u"S"_s)));
    apri(8);
    QCOMPARE(linee(), (QStringList{u"S0         - ZERO"_s, u"S1         - UNO"_s}));
}

void TestScelta::failingQueryShowsAMessageAndAnEmptyList()
{
    QVERIFY(archivio->scrivi(registro(u"S1"_s, u"UNO"_s, u"S"_s)));
    apri(8);
    QCOMPARE(linee().size(), 1);
    QTest::mouseClick(pctRice->findChild<QPushButton*>(u"Command1"_s), Qt::LeftButton);
    QVERIFY(archivio->esegui(u"DROP TABLE TabellaSerieSemplificata"_s));
    apri(8);
    QVERIFY(linee().isEmpty());
    QCOMPARE(dialoghi.domande.size(), 1);
    QVERIFY2(dialoghi.domande.first().testo.startsWith(u"ERRORE NELLA LETTURA DELL'ELENCO DEI REGISTRI"_s),
             qPrintable(dialoghi.domande.first().testo));
    QCOMPARE(dialoghi.domande.first().titolo, u"Pemtarx"_s);
    QCOMPARE(dialoghi.domande.first().pulsanti, app::Pulsanti::Ok);
}

QTEST_MAIN(TestScelta)
#include "tst_lookup_scelta.moc"
