#include "tests/form/ambiente.h"

#include "lookup/modelloricerca.h"
#include "lookup/righe.h"
#include "store/ricerca.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using store::TipoRicerca;

namespace {

const QString inserisci = u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar, "
                          "SspCodAutorizzazione, SspMeccanogNum, SspMeccanogCin, SspUltimoCarico, SspGruppoSCarico, "
                          "SspCodiceDischetto) VALUES (?, ?, 'C', ?, ?, ?, ?, ?, ?)"_s;

// The engine's plan of a statement, its steps joined by " | ".
QString piano(const QSqlDatabase& db, const store::Istruzione& i)
{
    QSqlQuery q(db);
    if (!q.prepare(u"EXPLAIN QUERY PLAN "_s + i.sql))
        return q.lastError().text();
    for (int v = 0; v < i.valori.size(); ++v)
        q.bindValue(v, i.valori.at(v));
    QStringList passi;
    q.exec();
    while (q.next())
        passi << q.value(3).toString();
    return passi.isEmpty() ? q.lastError().text() : passi.join(u" | "_s);
}

} // namespace

// The look-ups without a window: the ranges and lists the statements cover, their plans, and the rows shown.
class TestIstruzioni : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void ranges_data();
    void ranges();
    void nullKeyIsTheEmptyKey();
    void righe_data();
    void righe();

  private:
    static TipoRicerca tipoRicerca(const QString& t)
    {
        return t == u"C"_s ? TipoRicerca::Codice : TipoRicerca::Descrizione;
    }
    // Registers at the edges of the ranges, of the letter case, of quotes and wildcards and of each kind;
    // 2000 more R00001.. with descriptions counting down, and 300 Q00001.. all described "UGUALE".
    std::unique_ptr<Archivio> elenco;
};

void TestIstruzioni::initTestCase()
{
    elenco = std::make_unique<Archivio>(u"elenco"_s);
    QVERIFY(elenco->pronto);
    const QString registri = u"0001|ZETA|C,A1|alfa|C,AB1|BETA|C,AB2|ALFA|C,ab3|GAMMA|C,ABZ|BETA UNO|C,AC1|DELTA|C,"
                             "B1|BETA|C,ZZ|ZZ|C,ZZA|ZZA|C,~X|~TILDE|C,O'BRIEN|O'BRIEN SPA|C,O'BRIEN2|O'BRIEN SRL|C,"
                             "OBRIEN|OBRIEN|C,%_1|100%_ PIENO|C,%A|100% A|C,_X|100 X|C,S1|SCARICO UNO|S,"
                             "G1|GRUPPO NORD|G,S012345678|DIECI|S,S 1|CON SPAZI|S,s2||S,S3|-|S"_s;
    for (const QString& r : registri.split(u','))
        QVERIFY(elenco->esegui(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar) "
                               "VALUES (?, NULLIF(?, '-'), ?)"_s,
                               {r.section(u'|', 0, 0), r.section(u'|', 1, 1), r.section(u'|', 2, 2)}));
    QVERIFY(elenco->esegui(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                           "INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspCarScar) SELECT "
                           "printf('R%05d', i), printf('DESCRIZIONE %05d', 2000 - i), 'C' FROM n UNION ALL "
                           "SELECT printf('Q%05d', i), 'UGUALE', 'C' FROM n WHERE i <= 300"_s));
    QVERIFY(elenco->esegui(u"ANALYZE"_s));
}

// Kinds C and D are the search by code and by description, S and G the picker's lists of those kinds.
void TestIstruzioni::ranges_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QStringList>("attesi");
    QTest::newRow("code, one letter") << u"C"_s << u"A"_s << u"A1,AB1,AB2,ab3,ABZ,AC1"_s.split(u',');
    QTest::newRow("code, lower case key") << u"C"_s << u"ab"_s << u"AB1,AB2,ab3,ABZ"_s.split(u',');
    QTest::newRow("code, every code beginning with Z") << u"C"_s << u"Z"_s << u"ZZ,ZZA"_s.split(u',');
    QTest::newRow("code, nothing") << u"C"_s << u"XY"_s << QStringList{};
    QTest::newRow("code, a blank") << u"C"_s << u" "_s << QStringList{};
    QTest::newRow("code O'BRIEN") << u"C"_s << u"O'BRIEN"_s << u"O'BRIEN,O'BRIEN2"_s.split(u',');
    QTest::newRow("code quote alone") << u"C"_s << u"'"_s << QStringList{};
    QTest::newRow("code %_") << u"C"_s << u"%_"_s << QStringList{u"%_1"_s};
    QTest::newRow("code _") << u"C"_s << u"_"_s << QStringList{u"_X"_s};
    QTest::newRow("code injection") << u"C"_s << u"' OR ''='"_s << QStringList{};
    // Equal descriptions in either case follow each other by code.
    QTest::newRow("description, lower case key") << u"D"_s << u"beta"_s << u"AB1,B1,ABZ"_s.split(u',');
    QTest::newRow("description, two letters") << u"D"_s << u"AL"_s << u"A1,AB2"_s.split(u',');
    QStringList uguali;
    for (int i = 1; i <= 300; ++i)
        uguali << u"Q%1"_s.arg(i, 5, 10, QChar(u'0'));
    QTest::newRow("description, equal across pages") << u"D"_s << u"UG"_s << uguali;
    QTest::newRow("description, nothing") << u"D"_s << u"Q"_s << QStringList{};
    QTest::newRow("description O'BRIEN") << u"D"_s << u"O'BRIEN"_s << u"O'BRIEN,O'BRIEN2"_s.split(u',');
    QTest::newRow("description %_") << u"D"_s << u"100%_"_s << QStringList{u"%_1"_s};
    QTest::newRow("description injection") << u"D"_s << u"x' OR 1=1 --"_s << QStringList{};
    QTest::newRow("unloading registers") << u"S"_s << QString() << u"S 1,S012345678,S1,s2,S3"_s.split(u',');
    QTest::newRow("loading groups") << u"G"_s << QString() << QStringList{u"G1"_s};
}

void TestIstruzioni::ranges()
{
    QFETCH(QString, tipo);
    QFETCH(QString, chiave);
    QFETCH(QStringList, attesi);
    QString testoSql;
    QStringList codici;
    if (tipo == u"C"_s || tipo == u"D"_s) {
        ModelloRicerca m(elenco->store, testoSql);
        QVERIFY(m.cerca(tipoRicerca(tipo), chiave).ok());
        for (int i = 0; i < m.rowCount(); ++i)
            codici << m.index(i).data(ModelloRicerca::ruoloCodice).toString();
        // Its first and later pages are range searches on an index, no full scan, no sort before the first row;
        // a statement with a quote of the key or of the last row in its text would not even run.
        const QString indice =
            tipo == u"C"_s ? u"sqlite_autoindex_TabellaSerieSemplificata_1"_s : u"SspDescrizioneIdx"_s;
        for (const auto& dopo :
             {std::optional<store::Seguito>(), std::optional(store::Seguito{u"O'B%_1"_s, u"X'1"_s})}) {
            const QString p =
                piano(elenco->store.database(),
                      store::cercaRegistri(elenco->store.database().driver(), tipoRicerca(tipo), chiave, dopo, 64));
            QVERIFY2(p.startsWith(u"SEARCH "_s) && p.contains(u"USING INDEX "_s + indice), qPrintable(p));
            QVERIFY2(!p.contains(u"SCAN"_s) && !p.contains(u"TEMP B-TREE"_s), qPrintable(p));
        }
    } else {
        const auto riga = [&codici](const QSqlQuery& q) { codici << q.value(store::elCodice).toString(); };
        const store::Istruzione i = store::elencoRegistri(elenco->store.database().driver(), tipo);
        QVERIFY(store::esegui(elenco->store, i, testoSql, riga).ok());
        QVERIFY(!testoSql.contains(u'\'')); // the kind is bound
    }
    QCOMPARE(codici, attesi);
    QCOMPARE(elenco->store.database().tables().size(), 5); // no key ran as a statement, nor dropped a table
}

// A null key is the empty key, never a Null that would match nothing; every register is a range too.
void TestIstruzioni::nullKeyIsTheEmptyKey()
{
    const store::Istruzione i =
        store::cercaRegistri(elenco->store.database().driver(), TipoRicerca::Codice, QString(), std::nullopt, 10);
    QVERIFY(!i.valori.first().isNull());
    QVERIFY(piano(elenco->store.database(), i).startsWith(u"SEARCH "_s));
}

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
    QTest::newRow("every column, by code") << u"C"_s << pieno << u"AB1        GRUPPO NORD"_s + sp(19) + coda;
    QTest::newRow("every column, by description")
        << u"D"_s << pieno << u"GRUPPO NORD"_s + sp(19) + u" AB1       "_s + coda;
    QTest::newRow("mechanographic 0") << u"C"_s << u"M0|D|A|0|K|1|S|E"_s
                                      << u"M0        "_s + dA + sp(14) + u"1"_s + s + u'E';
    QTest::newRow("mechanographic 123, check 4")
        << u"C"_s << u"M1|D|A|123|4|1|S|E"_s << u"M1        "_s + dA + u"0001234       1"_s + s + u'E';
    QTest::newRow("mechanographic 123, no check")
        << u"C"_s << u"M1|D|A|123||1|S|E"_s << u"M1        "_s + dA + u"000123        1"_s + s + u'E';
    QTest::newRow("last number 0") << u"C"_s << u"U0|D|A|1|C|0|S|E"_s
                                   << u"U0        "_s + dA + u"000001C       0"_s + s + u'E';
    QTest::newRow("last number 1234567 moves the rest")
        << u"C"_s << u"U7|D|A|1|C|1234567|S|E"_s << u"U7        "_s + dA + u"000001C  1234567"_s + s + u'E';
    QTest::newRow("empty EDI series ends on the blank of column 83")
        << u"C"_s << u"E0|D|A|1|C|1|S|"_s << u"E0        "_s + dA + u"000001C       1"_s + s;
    QTest::newRow("Null columns") << u"C"_s << u"N1|||||||"_s << u"N1"_s + sp(62) + u"     0"_s + sp(13);
    QTest::newRow("blank and NUL-led texts read as a blank")
        << u"C"_s << u"B1|D|   |1|C|1|\0X|E"_s << u"B1         D"_s + sp(43) + u"000001C       1"_s + sp(13) + u'E';
    QTest::newRow("overlong values are cut, the EDI series is not")
        << u"C"_s << u"L1|"_s + u"D"_s.repeated(35) + u'|' + u"A"_s.repeated(15) + u"|5|XYZ|1|SSSSSSSSSSSS|EDIEDI"_s
        << u"L1         "_s + u"D"_s.repeated(30) + u' ' + u"A"_s.repeated(12) +
               u" 000005XY      1  SSSSSSSSSS EDIEDI"_s;
    QTest::newRow("line, short code") << u"E"_s << u"AB1|GRUPPO NORD"_s << u"AB1        - GRUPPO NORD"_s;
    QTest::newRow("line, longer code cut") << u"E"_s << u"ABCDEFGHIJKL|X"_s << u"ABCDEFGHIJ - X"_s;
    QTest::newRow("line, Null description") << u"E"_s << u"A|"_s << u"A          - "_s;
    QTest::newRow("line, description as stored") << u"E"_s << u"A|  X  "_s << u"A          -   X  "_s;
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
    Archivio a(u"riga"_s);
    QVERIFY(a.pronto && a.esegui(inserisci, v));
    QString testoSql;
    ModelloRicerca m(a.store, testoSql);
    QVERIFY(m.cerca(tipoRicerca(tipo), v.at(tipo == u"C"_s ? 0 : 1).toString()).ok());
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.index(0).data().toString(), atteso);
}

QTEST_MAIN(TestIstruzioni)
#include "tst_lookup_istruzioni.moc"
