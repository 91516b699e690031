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
    void valori_data();
    void valori();

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

void TestGrezzo::valori_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<bool>("accettato");
    const auto r = [](const char* riga, const QString& nome, const QVariant& valore, bool accettato = true) {
        QTest::newRow(riga) << nome << valore << accettato;
    };
    r("testo vuoto, non Null", u"SspDescrizione"_s, u""_s);
    r("spazi tenuti", u"SspGruppoCarico"_s, u"  A  B "_s);
    r("minimo dei 16 bit", u"SspMeccanogNum"_s, QVariant::fromValue<qint16>(-32768));
    r("massimo dei 32 bit", u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(std::numeric_limits<qint32>::max()));
    r("No", u"SspStampaperSerie"_s, false);
    r("double all'ultimo bit", u"SspDataUltimaAcquisizione"_s, std::nextafter(45320.833333333336, 0.0));
    r("Null con un tipo", u"SspRiqA"_s, QVariant(QMetaType::fromType<QString>()));
    r("fuori dai 16 bit", u"SspMeccanogNum"_s, QVariant(32768), false);
    r("fuori dai 32 bit", u"SspUltimoCarico"_s, QVariant(qlonglong(1) << 31), false);
    r("testo in un intero", u"SspUltimoCarico"_s, QVariant(u"12"_s), false);
    r("numero in un testo", u"SspDescrizione"_s, QVariant(12), false);
    r("intero in un Sì/No", u"SspStampaperSerie"_s, QVariant(1), false);
    r("NaN", u"SspDataUltimaAcquisizione"_s, QVariant(std::numeric_limits<double>::quiet_NaN()), false);
    r("meno zero", u"SspDataUltimaAcquisizione"_s, QVariant(-0.0), false);
}

// Stored exactly as given, every other column left Null; or refused, with nothing stored.
void TestGrezzo::valori()
{
    QFETCH(QString, nome);
    QFETCH(QVariant, valore);
    QFETCH(bool, accettato);
    QSqlDatabase db = archivio_->database();
    QVariantList r = riga(u"R1"_s);
    const int i = colonna(nome.toLatin1().constData());
    r[i] = valore;
    QCOMPARE(store::inserisciGrezzo(db, store::tabellaRegistri, r).ok(), accettato);
    QVERIFY(!store::inserisciGrezzo(db, store::tabellaRegistri, r.mid(1)).ok());
    QList<QVariantList> lette;
    QVERIFY(store::leggiGrezzo(db, store::tabellaRegistri, [&](const QVariantList& l) { lette << l; }).ok());
    QCOMPARE(lette.size(), accettato ? 1 : 0);
    if (!accettato)
        return;
    const QVariant letto = lette[0][i];
    QCOMPARE(letto.isNull(), valore.isNull());
    if (valore.typeId() == QMetaType::Double)
        QCOMPARE(std::bit_cast<quint64>(letto.toDouble()), std::bit_cast<quint64>(valore.toDouble()));
    else if (!valore.isNull())
        QCOMPARE(letto.toString(), valore.typeId() == QMetaType::Bool ? QString::number(valore.toInt()) : valore.toString());
    for (int j = 1; j < lette[0].size(); ++j)
        QVERIFY2(j == i || lette[0][j].isNull(), qPrintable(QString::number(j)));
}

QTEST_GUILESS_MAIN(TestGrezzo)
#include "tst_importa_grezzo.moc"
