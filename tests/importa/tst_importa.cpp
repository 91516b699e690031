#include "store/archivioregistri.h"
#include "store/campi.h"
#include "store/colonne.h"
#include "store/grezzo.h"
#include "store/registro.h"
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
using Righe = QList<QHash<QString, QVariant>>;
Q_DECLARE_METATYPE(jet::Lettura)

namespace {

const QString base = QStringLiteral(PEMTARX_DATI) + u"serie_base.mdb"_s;
const QString senzaTestata = QStringLiteral(PEMTARX_DATI) + u"serie_senza_testata.mdb"_s;

// The columns in the order the original engine's file and its .jsonl keep them.
const QStringList ordineRegistri = u"SspCodice SspDescrizione SspCarScar SspUltimoCarico SspGruppoCarico "
                                   u"SspGruppoSCarico SspStampaperSerie SspCodiceDischetto SspMeccanogNum SspMeccanogCin "
                                   u"SspCodAutorizzazione SspNTelefonoDaChiamare SspRiqA SspTipoProtocollo SspACT "
                                   u"SspUltimaFilialeCheHaAcquisito SspDataUltimaAcquisizione "
                                   u"SspUltimoBloccoNumeriAcquisiti SspFilialeCheHaIRegistri"_s.split(u' ');
const QStringList ordineTestata =
    u"TpsCodice TpsRiga1 TpsRiga2 TpsRiga3 TpsRiga4 TpsRiga5 TpsRigP1 TpsRigP2 TpsRigP3 TpsRigP4 TpsRigP5"_s.split(u' ');

int indice(std::span<const store::Colonna> colonne, const QString& nome)
{
    const auto c = std::find_if(colonne.begin(), colonne.end(), [&](const store::Colonna& c) { return c.nome == nome; });
    return c == colonne.end() ? -1 : int(c - colonne.begin());
}

// The stored value is what was given, with no conversion at all: same type, same bits, Null for Null.
bool comeDato(store::Tipo tipo, const QVariant& dato, const QVariant& v)
{
    if (!dato.isValid() || dato.isNull() || !v.isValid() || v.isNull())
        return (!dato.isValid() || dato.isNull()) == (!v.isValid() || v.isNull());
    if (tipo == store::Tipo::Reale)
        return v.typeId() == QMetaType::Double && std::bit_cast<quint64>(v.toDouble()) == std::bit_cast<quint64>(dato.toDouble());
    if (tipo == store::Tipo::Booleano)
        return v.toString() == QString::number(dato.toBool());
    return (tipo == store::Tipo::Testo) == (v.typeId() == QMetaType::QString) && v.toString() == dato.toString();
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray impronta(const QString& file)
{
    return QFileInfo::exists(file) ? QCryptographicHash::hash(contenuto(file), QCryptographicHash::Sha256) : QByteArray();
}

void scrivi(const QString& file, const QByteArray& b)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(b) == b.size());
}

QStringList fileIn(const QString& d) { return QDir(d).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }

QList<QVariantList> tabella(const QString& file, QLatin1StringView nome)
{
    QList<QVariantList> righe;
    store::ArchivioRegistri archivio(u"prova-importa"_s);
    if (archivio.apriDatabase(file).ok()) {
        QSqlDatabase db = archivio.database();
        store::leggiGrezzo(db, nome, [&](const QVariantList& r) { righe << r; });
    }
    return righe;
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
    p.start(u"sh"_s, QStringList{u"-c"_s, u"trap '' XFSZ; ulimit -f %1; exec \"$@\""_s.arg(blocchi ? QString::number(blocchi) : u"unlimited"_s), u"sh"_s} + comando);
    p.waitForFinished(120'000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Runs the command with the step hook and kills it when it announces `dove` for the `volta`-th time.
bool uccidiAl(const QStringList& argomenti, const QString& dove, int volta)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"PEMTARX_IMPORTA_PASSI"_s, u"1"_s);
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QCoreApplication::applicationFilePath(), QStringList{u"--importa"_s} + argomenti);
    for (int viste = 0; p.waitForStarted() && (p.canReadLine() || p.waitForReadyRead(30'000));) {
        const QString linea = QString::fromUtf8(p.readLine()).trimmed();
        if (linea == u"PASSO "_s + dove && ++viste == volta) {
            ::kill(pid_t(p.processId()), SIGKILL);
            return p.waitForFinished() && p.exitStatus() == QProcess::CrashExit;
        }
        if (linea.startsWith(u"PASSO "_s))
            p.write("\n");
    }
    return false;
}

// A register table as the reader gives it, each row filled by column name.
jet::Lettura lettura(const Righe& righe)
{
    jet::Tabella t{QString(store::tabellaRegistri), {}, {}, {}};
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
    jet::Lettura l;
    l.tabelle << t << std::nullopt;
    return l;
}

} // namespace

class TestImporta : public QObject {
    Q_OBJECT

private slots:
    void init();
    void ogniCellaComeNelFile_data();
    void ogniCellaComeNelFile();
    void fileRifiutatiSenzaScrivere_data();
    void fileRifiutatiSenzaScrivere();
    void fileGuastiNonFermanoIlChiamante();
    void letturaCostruita_data();
    void letturaCostruita();
    void valoreGrezzoRifiutato_data();
    void valoreGrezzoRifiutato();
    void interruzioneNonLasciaDestinazione_data();
    void interruzioneNonLasciaDestinazione();

private:
    QString preparaDitta(const QByteArray& vecchio, const QString& fineCartella = u"/"_s);

    std::optional<QTemporaryDir> dir_;
    QString destinazione_, ditta_, archivio_;
};

void TestImporta::init()
{
    QVERIFY(dir_.emplace().isValid());
    destinazione_ = dir_->filePath(u"dogana.mdb"_s);
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
    QTest::newRow("registri") << base << QString(store::tabellaRegistri) << QStringList{registri, u"ARCHIVIO IMPORTATO: "_s};
    QTest::newRow("testate, le spaiate elencate")
        << base << QString(store::tabellaTestata)
        << QStringList{u"RIGHE DI TESTATA: LETTE 29, SCRITTE 29"_s, u"RIGHE DI TESTATA SENZA REGISTRO (IMPORTATE COME SONO): 1: \"X99\""_s,
                       u"REGISTRI SENZA RIGA DI TESTATA (IMPORTATI COME SONO): 3: \"G04\", \"C08\", \"S09\""_s};
    QTest::newRow("registri, senza tabella delle testate") << senzaTestata << QString(store::tabellaRegistri) << QStringList{registri, manca};
    QTest::newRow("senza tabella delle testate, nessuna testata") << senzaTestata << QString(store::tabellaTestata) << QStringList{manca};
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
    const std::span<const store::Colonna> colonne = registri ? store::colonneRegistri() : store::colonneTestata();
    QHash<QString, QVariantList> scritte;
    for (const QVariantList& r : ::tabella(destinazione_, registri ? store::tabellaRegistri : store::tabellaTestata))
        scritte.insert(r.front().toString(), r);
    QFile jsonl(origine + u'.' + tabella + u".jsonl"_s);
    QVERIFY(jsonl.open(QIODevice::ReadOnly) || !jsonl.exists());
    store::ArchivioRegistri archivio(u"prova-rilettura"_s);
    QVERIFY(archivio.apriDatabase(destinazione_).ok() && archivio.apriRegistri().ok() && archivio.apriTestata().ok());
    qsizetype attese = 0;
    for (; jsonl.isOpen() && !jsonl.atEnd(); ++attese) {
        const QJsonArray a = QJsonDocument::fromJson(jsonl.readLine()).array();
        const QString codice = a.at(0).toString();
        QVERIFY2(scritte.contains(codice), qPrintable(codice));
        QSqlRecord record;
        for (qsizetype j = 0; j < a.size(); ++j) {
            const QString nome = (registri ? ordineRegistri : ordineTestata).at(j);
            const int i = indice(colonne, nome);
            const QVariant dato = a.at(j).isNull() ? QVariant() : a.at(j).toVariant();
            QVERIFY2(i >= 0 && comeDato(colonne[size_t(i)].tipo, dato, scritte[codice].value(i)),
                     qPrintable(codice + u' ' + nome + u": "_s + scritte[codice].value(i).toString()));
            record.append(QSqlField(nome));
            record.setValue(nome, dato);
        }
        // Registers are found whatever the case the clerk types, and read as the source row reads.
        QStringList cercati{codice};
        if (registri)
            cercati << codice.toLower();
        for (const QString& cercato : cercati) {
            store::ArchivioRegistri::Righe righe;
            QVERIFY(archivio.trova(cercato, righe).ok() && (registri ? righe.registro : righe.testata));
            QVERIFY2(registri ? store::leggiRegistro(*righe.registro) == store::leggiRegistro(record)
                              : store::leggiTestata(*righe.testata) == store::leggiTestata(record), qPrintable(cercato));
        }
    }
    QCOMPARE(scritte.size(), attese);
}

void TestImporta::fileRifiutatiSenzaScrivere_data()
{
    QTest::addColumn<QByteArray>("vecchio");
    QTest::addColumn<bool>("sulPosto"); // importa --ini, else importa ORIGINE DESTINAZIONE
    QTest::addColumn<QByteArray>("gia");   // what is already where the result goes (the kept copy in place)
    QTest::addColumn<int>("blocchi");      // a full disk after that many blocks
    QTest::addColumn<QString>("messaggio");
    const QByteArray jet = contenuto(base), nulla;
    const auto r = [](const char* nome, const QByteArray& v, const QString& m, bool sulPosto = false,
                      const QByteArray& gia = QByteArray(), int blocchi = 0) {
        QTest::newRow(nome) << v << sulPosto << gia << blocchi << m;
    };
    const QString illeggibile = u"IL FILE NON SI PUO' LEGGERE PER INTERO"_s, nonJet = u"IL FILE NON E' UN ARCHIVIO DEL VECCHIO FORMATO"_s;
    for (const qsizetype byte : {jet.size() - 1, qsizetype(151552), qsizetype(77000), qsizetype(77824), qsizetype(40960), qsizetype(8192), qsizetype(4096)})
        QTest::addRow("troncato a %lld byte", qlonglong(byte)) << jet.left(byte) << false << nulla << 0 << illeggibile;
    r("testo", "SspCodice;SspDescrizione\r\nC01;CARICO\r\n", nonJet);
    r("vuoto", "", nonJet);
    r("intestazione guasta", QByteArray(4, 'x') + jet.mid(4), nonJet);
    QTemporaryDir d;
    QVERIFY(store::ArchivioRegistri::crea(d.filePath(u"nostro.mdb"_s)).ok());
    r("un archivio di questo programma", contenuto(d.filePath(u"nostro.mdb"_s)), nonJet);
    r("destinazione esistente, lasciata com'e'", jet, u"FILE ESISTENTE, LASCIATO COM'E': "_s, false, "esiste");
    r("disco pieno", jet, u"ERRORE NELLA SCRITTURA DELL'ARCHIVIO: "_s, false, nulla, 24);
    r("sul posto: troncato", jet.left(151552), illeggibile, true);
    r("sul posto: una copia diversa c'è già", jet, u"ESISTE GIA'"_s, true, "una copia di un altro giorno");
    r("sul posto: disco pieno", jet, u"ERRORE NELLA SCRITTURA DELL'ARCHIVIO: "_s, true, nulla, 24);
}

void TestImporta::fileRifiutatiSenzaScrivere()
{
    QFETCH(QByteArray, vecchio);
    QFETCH(bool, sulPosto);
    QFETCH(QByteArray, gia);
    QFETCH(int, blocchi);
    QFETCH(QString, messaggio);
    // No trailing separator on the data folder in place: the settings join it directly to the company.
    const QString ini = sulPosto ? preparaDitta(vecchio, QString()) : QString();
    const QString origine = dir_->filePath(u"origine.mdb"_s);
    const QString cartella = sulPosto ? ditta_ : dir_->filePath(u"destinazione"_s);
    if (sulPosto && !gia.isNull())
        scrivi(archivio_ + u".jet"_s, gia);
    if (!sulPosto) {
        scrivi(origine, vecchio);
        QVERIFY(QDir().mkpath(cartella));
        destinazione_ = cartella + u"/dogana.mdb"_s;
        QVERIFY(gia.isNull() || store::ArchivioRegistri::crea(destinazione_).ok());
    }
    const QStringList prima = fileIn(cartella);
    const QByteArray improntaPrima = impronta(sulPosto ? archivio_ : destinazione_);
    const Esecuzione e = esegui(sulPosto ? QStringList{u"--ini"_s, ini} : QStringList{origine, destinazione_}, blocchi);
    QCOMPARE(e.codice, 1);
    QVERIFY2(e.errori.contains(messaggio), qPrintable(e.errori));
    QVERIFY(sulPosto || e.errori.contains((gia.isNull() ? u"NULLA E' STATO SCRITTO: "_s : messaggio) + destinazione_));
    // The messages name the clerk's file, never the one being written beside it.
    QVERIFY2(!e.errori.contains(u".importa-"_s), qPrintable(e.errori));
    QCOMPARE(impronta(sulPosto ? archivio_ : destinazione_), improntaPrima);
    QCOMPARE(fileIn(cartella), prima);
}

// Damaged copies: libmdb may give up, print, crash or loop in its process; the caller always gets an answer.
void TestImporta::fileGuastiNonFermanoIlChiamante()
{
    const QByteArray sano = contenuto(base);
    const QString guasto = dir_->filePath(u"guasto.mdb"_s);
    QRandomGenerator caso(20240); // fixed seed: the same damage on every run
    int rifiutati = 0;
    for (int prova = 0; prova < 150; ++prova) {
        QByteArray b = sano;
        for (int i = 0, quanti = 1 << caso.bounded(7); i < quanti; ++i)
            b[caso.bounded(4096, int(b.size()))] = char(caso.bounded(256));
        scrivi(guasto, b);
        const jet::Lettura l = jet::leggi(guasto, {QString(store::tabellaRegistri), QString(store::tabellaTestata)});
        const bool letto = l.esito == jet::Esito::Letto;
        rifiutati += !letto;
        QVERIFY(letto ? l.tabelle.size() == 2 : l.esito == jet::Esito::Illeggibile && !l.dettaglio.isEmpty());
    }
    QVERIFY(rifiutati > 0);
}

void TestImporta::letturaCostruita_data()
{
    QTest::addColumn<jet::Lettura>("letta");
    QTest::addColumn<QStringList>("messaggi");
    QTest::addColumn<int>("scritte"); // the registers written; none, not even the file, when negative
    const auto riga = [](const QString& codice, const QString& colonna, const QVariant& valore) {
        return QHash<QString, QVariant>{{u"SspCodice"_s, codice}, {colonna, valore}};
    };
    jet::Lettura inesatti = lettura({riga(u"BUONO"_s, u"SspDataUltimaAcquisizione"_s, 45292.5),
                                     riga(u"NAN"_s, u"SspDataUltimaAcquisizione"_s, std::numeric_limits<double>::quiet_NaN()),
                                     riga(u"MENOZERO"_s, u"SspDataUltimaAcquisizione"_s, -0.0),
                                     riga(u"GRANDE"_s, u"SspMeccanogNum"_s, QVariant::fromValue<qint32>(40000)),
                                     riga(u"BINARIO"_s, u"SspDescrizione"_s, QByteArray("\x01\x02", 2)),
                                     riga(u"buono"_s, {}, {}),
                                     {{u"SspDescrizione"_s, u"SENZA CODICE"_s}},
                                     riga(u"TESTO"_s, {}, {})});
    inesatti.tabelle[0]->difetti << jet::Tabella::Difetto{7, 1, u"il lettore dà «?» per «€»"_s};
    QTest::newRow("valori inesatti, ogni riga elencata")
        << inesatti
        << QStringList{u"RIGA 2 (CODICE NAN), COLONNA SspDataUltimaAcquisizione"_s, u"RIGA 3 (CODICE MENOZERO), COLONNA SspDataUltimaAcquisizione"_s,
                       u"RIGA 4 (CODICE GRANDE), COLONNA SspMeccanogNum: 40000 non sta in un intero di 16 bit"_s,
                       u"RIGA 5 (CODICE BINARIO), COLONNA SspDescrizione"_s, u"RIGA 6 (CODICE buono), COLONNA SspCodice"_s,
                       u"RIGA 7 (CODICE ), COLONNA SspCodice: codice Null"_s, u"RIGA 8 (CODICE TESTO), COLONNA SspDescrizione"_s,
                       u"NULLA E' STATO SCRITTO"_s}
        << -1;
    jet::Lettura diverse = lettura({riga(u"C01"_s, {}, {})});
    diverse.tabelle[0]->colonne[1].nome = u"SspNote"_s; // SspDescrizione missing, an unknown column instead
    QTest::newRow("colonne diverse") << diverse
                                     << QStringList{u"NELLA TABELLA TabellaSerieSemplificata MANCA LA COLONNA SspDescrizione"_s,
                                                    u"LA TABELLA TabellaSerieSemplificata HA LA COLONNA SspNote"_s}
                                     << -1;
    jet::Lettura senza;
    senza.tabelle << std::nullopt << std::nullopt;
    QTest::newRow("senza tabella dei registri")
        << senza << QStringList{u"NEL FILE MANCA LA TABELLA DEI REGISTRI TabellaSerieSemplificata: prova.mdb"_s} << -1;
    // Stored exactly as given, the other columns left Null.
    QTest::newRow("valori esatti")
        << lettura({riga(u"VUOTO"_s, u"SspDescrizione"_s, u""_s), riga(u"SPAZI"_s, u"SspGruppoCarico"_s, u"  A  B "_s),
                    riga(u"MIN16"_s, u"SspMeccanogNum"_s, QVariant::fromValue<qint16>(-32768)),
                    riga(u"MAX32"_s, u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(std::numeric_limits<qint32>::max())),
                    riga(u"NO"_s, u"SspStampaperSerie"_s, false),
                    riga(u"BIT"_s, u"SspDataUltimaAcquisizione"_s, std::nextafter(45320.833333333336, 0.0)),
                    riga(u"NULL"_s, u"SspRiqA"_s, QVariant(QMetaType::fromType<QString>()))})
        << QStringList() << 7;
    Righe lunghe;
    for (int i = 0; i < 2500; ++i)
        lunghe << riga(u"R%1"_s.arg(i), u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(i));
    const QString avanzamento = u"SCRITTE %1 RIGHE DI TabellaSerieSemplificata\n"_s;
    QTest::newRow("file lungo, l'avanzamento ogni mille righe") << lettura(lunghe) << QStringList{avanzamento.arg(1000) + avanzamento.arg(2000)} << 2500;
}

void TestImporta::letturaCostruita()
{
    QFETCH(jet::Lettura, letta);
    QFETCH(QStringList, messaggi);
    QFETCH(int, scritte);
    // In this process, its stderr caught in a file.
    QTemporaryFile cattura;
    QVERIFY(cattura.open());
    std::fflush(stderr);
    const int salvato = ::dup(STDERR_FILENO);
    ::dup2(cattura.handle(), STDERR_FILENO);
    const int codice = pemtarxdb::importaLettura(letta, u"prova.mdb"_s, destinazione_);
    std::fflush(stderr);
    ::dup2(salvato, STDERR_FILENO);
    ::close(salvato);
    QVERIFY(cattura.seek(0));
    const QString testo = QString::fromUtf8(cattura.readAll());
    QCOMPARE(codice, scritte < 0 ? 1 : 0);
    for (const QString& atteso : messaggi)
        QVERIFY2(testo.contains(atteso), qPrintable(atteso + u"\n"_s + testo));
    QVERIFY(!testo.contains(u"CODICE BUONO)"_s));
    const QList<QVariantList> lette = tabella(destinazione_, store::tabellaRegistri);
    QCOMPARE(scritte < 0 ? fileIn(dir_->path()).size() : lette.size(), std::max(scritte, 0));
    for (const QVariantList& r : lette) {
        const QVariantList& data = *std::find_if(letta.tabelle[0]->righe.begin(), letta.tabelle[0]->righe.end(),
                                                [&](const QVariantList& d) { return d[0] == r[0]; });
        for (size_t i = 0; i < store::colonneRegistri().size(); ++i)
            QVERIFY2(comeDato(store::colonneRegistri()[i].tipo, data[qsizetype(i)], r[qsizetype(i)]), qPrintable(r[0].toString()));
    }
}

void TestImporta::valoreGrezzoRifiutato_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QVariant>("valore");
    QTest::newRow("fuori dai 16 bit") << u"SspMeccanogNum"_s << QVariant(32768);
    QTest::newRow("fuori dai 32 bit") << u"SspUltimoCarico"_s << QVariant(qlonglong(1) << 31);
    QTest::newRow("testo in un intero") << u"SspUltimoCarico"_s << QVariant(u"12"_s);
    QTest::newRow("numero in un testo") << u"SspDescrizione"_s << QVariant(12);
    QTest::newRow("intero in un Sì/No") << u"SspStampaperSerie"_s << QVariant(1);
    QTest::newRow("NaN") << u"SspDataUltimaAcquisizione"_s << QVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("meno zero") << u"SspDataUltimaAcquisizione"_s << QVariant(-0.0);
    QTest::newRow("una colonna in meno") << QString() << QVariant();
}

// A raw row of the store that does not fit its columns exactly is refused, never converted, and nothing is stored.
void TestImporta::valoreGrezzoRifiutato()
{
    QFETCH(QString, nome);
    QFETCH(QVariant, valore);
    QVERIFY(store::ArchivioRegistri::crea(destinazione_).ok());
    store::ArchivioRegistri archivio(u"prova-grezzo"_s);
    QVERIFY(archivio.apriDatabase(destinazione_).ok());
    QSqlDatabase db = archivio.database();
    QVariantList r(qsizetype(store::colonneRegistri().size()) - nome.isEmpty());
    r[0] = u"R1"_s;
    if (!nome.isEmpty())
        r[indice(store::colonneRegistri(), nome)] = valore;
    QVERIFY(!store::inserisciGrezzo(db, store::tabellaRegistri, r).ok());
    QCOMPARE(tabella(destinazione_, store::tabellaRegistri).size(), 0);
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
    const QString jet = archivio_ + u".jet"_s;
    QVERIFY(uccidiAl(argomenti, passo, volta));
    if (sulPosto)
        QVERIFY(impronta(archivio_) == impronta(base) && (!QFileInfo::exists(jet) || impronta(jet) == impronta(base)));
    else
        QVERIFY(!QFileInfo::exists(destinazione_));
    // The next run finds the way clear, sweeps what the killed one left, and works from the untouched original.
    const Esecuzione e = esegui(argomenti);
    QVERIFY2(e.codice == 0, qPrintable(e.errori));
    const QString risultato = sulPosto ? archivio_ : destinazione_;
    QCOMPARE(fileIn(sulPosto ? ditta_ : dir_->path()), (sulPosto ? QStringList{u"DOGANA.MDB"_s, u"DOGANA.MDB.jet"_s} : QStringList{u"dogana.mdb"_s}));
    QCOMPARE(tabella(risultato, store::tabellaRegistri).size(), 31);
    QCOMPARE(tabella(risultato, store::tabellaTestata).size(), 29);
    if (!sulPosto)
        return;
    QVERIFY(e.uscita.contains(u"ARCHIVIO CONVERTITO: %1 (IL VECCHIO E' CONSERVATO IN %1.jet)"_s.arg(archivio_)));
    QVERIFY(impronta(jet) == impronta(base) && !jet::intestazioneJet(archivio_));
    // Once converted, a further run leaves everything as it is.
    const QByteArray convertito = impronta(archivio_);
    const Esecuzione ancora = esegui(argomenti);
    QVERIFY(ancora.codice == 1 && ancora.errori.contains(u"GIA' CONVERTITO"_s));
    QVERIFY(impronta(archivio_) == convertito && impronta(jet) == impronta(base));
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
