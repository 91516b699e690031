#include "tests/form/ambiente.h"

#include "lookup/righe.h"
#include "store/ricerca.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;
using store::TipoRicerca;

Q_DECLARE_METATYPE(TipoRicerca)

// The statements of the look-ups as the engine plans them, and the text helpers of the rows.
class TestIstruzioni : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rangesUseAnIndexInOrder_data();
    void rangesUseAnIndexInOrder();
    void keyIsNeverInTheText();
    void allineaDestra_data();
    void allineaDestra();
    void rigaElenco_data();
    void rigaElenco();
};

void TestIstruzioni::rangesUseAnIndexInOrder_data()
{
    QTest::addColumn<TipoRicerca>("tipo");
    QTest::addColumn<bool>("seguito");
    QTest::addColumn<QString>("indice");
    QTest::addColumn<QString>("chiave");
    const QString codici = u"sqlite_autoindex_TabellaSerieSemplificata_1"_s;
    QTest::newRow("code, first page") << TipoRicerca::Codice << false << codici << u"R"_s;
    QTest::newRow("code, later page") << TipoRicerca::Codice << true << codici << u"R"_s;
    QTest::newRow("code, every register") << TipoRicerca::Codice << false << codici << u""_s;
    QTest::newRow("code, key ending in z") << TipoRicerca::Codice << false << codici << u"RZ"_s;
    QTest::newRow("description, first page") << TipoRicerca::Descrizione << false << u"SspDescrizioneIdx"_s << u"R"_s;
    QTest::newRow("description, later page") << TipoRicerca::Descrizione << true << u"SspDescrizioneIdx"_s << u"R"_s;
}

void TestIstruzioni::rangesUseAnIndexInOrder()
{
    QFETCH(TipoRicerca, tipo);
    QFETCH(bool, seguito);
    QFETCH(QString, indice);
    QFETCH(QString, chiave);
    Archivio archivio;
    QVERIFY(archivio.pronto);
    QVERIFY(archivio.riempi(2000));
    QSqlDatabase db = archivio.store.database();
    QSqlQuery(db).exec(u"ANALYZE"_s);
    const std::optional<store::Seguito> dopo =
        seguito ? std::optional(store::Seguito{u"DESCRIZIONE 01000"_s, u"R01000"_s}) : std::nullopt;
    const store::Istruzione i = store::cercaRegistri(db.driver(), tipo, chiave, dopo, 64);
    QSqlQuery q(db);
    QVERIFY2(q.prepare(u"EXPLAIN QUERY PLAN "_s + i.sql), qPrintable(q.lastError().text()));
    for (int v = 0; v < i.valori.size(); ++v)
        q.bindValue(v, i.valori.at(v));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList piano;
    while (q.next())
        piano << q.value(3).toString();
    const QString testo = piano.join(u" | "_s);
    // A range search on the index: no full scan and no sort of the range before its first row.
    QVERIFY2(testo.startsWith(u"SEARCH "_s) && testo.contains(u"USING INDEX "_s + indice), qPrintable(testo));
    QVERIFY2(!testo.contains(u"SCAN"_s) && !testo.contains(u"TEMP B-TREE"_s), qPrintable(testo));
}

void TestIstruzioni::keyIsNeverInTheText()
{
    Archivio archivio;
    QVERIFY(archivio.pronto);
    const QSqlDriver* d = archivio.store.database().driver();
    const QString chiave = u"O'B%_"_s;
    for (TipoRicerca t : {TipoRicerca::Codice, TipoRicerca::Descrizione}) {
        const store::Istruzione i = store::cercaRegistri(d, t, chiave, std::nullopt, 10);
        QVERIFY(!i.sql.contains(u"O'B"_s));
        QCOMPARE(i.valori, (QVariantList{chiave, u"o'b%`"_s, 10}));
        const store::Istruzione s = store::cercaRegistri(d, t, chiave, store::Seguito{u"O'B%_1"_s, u"X'1"_s}, 10);
        QVERIFY(!s.sql.contains(u'\''));
    }
    const store::Istruzione e = store::elencoRegistri(d, u"S"_s);
    QVERIFY(!e.sql.contains(u'\''));
    QCOMPARE(e.valori, QVariantList{u"S"_s});
    // A null key is the empty key, never a Null that would match nothing.
    const store::Istruzione n = store::cercaRegistri(d, TipoRicerca::Codice, QString(), std::nullopt, 10);
    QVERIFY(!n.valori.first().isNull());
}

void TestIstruzioni::allineaDestra_data()
{
    QTest::addColumn<QString>("testo");
    QTest::addColumn<int>("larghezza");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("short") << u"5"_s << 6 << u"     5"_s;
    QTest::newRow("blanks around") << u" 12 "_s << 6 << u"    12"_s;
    QTest::newRow("empty") << u""_s << 6 << u""_s;
    QTest::newRow("blanks only") << u"   "_s << 6 << u"   "_s;
    QTest::newRow("exactly wide") << u"123456"_s << 6 << u"123456"_s;
    QTest::newRow("wider, not cut") << u"1234567"_s << 6 << u"1234567"_s;
    QTest::newRow("wide with blanks, unchanged") << u" 123456 "_s << 6 << u" 123456 "_s;
}

void TestIstruzioni::allineaDestra()
{
    QFETCH(QString, testo);
    QFETCH(int, larghezza);
    QFETCH(QString, atteso);
    QCOMPARE(righe::allineaDestra(testo, larghezza), atteso);
}

void TestIstruzioni::rigaElenco_data()
{
    QTest::addColumn<QVariant>("codice");
    QTest::addColumn<QVariant>("descrizione");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("short code") << QVariant(u"AB1"_s) << QVariant(u"GRUPPO NORD"_s) << u"AB1        - GRUPPO NORD"_s;
    QTest::newRow("ten characters") << QVariant(u"ABCDEFGHIJ"_s) << QVariant(u"X"_s) << u"ABCDEFGHIJ - X"_s;
    QTest::newRow("longer code cut") << QVariant(u"ABCDEFGHIJKL"_s) << QVariant(u"X"_s) << u"ABCDEFGHIJ - X"_s;
    QTest::newRow("Null description") << QVariant(u"A"_s) << QVariant() << u"A          - "_s;
    QTest::newRow("description as stored") << QVariant(u"A"_s) << QVariant(u"  X  "_s) << u"A          -   X  "_s;
}

void TestIstruzioni::rigaElenco()
{
    QFETCH(QVariant, codice);
    QFETCH(QVariant, descrizione);
    QFETCH(QString, atteso);
    QCOMPARE(righe::rigaElenco(codice, descrizione), atteso);
}

QTEST_MAIN(TestIstruzioni)
#include "tst_lookup_istruzioni.moc"
