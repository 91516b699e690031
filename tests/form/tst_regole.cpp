#include "app/dialoghi.h"
#include "form/regole.h"
#include "form/testi.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Mappa = QVariantMap;

// One clerk's turn at the window: the stored rows, the code looked up, what is typed, what is done.
struct Caso {
    QStringList righe{u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspUltimaFilialeCheHaAcquisito,"
                      " SspMeccanogNum, SspDataUltimaAcquisizione, SspUltimoBloccoNumeriAcquisiti,"
                      " SspFilialeCheHaIRegistri) VALUES ('REG1', 'ORIGINALE', 'MI', 7, 46000.5, 12, 'TO')"_s};
    QString codice = u"REG1"_s;
    QList<int> risposte{};  // to the questions, in order
    int modo = regole::Variazione;  // after the look-up, -1 for none
    Mappa mostrati{};  // boxes by number after the look-up; "p" the numbering entry, "t" the type option
    int tipo = -1;  // >= 0: every box typed over as for a register of this type
    QMap<int, QString> caselle{};  // boxes typed over then
    QString dopo{};  // another clerk's statement meanwhile
    QString azione{};  // "salva" or "elimina"
    int esito = 1;  // of the save (1 written) or of the delete
    QStringList domande{};  // every box shown, in order
    Mappa salvati{};  // columns of the code's rows afterwards; SspCodice "" when there is none
};
Q_DECLARE_METATYPE(Caso)

class TestRegole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void aClerksTurn_data();
    void aClerksTurn();
    void messagesTellWhy_data();
    void messagesTellWhy();

private:
    void esegui(const QString& sql) { QVERIFY2(QSqlQuery(archivio->database()).exec(sql), qPrintable(sql)); }
    std::optional<QTemporaryDir> dir;
    std::optional<store::ArchivioRegistri> archivio;
    app::DialoghiScript dialoghi;
};

void TestRegole::init()
{
    archivio.reset();
    dir.emplace();
    const QString file = dir->filePath(u"dogana.mdb"_s);
    QVERIFY(store::ArchivioRegistri::crea(file).ok());
    archivio.emplace(u"regole"_s);
    QVERIFY(archivio->apriDatabase(file).ok() && archivio->apriRegistri().ok() && archivio->apriTestata().ok());
    dialoghi = {};
}

void TestRegole::aClerksTurn_data()
{
    QTest::addColumn<Caso>("c");
    const QString salva = u"salva"_s, elimina = u"elimina"_s, inesistente = testi::registroInesistente;
    const QString altro = u"UPDATE TabellaSerieSemplificata SET SspDescrizione = 'ALTRO'"_s;
    const int si = app::Si, no = app::No, conclusa = int(regole::Cancellazione::Conclusa);
    const Mappa scarico{{u"SspCarScar"_s, u"S"_s}, {u"SspCodiceDischetto"_s, u""_s}, {u"SspMeccanogCin"_s, u""_s},
                        {u"SspCodAutorizzazione"_s, u""_s}, {u"SspMeccanogNum"_s, 0}, {u"SspUltimoCarico"_s, 77},
                        {u"SspGruppoCarico"_s, u""_s}, {u"SspGruppoSCarico"_s, u"."_s}, {u"SspRiqA"_s, u""_s},
                        {u"SspNTelefonoDaChiamare"_s, u""_s}, {u"SspStampaperSerie"_s, 1},
                        {u"SspTipoProtocollo"_s, u"G"_s}, {u"SspACT"_s, u"A"_s}, {u"TpsRigP5"_s, u"VALORE 22"_s}};
    Mappa carico{{u"SspCarScar"_s, u"C"_s}, {u"SspCodiceDischetto"_s, u"  VALORE 2 "_s}, {u"SspMeccanogNum"_s, 123},
                 {u"SspUltimoCarico"_s, 45}, {u"SspGruppoCarico"_s, u"  VALORE 7 "_s}, {u"SspStampaperSerie"_s, 0},
                 {u"SspTipoProtocollo"_s, u"P"_s}, {u"SspACT"_s, u"T"_s}, {u"TpsRiga1"_s, u"VALORE 13"_s}};
    const Mappa intatta{{u"SspUltimaFilialeCheHaAcquisito"_s, u"MI"_s}, {u"SspMeccanogNum"_s, 7}};
    const QStringList rifiutata{testi::erroreScritturaRecord};
    const QString numero = u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspMeccanogNum) VALUES ('REG1', %1)"_s;
    const QString sostituito = testi::meccanograficoSostituito.arg(u"40000"_s);
    // The writer rules: what a confirm stores for each register type, and the numbers it refuses.
    QTest::newRow("unloading") << Caso{.tipo = 0, .azione = salva, .salvati = scarico};
    QTest::newRow("loading") << Caso{.tipo = 1, .azione = salva, .salvati = carico};
    QTest::newRow("blank group is a dot") << Caso{.tipo = 1, .caselle = {{7, u"   "_s}}, .azione = salva, .salvati = {{u"SspGruppoCarico"_s, u"."_s}}};
    QTest::newRow("blank heading line is empty") << Caso{.tipo = 1, .caselle = {{13, u" "_s}}, .azione = salva, .salvati = {{u"TpsRiga1"_s, u""_s}}};
    QTest::newRow("16-bit limit") << Caso{.tipo = 1, .caselle = {{3, u"32767"_s}}, .azione = salva, .salvati = {{u"SspMeccanogNum"_s, 32767}}};
    QTest::newRow("above 16 bits") << Caso{.tipo = 1, .caselle = {{3, u"32768"_s}}, .azione = salva, .esito = 0, .domande = rifiutata, .salvati = intatta};
    QTest::newRow("above 32 bits") << Caso{.tipo = 0, .caselle = {{12, u"9999999999"_s}}, .azione = salva, .esito = 0, .domande = rifiutata, .salvati = intatta};
    carico[u"SspCarScar"_s] = u"G"_s;
    QTest::newRow("loading group") << Caso{.tipo = 2, .azione = salva, .salvati = carico};
    QTest::newRow("new register without a type") << Caso{.codice = u"NUOVO"_s, .risposte = {si}, .modo = regole::Inserimento, .tipo = 3, .azione = salva, .domande = {inesistente}, .salvati = {{u"SspCarScar"_s, u" "_s}}};
    // A number another program wrote, which the box cannot hold, is never changed silently.
    QTest::newRow("above 16 bits kept") << Caso{.righe = {numero.arg(u"40000"_s)}, .mostrati = {{u"3"_s, u"40000"_s}}, .azione = salva, .salvati = {{u"SspMeccanogNum"_s, u"40000"_s}}};
    QTest::newRow("fraction kept") << Caso{.righe = {numero.arg(u"12.5"_s)}, .mostrati = {{u"3"_s, u"12.5"_s}}, .azione = salva, .salvati = {{u"SspMeccanogNum"_s, u"12.5"_s}}};
    QTest::newRow("wider than the box kept") << Caso{.righe = {numero.arg(u"1234567"_s)}, .mostrati = {{u"3"_s, u"123456"_s}}, .azione = salva, .salvati = {{u"SspMeccanogNum"_s, u"1234567"_s}}};
    QTest::newRow("replaced by the clerk") << Caso{.righe = {numero.arg(u"40000"_s)}, .risposte = {si}, .caselle = {{3, u"123"_s}}, .azione = salva, .domande = {sostituito}, .salvati = {{u"SspMeccanogNum"_s, 123}}};
    QTest::newRow("replacement declined") << Caso{.righe = {numero.arg(u"40000"_s)}, .risposte = {no}, .caselle = {{3, u"123"_s}}, .azione = salva, .esito = 0, .domande = {sostituito}, .salvati = {{u"SspMeccanogNum"_s, 40000}}};
    QTest::newRow("16 bits changed") << Caso{.righe = {numero.arg(u"7"_s)}, .caselle = {{3, u"8"_s}}, .azione = salva, .salvati = {{u"SspMeccanogNum"_s, 8}}};
    // Rows other programs left odd show as the clerk expects; a Null heading line leaves its box alone.
    QTest::newRow("Null type and numbering, dotted group") << Caso{.righe = {u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspGruppoCarico, SspGruppoSCarico) VALUES ('REG1', ' . ', 'S9')"_s}, .codice = u"reg1"_s, .mostrati = {{u"7"_s, u" "_s}, {u"8"_s, u"S9"_s}, {u"3"_s, u"0"_s}, {u"13"_s, u" "_s}, {u"p"_s, 2}, {u"t"_s, 1}}};
    QTest::newRow("unknown numbering, Null line") << Caso{.righe = {u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspCarScar, SspTipoProtocollo) VALUES ('REG1', 'G', 'Z')"_s, u"INSERT INTO TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('REG1', 'PRIMA')"_s}, .mostrati = {{u"13"_s, u"PRIMA"_s}, {u"14"_s, u"TENUTA"_s}, {u"p"_s, 1}, {u"t"_s, 2}}};
    // What the look-up, a save and a delete ask first, and what another clerk's change does to them.
    QTest::newRow("blank code") << Caso{.codice = u"  "_s, .modo = -1, .salvati = {{u"SspCodice"_s, u""_s}}};
    QTest::newRow("missing, insert declined") << Caso{.codice = u"NUOVO"_s, .risposte = {no}, .modo = regole::Attesa, .domande = {inesistente}, .salvati = {{u"SspCodice"_s, u""_s}}};
    QTest::newRow("heading refused") << Caso{.dopo = u"CREATE TRIGGER no BEFORE INSERT ON TestataRegistriPS BEGIN SELECT RAISE(ABORT, 'no'); END"_s, .azione = salva, .esito = 0, .domande = {testi::erroreScritturaTestata + u"\nno"_s}, .salvati = {{u"SspDescrizione"_s, u"ORIGINALE"_s}}};
    QTest::newRow("changed, save declined") << Caso{.risposte = {no}, .dopo = altro, .azione = salva, .esito = 0, .domande = {testi::registroCambiatoScrivi}, .salvati = {{u"SspDescrizione"_s, u"ALTRO"_s}}};
    QTest::newRow("changed, saved anyway") << Caso{.risposte = {si}, .dopo = altro, .azione = salva, .domande = {testi::registroCambiatoScrivi}, .salvati = {{u"SspDescrizione"_s, u"NOSTRA"_s}}};
    QTest::newRow("delete declined") << Caso{.risposte = {no}, .azione = elimina, .esito = int(regole::Cancellazione::Rinunciata), .domande = {testi::confermiCancellazione}, .salvati = {{u"SspDescrizione"_s, u"ORIGINALE"_s}}};
    QTest::newRow("deleted") << Caso{.risposte = {si}, .azione = elimina, .esito = conclusa, .domande = {testi::confermiCancellazione}, .salvati = {{u"SspCodice"_s, u""_s}}};
    QTest::newRow("changed, delete kept") << Caso{.risposte = {si, no}, .dopo = altro, .azione = elimina, .esito = int(regole::Cancellazione::Tenuta), .domande = {testi::confermiCancellazione, testi::registroCambiatoElimina}, .salvati = {{u"SspDescrizione"_s, u"ALTRO"_s}}};
    QTest::newRow("changed, deleted anyway") << Caso{.risposte = {si, si}, .dopo = altro, .azione = elimina, .esito = conclusa, .domande = {testi::confermiCancellazione, testi::registroCambiatoElimina}, .salvati = {{u"SspCodice"_s, u""_s}}};
}

void TestRegole::aClerksTurn()
{
    QFETCH(Caso, c);
    for (const QString& sql : c.righe)
        esegui(sql);
    dialoghi.risposte = c.risposte;
    Registro corrente{c.codice};
    regole::Righe mostrate;
    regole::Maschera m;
    m.protocollo = 1;
    m.Txt[13] = u"VECCHIA"_s;
    m.Txt[14] = u"TENUTA"_s;
    const std::optional<regole::Modo> modo = regole::controllaCodice(*archivio, dialoghi, corrente, mostrate, m);
    QCOMPARE(modo ? int(*modo) : -1, c.modo);
    for (auto [chiave, valore] : c.mostrati.asKeyValueRange())
        QCOMPARE(chiave == u"p"_s ? QVariant(m.protocollo)
                 : chiave == u"t"_s ? QVariant(regole::opzioneTipo(corrente.SspCarScar)) : QVariant(m.Txt[chiave.toInt()]), valore);
    m.Txt[1] = u"NOSTRA"_s;
    if (c.tipo >= 0) {
        for (int i = 1; i <= 22; ++i)
            m.Txt[i] = i == 3 ? u"123"_s : i == 6 ? u"45"_s : i == 12 ? u"77"_s : u"  VALORE %1 "_s.arg(i);
        m.tipo = c.tipo;
        m.protocollo = 3;
        m.riquadri = 2;
        m.serie = true;
    }
    for (auto [i, testo] : c.caselle.asKeyValueRange())
        m.Txt[i] = testo;
    if (!c.dopo.isEmpty())
        esegui(c.dopo);
    if (c.azione == u"salva"_s)
        QCOMPARE(int(regole::salva(*archivio, dialoghi, corrente, mostrate, m)), c.esito);
    if (c.azione == u"elimina"_s)
        QCOMPARE(int(regole::elimina(*archivio, dialoghi, corrente.SspCodice, mostrate)), c.esito);
    QStringList domande{};
    for (const auto& d : dialoghi.domande)
        domande << d.testo;
    QCOMPARE(domande, c.domande);
    Mappa salvata;
    const auto riga = [&](const QSqlQuery& q) {
        for (int i = 0; i < q.record().count(); ++i)
            salvata[q.record().fieldName(i)] = q.value(i);
    };
    QVERIFY(archivio->leggi(u"SELECT * FROM TabellaSerieSemplificata LEFT JOIN TestataRegistriPS ON TpsCodice = SspCodice"
                            " WHERE SspCodice = ?"_s, {corrente.SspCodice}, riga).ok());
    for (auto [chiave, valore] : c.salvati.asKeyValueRange())
        QCOMPARE(salvata.value(chiave).toString(), valore.toString());
    if (c.azione != u"salva"_s || !c.esito)
        return;
    // Every save resets the acquisition columns and leaves no column Null.
    QCOMPARE(salvata.value(u"SspUltimaFilialeCheHaAcquisito"_s).toString() + salvata.value(u"SspFilialeCheHaIRegistri"_s).toString(), u"  "_s);
    QCOMPARE(salvata.value(u"SspDataUltimaAcquisizione"_s).toDouble() + salvata.value(u"SspUltimoBloccoNumeriAcquisiti"_s).toInt(), 0.0);
    for (auto [chiave, valore] : salvata.asKeyValueRange())
        QVERIFY2(!valore.isNull(), qPrintable(chiave));
}

void TestRegole::messagesTellWhy_data()
{
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("atteso");
    const store::Esito bloccata{store::erroreBloccata, u"locked"_s}, altro{store::erroreGenerico, u"disk I/O error"_s};
    QTest::newRow("register in use") << regole::testoErrore(testi::erroreLettura, bloccata) << QString(testi::erroreLettura + u'\n' + testi::registroInUso);
    QTest::newRow("engine's text") << regole::testoErrore(testi::erroreCancellazione, altro) << QString(testi::erroreCancellazione + u"\ndisk I/O error"_s);
    QTest::newRow("table locked") << regole::testoApertura(true, bloccata) << QString(testi::erroreAperturaRegistri + u"\nlocked"_s);
    QTest::newRow("old format") << regole::testoApertura(false, {store::erroreVecchioFormato, u"x"_s}) << QString(testi::erroreAperturaTestata + u'\n' + testi::vecchioFormato);
    QTest::newRow("other opening error") << regole::testoApertura(true, altro) << QString(testi::erroreAperturaRegistri);
    QTest::newRow("no company") << regole::testoSocietaInesistente({}) << QString(testi::societaInesistente);
    QTest::newRow("names differing in case") << regole::testoSocietaInesistente({u"Demo"_s, u"DEMO"_s}) << QString(testi::societaInesistente + u'\n' + testi::nomiAmbigui.arg(u"Demo, DEMO"_s));
}

void TestRegole::messagesTellWhy()
{
    QFETCH(QString, testo);
    QTEST(testo, "atteso");
}

QTEST_GUILESS_MAIN(TestRegole)
#include "tst_regole.moc"
