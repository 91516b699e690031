#include "tests/form/ambiente.h"

#include "lookup/modelloricerca.h"
#include "lookup/righe.h"
#include "store/ricerca.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using store::Seguito;
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
    void righe_data();
    void righe();

  private:
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
    const auto r = [](const char* nome, const char* tipo, const QString& chiave, const QString& attesi) {
        QTest::newRow(nome) << QString::fromLatin1(tipo) << chiave << attesi.split(u',', Qt::SkipEmptyParts);
    };
    r("code, one letter", "C", u"A"_s, u"A1,AB1,AB2,ab3,ABZ,AC1"_s);
    r("code, lower case key", "C", u"ab"_s, u"AB1,AB2,ab3,ABZ"_s);
    r("code, every code beginning with Z", "C", u"Z"_s, u"ZZ,ZZA"_s);
    r("code, nothing", "C", u"XY"_s, {});
    r("code, a blank", "C", u" "_s, {});
    r("code O'BRIEN", "C", u"O'BRIEN"_s, u"O'BRIEN,O'BRIEN2"_s);
    r("code quote alone", "C", u"'"_s, {});
    r("code %_", "C", u"%_"_s, u"%_1"_s);
    r("code _", "C", u"_"_s, u"_X"_s);
    r("code injection", "C", u"' OR ''='"_s, {});
    // Equal descriptions in either case follow each other by code.
    r("description, lower case key", "D", u"beta"_s, u"AB1,B1,ABZ"_s);
    r("description, two letters", "D", u"AL"_s, u"A1,AB2"_s);
    QString uguali;
    for (int i = 1; i <= 300; ++i)
        uguali += u"Q%1,"_s.arg(i, 5, 10, QChar(u'0'));
    r("description, equal across pages", "D", u"UG"_s, uguali);
    r("description, nothing", "D", u"Q"_s, {});
    r("description O'BRIEN", "D", u"O'BRIEN"_s, u"O'BRIEN,O'BRIEN2"_s);
    r("description %_", "D", u"100%_"_s, u"%_1"_s);
    r("description injection", "D", u"x' OR 1=1 --"_s, {});
    r("unloading registers", "S", {}, u"S 1,S012345678,S1,s2,S3"_s);
    r("loading groups", "G", {}, u"G1"_s);
}

void TestIstruzioni::ranges()
{
    QFETCH(QString, tipo);
    QFETCH(QString, chiave);
    QFETCH(QStringList, attesi);
    QString testoSql;
    QStringList codici;
    const QSqlDatabase db = elenco->store.database();
    const TipoRicerca tipoRicerca = tipo == u"C"_s ? TipoRicerca::Codice : TipoRicerca::Descrizione;
    if (tipo == u"C"_s || tipo == u"D"_s) {
        ModelloRicerca m(elenco->store, testoSql);
        QVERIFY(m.cerca(tipoRicerca, chiave).ok());
        for (int i = 0; i < m.rowCount(); ++i)
            codici << m.index(i).data(ModelloRicerca::ruoloCodice).toString();
        // Its first and later pages are range searches on an index, no full scan, no sort before the first row;
        // a statement with a quote of the key or of the last row in its text would not even run.
        const QString indice =
            tipo == u"C"_s ? u"sqlite_autoindex_TabellaSerieSemplificata_1"_s : u"SspDescrizioneIdx"_s;
        for (const auto& dopo : {std::optional<Seguito>(), std::optional(Seguito{u"O'B%_1"_s, u"X'1"_s})}) {
            const QString p = piano(db, store::cercaRegistri(db.driver(), tipoRicerca, chiave, dopo, 64));
            QVERIFY2(p.startsWith(u"SEARCH "_s) && p.contains(u"USING INDEX "_s + indice), qPrintable(p));
            QVERIFY2(!p.contains(u"SCAN"_s) && !p.contains(u"TEMP B-TREE"_s), qPrintable(p));
        }
        // A null key is the empty key, never a Null that would match nothing; every register is a range too.
        const store::Istruzione tutti = store::cercaRegistri(db.driver(), tipoRicerca, QString(), std::nullopt, 10);
        QVERIFY(!tutti.valori.first().toString().isNull() && piano(db, tutti).startsWith(u"SEARCH "_s));
    } else {
        const auto riga = [&codici](const QSqlQuery& q) { codici << q.value(store::elCodice).toString(); };
        const store::Istruzione i = store::elencoRegistri(db.driver(), tipo);
        QVERIFY(store::esegui(elenco->store, i, testoSql, riga).ok());
        QVERIFY(!testoSql.contains(u'\'')); // the kind is bound
    }
    QCOMPARE(codici, attesi);
    QCOMPARE(db.tables().size(), 5); // no key ran as a statement, nor dropped a table
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
    Archivio a(u"riga"_s);
    QVERIFY(a.pronto && a.esegui(inserisci, v));
    QString testoSql;
    ModelloRicerca m(a.store, testoSql);
    const bool codice = tipo == u"C"_s;
    QVERIFY(m.cerca(codice ? TipoRicerca::Codice : TipoRicerca::Descrizione, v.at(codice ? 0 : 1).toString()).ok());
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.index(0).data().toString(), atteso);
}

QTEST_MAIN(TestIstruzioni)
#include "tst_lookup_istruzioni.moc"
