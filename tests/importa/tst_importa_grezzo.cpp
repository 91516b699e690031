#include "store/columns.h"
#include "store/grezzo.h"
#include "store/registerstore.h"

#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

// Raw rows of the store: every value stored as given, or refused, never converted.
class TestGrezzo : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void valoriComeDati();
    void valoriRifiutati_data();
    void valoriRifiutati();

private:
    std::optional<QTemporaryDir> dir_;
    std::optional<store::RegisterStore> archivio_;
};

void TestGrezzo::init()
{
    dir_.emplace();
    const QString file = dir_->filePath(u"dogana.mdb"_s);
    QVERIFY(store::RegisterStore::crea(file).ok());
    archivio_.emplace(u"prova-grezzo"_s);
    QVERIFY(archivio_->apriDatabase(file).ok());
}

void TestGrezzo::cleanup()
{
    archivio_.reset();
    dir_.reset();
}

namespace {

// A register row with every column Null but the code.
QVariantList riga(const QString& codice)
{
    QVariantList r(qsizetype(store::colonneRegistri().size()));
    r[0] = codice;
    return r;
}

int colonna(const char* nome)
{
    const auto cc = store::colonneRegistri();
    for (size_t i = 0; i < cc.size(); ++i)
        if (cc[i].nome == QLatin1StringView(nome))
            return int(i);
    return -1;
}

} // namespace

void TestGrezzo::valoriComeDati()
{
    QSqlDatabase db = archivio_->database();
    QVariantList r = riga(u"R1"_s);
    r[colonna("SspDescrizione")] = u""_s;
    r[colonna("SspGruppoCarico")] = u"  A  B "_s;
    r[colonna("SspMeccanogNum")] = QVariant::fromValue<qint16>(-32768);
    r[colonna("SspUltimoCarico")] = QVariant::fromValue<qint32>(std::numeric_limits<qint32>::max());
    r[colonna("SspStampaperSerie")] = false;
    r[colonna("SspDataUltimaAcquisizione")] = std::nextafter(45320.833333333336, 0.0);
    r[colonna("SspRiqA")] = QVariant(QMetaType::fromType<QString>());  // a typed Null
    QVERIFY(store::inserisciGrezzo(db, store::tabellaRegistri, r).ok());
    QVERIFY(store::inserisciGrezzo(db, store::tabellaRegistri, riga(u"R2"_s)).ok());

    QList<QVariantList> lette;
    QVERIFY(store::leggiGrezzo(db, store::tabellaRegistri, [&](const QVariantList& l) { lette << l; }).ok());
    QCOMPARE(lette.size(), 2);
    const QVariantList& l = lette[0];
    QCOMPARE(l[colonna("SspDescrizione")].typeId(), QMetaType::QString);
    QVERIFY(!l[colonna("SspDescrizione")].isNull());
    QCOMPARE(l[colonna("SspGruppoCarico")].toString(), u"  A  B "_s);
    QCOMPARE(l[colonna("SspMeccanogNum")].toLongLong(), -32768);
    QCOMPARE(l[colonna("SspUltimoCarico")].toLongLong(), 2147483647);
    QCOMPARE(l[colonna("SspStampaperSerie")].toLongLong(), 0);
    QCOMPARE(std::bit_cast<quint64>(l[colonna("SspDataUltimaAcquisizione")].toDouble()),
             std::bit_cast<quint64>(std::nextafter(45320.833333333336, 0.0)));
    QVERIFY(l[colonna("SspRiqA")].isNull());
    for (int i = 1; i < lette[1].size(); ++i)
        QVERIFY2(lette[1][i].isNull(), qPrintable(QString::number(i)));
}

void TestGrezzo::valoriRifiutati_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QVariant>("valore");
    QTest::newRow("fuori dai 16 bit") << u"SspMeccanogNum"_s << QVariant(32768);
    QTest::newRow("fuori dai 32 bit") << u"SspUltimoCarico"_s << QVariant(qlonglong(1) << 31);
    QTest::newRow("testo in un intero") << u"SspUltimoCarico"_s << QVariant(u"12"_s);
    QTest::newRow("numero in un testo") << u"SspDescrizione"_s << QVariant(12);
    QTest::newRow("intero in un Sì/No") << u"SspStampaperSerie"_s << QVariant(1);
    QTest::newRow("NaN") << u"SspDataUltimaAcquisizione"_s << QVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("meno zero") << u"SspDataUltimaAcquisizione"_s << QVariant(-0.0);
}

void TestGrezzo::valoriRifiutati()
{
    QFETCH(QString, nome);
    QFETCH(QVariant, valore);
    QSqlDatabase db = archivio_->database();
    QVariantList r = riga(u"R1"_s);
    r[colonna(nome.toLatin1().constData())] = valore;
    QVERIFY(!store::inserisciGrezzo(db, store::tabellaRegistri, r).ok());
    QVERIFY(!store::inserisciGrezzo(db, store::tabellaRegistri, r.mid(1)).ok());
    int righe = 0;
    QVERIFY(store::leggiGrezzo(db, store::tabellaRegistri, [&](const QVariantList&) { ++righe; }).ok());
    QCOMPARE(righe, 0);
}

QTEST_GUILESS_MAIN(TestGrezzo)
#include "tst_importa_grezzo.moc"
