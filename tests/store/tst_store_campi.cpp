#include "store/campi.h"
#include "store/registro.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The null-safe readers that turn odd column values into what a field shows.
class TestCampi final : public QObject {
    Q_OBJECT
private slots:
    void campo_data();
    void campo();
};

void TestCampi::campo_data()
{
    QTest::addColumn<bool>("numero");
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("predefinito");
    QTest::addColumn<QString>("atteso");

    const QVariant nullo(QMetaType::fromType<QString>());
    QTest::newRow("testo Null, predefinito C") << false << nullo << u"C"_s << u"C"_s;
    QTest::newRow("testo Null, nessun predefinito") << false << nullo << QString() << u" "_s;
    QTest::newRow("testo Null non tipizzato") << false << QVariant() << u"C"_s << u"C"_s;
    QTest::newRow("testo di soli spazi") << false << QVariant(u"   "_s) << u"C"_s << u"C"_s;
    QTest::newRow("testo vuoto") << false << QVariant(u""_s) << u"C"_s << u"C"_s;
    QTest::newRow("spazio iniziale conservato") << false << QVariant(u" S"_s) << u"C"_s << u" S"_s;
    QTest::newRow("spazi intorno conservati") << false << QVariant(u" AUT. 12 "_s) << QString() << u" AUT. 12 "_s;
    QTest::newRow("testo con NUL iniziale") << false << QVariant(QString(QChar(0)) + u"S"_s) << u"C"_s << u"C"_s;
    QTest::newRow("predefinito vuoto vale uno spazio") << false << QVariant(u"  "_s) << u""_s << u" "_s;
    QTest::newRow("predefinito di spazi vale uno spazio") << false << nullo << u"   "_s << u" "_s;
    QTest::newRow("testo normale") << false << QVariant(u"S"_s) << u"C"_s << u"S"_s;
    QTest::newRow("numero come testo") << false << QVariant(42) << QString() << u"42"_s;

    QTest::newRow("numero Null") << true << QVariant(QMetaType::fromType<qlonglong>()) << QString() << u"0"_s;
    QTest::newRow("numero Null non tipizzato") << true << QVariant() << QString() << u"0"_s;
    QTest::newRow("numero di soli spazi") << true << QVariant(u"    "_s) << QString() << u"0"_s;
    QTest::newRow("numero vuoto") << true << QVariant(u""_s) << QString() << u"0"_s;
    QTest::newRow("cifre con zeri iniziali") << true << QVariant(u"007"_s) << QString() << u"007"_s;
    QTest::newRow("cifre tra spazi") << true << QVariant(u" 31 "_s) << QString() << u"31"_s;
    QTest::newRow("intero") << true << QVariant(32767) << QString() << u"32767"_s;
    QTest::newRow("negativo") << true << QVariant(-5) << QString() << u"-5"_s;
    QTest::newRow("cifre e lettere") << true << QVariant(u"12A4"_s) << QString() << u"0"_s;
    QTest::newRow("lettere e cifre") << true << QVariant(u"A12"_s) << QString() << u"0"_s;
    QTest::newRow("numero con NUL") << true << QVariant(QString(QChar(0))) << QString() << u"0"_s;
}

void TestCampi::campo()
{
    QFETCH(bool, numero);
    QFETCH(QVariant, valore);
    QFETCH(QString, predefinito);
    QFETCH(QString, atteso);
    QCOMPARE(numero ? store::numeroCampo(valore) : store::testoCampo(valore, predefinito), atteso);
}

QTEST_GUILESS_MAIN(TestCampi)
#include "tst_store_campi.moc"
