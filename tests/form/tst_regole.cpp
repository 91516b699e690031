#include "form/regole.h"
#include "store/campi.h"
#include "store/archivioregistri.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using regole::Maschera;

// What the window would hold after a clerk filled it, for one register type.
static Maschera compilata(int tipo)
{
    Maschera m;
    m.DicKod = u"REG1"_s;
    for (int i = 1; i <= 22; ++i)
        m.Txt[i] = u"  VALORE %1 "_s.arg(i);
    m.Txt[3] = u"123"_s;
    m.Txt[6] = u"45"_s;
    m.Txt[12] = u"77"_s;
    m.tipo = tipo;
    m.serie = true;
    m.protocollo = 3;
    m.riquadri = 2;
    return m;
}

class TestRegole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void savedRowKeepsTheWriterRules_data();
    void savedRowKeepsTheWriterRules();
    void blankGroupsAreStoredAsDots();
    void readingANewRegisterKeepsABlankTypeAndRefusesBigNumbers();
    void shownRegisterTurnsDotsIntoBlanks();
    void numberTheBoxCannotHoldIsKept_data();
    void numberTheBoxCannotHoldIsKept();
    void missingHeadingShowsBlanksAndUnknownCodesKeepTheList();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<store::ArchivioRegistri> archivio;
    QVariantMap riga(const QString& tabella, const QString& chiave, const QString& codice);
};

void TestRegole::init()
{
    dir = std::make_unique<QTemporaryDir>();
    const QString file = dir->filePath(u"dogana.mdb"_s);
    QVERIFY(store::ArchivioRegistri::crea(file).ok());
    archivio = std::make_unique<store::ArchivioRegistri>(u"regole"_s);
    QVERIFY(archivio->apriDatabase(file).ok());
    QVERIFY(archivio->apriRegistri().ok());
    QVERIFY(archivio->apriTestata().ok());
}

void TestRegole::cleanup()
{
    archivio.reset();
    dir.reset();
}

QVariantMap TestRegole::riga(const QString& tabella, const QString& chiave, const QString& codice)
{
    QVariantMap valori;
    QSqlQuery q(archivio->database());
    q.prepare(u"SELECT * FROM %1 WHERE %2 = ?"_s.arg(tabella, chiave));
    q.addBindValue(codice);
    if (q.exec() && q.next())
        for (int i = 0; i < q.record().count(); ++i)
            valori[q.record().fieldName(i)] = q.value(i);
    return valori;
}

void TestRegole::savedRowKeepsTheWriterRules_data()
{
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QVariantMap>("attesi");
    const QVariantMap scarico{{u"SspCarScar"_s, u"S"_s},
                              {u"SspCodiceDischetto"_s, u""_s},
                              {u"SspMeccanogCin"_s, u""_s},
                              {u"SspCodAutorizzazione"_s, u""_s},
                              {u"SspMeccanogNum"_s, 0},
                              {u"SspUltimoCarico"_s, 77},
                              {u"SspGruppoCarico"_s, u""_s},
                              {u"SspGruppoSCarico"_s, u"."_s},
                              {u"SspNTelefonoDaChiamare"_s, u""_s},
                              {u"SspRiqA"_s, u""_s},
                              {u"SspStampaperSerie"_s, 1},
                              {u"SspTipoProtocollo"_s, u"G"_s},
                              {u"SspACT"_s, u"A"_s}};
    QVariantMap carico{{u"SspCarScar"_s, u"C"_s},
                       {u"SspCodiceDischetto"_s, u"  VALORE 2 "_s},
                       {u"SspMeccanogNum"_s, 123},
                       {u"SspUltimoCarico"_s, 45},
                       {u"SspGruppoCarico"_s, u"  VALORE 7 "_s},
                       {u"SspStampaperSerie"_s, 0},
                       {u"SspTipoProtocollo"_s, u"P"_s},
                       {u"SspACT"_s, u"T"_s}};
    QTest::newRow("scarico") << 0 << scarico;
    QTest::newRow("carico") << 1 << carico;
    carico[u"SspCarScar"_s] = u"G"_s;
    QTest::newRow("gruppo") << 2 << carico;
}

void TestRegole::savedRowKeepsTheWriterRules()
{
    QFETCH(int, tipo);
    QFETCH(QVariantMap, attesi);
    archivio->database().exec(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspUltimaFilialeCheHaAcquisito,"
                              " SspDataUltimaAcquisizione, SspUltimoBloccoNumeriAcquisiti, SspFilialeCheHaIRegistri)"
                              " VALUES ('REG1', 'MI', 46000.5, 12, 'TO')"_s);
    Registro r;
    QVERIFY(regole::leggiMaschera(compilata(tipo), r).ok());
    QVERIFY(archivio->scrivi(r, regole::testataMaschera(compilata(tipo))).esito.ok());
    const QVariantMap salvata = riga(u"TabellaSerieSemplificata"_s, u"SspCodice"_s, u"REG1"_s);
    for (auto it = attesi.cbegin(); it != attesi.cend(); ++it)
        QCOMPARE(salvata.value(it.key()).toString(), it.value().toString());
    QCOMPARE(salvata.value(u"SspUltimaFilialeCheHaAcquisito"_s).toString(), u" "_s);
    QCOMPARE(salvata.value(u"SspDataUltimaAcquisizione"_s).toDouble(), 0.0);
    QCOMPARE(salvata.value(u"SspUltimoBloccoNumeriAcquisiti"_s).toInt(), 0);
    QCOMPARE(salvata.value(u"SspFilialeCheHaIRegistri"_s).toString(), u" "_s);
    for (auto it = salvata.cbegin(); it != salvata.cend(); ++it)
        QVERIFY2(!it.value().isNull(), qPrintable(it.key()));
    const QVariantMap testata = riga(u"TestataRegistriPS"_s, u"TpsCodice"_s, u"REG1"_s);
    QCOMPARE(testata.value(u"TpsRiga1"_s).toString(), u"VALORE 13"_s);
    QCOMPARE(testata.value(u"TpsRigP5"_s).toString(), u"VALORE 22"_s);
}

void TestRegole::blankGroupsAreStoredAsDots()
{
    Maschera m = compilata(1);
    m.Txt[7] = u"   "_s;
    m.Txt[8] = u""_s;
    m.Txt[13] = u"    "_s;
    Registro r;
    QVERIFY(regole::leggiMaschera(m, r).ok());
    QVERIFY(archivio->scrivi(r, regole::testataMaschera(m)).esito.ok());
    const QVariantMap salvata = riga(u"TabellaSerieSemplificata"_s, u"SspCodice"_s, u"REG1"_s);
    QCOMPARE(salvata.value(u"SspGruppoCarico"_s).toString(), u"."_s);
    QCOMPARE(salvata.value(u"SspGruppoSCarico"_s).toString(), u"."_s);
    const QVariant riga1 = riga(u"TestataRegistriPS"_s, u"TpsCodice"_s, u"REG1"_s).value(u"TpsRiga1"_s);
    QVERIFY(!riga1.isNull());
    QCOMPARE(riga1.toString(), u""_s);
}

void TestRegole::readingANewRegisterKeepsABlankTypeAndRefusesBigNumbers()
{
    Maschera m = compilata(3);
    Registro r;  // a new register's buffer
    QVERIFY(regole::leggiMaschera(m, r).ok());
    QCOMPARE(r.SspCarScar, u" "_s);
    m = compilata(1);
    m.Txt[3] = u"32768"_s;
    QVERIFY(!regole::leggiMaschera(m, r).ok());
    m.Txt[3] = u"32767"_s;
    QVERIFY(regole::leggiMaschera(m, r).ok());
    QCOMPARE(r.SspMeccanogNum, qint16(32767));
}

void TestRegole::shownRegisterTurnsDotsIntoBlanks()
{
    archivio->database().exec(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspCarScar, SspGruppoCarico,"
                              " SspGruppoSCarico) VALUES ('G1', NULL, ' . ', 'S9')"_s);
    store::ArchivioRegistri::Righe righe;
    QVERIFY(archivio->trova(u"g1"_s, righe).ok());
    const std::optional<QSqlRecord>& trovata = righe.registro;
    QVERIFY(trovata);
    const Registro r = store::leggiRegistro(*trovata);
    QCOMPARE(r.SspCarScar, u"C"_s);
    Maschera m;
    regole::mostraRegistro(r, std::nullopt, m);
    QCOMPARE(m.Txt[7], u" "_s);
    QCOMPARE(m.Txt[8], u"S9"_s);
    QCOMPARE(m.Txt[3], u"0"_s);
    QCOMPARE(m.Txt[6], u"0"_s);
    QCOMPARE(m.protocollo, 2);  // Null numbering reads as "G=Giornaliero"
    QCOMPARE(m.riquadri, 0);
    for (const QString& t : m.Txt)
        QVERIFY(!t.contains(u"NULL"_s));
}

void TestRegole::numberTheBoxCannotHoldIsKept_data()
{
    QTest::addColumn<QString>("salvato");
    QTest::addColumn<QString>("digitato");  // null: the box left as shown
    QTest::addColumn<QString>("mostrato");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("above 16 bits") << u"40000"_s << QString() << u"40000"_s << u"40000"_s;
    QTest::newRow("with a fraction") << u"12.5"_s << QString() << u"12.5"_s << u"12.5"_s;
    QTest::newRow("wider than the box") << u"1234567"_s << QString() << u"123456"_s << u"1234567"_s;
    QTest::newRow("changed by the clerk") << u"40000"_s << u"123"_s << u"40000"_s << u"123"_s;
    QTest::newRow("16 bits, changed") << u"7"_s << u"8"_s << u"7"_s << u"8"_s;
}

// A number another program wrote is never changed silently by a confirm.
void TestRegole::numberTheBoxCannotHoldIsKept()
{
    QFETCH(QString, salvato);
    QFETCH(QString, digitato);
    QFETCH(QString, mostrato);
    QFETCH(QString, atteso);
    QSqlQuery q(archivio->database());
    QVERIFY(q.exec(u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspCarScar, SspMeccanogNum) VALUES ('REG1', 'C', %1)"_s.arg(salvato)));
    store::ArchivioRegistri::Righe righe;
    QVERIFY(archivio->trova(u"REG1"_s, righe).ok());
    const std::optional<QSqlRecord>& trovata = righe.registro;
    QVERIFY(trovata);
    Registro r = store::leggiRegistro(*trovata);
    Maschera m = compilata(1);
    regole::mostraRegistro(r, std::nullopt, m);
    QCOMPARE(m.Txt[3], mostrato);
    if (!digitato.isNull())
        m.Txt[3] = digitato;
    QVERIFY(regole::leggiMaschera(m, r).ok());
    QVERIFY(archivio->scrivi(r, regole::testataMaschera(m)).esito.ok());
    QCOMPARE(riga(u"TabellaSerieSemplificata"_s, u"SspCodice"_s, u"REG1"_s).value(u"SspMeccanogNum"_s).toString(), atteso);
}

void TestRegole::missingHeadingShowsBlanksAndUnknownCodesKeepTheList()
{
    Registro r;
    r.SspTipoProtocollo = u"Z"_s;
    Maschera m;
    m.protocollo = 1;
    m.Txt[13] = u"VECCHIA"_s;
    regole::mostraRegistro(r, std::nullopt, m);
    QCOMPARE(m.protocollo, 1);
    QCOMPARE(m.Txt[13], u" "_s);
    TestataRegistro t;
    t.TpsRiga[0] = u"PRIMA"_s;  // the others were Null in the row
    m.Txt[14] = u"TENUTA"_s;
    regole::mostraRegistro(r, t, m);
    QCOMPARE(m.Txt[13], u"PRIMA"_s);
    QCOMPARE(m.Txt[14], u"TENUTA"_s);
}

QTEST_GUILESS_MAIN(TestRegole)
#include "tst_regole.moc"
