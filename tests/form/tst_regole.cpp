#include "tests/dialoghiprova.h"
#include "form/regole.h"
#include "form/testi.h"
#include "tests/store/fileprova.h"
#include "store/archivioregistri.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace Qt::StringLiterals;
using Mappa = QVariantMap;

// One clerk's turn at the window: the stored rows, the code looked up, what is typed, what is done.
struct Caso {
    QStringList righe{u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspMeccanogNum,"
                      " SspUltimaFilialeCheHaAcquisito, SspDataUltimaAcquisizione, SspUltimoBloccoNumeriAcquisiti,"
                      " SspFilialeCheHaIRegistri) VALUES ('REG1', 'ORIGINALE', 7, 'MI', 46000.5, 12, 'TO')"_s};
    QString codice = u"REG1"_s;
    QList<int> risposte{};  // to the questions, in order
    int modo = regole::Variazione;  // after the look-up, -1 for none
    QMap<int, QVariant> mostrati{};  // boxes by number after the look-up; 0 the numbering entry, -1 the type option
    int tipo = -1;  // >= 0: every box typed over as for a register of this type
    QMap<int, QString> caselle{};  // boxes typed over then
    QString dopo{}, azione{};  // another clerk's statement meanwhile; "salva" or "elimina"
    int esito = 1;  // of the save (1 written) or of the delete
    QStringList domande{};  // every box shown, in order
    Mappa salvati{};  // columns of the code's rows afterwards; SspCodice "" when there is none
};
Q_DECLARE_METATYPE(Caso)

class TestRegole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aClerksTurn_data();
    void aClerksTurn();
};

void TestRegole::aClerksTurn_data()
{
    QTest::addColumn<Caso>("c");
    const QString inesistente = testi::registroInesistente, conferma = testi::confermiCancellazione;
    const QString altro = u"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'ALTRO'"_s;
    using enum regole::Cancellazione;
    const int si = app::Si, no = app::No;
    const Mappa scarico{{u"SspCarScar"_s, u"S"_s}, {u"SspCodiceDischetto"_s, u""_s}, {u"SspMeccanogCin"_s, u""_s},
                        {u"SspCodAutorizzazione"_s, u""_s}, {u"SspMeccanogNum"_s, 0}, {u"SspUltimoCarico"_s, 77},
                        {u"SspGruppoCarico"_s, u""_s}, {u"SspGruppoSCarico"_s, u"."_s}, {u"SspRiqA"_s, u""_s},
                        {u"SspNTelefonoDaChiamare"_s, u""_s}, {u"SspStampaperSerie"_s, 1},
                        {u"SspTipoProtocollo"_s, u"G"_s}, {u"SspACT"_s, u"A"_s}, {u"TpsRigP5"_s, u"VALORE 22"_s}};
    Mappa carico{{u"SspCarScar"_s, u"C"_s}, {u"SspCodiceDischetto"_s, u"  VALORE 2 "_s}, {u"SspMeccanogNum"_s, 123},
                 {u"SspUltimoCarico"_s, 45}, {u"SspGruppoCarico"_s, u"  VALORE 7 "_s}, {u"SspStampaperSerie"_s, 0},
                 {u"SspTipoProtocollo"_s, u"P"_s}, {u"SspACT"_s, u"T"_s}, {u"TpsRiga1"_s, u"VALORE 13"_s}};
    const Mappa intatta{{u"SspUltimaFilialeCheHaAcquisito"_s, u"MI"_s}, {u"SspMeccanogNum"_s, 7}};
    const QString numero = u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspMeccanogNum) VALUES ('REG1', %1)"_s;
    const QStringList sostituito{testi::meccanograficoSostituito.arg(u"40000"_s)};
    const QString rifiuto = u"CREATE TRIGGER no BEFORE INSERT ON TestataRegistriPS"
                            " BEGIN SELECT RAISE(ABORT, 'no'); END"_s;
    const auto v = [](const char* colonna, const QVariant& x) { return Mappa{{QString::fromLatin1(colonna), x}}; };
    const Mappa originale = v("SspDescrizione", u"ORIGINALE"_s), cambiata = v("SspDescrizione", u"ALTRO"_s);
    const Mappa nessuno = v("SspCodice", u""_s);
    const auto fai = [](QString a) { return [a](const char* n, Caso c) { QTest::newRow(n) << (c.azione = a, c); }; };
    const auto r = fai({}), s = fai(u"salva"_s), e = fai(u"elimina"_s);
    const auto num = [&](const QVariant& x) { return v("SspMeccanogNum", x); };
    const QStringList errore{testi::erroreScritturaRecord}, grande{numero.arg(u"40000"_s)};
    const QMap<int, QString> nuovo{{3, u"123"_s}};
    // The writer rules: what a confirm stores for each register type, and the numbers it refuses.
    s("unloading", {.tipo = 0, .salvati = scarico});
    s("loading", {.tipo = 1, .salvati = carico});
    s("blank group is a dot", {.tipo = 1, .caselle = {{7, u"   "_s}}, .salvati = v("SspGruppoCarico", u"."_s)});
    s("blank heading line is empty", {.tipo = 1, .caselle = {{13, u" "_s}}, .salvati = v("TpsRiga1", u""_s)});
    s("16-bit limit", {.tipo = 1, .caselle = {{3, u"32767"_s}}, .salvati = num(32767)});
    s("above 16 bits", {.tipo = 1, .caselle = {{3, u"32768"_s}}, .esito = 0, .domande = errore, .salvati = intatta});
    s("above 32 bits", {.tipo = 0, .caselle = {{12, u"9999999999"_s}}, .esito = 0,
                         .domande = errore, .salvati = intatta});
    s("loading group", {.tipo = 2, .salvati = (carico[u"SspCarScar"_s] = u"G"_s, carico)});
    s("new register without a type", {.codice = u"NUOVO"_s, .risposte = {si}, .modo = regole::Inserimento, .tipo = 3,
                                      .domande = {inesistente}, .salvati = v("SspCarScar", u" "_s)});
    // A number another program wrote, which the box cannot hold, is never changed silently.
    s("above 16 bits kept", {.righe = grande, .mostrati = {{3, u"40000"_s}}, .salvati = num(u"40000"_s)});
    s("fraction kept", {.righe = {numero.arg(u"12.5"_s)}, .mostrati = {{3, u"12.5"_s}}, .salvati = num(u"12.5"_s)});
    s("wider than the box kept",
      {.righe = {numero.arg(u"1234567"_s)}, .mostrati = {{3, u"123456"_s}}, .salvati = num(u"1234567"_s)});
    s("replaced by the clerk",
      {.righe = grande, .risposte = {si}, .caselle = nuovo, .domande = sostituito, .salvati = num(123)});
    s("replacement declined",
      {.righe = grande, .risposte = {no}, .caselle = nuovo, .esito = 0, .domande = sostituito, .salvati = num(40000)});
    s("16 bits changed", {.righe = {numero.arg(u"7"_s)}, .caselle = {{3, u"8"_s}}, .salvati = num(8)});
    // Rows other programs left odd show as the clerk expects; a Null heading line leaves its box alone.
    r("Null type and numbering, dotted group",
      {.righe = {u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspGruppoCarico, SspGruppoSCarico)"
                 " VALUES ('REG1', ' . ', 'S9')"_s}, .codice = u"reg1"_s,
       .mostrati = {{7, u" "_s}, {8, u"S9"_s}, {3, u"0"_s}, {13, u" "_s}, {0, 2}, {-1, 1}}});
    r("unknown numbering, Null line",
      {.righe = {u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspCarScar, SspTipoProtocollo)"
                 " VALUES ('REG1', 'G', 'Z')"_s,
                 u"INSERT INTO TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('REG1', 'PRIMA')"_s},
       .mostrati = {{13, u"PRIMA"_s}, {14, u"TENUTA"_s}, {0, 1}, {-1, 2}}});
    // What the look-up, a save and a delete ask first, and what another clerk's change does to them.
    r("blank code", {.codice = u"  "_s, .modo = -1, .salvati = nessuno});
    r("missing, insert declined",
      {.codice = u"NUOVO"_s, .risposte = {no}, .modo = regole::Attesa, .domande = {inesistente}, .salvati = nessuno});
    s("heading refused",
      {.dopo = rifiuto, .esito = 0, .domande = {testi::erroreScritturaTestata + u"\nno"_s}, .salvati = originale});
    const QStringList scrivi{testi::registroCambiatoScrivi}, entrambe{conferma, testi::registroCambiatoElimina};
    s("changed, save declined", {.risposte = {no}, .dopo = altro, .esito = 0, .domande = scrivi, .salvati = cambiata});
    s("changed, saved anyway",
      {.risposte = {si}, .dopo = altro, .domande = scrivi, .salvati = v("SspDescrizione", u"NOSTRA"_s)});
    e("delete declined", {.risposte = {no}, .esito = int(Rinunciata), .domande = {conferma}, .salvati = originale});
    e("deleted", {.risposte = {si}, .esito = int(Conclusa), .domande = {conferma}, .salvati = nessuno});
    e("changed, delete kept",
      {.risposte = {si, no}, .dopo = altro, .esito = int(Tenuta), .domande = entrambe, .salvati = cambiata});
    e("changed, deleted anyway",
      {.risposte = {si, si}, .dopo = altro, .esito = int(Conclusa), .domande = entrambe, .salvati = nessuno});
}

void TestRegole::aClerksTurn()
{
    QFETCH(Caso, c);
    const FileProva p;
    store::ArchivioRegistri a(u"regole"_s);
    QVERIFY(p.crea() && a.apriDatabase(p.percorso()).ok() && a.apriRegistri().ok() && a.apriTestata().ok());
    for (const QString& sql : c.righe)
        QCOMPARE(p.righe(sql), QStringList());
    DialoghiProva dialoghi;
    dialoghi.risposte = c.risposte;
    Registro corrente{c.codice};
    regole::Righe mostrate;
    regole::Maschera m;
    std::tie(m.protocollo, m.Txt[13], m.Txt[14]) = std::tuple(1, u"VECCHIA"_s, u"TENUTA"_s);
    const std::optional<regole::Modo> modo = regole::controllaCodice(a, dialoghi, corrente, mostrate, m);
    QCOMPARE(modo ? int(*modo) : -1, c.modo);
    const QVariantList voci{m.protocollo, regole::opzioneTipo(corrente.SspCarScar)};
    for (auto [i, valore] : c.mostrati.asKeyValueRange())
        QCOMPARE(i > 0 ? QVariant(m.Txt[i]) : voci.at(-i), valore);
    m.Txt[1] = u"NOSTRA"_s;
    if (c.tipo >= 0) {
        for (int i = 1; i <= 22; ++i)
            m.Txt[i] = i == 3 ? u"123"_s : i == 6 ? u"45"_s : i == 12 ? u"77"_s : u"  VALORE %1 "_s.arg(i);
        std::tie(m.tipo, m.protocollo, m.riquadri, m.serie) = std::tuple(c.tipo, 3, 2, true);
    }
    for (auto [i, testo] : c.caselle.asKeyValueRange())
        m.Txt[i] = testo;
    if (!c.dopo.isEmpty())
        QCOMPARE(p.righe(c.dopo), QStringList());
    if (c.azione == u"salva"_s)
        QCOMPARE(int(regole::salva(a, dialoghi, corrente, mostrate, m)), c.esito);
    if (c.azione == u"elimina"_s)
        QCOMPARE(int(regole::elimina(a, dialoghi, corrente.SspCodice, mostrate)), c.esito);
    QCOMPARE(dialoghi.domande.size(), c.domande.size());
    for (int i = 0; i < c.domande.size(); ++i)
        QCOMPARE(dialoghi.domande.at(i).testo, c.domande.at(i));
    QSqlRecord salvata;
    QVERIFY(a.leggi(u"SELECT * FROM TabellaSerieSemplificata LEFT JOIN TestataRegistriPS"
                          " ON TpsCodice = SspCodice WHERE SspCodice = ?"_s, {corrente.SspCodice},
                          [&](const QSqlQuery& q) { salvata = q.record(); }).ok());
    for (auto [chiave, valore] : c.salvati.asKeyValueRange())
        QCOMPARE(salvata.value(chiave).toString(), valore.toString());
    if (c.azione != u"salva"_s || !c.esito)
        return;
    // Every save resets the acquisition columns and leaves no column Null.
    const auto col = [&](const char* nome) { return salvata.value(QString::fromLatin1(nome)).toString(); };
    QCOMPARE(col("SspUltimaFilialeCheHaAcquisito") + col("SspFilialeCheHaIRegistri"), u"  "_s);
    QCOMPARE(col("SspDataUltimaAcquisizione") + col("SspUltimoBloccoNumeriAcquisiti"), u"00"_s);
    for (int i = 0; i < salvata.count(); ++i)
        QVERIFY2(!salvata.isNull(i), qPrintable(salvata.fieldName(i)));
}

QTEST_GUILESS_MAIN(TestRegole)
#include "tst_regole.moc"
