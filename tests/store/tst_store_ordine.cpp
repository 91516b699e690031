#include "fileprova.h"

#include "store/registro.h"
#include "store/archivioregistri.h"
#include "store/ricerca.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(store::TipoRicerca)

namespace {

// Codes and descriptions where case, punctuation and accented letters meet; the same on both engines.
const std::pair<const char16_t*, const char16_t*> registri[] = {
    {u"A1", u"Merci varie"},   {u"a2", u"MERCI VARIE"}, {u"AB", u"merci"},   {u"b1", u"Export"},
    {u"B2", u"EXPORT milano"}, {u"Z9", u"zona"},         {u"z10", u"Zona"},   {u"_X", u"_interno"},
    {u"[Y", u"[riservato]"},   {u"À1", u"Àncora"},       {u"à2", u"àncora"}, {u"ÀB", u"export"},
    {u"CITTÀ", u"CITTÀ DI MILANO"},
};

} // namespace

// The range search finds the same rows in the same order on the file and on the server, page by page.
class TestOrdine final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void intervallo_data();
    void intervallo();

private:
    std::unique_ptr<FileProva> f;
    std::unique_ptr<store::ArchivioRegistri> archivio;
};

void TestOrdine::initTestCase()
{
    f = std::make_unique<FileProva>();
    QVERIFY(f->crea());
    archivio = std::make_unique<store::ArchivioRegistri>(u"ordine"_s);
    QVERIFY(archivio->apriDatabase(f->percorso()).ok());
    for (const auto& [codice, descrizione] : registri) {
        Registro r{QString::fromUtf16(codice)};
        r.SspDescrizione = QString::fromUtf16(descrizione);
        QVERIFY(archivio->scrivi(r, {}).esito.ok());
    }
}

void TestOrdine::cleanupTestCase()
{
    archivio.reset();
    f.reset();
}

void TestOrdine::intervallo_data()
{
    QTest::addColumn<store::TipoRicerca>("tipo");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<QStringList>("codici");

    const auto codice = store::TipoRicerca::Codice;
    const auto descrizione = store::TipoRicerca::Descrizione;
    QTest::newRow("codice, minuscola") << codice << u"a"_s << QStringList{u"A1"_s, u"a2"_s, u"AB"_s};
    QTest::newRow("codice, maiuscola") << codice << u"A"_s << QStringList{u"A1"_s, u"a2"_s, u"AB"_s};
    QTest::newRow("codice, tutti")
        << codice << u""_s
        << QStringList{u"[Y"_s, u"_X"_s, u"A1"_s,  u"a2"_s, u"AB"_s, u"b1"_s, u"B2"_s,
                       u"CITTÀ"_s, u"z10"_s, u"Z9"_s, u"À1"_s, u"ÀB"_s, u"à2"_s};
    QTest::newRow("codice, seguita da una lettera oltre la z") << codice << u"citt"_s << QStringList{u"CITTÀ"_s};
    QTest::newRow("codice, cifre dopo la lettera") << codice << u"Z"_s << QStringList{u"z10"_s, u"Z9"_s};
    QTest::newRow("codice, segni prima delle lettere") << codice << u"_"_s << QStringList{u"_X"_s};
    QTest::newRow("codice, accentata maiuscola distinta") << codice << u"À"_s << QStringList{u"À1"_s, u"ÀB"_s};
    QTest::newRow("codice, accentata minuscola distinta") << codice << u"à"_s << QStringList{u"à2"_s};
    QTest::newRow("codice, intero") << codice << u"B1"_s << QStringList{u"b1"_s};
    QTest::newRow("codice, nessuno") << codice << u"Q"_s << QStringList{};
    QTest::newRow("descrizione, pari per il codice")
        << descrizione << u"MERCI"_s << QStringList{u"AB"_s, u"A1"_s, u"a2"_s};
    QTest::newRow("descrizione, con lo spazio") << descrizione << u"export "_s << QStringList{u"B2"_s};
    QTest::newRow("descrizione, accentate a parte")
        << descrizione << u"e"_s << QStringList{u"b1"_s, u"ÀB"_s, u"B2"_s};
    QTest::newRow("descrizione, tutte")
        << descrizione << u""_s
        << QStringList{u"[Y"_s, u"_X"_s, u"CITTÀ"_s, u"b1"_s, u"ÀB"_s, u"B2"_s, u"AB"_s,
                       u"A1"_s, u"a2"_s, u"z10"_s, u"Z9"_s, u"À1"_s, u"à2"_s};
    QTest::newRow("descrizione, seguita da una lettera oltre la z")
        << descrizione << u"CITT"_s << QStringList{u"CITTÀ"_s};
}

void TestOrdine::intervallo()
{
    QFETCH(store::TipoRicerca, tipo);
    QFETCH(QString, chiave);
    QFETCH(QStringList, codici);
    const QSqlDriver* d = archivio->database().driver();

    // Two rows a page, every page starting after the last row of the one before.
    QStringList trovati;
    std::optional<store::Seguito> dopo;
    for (int pagina = 0; pagina < 20; ++pagina) {
        const store::Istruzione i = store::cercaRegistri(d, tipo, chiave, dopo, 2);
        QString sql;
        int righe = 0;
        QVERIFY(store::esegui(*archivio, i, sql, [&](const QSqlQuery& q) {
                    ++righe;
                    trovati << q.value(store::trCodice).toString();
                    dopo = store::Seguito{q.value(tipo == store::TipoRicerca::Codice ? store::trCodice
                                                                                     : store::trDescrizione)
                                              .toString(),
                                          q.value(store::trCodice).toString()};
                }).ok());
        if (righe < 2)
            break;
    }
    QCOMPARE(trovati, codici);

    if (!FileProva::server())
        return;
    // On the server both the range and the order come from an index, never from a sort of the table.
    QSqlDatabase altra = f->altraConnessione(u"piano"_s);
    QSqlQuery q(altra);
    for (const char* sql : {"SET enable_seqscan = off", "SET enable_bitmapscan = off", "SET enable_sort = off"})
        QVERIFY(q.exec(QLatin1StringView(sql)));
    const store::Istruzione i = store::cercaRegistri(d, tipo, chiave, std::nullopt, 50);
    QString testo = i.sql;
    QStringList valori;
    for (int n = 0; n < i.valori.size(); ++n) {
        testo.replace(testo.indexOf(u'?'), 1, u'$' + QString::number(n + 1));
        valori << (i.valori.at(n).typeId() == QMetaType::QString ? u'\'' + i.valori.at(n).toString() + u'\''
                                                                  : i.valori.at(n).toString());
    }
    QVERIFY2(q.exec(u"PREPARE ricerca AS "_s + testo), qPrintable(q.lastError().text()));
    QVERIFY2(q.exec(u"EXPLAIN EXECUTE ricerca("_s + valori.join(u", "_s) + u')'), qPrintable(q.lastError().text()));
    QStringList piano;
    while (q.next())
        piano << q.value(0).toString();
    q.finish();
    q.exec(u"DEALLOCATE ricerca"_s);
    QVERIFY2(piano.join(u'\n').contains(u"Index"_s), qPrintable(piano.join(u'\n')));
    QVERIFY2(!piano.join(u'\n').contains(u"Sort"_s), qPrintable(piano.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestOrdine)
#include "tst_store_ordine.moc"
