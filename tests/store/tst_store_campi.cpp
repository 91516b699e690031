#include "store/campi.h"
#include "store/register.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The null-safe readers that turn odd column values into what a field shows.
class TestCampi final : public QObject {
    Q_OBJECT
private slots:
    void testoCampo_data();
    void testoCampo();
    void numeroCampo_data();
    void numeroCampo();
    void unCarattere_data();
    void unCarattere();
};

void TestCampi::testoCampo_data()
{
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("predefinito");
    QTest::addColumn<QString>("atteso");

    const QVariant nullo(QMetaType::fromType<QString>());
    QTest::newRow("Null, predefinito C") << nullo << u"C"_s << u"C"_s;
    QTest::newRow("Null, nessun predefinito") << nullo << QString() << u" "_s;
    QTest::newRow("Null non tipizzato") << QVariant() << u"C"_s << u"C"_s;
    QTest::newRow("solo spazi") << QVariant(u"   "_s) << u"C"_s << u"C"_s;
    QTest::newRow("testo vuoto") << QVariant(u""_s) << u"C"_s << u"C"_s;
    QTest::newRow("spazio iniziale conservato") << QVariant(u" S"_s) << u"C"_s << u" S"_s;
    QTest::newRow("spazi intorno conservati") << QVariant(u" AUT. 12 "_s) << QString() << u" AUT. 12 "_s;
    QTest::newRow("NUL iniziale") << QVariant(QString(QChar(0)) + u"S"_s) << u"C"_s << u"C"_s;
    QTest::newRow("predefinito vuoto vale uno spazio") << QVariant(u"  "_s) << u""_s << u" "_s;
    QTest::newRow("predefinito di spazi vale uno spazio") << nullo << u"   "_s << u" "_s;
    QTest::newRow("valore normale") << QVariant(u"S"_s) << u"C"_s << u"S"_s;
    QTest::newRow("numero come testo") << QVariant(42) << QString() << u"42"_s;
}

void TestCampi::testoCampo()
{
    QFETCH(QVariant, valore);
    QFETCH(QString, predefinito);
    QFETCH(QString, atteso);
    QCOMPARE(store::testoCampo(valore, predefinito), atteso);
}

void TestCampi::numeroCampo_data()
{
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("atteso");

    QTest::newRow("Null") << QVariant(QMetaType::fromType<qlonglong>()) << u"0"_s;
    QTest::newRow("Null non tipizzato") << QVariant() << u"0"_s;
    QTest::newRow("solo spazi") << QVariant(u"    "_s) << u"0"_s;
    QTest::newRow("testo vuoto") << QVariant(u""_s) << u"0"_s;
    QTest::newRow("cifre") << QVariant(u"12345"_s) << u"12345"_s;
    QTest::newRow("cifre con zeri iniziali") << QVariant(u"007"_s) << u"007"_s;
    QTest::newRow("cifre tra spazi") << QVariant(u" 31 "_s) << u"31"_s;
    QTest::newRow("intero") << QVariant(32767) << u"32767"_s;
    QTest::newRow("negativo") << QVariant(-5) << u"-5"_s;
    QTest::newRow("cifre e lettere") << QVariant(u"12A4"_s) << u"0"_s;
    QTest::newRow("lettere e cifre") << QVariant(u"A12"_s) << u"0"_s;
    QTest::newRow("NUL") << QVariant(QString(QChar(0))) << u"0"_s;
}

void TestCampi::numeroCampo()
{
    QFETCH(QVariant, valore);
    QFETCH(QString, atteso);
    QCOMPARE(store::numeroCampo(valore), atteso);
}

void TestCampi::unCarattere_data()
{
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("vuoto") << u""_s << u" "_s;
    QTest::newRow("nullo") << QString() << u" "_s;
    QTest::newRow("un carattere") << u"G"_s << u"G"_s;
    QTest::newRow("voce di elenco") << u"P=Progressivo"_s << u"P"_s;
}

void TestCampi::unCarattere()
{
    QFETCH(QString, testo);
    QFETCH(QString, atteso);
    QCOMPARE(::unCarattere(testo), atteso);
}

QTEST_GUILESS_MAIN(TestCampi)
#include "tst_store_campi.moc"
