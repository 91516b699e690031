#include "tools/jet.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <bit>

using namespace Qt::StringLiterals;

namespace {

const QString cartella = QStringLiteral(PEMTARX_FIXTURES "/jet/");
const QString registri = u"TabellaSerieSemplificata"_s;
const QString testata = u"TestataRegistriPS"_s;

int colonna(const jet::Tabella& t, const QString& nome)
{
    for (int i = 0; i < t.colonne.size(); ++i)
        if (t.colonne[i].nome == nome)
            return i;
    return -1;
}

const QVariantList* riga(const jet::Tabella& t, const QString& codice)
{
    for (const QVariantList& r : t.righe)
        if (r.front().toString() == codice)
            return &r;
    return nullptr;
}

} // namespace

// The reader alone: libmdb's values as the file holds them, and its refusals.
class TestJet : public QObject {
    Q_OBJECT

private slots:
    void leggeTipiEValoriComeMemorizzati();
    void distingueTestoVuotoDaNull();
    void tabellaAssenteENomiSenzaMaiuscole();
    void fileTroncatoIlleggibile_data();
    void fileTroncatoIlleggibile();
    void fileNonJet();
    void avanzamentoPerOgniRiga();
    void fileGuastiNonFermanoIlChiamante();
};

void TestJet::leggeTipiEValoriComeMemorizzati()
{
    const jet::Lettura l = jet::leggi(cartella + u"serie_base.mdb"_s, {registri, testata});
    QCOMPARE(l.esito, jet::Esito::Letto);
    QCOMPARE(l.tabelle.size(), 2);
    QVERIFY(l.tabelle[0] && l.tabelle[1]);
    const jet::Tabella& r = *l.tabelle[0];
    QCOMPARE(r.righe.size(), 31);
    QCOMPARE(l.tabelle[1]->righe.size(), 29);
    QVERIFY(r.difetti.isEmpty());

    const QVariantList* c10 = riga(r, u"C10"_s);
    QVERIFY(c10);
    const QVariant num = c10->at(colonna(r, u"SspMeccanogNum"_s));
    QCOMPARE(num.typeId(), QMetaType::Short);
    QCOMPARE(num.value<qint16>(), qint16(32767));
    const QVariant carico = c10->at(colonna(r, u"SspUltimoCarico"_s));
    QCOMPARE(carico.typeId(), QMetaType::Int);
    QCOMPARE(carico.toInt(), 999999);
    QCOMPARE(c10->at(colonna(r, u"SspStampaperSerie"_s)).typeId(), QMetaType::Bool);

    // A double that needs 17 significant digits, which 16-digit text would change.
    const QVariant data = riga(r, u"CAR 01 B"_s)->at(colonna(r, u"SspDataUltimaAcquisizione"_s));
    QCOMPARE(data.typeId(), QMetaType::Double);
    QCOMPARE(std::bit_cast<quint64>(data.toDouble()), std::bit_cast<quint64>(45320.833333333336));
    QVERIFY(QString::number(data.toDouble(), 'g', 16).toDouble() != data.toDouble());

    QCOMPARE(riga(r, u"C03"_s)->at(colonna(r, u"SspDescrizione"_s)).toString(), u"CARICO MERCE CHE È IN TRANSITO"_s);
}

void TestJet::distingueTestoVuotoDaNull()
{
    const jet::Lettura l = jet::leggi(cartella + u"serie_base.mdb"_s, {registri});
    QCOMPARE(l.esito, jet::Esito::Letto);
    const jet::Tabella& r = *l.tabelle[0];
    const int descrizione = colonna(r, u"SspDescrizione"_s);
    const QVariant vuoto = riga(r, u"VUOTI"_s)->at(descrizione);
    QVERIFY(vuoto.isValid());
    QCOMPARE(vuoto.typeId(), QMetaType::QString);
    QVERIFY(vuoto.toString().isEmpty());
    QVERIFY(!vuoto.toString().isNull());
    QVERIFY(!riga(r, u"NULLI"_s)->at(descrizione).isValid());
    QVERIFY(!riga(r, u"NULLI"_s)->at(colonna(r, u"SspMeccanogNum"_s)).isValid());
}

void TestJet::tabellaAssenteENomiSenzaMaiuscole()
{
    const jet::Lettura l = jet::leggi(cartella + u"serie_senza_testata.mdb"_s, {u"tabellaseriesemplificata"_s, testata});
    QCOMPARE(l.esito, jet::Esito::Letto);
    QCOMPARE(l.tabelle.size(), 2);
    QVERIFY(l.tabelle[0]);
    QCOMPARE(l.tabelle[0]->nome, registri);
    QCOMPARE(l.tabelle[0]->righe.size(), 31);
    QVERIFY(!l.tabelle[1]);
}

void TestJet::fileTroncatoIlleggibile_data()
{
    QTest::addColumn<qint64>("byte");
    QTest::newRow("un byte in meno") << qint64(155647);
    QTest::newRow("senza l'ultima pagina dei dati") << qint64(151552);
    QTest::newRow("senza le tabelle") << qint64(77824);
    QTest::newRow("elenco delle tabelle a metà") << qint64(40960);
    QTest::newRow("due pagine") << qint64(8192);
    QTest::newRow("a metà di una pagina") << qint64(77000);
}

void TestJet::fileTroncatoIlleggibile()
{
    QFETCH(qint64, byte);
    QTemporaryDir dir;
    QFile sorgente(cartella + u"serie_base.mdb"_s);
    QVERIFY(sorgente.open(QIODevice::ReadOnly));
    QFile troncato(dir.filePath(u"troncato.mdb"_s));
    QVERIFY(troncato.open(QIODevice::WriteOnly));
    troncato.write(sorgente.read(byte));
    troncato.close();
    const jet::Lettura l = jet::leggi(troncato.fileName(), {registri, testata});
    QCOMPARE(l.esito, jet::Esito::Illeggibile);
    QVERIFY(!l.dettaglio.isEmpty());
}

void TestJet::fileNonJet()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(u"testo.mdb"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
    f.close();
    QCOMPARE(jet::leggi(f.fileName(), {registri}).esito, jet::Esito::NonJet);
    QVERIFY(!jet::intestazioneJet(f.fileName()));
    QVERIFY(jet::intestazioneJet(cartella + u"serie_base.mdb"_s));
}

void TestJet::avanzamentoPerOgniRiga()
{
    QStringList visti;
    const jet::Lettura l = jet::leggi(cartella + u"serie_base.mdb"_s, {registri, testata},
                                      [&](const QString& t, qsizetype n) { visti << t + u' ' + QString::number(n); });
    QCOMPARE(l.esito, jet::Esito::Letto);
    QCOMPARE(visti.size(), 31 + 29);
    QCOMPARE(visti.at(30), registri + u" 31"_s);
    QCOMPARE(visti.last(), testata + u" 29"_s);
}

// Damaged copies: libmdb may give up, print, crash or loop in its process; the caller always gets an answer.
void TestJet::fileGuastiNonFermanoIlChiamante()
{
    QFile f(cartella + u"serie_base.mdb"_s);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray sano = f.readAll();
    QTemporaryDir dir;
    const QString guasto = dir.filePath(u"guasto.mdb"_s);
    QRandomGenerator caso(20240);  // fixed seed: the same damage on every run
    int letti = 0, rifiutati = 0;
    for (int prova = 0; prova < 150; ++prova) {
        QByteArray b = sano;
        const int quanti = 1 << caso.bounded(7);
        for (int i = 0; i < quanti; ++i)
            b[caso.bounded(4096, int(b.size()))] = char(caso.bounded(256));
        QFile g(guasto);
        QVERIFY(g.open(QIODevice::WriteOnly | QIODevice::Truncate));
        g.write(b);
        g.close();
        const jet::Lettura l = jet::leggi(guasto, {registri, testata});
        if (l.esito == jet::Esito::Letto) {
            ++letti;
            QCOMPARE(l.tabelle.size(), 2);
        } else {
            ++rifiutati;
            QCOMPARE(l.esito, jet::Esito::Illeggibile);
            QVERIFY(!l.dettaglio.isEmpty());
        }
    }
    QVERIFY(rifiutati > 0);
    qInfo("%d letti, %d rifiutati", letti, rifiutati);
}

QTEST_GUILESS_MAIN(TestJet)
#include "tst_importa_jet.moc"
