#include "store/campi.h"
#include "store/colonne.h"
#include "store/grezzo.h"
#include "store/registro.h"
#include "store/archivioregistri.h"
#include "tools/importa.h"
#include "tools/jet.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlField>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>
#include <signal.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString cartella = QStringLiteral(PEMTARX_DATI);
const QString base = cartella + u"serie_base.mdb"_s;
const QString senzaTestata = cartella + u"serie_senza_testata.mdb"_s;

// The register table's columns in the order the original engine's file and its .jsonl keep them.
const QStringList ordineJetRegistri{
    u"SspCodice"_s, u"SspDescrizione"_s, u"SspCarScar"_s, u"SspUltimoCarico"_s, u"SspGruppoCarico"_s,
    u"SspGruppoSCarico"_s, u"SspStampaperSerie"_s, u"SspCodiceDischetto"_s, u"SspMeccanogNum"_s,
    u"SspMeccanogCin"_s, u"SspCodAutorizzazione"_s, u"SspNTelefonoDaChiamare"_s, u"SspRiqA"_s,
    u"SspTipoProtocollo"_s, u"SspACT"_s, u"SspUltimaFilialeCheHaAcquisito"_s, u"SspDataUltimaAcquisizione"_s,
    u"SspUltimoBloccoNumeriAcquisiti"_s, u"SspFilialeCheHaIRegistri"_s};

const QStringList ordineJetTestata{u"TpsCodice"_s, u"TpsRiga1"_s, u"TpsRiga2"_s, u"TpsRiga3"_s, u"TpsRiga4"_s, u"TpsRiga5"_s,
                                   u"TpsRigP1"_s, u"TpsRigP2"_s, u"TpsRigP3"_s, u"TpsRigP4"_s, u"TpsRigP5"_s};

// One row of a .jsonl, by column name; a JSON null is an invalid QVariant.
using RigaJson = QList<std::pair<QString, QJsonValue>>;

QList<RigaJson> leggiJsonl(const QString& file, const QStringList& nomi)
{
    QList<RigaJson> righe;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("%s", qPrintable(file));
    while (!f.atEnd()) {
        const QByteArray linea = f.readLine().trimmed();
        if (linea.isEmpty())
            continue;
        const QJsonArray a = QJsonDocument::fromJson(linea).array();
        RigaJson r;
        for (int i = 0; i < nomi.size(); ++i)
            r.append({nomi[i], a.at(i)});
        righe << r;
    }
    return righe;
}

int indice(std::span<const store::Colonna> colonne, const QString& nome)
{
    for (size_t i = 0; i < colonne.size(); ++i)
        if (colonne[i].nome == nome)
            return int(i);
    return -1;
}

bool nullo(const QVariant& v) { return !v.isValid() || v.isNull(); }

// The stored value is what the .jsonl says the file holds, with no conversion at all.
QString differenza(const store::Colonna& c, const QJsonValue& atteso, const QVariant& v)
{
    if (atteso.isNull() || nullo(v))
        return atteso.isNull() == nullo(v) ? QString() : c.nome + u": Null? "_s + v.toString();
    const QVariant a = c.tipo == store::Tipo::Testo      ? QVariant(atteso.toString())
                       : c.tipo == store::Tipo::Reale    ? QVariant(atteso.toDouble())
                       : c.tipo == store::Tipo::Booleano ? QVariant(qlonglong(atteso.toBool()))
                                                         : QVariant(qlonglong(atteso.toInteger()));
    const bool uguale = (c.tipo == store::Tipo::Booleano || v.typeId() == a.typeId()) &&
                        (c.tipo == store::Tipo::Reale ? std::bit_cast<quint64>(v.toDouble()) == std::bit_cast<quint64>(a.toDouble())
                                                      : v.toString() == a.toString());
    return uguale ? QString() : c.nome + u": \"%1\" invece di \"%2\""_s.arg(v.toString(), a.toString());
}

// A QSqlRecord holding the source row as the store would hand it to the window's reader.
QSqlRecord recordDa(const RigaJson& r)
{
    QSqlRecord record;
    for (const auto& [nome, valore] : r) {
        QSqlField f(nome);
        f.setValue(valore.isNull() ? QVariant() : valore.toVariant());
        record.append(f);
    }
    return record;
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("%s", qPrintable(file));
    return f.readAll();
}

QByteArray impronta(const QString& file)
{
    return QFileInfo::exists(file) ? QCryptographicHash::hash(contenuto(file), QCryptographicHash::Sha256) : QByteArray();
}

struct Esecuzione {
    int codice = -1;
    QString uscita, errori;
};

// The command run as the clerk runs it: a process of its own, this executable in its importa mode; with
// `blocchi`, on a disk full after that many 512-byte blocks of any one file.
Esecuzione esegui(const QStringList& argomenti, int blocchi = 0)
{
    QProcess p;
    const QStringList comando = QStringList{QCoreApplication::applicationFilePath(), u"--importa"_s} + argomenti;
    if (blocchi > 0)
        p.start(u"sh"_s, QStringList{u"-c"_s, u"trap '' XFSZ; ulimit -f %1; exec \"$@\""_s.arg(blocchi), u"sh"_s} + comando);
    else
        p.start(comando.front(), comando.mid(1));
    p.waitForFinished(120'000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Runs the command with the step hook and kills it with SIGKILL when it announces `dove` for the
// `volta`-th time; false if it never got there.
bool uccidiAl(const QStringList& argomenti, const QString& dove, int volta)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PEMTARX_IMPORTA_PASSI"_s, u"1"_s);
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QCoreApplication::applicationFilePath(), QStringList{u"--importa"_s} + argomenti);
    if (!p.waitForStarted())
        return false;
    int viste = 0;
    while (p.state() == QProcess::Running) {
        if (!p.canReadLine() && !p.waitForReadyRead(30'000))
            break;
        while (p.canReadLine()) {
            const QString linea = QString::fromUtf8(p.readLine()).trimmed();
            if (!linea.startsWith(u"PASSO "_s))
                continue;
            if (linea.mid(6) == dove && ++viste == volta) {
                ::kill(pid_t(p.processId()), SIGKILL);
                p.waitForFinished();
                return p.exitStatus() == QProcess::CrashExit;
            }
            p.write("\n");
        }
    }
    p.kill();
    p.waitForFinished();
    return false;
}

QStringList fileIn(const QDir& d) { return d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }
void scrivi(const QString& file, const QByteArray& b)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("%s", qPrintable(file));
    f.write(b);
}

// A register table as the reader gives it, each row filled from `valori` by column name.
jet::Lettura lettura(const QList<QHash<QString, QVariant>>& righe, const QList<jet::Tabella::Difetto>& difetti = {})
{
    jet::Tabella t;
    t.nome = store::tabellaRegistri;
    for (const store::Colonna& c : store::colonneRegistri()) {
        const int tipo = c.tipo == store::Tipo::Testo      ? jet::Testo
                         : c.tipo == store::Tipo::Intero16 ? jet::Intero
                         : c.tipo == store::Tipo::Intero32 ? jet::Lungo
                         : c.tipo == store::Tipo::Booleano ? jet::Booleano
                                                           : jet::Doppio;
        t.colonne << jet::Colonna{c.nome, tipo, 0};
    }
    for (const auto& valori : righe) {
        QVariantList r;
        for (const store::Colonna& c : store::colonneRegistri())
            r << valori.value(c.nome);
        t.righe << r;
    }
    t.difetti = difetti;
    jet::Lettura l;
    l.tabelle << t << std::nullopt;
    return l;
}

// Imports `l` in this process and returns what it wrote on stderr, with the exit code in `codice`.
QString importaInProcesso(const jet::Lettura& l, const QString& destinazione, int& codice)
{
    QTemporaryFile cattura;
    cattura.open();
    std::fflush(stderr);
    const int salvato = ::dup(STDERR_FILENO);
    ::dup2(cattura.handle(), STDERR_FILENO);
    codice = pemtarxdb::importaLettura(l, u"prova.mdb"_s, destinazione);
    std::fflush(stderr);
    ::dup2(salvato, STDERR_FILENO);
    ::close(salvato);
    cattura.seek(0);
    return QString::fromUtf8(cattura.readAll());
}

} // namespace

class TestImporta : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ogniCellaComeNelFile_data();
    void ogniCellaComeNelFile();
    void fileRifiutatiSenzaScrivere_data();
    void fileRifiutatiSenzaScrivere();
    void fileGuastiNonFermanoIlChiamante();
    void letturaCostruita_data();
    void letturaCostruita();
    void interruzioneNonLasciaDestinazione_data();
    void interruzioneNonLasciaDestinazione();
    void conversioneSulPosto();
    void conversioneSulPostoFallitaLasciaOriginale_data();
    void conversioneSulPostoFallitaLasciaOriginale();

    void valoriGrezzi_data();
    void valoriGrezzi();

private:
    QList<QVariantList> tabella(const QString& file, QLatin1StringView nome);
    QString preparaDitta(const QByteArray& vecchio, const QString& fineCartella = u"/"_s);

    std::optional<QTemporaryDir> dir_;
    QString destinazione_, ditta_, archivio_;
};

void TestImporta::init()
{
    dir_.emplace();
    QVERIFY(dir_->isValid());
    destinazione_ = dir_->filePath(u"dogana.mdb"_s);
}

void TestImporta::cleanup() { dir_.reset(); }

QList<QVariantList> TestImporta::tabella(const QString& file, QLatin1StringView nome)
{
    QList<QVariantList> righe;
    store::ArchivioRegistri archivio(u"prova-importa"_s);
    const store::Esito e = archivio.apriDatabase(file);
    if (!e.ok())
        qWarning() << e.descrizione;
    QSqlDatabase db = archivio.database();
    store::leggiGrezzo(db, nome, [&](const QVariantList& r) { righe << r; });
    return righe;
}

// Company X1 holding `vecchio` as its file, under a data folder the settings name with `fineCartella`
// appended; returns the settings file. The names differ in case from the settings', as copied from Windows.
QString TestImporta::preparaDitta(const QByteArray& vecchio, const QString& fineCartella)
{
    const QString dati = dir_->filePath(u"dati"_s) + fineCartella;
    ditta_ = dati + u"X1"_s;
    archivio_ = ditta_ + u"/DOGANA.MDB"_s;
    QDir().mkpath(ditta_);
    scrivi(archivio_, vecchio);
    const QString ini = dir_->filePath(u"Quendrix.ini"_s);
    scrivi(ini, u"[BASE]\r\nDITTA=x1\r\n[PATH]\r\nDIRINI=%1\r\n"_s.arg(dati).toLatin1());
    return ini;
}

void TestImporta::ogniCellaComeNelFile_data()
{
    QTest::addColumn<QString>("origine");
    QTest::addColumn<QString>("tabella");
    QTest::addColumn<QStringList>("rapporto");
    const QString registri = u"REGISTRI: LETTI 31, SCRITTI 31"_s;
    const QString manca = u"NEL FILE MANCA LA TABELLA DELLE TESTATE TestataRegistriPS: IMPORTATI I SOLI REGISTRI"_s;
    QTest::newRow("registri") << base << QString(store::tabellaRegistri)
                              << QStringList{registri, u"ARCHIVIO IMPORTATO: "_s};
    QTest::newRow("testate, le spaiate elencate")
        << base << QString(store::tabellaTestata)
        << QStringList{u"RIGHE DI TESTATA: LETTE 29, SCRITTE 29"_s,
                       u"RIGHE DI TESTATA SENZA REGISTRO (IMPORTATE COME SONO): 1: \"X99\""_s,
                       u"REGISTRI SENZA RIGA DI TESTATA (IMPORTATI COME SONO): 3: \"G04\", \"C08\", \"S09\""_s};
    QTest::newRow("registri, senza tabella delle testate") << senzaTestata << QString(store::tabellaRegistri)
                                                           << QStringList{registri, manca};
    QTest::newRow("senza tabella delle testate, nessuna testata") << senzaTestata << QString(store::tabellaTestata)
                                                                  << QStringList{manca};
}

// Empty texts against Nulls, integer extremes, a 17-digit double, accents, "€", quotes and inner blanks
// are all in the fixture: every cell must come out exactly as the .jsonl says, raw and through the program's reader.
void TestImporta::ogniCellaComeNelFile()
{
    QFETCH(QString, origine);
    QFETCH(QString, tabella);
    QFETCH(QStringList, rapporto);
    const Esecuzione e = esegui({origine, destinazione_});
    QVERIFY2(e.codice == 0, qPrintable(e.errori));
    for (const QString& r : rapporto)
        QVERIFY2(e.uscita.contains(r.endsWith(u": "_s) ? r + destinazione_ : r), qPrintable(r + u"\n"_s + e.uscita));
    const bool registri = tabella == store::tabellaRegistri;
    const QString jsonl = origine + u'.' + tabella + u".jsonl"_s;
    const std::span<const store::Colonna> colonne = registri ? store::colonneRegistri() : store::colonneTestata();
    const QList<RigaJson> attese =
        QFileInfo::exists(jsonl) ? leggiJsonl(jsonl, registri ? ordineJetRegistri : ordineJetTestata) : QList<RigaJson>();
    const QList<QVariantList> scritte =
        this->tabella(destinazione_, registri ? store::tabellaRegistri : store::tabellaTestata);
    QCOMPARE(scritte.size(), attese.size());
    QHash<QString, QVariantList> perCodice;
    for (const QVariantList& r : scritte)
        perCodice.insert(r.front().toString(), r);
    store::ArchivioRegistri archivio(u"prova-rilettura"_s);
    QVERIFY(archivio.apriDatabase(destinazione_).ok());
    QVERIFY(archivio.apriRegistri().ok() && archivio.apriTestata().ok());
    for (const RigaJson& atteso : attese) {
        const QString codice = atteso.front().second.toString();
        QVERIFY2(perCodice.contains(codice), qPrintable(codice));
        const QVariantList& r = perCodice[codice];
        for (const auto& [nome, valore] : atteso) {
            const int i = indice(colonne, nome);
            QVERIFY2(i >= 0, qPrintable(nome));
            const QString d = differenza(colonne[size_t(i)], valore, r.value(i));
            QVERIFY2(d.isEmpty(), qPrintable(codice + u" "_s + d));
        }
        // Registers are found whatever the case the clerk types.
        QStringList cercati{codice};
        if (registri)
            cercati << codice.toLower();
        for (const QString& cercato : cercati) {
            store::ArchivioRegistri::Righe righe;
            QVERIFY(archivio.trova(cercato, righe).ok());
            const std::optional<QSqlRecord>& riga = registri ? righe.registro : righe.testata;
            QVERIFY2(riga, qPrintable(cercato));
            if (registri)
                QCOMPARE(store::leggiRegistro(*riga), store::leggiRegistro(recordDa(atteso)));
            else
                QCOMPARE(store::leggiTestata(*riga), store::leggiTestata(recordDa(atteso)));
        }
    }
}

void TestImporta::fileRifiutatiSenzaScrivere_data()
{
    QTest::addColumn<QByteArray>("contenuto");
    QTest::addColumn<bool>("destinazioneEsistente");
    QTest::addColumn<QString>("messaggio");
    const auto r = [](const char* nome, const QByteArray& c, const QString& m, bool esistente = false) {
        QTest::newRow(nome) << c << esistente << m;
    };
    const QByteArray jet = contenuto(base);
    const QString illeggibile = u"IL FILE NON SI PUO' LEGGERE PER INTERO"_s;
    r("troncato di un byte", jet.left(jet.size() - 1), illeggibile);
    r("troncato a fine pagina", jet.left(151552), illeggibile);
    r("troncato a metà di una pagina", jet.left(77000), illeggibile);
    r("troncato prima delle tabelle", jet.left(77824), illeggibile);
    r("troncato nell'elenco delle tabelle", jet.left(40960), illeggibile);
    r("due pagine", jet.left(8192), illeggibile);
    r("solo l'intestazione", jet.left(4096), illeggibile);
    const QString nonJet = u"IL FILE NON E' UN ARCHIVIO DEL VECCHIO FORMATO"_s;
    r("testo", QByteArray("SspCodice;SspDescrizione\r\nC01;CARICO\r\n"), nonJet);
    r("vuoto", QByteArray(), nonJet);
    r("intestazione guasta", QByteArray(4, 'x') + jet.mid(4), nonJet);
    QTemporaryDir d;
    const QString nostro = d.filePath(u"nostro.mdb"_s);
    QVERIFY(store::ArchivioRegistri::crea(nostro).ok());
    r("un archivio di questo programma", contenuto(nostro), nonJet);
    r("destinazione esistente, lasciata com'e'", jet, u"FILE ESISTENTE, LASCIATO COM'E': "_s, true);
}

void TestImporta::fileRifiutatiSenzaScrivere()
{
    QFETCH(QByteArray, contenuto);
    QFETCH(bool, destinazioneEsistente);
    QFETCH(QString, messaggio);
    if (destinazioneEsistente)
        QVERIFY(store::ArchivioRegistri::crea(destinazione_).ok());
    const QByteArray prima = impronta(destinazione_);
    QDir().mkpath(dir_->filePath(u"origine"_s));
    const QString origine = dir_->filePath(u"origine/vecchio.mdb"_s);
    scrivi(origine, contenuto);
    const Esecuzione e = esegui({origine, destinazione_});
    QCOMPARE(e.codice, 1);
    QVERIFY2(e.errori.contains(destinazioneEsistente ? messaggio + destinazione_ : messaggio), qPrintable(e.errori));
    QVERIFY(destinazioneEsistente || e.errori.contains(u"NULLA E' STATO SCRITTO: "_s + destinazione_));
    QCOMPARE(impronta(destinazione_), prima);
    QCOMPARE(fileIn(QDir(dir_->path())), destinazioneEsistente ? QStringList{u"dogana.mdb"_s} : QStringList());
}

// Damaged copies: libmdb may give up, print, crash or loop in its process; the caller always gets an answer.
void TestImporta::fileGuastiNonFermanoIlChiamante()
{
    const QByteArray sano = contenuto(base);
    const QString guasto = dir_->filePath(u"guasto.mdb"_s);
    QRandomGenerator caso(20240);  // fixed seed: the same damage on every run
    int letti = 0, rifiutati = 0;
    for (int prova = 0; prova < 150; ++prova) {
        QByteArray b = sano;
        const int quanti = 1 << caso.bounded(7);
        for (int i = 0; i < quanti; ++i)
            b[caso.bounded(4096, int(b.size()))] = char(caso.bounded(256));
        scrivi(guasto, b);
        const jet::Lettura l = jet::leggi(guasto, {QString(store::tabellaRegistri), QString(store::tabellaTestata)});
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

void TestImporta::letturaCostruita_data()
{
    QTest::addColumn<int>("caso");
    QTest::addColumn<QStringList>("messaggi");
    QTest::addColumn<int>("scritte"); // the registers written; none, not even the file, when negative
    QTest::newRow("valori inesatti, ogni riga elencata")
        << 0
        << QStringList{u"RIGA 2 (CODICE NAN), COLONNA SspDataUltimaAcquisizione"_s,
                       u"RIGA 3 (CODICE MENOZERO), COLONNA SspDataUltimaAcquisizione"_s,
                       u"RIGA 4 (CODICE GRANDE), COLONNA SspMeccanogNum: 40000 non sta in un intero di 16 bit"_s,
                       u"RIGA 5 (CODICE BINARIO), COLONNA SspDescrizione"_s, u"RIGA 6 (CODICE buono), COLONNA SspCodice"_s,
                       u"RIGA 7 (CODICE ), COLONNA SspCodice: codice Null"_s,
                       u"RIGA 8 (CODICE TESTO), COLONNA SspDescrizione"_s, u"NULLA E' STATO SCRITTO"_s}
        << -1;
    QTest::newRow("colonne diverse")
        << 1
        << QStringList{u"NELLA TABELLA TabellaSerieSemplificata MANCA LA COLONNA SspDescrizione"_s,
                       u"LA TABELLA TabellaSerieSemplificata HA LA COLONNA SspNote"_s}
        << -1;
    QTest::newRow("senza tabella dei registri")
        << 2 << QStringList{u"NEL FILE MANCA LA TABELLA DEI REGISTRI TabellaSerieSemplificata: prova.mdb"_s} << -1;
    const QString avanzamento = u"SCRITTE %1 RIGHE DI TabellaSerieSemplificata\n"_s;
    QTest::newRow("file lungo, l'avanzamento ogni mille righe")
        << 3 << QStringList{avanzamento.arg(1000) + avanzamento.arg(2000)} << 2500;
}

void TestImporta::letturaCostruita()
{
    QFETCH(int, caso);
    QFETCH(QStringList, messaggi);
    QFETCH(int, scritte);
    jet::Lettura l;
    if (caso == 0) {
        l = lettura(
            {{{u"SspCodice"_s, u"BUONO"_s}, {u"SspDataUltimaAcquisizione"_s, 45292.5}},
             {{u"SspCodice"_s, u"NAN"_s}, {u"SspDataUltimaAcquisizione"_s, std::numeric_limits<double>::quiet_NaN()}},
             {{u"SspCodice"_s, u"MENOZERO"_s}, {u"SspDataUltimaAcquisizione"_s, -0.0}},
             {{u"SspCodice"_s, u"GRANDE"_s}, {u"SspMeccanogNum"_s, QVariant::fromValue<qint32>(40000)}},
             {{u"SspCodice"_s, u"BINARIO"_s}, {u"SspDescrizione"_s, QByteArray("\x01\x02", 2)}},
             {{u"SspCodice"_s, u"buono"_s}},
             {{u"SspDescrizione"_s, u"SENZA CODICE"_s}},
             {{u"SspCodice"_s, u"TESTO"_s}}},
            {jet::Tabella::Difetto{7, 1, u"il lettore dà «?» per «€»"_s}});
    } else if (caso == 1) {
        l = lettura({{{u"SspCodice"_s, u"C01"_s}}});
        l.tabelle[0]->colonne[1].nome = u"SspNote"_s;  // SspDescrizione missing, an unknown column instead
    } else if (caso == 2) {
        l.tabelle << std::nullopt << std::nullopt;
    } else {
        QList<QHash<QString, QVariant>> righe;
        for (int i = 0; i < 2500; ++i)
            righe << QHash<QString, QVariant>{{u"SspCodice"_s, u"R%1"_s.arg(i)},
                                              {u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(i)}};
        l = lettura(righe);
    }
    int codice = -1;
    const QString testo = importaInProcesso(l, destinazione_, codice);
    QCOMPARE(codice, scritte < 0 ? 1 : 0);
    for (const QString& atteso : messaggi)
        QVERIFY2(testo.contains(atteso), qPrintable(atteso + u"\n"_s + testo));
    QVERIFY(!testo.contains(u"CODICE BUONO)"_s));
    QCOMPARE(scritte < 0 ? fileIn(QDir(dir_->path())).size() : tabella(destinazione_, store::tabellaRegistri).size(),
             std::max(scritte, 0));
}

void TestImporta::interruzioneNonLasciaDestinazione_data()
{
    QTest::addColumn<bool>("sulPosto");
    QTest::addColumn<QString>("passo");
    QTest::addColumn<int>("volta");
    QTest::newRow("letto il file") << false << u"letto"_s << 1;
    QTest::newRow("al primo registro") << false << u"riga"_s << 1;
    QTest::newRow("a metà dei registri") << false << u"riga"_s << 16;
    QTest::newRow("alla prima testata") << false << u"riga"_s << 32;
    QTest::newRow("all'ultima testata") << false << u"riga"_s << 60;
    QTest::newRow("scritto, prima del nome") << false << u"scritto"_s << 1;
    QTest::newRow("sul posto: letto il file") << true << u"letto"_s << 1;
    QTest::newRow("sul posto: al primo registro") << true << u"riga"_s << 1;
    QTest::newRow("sul posto: alle testate") << true << u"riga"_s << 45;
    QTest::newRow("sul posto: scritto") << true << u"scritto"_s << 1;
    QTest::newRow("sul posto: vecchio conservato, prima del cambio di nome") << true << u"conservato"_s << 1;
}

void TestImporta::interruzioneNonLasciaDestinazione()
{
    QFETCH(bool, sulPosto);
    QFETCH(QString, passo);
    QFETCH(int, volta);
    const QStringList argomenti = sulPosto ? QStringList{u"--ini"_s, preparaDitta(contenuto(base))} : QStringList{base, destinazione_};
    QVERIFY(uccidiAl(argomenti, passo, volta));
    if (sulPosto) {
        QCOMPARE(impronta(archivio_), impronta(base));
        if (QFileInfo::exists(archivio_ + u".jet"_s))
            QCOMPARE(impronta(archivio_ + u".jet"_s), impronta(base));
    } else {
        QVERIFY(!QFileInfo::exists(destinazione_));
    }
    // The next run finds the way clear, sweeps what the killed one left, and works from the untouched original.
    const Esecuzione e = esegui(argomenti);
    QVERIFY2(e.codice == 0, qPrintable(e.errori));
    if (sulPosto) {
        QCOMPARE(impronta(archivio_ + u".jet"_s), impronta(base));
        QCOMPARE(fileIn(QDir(ditta_)), (QStringList{u"DOGANA.MDB"_s, u"DOGANA.MDB.jet"_s}));
    } else {
        QCOMPARE(fileIn(QDir(dir_->path())), QStringList{u"dogana.mdb"_s});
    }
    QCOMPARE(tabella(sulPosto ? archivio_ : destinazione_, store::tabellaRegistri).size(), 31);
}

void TestImporta::conversioneSulPosto()
{
    const QString ini = preparaDitta(contenuto(base));
    const Esecuzione e = esegui({u"--ini"_s, ini});
    QVERIFY2(e.codice == 0, qPrintable(e.errori));
    QVERIFY(e.uscita.contains(u"ARCHIVIO CONVERTITO: "_s + archivio_ + u" (IL VECCHIO E' CONSERVATO IN "_s + archivio_ + u".jet)"_s));
    QVERIFY(e.uscita.contains(u"REGISTRI: LETTI 31, SCRITTI 31"_s));
    QCOMPARE(impronta(archivio_ + u".jet"_s), impronta(base));
    QVERIFY(!jet::intestazioneJet(archivio_));
    QVERIFY(jet::intestazioneJet(archivio_ + u".jet"_s));
    QCOMPARE(fileIn(QDir(ditta_)), (QStringList{u"DOGANA.MDB"_s, u"DOGANA.MDB.jet"_s}));
    QCOMPARE(tabella(archivio_, store::tabellaRegistri).size(), 31);
    QCOMPARE(tabella(archivio_, store::tabellaTestata).size(), 29);

    // Once converted, a second run leaves everything as it is.
    const QByteArray convertito = impronta(archivio_);
    const Esecuzione ancora = esegui({u"--ini"_s, ini});
    QCOMPARE(ancora.codice, 1);
    QVERIFY(ancora.errori.contains(u"GIA' CONVERTITO"_s));
    QCOMPARE(impronta(archivio_), convertito);
    QCOMPARE(impronta(archivio_ + u".jet"_s), impronta(base));
}

void TestImporta::conversioneSulPostoFallitaLasciaOriginale_data()
{
    QTest::addColumn<qint64>("byte");
    QTest::addColumn<bool>("copiaPresente");
    QTest::addColumn<QString>("messaggio");
    QTest::addColumn<int>("blocchi");
    QTest::newRow("troncato") << qint64(151552) << false << u"IL FILE NON SI PUO' LEGGERE PER INTERO"_s << 0;
    QTest::newRow("una copia diversa c'è già") << qint64(-1) << true << u"ESISTE GIA'"_s << 0;
    QTest::newRow("disco pieno") << qint64(-1) << false << u"ERRORE NELLA SCRITTURA DELL'ARCHIVIO: "_s << 24;
}

void TestImporta::conversioneSulPostoFallitaLasciaOriginale()
{
    QFETCH(qint64, byte);
    QFETCH(bool, copiaPresente);
    QFETCH(QString, messaggio);
    QFETCH(int, blocchi);
    // No trailing separator on the data folder: the settings join it directly to the company.
    const QString ini = preparaDitta(contenuto(base).first(byte < 0 ? QFileInfo(base).size() : byte), QString());
    if (copiaPresente)
        scrivi(archivio_ + u".jet"_s, "una copia di un altro giorno");
    const QStringList prima = fileIn(QDir(ditta_));
    const QByteArray impronta0 = impronta(archivio_);
    const Esecuzione e = esegui({u"--ini"_s, ini}, blocchi);
    QCOMPARE(e.codice, 1);
    QVERIFY2(e.errori.contains(messaggio), qPrintable(e.errori));
    // The messages name the clerk's file, never the one being written beside it.
    QVERIFY2(!e.errori.contains(u".importa-"_s), qPrintable(e.errori));
    QCOMPARE(impronta(archivio_), impronta0);
    QCOMPARE(fileIn(QDir(ditta_)), prima);
}

void TestImporta::valoriGrezzi_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<bool>("accettato");
    const auto r = [](const char* riga, const QString& nome, const QVariant& valore, bool accettato = true) {
        QTest::newRow(riga) << nome << valore << accettato;
    };
    r("testo vuoto, non Null", u"SspDescrizione"_s, u""_s);
    r("spazi tenuti", u"SspGruppoCarico"_s, u"  A  B "_s);
    r("minimo dei 16 bit", u"SspMeccanogNum"_s, QVariant::fromValue<qint16>(-32768));
    r("massimo dei 32 bit", u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(std::numeric_limits<qint32>::max()));
    r("No", u"SspStampaperSerie"_s, false);
    r("double all'ultimo bit", u"SspDataUltimaAcquisizione"_s, std::nextafter(45320.833333333336, 0.0));
    r("Null con un tipo", u"SspRiqA"_s, QVariant(QMetaType::fromType<QString>()));
    r("fuori dai 16 bit", u"SspMeccanogNum"_s, QVariant(32768), false);
    r("fuori dai 32 bit", u"SspUltimoCarico"_s, QVariant(qlonglong(1) << 31), false);
    r("testo in un intero", u"SspUltimoCarico"_s, QVariant(u"12"_s), false);
    r("numero in un testo", u"SspDescrizione"_s, QVariant(12), false);
    r("intero in un Sì/No", u"SspStampaperSerie"_s, QVariant(1), false);
    r("NaN", u"SspDataUltimaAcquisizione"_s, QVariant(std::numeric_limits<double>::quiet_NaN()), false);
    r("meno zero", u"SspDataUltimaAcquisizione"_s, QVariant(-0.0), false);
}

// A raw row of the store: every value stored exactly as given, the others left Null; or refused, nothing stored.
void TestImporta::valoriGrezzi()
{
    QFETCH(QString, nome);
    QFETCH(QVariant, valore);
    QFETCH(bool, accettato);
    QVERIFY(store::ArchivioRegistri::crea(destinazione_).ok());
    store::ArchivioRegistri archivio(u"prova-grezzo"_s);
    QVERIFY(archivio.apriDatabase(destinazione_).ok());
    QSqlDatabase db = archivio.database();
    QVariantList r(qsizetype(store::colonneRegistri().size()));
    r[0] = u"R1"_s;
    const int i = indice(store::colonneRegistri(), nome);
    r[i] = valore;
    QCOMPARE(store::inserisciGrezzo(db, store::tabellaRegistri, r).ok(), accettato);
    QVERIFY(!store::inserisciGrezzo(db, store::tabellaRegistri, r.mid(1)).ok());
    QList<QVariantList> lette;
    QVERIFY(store::leggiGrezzo(db, store::tabellaRegistri, [&](const QVariantList& l) { lette << l; }).ok());
    QCOMPARE(lette.size(), accettato ? 1 : 0);
    if (!accettato)
        return;
    const QVariant letto = lette[0][i];
    QCOMPARE(letto.isNull(), valore.isNull());
    if (valore.typeId() == QMetaType::Double)
        QCOMPARE(std::bit_cast<quint64>(letto.toDouble()), std::bit_cast<quint64>(valore.toDouble()));
    else if (!valore.isNull())
        QCOMPARE(letto.toString(), valore.typeId() == QMetaType::Bool ? QString::number(valore.toInt()) : valore.toString());
    for (int j = 1; j < lette[0].size(); ++j)
        QVERIFY2(j == i || lette[0][j].isNull(), qPrintable(QString::number(j)));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The tests run the command as a process of its own: this executable, in its importa mode.
    if (argc > 1 && qstrcmp(argv[1], "--importa") == 0)
        return pemtarxdb::importa(QCoreApplication::arguments().mid(2));
    TestImporta t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_importa.moc"
