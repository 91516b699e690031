#include "../store/fileprova.h"

#include "lookup/modelloricerca.h"
#include "lookup/righe.h"
#include "store/archivioregistri.h"

#include <QTest>

using namespace Qt::StringLiterals;
using store::TipoRicerca;

// The rows a look-up shows, without a window: a register's columns laid out as the list's fixed columns.
class TestIstruzioni : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void righe_data();
    void righe();
};

// "C" rows are one register written and found by its code, "D" by its description: code, description,
// authorisation, number, check, last, unloading, EDI, an empty value being Null; "E" is a line of the picker.
void TestIstruzioni::righe_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("valori");
    QTest::addColumn<QString>("atteso");
    const auto sp = [](int n) { return QString(n, u' '); };
    const QString pieno = u"AB1|GRUPPO NORD|0123/PS/E|4567|K|89|S01|A1"_s;
    const QString coda = u" 0123/PS/E    004567K      89  S01        A1"_s;
    const QString dA = u" D"_s + sp(29) + u" A"_s + sp(11) + u' ';
    const QString s = u"  S"_s + sp(9) + u' ';
    const auto r = [](const char* nome, const char* tipo, const QString& valori, const QString& atteso) {
        QTest::newRow(nome) << QString::fromLatin1(tipo) << valori << atteso;
    };
    // A register coded c described "D", authorised "A", unloading "S", EDI "E", with the number columns n between.
    const auto c = [&](const char* codice, const QString& n) -> QString {
        return QString::fromLatin1(codice).leftJustified(10) + dA + n + s + u'E';
    };
    r("every column, by code", "C", pieno, u"AB1        GRUPPO NORD"_s + sp(19) + coda);
    r("every column, by description", "D", pieno, u"GRUPPO NORD"_s + sp(19) + u" AB1       "_s + coda);
    r("mechanographic 0", "C", u"M0|D|A|0|K|1|S|E"_s, c("M0", sp(14) + u'1'));
    r("mechanographic 123, check 4", "C", u"M1|D|A|123|4|1|S|E"_s, c("M1", u"0001234       1"_s));
    r("mechanographic 123, no check", "C", u"M1|D|A|123||1|S|E"_s, c("M1", u"000123        1"_s));
    r("last number 0", "C", u"U0|D|A|1|C|0|S|E"_s, c("U0", u"000001C       0"_s));
    r("last number 1234567 moves the rest", "C", u"U7|D|A|1|C|1234567|S|E"_s, c("U7", u"000001C  1234567"_s));
    r("empty EDI series ends on the blank of column 83", "C", u"E0|D|A|1|C|1|S|"_s,
      c("E0", u"000001C       1"_s).chopped(1));
    r("Null columns", "C", u"N1|||||||"_s, u"N1"_s + sp(62) + u"     0"_s + sp(13));
    r("blank and NUL-led texts read as a blank", "C", u"B1|D|   |1|C|1|\0X|E"_s,
      u"B1         D"_s + sp(43) + u"000001C       1"_s + sp(13) + u'E');
    r("overlong values are cut, the EDI series is not", "C",
      u"L1|"_s + u"D"_s.repeated(35) + u'|' + u"A"_s.repeated(15) + u"|5|XYZ|1|SSSSSSSSSSSS|EDIEDI"_s,
      u"L1         "_s + u"D"_s.repeated(30) + u' ' + u"A"_s.repeated(12) + u" 000005XY      1  SSSSSSSSSS EDIEDI"_s);
    r("line, short code", "E", u"AB1|GRUPPO NORD"_s, u"AB1        - GRUPPO NORD"_s);
    r("line, longer code cut", "E", u"ABCDEFGHIJKL|X"_s, u"ABCDEFGHIJ - X"_s);
    r("line, Null description", "E", u"A|"_s, u"A          - "_s);
    r("line, description as stored", "E", u"A|  X  "_s, u"A          -   X  "_s);
}

void TestIstruzioni::righe()
{
    QFETCH(QString, tipo);
    QFETCH(QString, valori);
    QFETCH(QString, atteso);
    QVariantList v;
    for (const QString& pezzo : valori.split(u'|'))
        v << (pezzo.isEmpty() ? QVariant() : QVariant(pezzo));
    if (tipo == u"E"_s) {
        QCOMPARE(righe::rigaElenco(v.at(0), v.at(1)), atteso);
        return;
    }
    const FileProva p;
    store::ArchivioRegistri a(u"riga"_s);
    QVERIFY(p.crea() && a.apriDatabase(p.percorso()).ok() && a.apriRegistri().ok() && a.apriTestata().ok());
    QVERIFY(p.righe(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar, "
                    "SspCodAutorizzazione, SspMeccanogNum, SspMeccanogCin, SspUltimoCarico, SspGruppoSCarico, "
                    "SspCodiceDischetto) VALUES (?, ?, 'C', ?, ?, ?, ?, ?, ?)"_s, v).isEmpty());
    QString testoSql;
    ModelloRicerca m(a, testoSql);
    const bool codice = tipo == u"C"_s;
    QVERIFY(m.cerca(codice ? TipoRicerca::Codice : TipoRicerca::Descrizione, v.at(codice ? 0 : 1).toString()).ok());
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.index(0).data().toString(), atteso);
}

QTEST_MAIN(TestIstruzioni)
#include "tst_lookup_istruzioni.moc"
