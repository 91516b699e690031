#include "../tools/strumento.h"
#include "fileprova.h"

#include "store/campi.h"
#include "store/colonne.h"
#include "store/registro.h"
#include "store/archivioregistri.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Fase = store::ArchivioRegistri::Fase;

Q_DECLARE_METATYPE(Fase)
Q_DECLARE_METATYPE(Registro)
Q_DECLARE_METATYPE(TestataRegistro)

namespace {

Registro registro(const QString& codice, const QString& descrizione)
{
    Registro r{codice};
    r.SspDescrizione = descrizione;
    r.SspCarScar = u"C"_s;
    r.SspUltimoCarico = 41;
    r.SspGruppoCarico = u"GMI"_s;
    r.SspGruppoSCarico = u"SMI"_s;
    r.SspStampaperSerie = false;
    r.SspCodiceDischetto = u"A1"_s;
    r.SspMeccanogCin = u"K"_s;
    r.SspMeccanogNum = 12345;
    r.SspCodAutorizzazione = u"0123/PS/E"_s;
    r.SspNTelefonoDaChiamare = u"M01"_s;
    r.SspRiqA = u"AUT. 0123/PS"_s;
    r.SspTipoProtocollo = u"P"_s;
    r.SspACT = u"T"_s;
    return r;
}

TestataRegistro testata(const QString& prima)
{
    TestataRegistro t;
    t.TpsRiga = {prima, u"AUTOTRASPORTI LOMBARDI S.P.A."_s, u""_s, u""_s, u""_s};
    t.TpsRigP = {u"PREAVVISO DI SPEDIZIONE"_s, u""_s, u""_s, u""_s, u""_s};
    return t;
}

// The buffer as the names and values a clerk would read, so a failure shows which member differs.
QStringList descrivi(const Registro& r)
{
    return {u"SspCodice="_s + r.SspCodice,
            u"SspDescrizione="_s + r.SspDescrizione,
            u"SspCarScar="_s + r.SspCarScar,
            u"SspUltimoCarico="_s + QString::number(r.SspUltimoCarico),
            u"SspGruppoCarico="_s + r.SspGruppoCarico,
            u"SspGruppoSCarico="_s + r.SspGruppoSCarico,
            u"SspStampaperSerie="_s + (r.SspStampaperSerie ? u"vero"_s : u"falso"_s),
            u"SspCodiceDischetto="_s + r.SspCodiceDischetto,
            u"SspMeccanogCin="_s + r.SspMeccanogCin,
            u"SspMeccanogNum="_s + QString::number(r.SspMeccanogNum),
            u"SspCodAutorizzazione="_s + r.SspCodAutorizzazione,
            u"SspNTelefonoDaChiamare="_s + r.SspNTelefonoDaChiamare,
            u"SspRiqA="_s + r.SspRiqA,
            u"SspTipoProtocollo="_s + r.SspTipoProtocollo,
            u"SspACT="_s + r.SspACT};
}

// Values as a clerk reads them: a Null as such, a boolean as 0 or 1, as either engine gives them.
QStringList comeTesto(const QVariantList& valori)
{
    QStringList t;
    for (const QVariant& v : valori)
        t << (v.isNull() ? u"<null>"_s : v.typeId() == QMetaType::Bool ? QString::number(int(v.toBool())) : v.toString());
    return t;
}

QString nomi(std::span<const store::Colonna> colonne)
{
    QStringList n;
    for (const store::Colonna& c : colonne)
        n << c.nome;
    return n.join(u", "_s);
}

// Both rows of `codice` as the tables hold them, Nulls for a row that is missing.
QStringList righeOra(const FileProva& f, const QString& codice)
{
    QVariantList v;
    for (const auto& [tabella, colonne] : {std::pair{store::tabellaRegistri, store::colonneRegistri()},
                                           std::pair{store::tabellaTestata, store::colonneTestata()}}) {
        const QList<QVariantList> r =
            f.righe(u"SELECT %1 FROM %2 WHERE %3 = ?"_s.arg(nomi(colonne), tabella, colonne.front().nome), {codice});
        v += r.isEmpty() ? QVariantList(qsizetype(colonne.size())) : r.front();
    }
    return comeTesto(v);
}

// The same two rows as history row `numero` holds them.
QStringList righeStorico(const FileProva& f, int numero)
{
    const QList<QVariantList> r = f.righe(
        u"SELECT %1 FROM StoricoRegistri WHERE StoNumero = ?"_s.arg(
            nomi(store::colonneStorico().subspan(store::colonneProprieStorico))),
        {numero});
    return r.isEmpty() ? QStringList() : comeTesto(r.front());
}

} // namespace

// Look-ups, saves and deletes, checked in what the company's store holds afterwards.
class TestRegistri final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rilettoComeSalvato_data();
    void rilettoComeSalvato();
    void nessunNulloScritto();
    void colonneDiAcquisizioneAzzerate_data();
    void colonneDiAcquisizioneAzzerate();
    void righeTestataRipulite_data();
    void righeTestataRipulite();
    void codiciDiUnCarattere_data();
    void codiciDiUnCarattere();
    void righeGiaPresenti_data();
    void righeGiaPresenti();
    void fallimentoAnnullaEntrambe_data();
    void fallimentoAnnullaEntrambe();
    void rigaDiAltriConNulli_data();
    void rigaDiAltriConNulli();
    void storicoAggiuntoAlPrimoSalvataggio();
    void ripristino_data();
    void ripristino();

private:
    // The store's record of `codice` in a table, read through the store.
    QSqlRecord trovato(bool registro, const QString& codice);

    std::unique_ptr<FileProva> f;
    std::unique_ptr<store::ArchivioRegistri> archivio;
};

QSqlRecord TestRegistri::trovato(bool registro, const QString& codice)
{
    store::ArchivioRegistri::Righe righe;
    const std::optional<QSqlRecord>& riga = registro ? righe.registro : righe.testata;
    return archivio->trova(codice, righe).ok() && riga ? *riga : QSqlRecord();
}

void TestRegistri::init()
{
    f = std::make_unique<FileProva>();
    QVERIFY(f->crea());
    archivio = std::make_unique<store::ArchivioRegistri>(u"registri"_s);
    QVERIFY(archivio->apriDatabase(f->percorso()).ok());
    QVERIFY(archivio->apriRegistri().ok());
    QVERIFY(archivio->apriTestata().ok());
}

void TestRegistri::cleanup()
{
    archivio.reset();
    f.reset();
}

void TestRegistri::rilettoComeSalvato_data()
{
    QTest::addColumn<Registro>("salvato");
    QTest::addColumn<TestataRegistro>("righe");

    QTest::newRow("registro di carico") << registro(u"C1"_s, u"CARICO"_s) << testata(u"DOGANA DI MILANO"_s);
    Registro estremi = registro(u"MAX"_s, u"L'AQUILA \\ \"SEZIONE\" ; -- È"_s);
    estremi.SspUltimoCarico = 2147483647;
    estremi.SspMeccanogNum = -32768;
    estremi.SspStampaperSerie = true;
    estremi.SspRiqA = u"%_?$1 ''"_s;
    TestataRegistro lunghe;
    lunghe.TpsRiga = {QString(160, u'W'), u"à è é ì ò ù €"_s, u"?"_s, u"$1"_s, u"'; DROP TABLE x; --"_s};
    lunghe.TpsRigP = {QString(80, u'x'), u""_s, u"\\N"_s, u"NULL"_s, u"\t"_s};
    QTest::newRow("valori estremi e segni") << estremi << lunghe;
    Registro minimi = registro(u"MIN"_s, u" "_s);
    minimi.SspUltimoCarico = -2147483647 - 1;
    minimi.SspMeccanogNum = 32767;
    QTest::newRow("valori minimi") << minimi << TestataRegistro{};
}

void TestRegistri::rilettoComeSalvato()
{
    QFETCH(Registro, salvato);
    QFETCH(TestataRegistro, righe);
    QVERIFY(archivio->scrivi(salvato, righe).esito.ok());
    QCOMPARE(descrivi(store::leggiRegistro(trovato(true, salvato.SspCodice))), descrivi(salvato));
    const TestataRegistro letta = store::leggiTestata(trovato(false, salvato.SspCodice));
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(letta.TpsRiga[i], righe.TpsRiga[i].trimmed());
        QCOMPARE(letta.TpsRigP[i], righe.TpsRigP[i].trimmed());
    }
}

void TestRegistri::nessunNulloScritto()
{
    Registro r{u"VUOTO"_s};
    r.SspDescrizione = QString();
    r.SspCodiceDischetto = QString();
    r.SspMeccanogCin = u""_s;
    r.SspCodAutorizzazione = u""_s;
    r.SspGruppoCarico = u""_s;
    r.SspNTelefonoDaChiamare = QString();
    r.SspRiqA = u""_s;
    QVERIFY(archivio->scrivi(r, TestataRegistro{}).esito.ok());

    for (const auto& [tabella, colonne] : {std::pair{store::tabellaRegistri, store::colonneRegistri()},
                                           std::pair{store::tabellaTestata, store::colonneTestata()}})
        for (const store::Colonna& c : colonne) {
            const QString sql = u"SELECT COUNT(*) FROM \"%2\" WHERE \"%1\" IS NULL"_s.arg(c.nome, tabella);
            QVERIFY2(f->valore(sql).toInt() == 0, qPrintable(tabella + u'.' + c.nome));
        }
    QCOMPARE(f->righe(u"SELECT SspDescrizione, SspCodiceDischetto, SspMeccanogCin, SspGruppoCarico, "
                      u"SspNTelefonoDaChiamare, SspRiqA FROM TabellaSerieSemplificata"_s),
             (QList<QVariantList>{{u""_s, u""_s, u""_s, u""_s, u""_s, u""_s}}));
    QCOMPARE(f->righe(u"SELECT TpsRiga1, TpsRiga5, TpsRigP1, TpsRigP5 FROM TestataRegistriPS"_s),
             (QList<QVariantList>{{u""_s, u""_s, u""_s, u""_s}}));
}

void TestRegistri::colonneDiAcquisizioneAzzerate_data()
{
    QTest::addColumn<QString>("prima");
    QTest::newRow("registro nuovo") << QString();
    QTest::newRow("registro con un'altra acquisizione")
        << u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione, SspUltimaFilialeCheHaAcquisito, "
           u"SspDataUltimaAcquisizione, SspUltimoBloccoNumeriAcquisiti, SspFilialeCheHaIRegistri) "
           u"VALUES ('ACQ', 'VECCHIO', 'FILIALE DI ROMA', 45123.5, 17, 'SEDE DI NAPOLI')"_s;
    QTest::newRow("registro con Null nelle acquisizioni")
        << u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('ACQ')"_s;
}

void TestRegistri::colonneDiAcquisizioneAzzerate()
{
    QFETCH(QString, prima);
    if (!prima.isEmpty())
        QCOMPARE(f->esegui({prima}), QString());
    QVERIFY(archivio->scrivi(registro(u"ACQ"_s, u"NUOVO"_s), testata(u""_s)).esito.ok());
    QCOMPARE(f->righe(u"SELECT SspDescrizione, SspUltimaFilialeCheHaAcquisito, SspDataUltimaAcquisizione, "
                      u"SspUltimoBloccoNumeriAcquisiti, SspFilialeCheHaIRegistri FROM TabellaSerieSemplificata"_s),
             (QList<QVariantList>{{u"NUOVO"_s, u" "_s, 0, 0, u" "_s}}));
}

void TestRegistri::righeTestataRipulite_data()
{
    QTest::addColumn<QString>("scritta");
    QTest::addColumn<QString>("salvata");
    QTest::newRow("spazi intorno") << u"   DOGANA DI MILANO - SEZIONE EXPORT  "_s
                                   << u"DOGANA DI MILANO - SEZIONE EXPORT"_s;
    QTest::newRow("spazi interni conservati") << u"SERIE  @   BIMESTRE #"_s << u"SERIE  @   BIMESTRE #"_s;
    QTest::newRow("solo spazi") << u"      "_s << u""_s;
    QTest::newRow("vuota") << u""_s << u""_s;
    QTest::newRow("nulla") << QString() << u""_s;
}

void TestRegistri::righeTestataRipulite()
{
    QFETCH(QString, scritta);
    QFETCH(QString, salvata);
    TestataRegistro t = testata(u"PRIMA"_s);
    t.TpsRiga[2] = scritta;
    t.TpsRigP[4] = scritta;
    QVERIFY(archivio->scrivi(registro(u"S1"_s, u"SCARICO"_s), t).esito.ok());
    QCOMPARE(f->righe(u"SELECT TpsRiga3, %1, TpsRigP5, %2, TpsRiga1 FROM TestataRegistriPS"_s.arg(
                 FileProva::tipo(u"TpsRiga3"_s), FileProva::tipo(u"TpsRigP5"_s))),
             (QList<QVariantList>{{salvata, u"text"_s, salvata, u"text"_s, u"PRIMA"_s}}));
}

void TestRegistri::codiciDiUnCarattere_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("protocollo");
    QTest::addColumn<QString>("salvati");
    QTest::newRow("codici semplici") << u"G"_s << u"N"_s << u"G|N"_s;
    QTest::newRow("voce di elenco") << u"S"_s << u"P=Progressivo"_s << u"S|P"_s;
    QTest::newRow("nessun tipo scelto") << u" "_s << u"G"_s << u" |G"_s;
    QTest::newRow("testo vuoto") << u""_s << u""_s << u" | "_s;
    QTest::newRow("testo nullo") << QString() << QString() << u" | "_s;
}

void TestRegistri::codiciDiUnCarattere()
{
    QFETCH(QString, tipo);
    QFETCH(QString, protocollo);
    QFETCH(QString, salvati);
    Registro r = registro(u"T1"_s, u"TIPI"_s);
    r.SspCarScar = tipo;
    r.SspTipoProtocollo = protocollo;
    QVERIFY(archivio->scrivi(r, testata(u""_s)).esito.ok());
    QCOMPARE(f->valore(u"SELECT SspCarScar || '|' || SspTipoProtocollo FROM TabellaSerieSemplificata"_s).toString(),
             salvati);
}

void TestRegistri::righeGiaPresenti_data()
{
    QTest::addColumn<QStringList>("presenti");
    QTest::addColumn<QString>("salvato");
    QTest::addColumn<QString>("eliminato");
    QTest::addColumn<QStringList>("registri");
    QTest::addColumn<QStringList>("testate");
    QTest::addColumn<QStringList>("storico");  // operation, register's code, heading's code

    const QString registro = u"INSERT INTO TabellaSerieSemplificata (SspCodice, SspDescrizione) VALUES ('%1', 'X')"_s;
    const QString testata = u"INSERT INTO TestataRegistriPS (TpsCodice, TpsRiga1) VALUES ('%1', 'X')"_s;
    // Another clerk stores the code in other letters between this clerk's look-up and save.
    QTest::newRow("codice senza riguardo alle maiuscole")
        << QStringList{registro.arg(u"n1"_s), testata.arg(u"n1"_s)} << u"N1"_s << QString() << QStringList{u"N1|MIO"_s}
        << QStringList{u"N1|MIA"_s} << QStringList{u"VARIAZIONE|N1|N1"_s};
    QTest::newRow("registro senza testata ne riceve una")
        << QStringList{registro.arg(u"SOLO"_s)} << u"SOLO"_s << QString() << QStringList{u"SOLO|MIO"_s}
        << QStringList{u"SOLO|MIA"_s} << QStringList{u"VARIAZIONE|SOLO|SOLO"_s};
    QTest::newRow("nuovo registro") << QStringList() << u"NUOVO"_s << QString() << QStringList{u"NUOVO|MIO"_s}
                                    << QStringList{u"NUOVO|MIA"_s} << QStringList{u"INSERIMENTO|NUOVO|NUOVO"_s};
    QTest::newRow("elimina entrambe le righe")
        << QStringList{registro.arg(u"E1"_s), testata.arg(u"E1"_s), registro.arg(u"E2"_s), testata.arg(u"E2"_s)}
        << QString() << u"e1"_s << QStringList{u"E2|X"_s} << QStringList{u"E2|X"_s}
        << QStringList{u"CANCELLAZIONE|E1|E1"_s};
    // Nulls of another program's row are kept in the history as they were.
    QTest::newRow("elimina senza testata")
        << QStringList{registro.arg(u"ORFANO"_s)} << QString() << u"ORFANO"_s << QStringList() << QStringList()
        << QStringList{u"CANCELLAZIONE|ORFANO|<null>"_s};
    QTest::newRow("elimina una testata senza registro")
        << QStringList{testata.arg(u"ORFANA"_s)} << QString() << u"orfana"_s << QStringList() << QStringList()
        << QStringList{u"CANCELLAZIONE|<null>|ORFANA"_s};
    QTest::newRow("elimina un codice assente")
        << QStringList() << QString() << u"NESSUNO"_s << QStringList() << QStringList() << QStringList();
}

void TestRegistri::righeGiaPresenti()
{
    QFETCH(QStringList, presenti);
    QFETCH(QString, salvato);
    QFETCH(QString, eliminato);
    QFETCH(QStringList, registri);
    QFETCH(QStringList, testate);
    QFETCH(QStringList, storico);
    const QString codice = salvato.isEmpty() ? eliminato : salvato;
    QVERIFY(trovato(true, codice).isEmpty());
    QCOMPARE(f->esegui(presenti), QString());
    const QStringList primaDellaCancellazione = righeOra(*f, codice);
    const QDateTime inizio = QDateTime::currentDateTimeUtc().addSecs(-1);
    Fase fase = Fase::Testata;
    if (salvato.isEmpty()) {
        QVERIFY(archivio->elimina(eliminato, &fase).ok());
    } else {
        const auto esito = archivio->scrivi(registro(salvato, u"MIO"_s), testata(u"MIA"_s));
        QVERIFY(esito.esito.ok());
        fase = esito.fase;
    }
    QCOMPARE(fase, Fase::Nessuna);
    const auto testo = [&](const QString& sql) {
        QStringList r;
        for (const QVariantList& riga : f->righe(sql))
            r << riga.front().toString() + u'|' + riga.back().toString();
        return r;
    };
    QCOMPARE(testo(u"SELECT SspCodice, SspDescrizione FROM TabellaSerieSemplificata ORDER BY SspCodice"_s), registri);
    QCOMPARE(testo(u"SELECT TpsCodice, TpsRiga1 FROM TestataRegistriPS ORDER BY TpsCodice"_s), testate);
    // What is left is what the store finds, whatever the case of the code asked for.
    for (const QString& r : registri) {
        const QString c = r.section(u'|', 0, 0).toLower();
        QCOMPARE(trovato(true, c).value(u"SspDescrizione"_s).toString(), r.section(u'|', 1));
        QCOMPARE(trovato(false, c).value(u"TpsRiga1"_s).toString(), testate.at(registri.indexOf(r)).section(u'|', 1));
    }
    // One history row: who, where and when, and both rows as stored, or as they were before a deletion.
    QStringList scritte;
    for (const QVariantList& riga : f->righe(u"SELECT StoOperazione, SspCodice, TpsCodice FROM StoricoRegistri"_s))
        scritte << comeTesto(riga).join(u'|');
    QCOMPARE(scritte, storico);
    if (storico.isEmpty())
        return;
    QCOMPARE(righeStorico(*f, 1), salvato.isEmpty() ? primaDellaCancellazione : righeOra(*f, codice));
    const QList<QVariantList> chi = f->righe(u"SELECT StoUtente, StoComputer, StoQuando FROM StoricoRegistri"_s);
    const QString utente = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
    QCOMPARE(chi.front().at(0).toString(), FileProva::server() ? utente + u" (pemtarx)"_s : utente);
    QCOMPARE(chi.front().at(1).toString(), QSysInfo::machineHostName());
    const QString quando = chi.front().at(2).toString();
    QVERIFY2(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"_s).match(quando).hasMatch(), qPrintable(quando));
    const QDateTime momento = QDateTime::fromString(quando, Qt::ISODateWithMs);
    QVERIFY2(momento >= inizio && momento <= QDateTime::currentDateTimeUtc().addSecs(1), qPrintable(quando));
}

void TestRegistri::fallimentoAnnullaEntrambe_data()
{
    QTest::addColumn<QString>("quando");
    QTest::addColumn<QString>("tabella");
    QTest::addColumn<bool>("elimina");
    QTest::addColumn<QString>("codice");
    QTest::addColumn<Fase>("fase");

    const QString testata = u"TestataRegistriPS"_s;
    const QString registri = u"TabellaSerieSemplificata"_s;
    QTest::newRow("nuovo registro, testata rifiutata")
        << u"INSERT"_s << testata << false << u"NUOVO"_s << Fase::Testata;
    QTest::newRow("registro esistente, testata rifiutata")
        << u"UPDATE"_s << testata << false << u"ESISTE"_s << Fase::Testata;
    QTest::newRow("nuovo registro rifiutato") << u"INSERT"_s << registri << false << u"NUOVO"_s << Fase::Registro;
    QTest::newRow("registro esistente rifiutato") << u"UPDATE"_s << registri << false << u"ESISTE"_s << Fase::Registro;
    QTest::newRow("cancellazione della testata rifiutata")
        << u"DELETE"_s << testata << true << u"ESISTE"_s << Fase::Testata;
    QTest::newRow("cancellazione del registro rifiutata")
        << u"DELETE"_s << registri << true << u"ESISTE"_s << Fase::Registro;
    QTest::newRow("riga di storico del salvataggio rifiutata")
        << u"INSERT"_s << u"StoricoRegistri"_s << false << u"ESISTE"_s << Fase::Testata;
    QTest::newRow("riga di storico della cancellazione rifiutata")
        << u"INSERT"_s << u"StoricoRegistri"_s << true << u"ESISTE"_s << Fase::Registro;
}

void TestRegistri::fallimentoAnnullaEntrambe()
{
    QFETCH(QString, quando);
    QFETCH(QString, tabella);
    QFETCH(bool, elimina);
    QFETCH(QString, codice);
    QFETCH(Fase, fase);
    QVERIFY(archivio->scrivi(registro(u"ESISTE"_s, u"COME PRIMA"_s), testata(u"COME PRIMA"_s)).esito.ok());
    // The trigger arrives after the store prepared its statements, as a schema change by another program would.
    QCOMPARE(f->esegui(FileProva::rifiuta(quando, tabella)), QString());
    const QString prima = f->istantanea();

    Fase riportata = Fase::Nessuna;
    store::Esito e;
    if (elimina) {
        e = archivio->elimina(codice, &riportata);
    } else {
        const auto esito = archivio->scrivi(registro(codice, u"CAMBIATO"_s), testata(u"CAMBIATA"_s));
        e = esito.esito;
        riportata = esito.fase;
    }
    QVERIFY(!e.ok());
    QCOMPARE(riportata, fase);
    QVERIFY2(e.descrizione.contains(u"rifiutato dalla prova"_s), qPrintable(e.descrizione));
    QCOMPARE(f->istantanea(), prima);

    // Nothing stays open or locked: the next save goes through.
    QCOMPARE(f->esegui({FileProva::togliRifiuto(tabella)}), QString());
    QVERIFY(archivio->scrivi(registro(codice, u"CAMBIATO"_s), testata(u"CAMBIATA"_s)).esito.ok());
    QCOMPARE(f->valore(u"SELECT TpsRiga1 FROM TestataRegistriPS WHERE TpsCodice = ?"_s, {codice}).toString(),
             u"CAMBIATA"_s);
}

void TestRegistri::rigaDiAltriConNulli_data()
{
    QTest::addColumn<QString>("valori");
    QTest::addColumn<QStringList>("attesi");

    const QStringList predefiniti{u"SspCodice=ALTRI"_s,
                                  u"SspDescrizione= "_s,
                                  u"SspCarScar=C"_s,
                                  u"SspUltimoCarico=0"_s,
                                  u"SspGruppoCarico= "_s,
                                  u"SspGruppoSCarico= "_s,
                                  u"SspStampaperSerie=falso"_s,
                                  u"SspCodiceDischetto= "_s,
                                  u"SspMeccanogCin= "_s,
                                  u"SspMeccanogNum=0"_s,
                                  u"SspCodAutorizzazione= "_s,
                                  u"SspNTelefonoDaChiamare= "_s,
                                  u"SspRiqA= "_s,
                                  u"SspTipoProtocollo=G"_s,
                                  u"SspACT=A"_s};
    QTest::newRow("Null in ogni colonna tranne il codice") << QString() << predefiniti;

    QStringList strani = predefiniti;
    strani[13] = u"SspTipoProtocollo= "_s;
    // The server keeps every column to its type: only a file can hold letters in a number or a NUL.
    if (!FileProva::server())
        QTest::newRow("spazi, punto e lettere al posto dei numeri")
            << u"SspCarScar = '   ', SspGruppoCarico = ' . ', SspMeccanogNum = '12A', "
               u"SspCodAutorizzazione = char(0) || 'X', SspTipoProtocollo = ''"_s
            << strani;
}

void TestRegistri::rigaDiAltriConNulli()
{
    QFETCH(QString, valori);
    QFETCH(QStringList, attesi);
    QStringList sql{u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('ALTRI')"_s,
                    u"INSERT INTO TestataRegistriPS (TpsCodice) VALUES ('ALTRI')"_s};
    if (!valori.isEmpty())
        sql << u"UPDATE TabellaSerieSemplificata SET "_s + valori;
    QCOMPARE(f->esegui(sql), QString());

    QCOMPARE(descrivi(store::leggiRegistro(trovato(true, u"ALTRI"_s))), attesi);

    const TestataRegistro t = store::leggiTestata(trovato(false, u"ALTRI"_s));
    QCOMPARE(t.TpsCodice, u"ALTRI"_s);
    for (const QString& linea : t.TpsRiga)
        QCOMPARE(linea, u""_s);
    for (const QString& linea : t.TpsRigP)
        QCOMPARE(linea, u""_s);
}

void TestRegistri::storicoAggiuntoAlPrimoSalvataggio()
{
    const QString schema =
        FileProva::server()
            ? u"SELECT tablename || '.' || indexname, indexdef FROM pg_indexes WHERE schemaname = 'public' UNION ALL "
              u"SELECT table_name || '.' || column_name, data_type || ' ' || collation_name FROM "
              u"information_schema.columns WHERE table_schema = 'public' ORDER BY 1"_s
            : u"SELECT name, sql FROM sqlite_master ORDER BY name"_s;
    // A store made before the history, with a register of its own.
    QCOMPARE(f->esegui({u"DROP TABLE StoricoRegistri"_s,
                        u"INSERT INTO TabellaSerieSemplificata (SspCodice) VALUES ('VECCHIO')"_s}),
             QString());
    const QList<QVariantList> prima = f->righe(schema);
    QVERIFY(archivio->scrivi(registro(u"NUOVO"_s, u"MIO"_s), testata(u"MIA"_s)).esito.ok());
    QList<QVariantList> dopo = f->righe(schema);
    dopo.removeIf([](const QVariantList& r) { return r.front().toString().startsWith(u"StoricoRegistri"_s); });
    QCOMPARE(dopo, prima);
    QCOMPARE(f->righe(u"SELECT StoOperazione, SspCodice FROM StoricoRegistri"_s),
             (QList<QVariantList>{{u"INSERIMENTO"_s, u"NUOVO"_s}}));
    QCOMPARE(f->righe(u"SELECT SspCodice FROM TabellaSerieSemplificata WHERE SspDescrizione IS NULL"_s),
             (QList<QVariantList>{{u"VECCHIO"_s}}));
}

void TestRegistri::ripristino_data()
{
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<int>("uscita");
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("registro cancellato") << u"R1"_s << u"2"_s << 0
                                         << u"REGISTRO R1 RIPRISTINATO COM'ERA NELLA RIGA 2 DELLO STORICO"_s;
    QTest::newRow("registro esistente, codice in minuscolo") << u"r2"_s << u"3"_s << 0 << u"REGISTRO r2 RIPRISTINATO"_s;
    QTest::newRow("riga di un altro codice") << u"R1"_s << u"3"_s << 1 << u"LA RIGA 3 DELLO STORICO NON E' DEL REGISTRO R1"_s;
    QTest::newRow("numero inesistente") << u"R1"_s << u"99"_s << 1 << u"NUMERO 99 INESISTENTE NELLO STORICO"_s;
    QTest::newRow("numero non valido") << u"R1"_s << u"2x"_s << 2 << u"NUMERO NON VALIDO: 2x"_s;
}

void TestRegistri::ripristino()
{
    QFETCH(QString, codice);
    QFETCH(QString, numero);
    QFETCH(int, uscita);
    QFETCH(QString, messaggio);
    // 1 R1 inserted, 2 R1 changed, 3 R2 inserted, 4 R1 deleted, 5 R2 changed.
    TestataRegistro righe = testata(u"DI \"ROMA\"; SUD"_s);
    righe.TpsRigP[4] = u"ULTIMA"_s;
    QVERIFY(archivio->scrivi(registro(u"R1"_s, u"PRIMA"_s), testata(u"UNO"_s)).esito.ok());
    QVERIFY(archivio->scrivi(registro(u"R1"_s, u"SECONDA"_s), righe).esito.ok());
    QVERIFY(archivio->scrivi(registro(u"R2"_s, u"ALTRO"_s), testata(u"DUE"_s)).esito.ok());
    QVERIFY(archivio->elimina(u"R1"_s).ok());
    QVERIFY(archivio->scrivi(registro(u"R2"_s, u"CAMBIATO"_s), testata(u"TRE"_s)).esito.ok());
    const QString prima = f->istantanea();

    const strumento::Uscita u = strumento::pemtarxDb({u"ripristina"_s, f->percorso(), codice, numero});
    QCOMPARE(u.codice, uscita);
    QVERIFY2((uscita ? u.errori : u.standard).contains(messaggio), qPrintable(u.errori + u.standard));
    if (uscita != 0) {
        QCOMPARE(f->istantanea(), prima);
        return;
    }
    // Both rows as the history row holds them, and a history row of the restore that says so.
    QCOMPARE(righeOra(*f, codice), righeStorico(*f, numero.toInt()));
    QCOMPARE(righeStorico(*f, 6), righeStorico(*f, numero.toInt()));
    QCOMPARE(f->valore(u"SELECT StoOperazione FROM StoricoRegistri WHERE StoNumero = 6"_s).toString(), u"RIPRISTINO"_s);

    // The listing of one code, oldest first, ready for a spreadsheet.
    const strumento::Uscita csv = strumento::pemtarxDb({u"storico"_s, f->percorso(), u"r1"_s, u"--csv"_s});
    QCOMPARE(csv.codice, 0);
    const QStringList linee = csv.standard.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(linee.front().startsWith(u"numero;quando;utente;computer;operazione;SspCodice;SspDescrizione;"_s),
             qPrintable(linee.front()));
    QVERIFY(linee.front().endsWith(u";TpsRigP5"_s));
    QStringList operazioni;
    for (const QString& l : linee.mid(1))
        operazioni << l.section(u';', 4, 4);
    QCOMPARE(operazioni.size(), codice == u"R1"_s ? 4 : 3);
    QCOMPARE(operazioni.mid(0, 3), (QStringList{u"\"INSERIMENTO\""_s, u"\"VARIAZIONE\""_s, u"\"CANCELLAZIONE\""_s}));
    QVERIFY2(linee.at(2).contains(u";\"DI \"\"ROMA\"\"; SUD\";"_s) && linee.at(2).endsWith(u";\"ULTIMA\""_s),
             qPrintable(linee.at(2)));
    const strumento::Uscita tutte = strumento::pemtarxDb({u"storico"_s, f->percorso()});
    QCOMPARE(tutte.codice, 0);
    QCOMPARE(tutte.standard.count(u'\n'), 7);
}

QTEST_GUILESS_MAIN(TestRegistri)
#include "tst_store_registri.moc"
