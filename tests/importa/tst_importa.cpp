#include "store/archivioregistri.h"
#include "store/colonne.h"
#include "store/grezzo.h"
#include "tools/importa.h"
#include "tools/jet.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <bit>
#include <signal.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
Q_DECLARE_METATYPE(jet::Lettura)

namespace {

const QString base = QStringLiteral(PEMTARX_DATI) + u"serie_base.mdb"_s;
// The register table's columns in the order the original engine's file and its .jsonl keep them; the heading
// table keeps the store's order.
const QStringList ordineRegistri =
    u"Codice Descrizione CarScar UltimoCarico GruppoCarico GruppoSCarico StampaperSerie "
    u"CodiceDischetto MeccanogNum MeccanogCin CodAutorizzazione NTelefonoDaChiamare RiqA "
    u"TipoProtocollo ACT UltimaFilialeCheHaAcquisito DataUltimaAcquisizione "
    u"UltimoBloccoNumeriAcquisiti FilialeCheHaIRegistri"_s.split(u' ')
        .replaceInStrings(QRegularExpression(u"^"_s), u"Ssp"_s);

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray impronta(const QString& f)
{
    return QFileInfo::exists(f) ? QCryptographicHash::hash(contenuto(f), QCryptographicHash::Sha256) : QByteArray();
}

void scrivi(const QString& file, const QByteArray& b)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(b) == b.size());
}

QStringList fileIn(const QString& d)
{
    return QDir(d).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QList<QVariantList> tabella(const QString& file, QLatin1StringView nome)
{
    QList<QVariantList> righe;
    store::ArchivioRegistri archivio(u"prova-importa"_s);
    QSqlDatabase db = archivio.apriDatabase(file).ok() ? archivio.database() : QSqlDatabase();
    store::leggiGrezzo(db, nome, [&](const QVariantList& r) { righe << r; });
    return righe;
}

struct Esecuzione {
    int codice = -1;
    QString uscita, errori;
};

// The command as the clerk runs it: a process of its own, this executable in its importa mode; on a disk full after
// `blocchi` 512-byte blocks of any one file; with `passo`, through the step hook, killed at its `volta`-th
// announcement.
Esecuzione esegui(const QStringList& argomenti, int blocchi = 0, const QString& passo = {}, int volta = 0)
{
    QProcess p;
    if (!passo.isEmpty())
        p.setEnvironment(QProcess::systemEnvironment() << u"PEMTARX_IMPORTA_PASSI=1"_s);
    p.setReadChannel(QProcess::StandardError);
    const QString limite = blocchi ? QString::number(blocchi) : u"unlimited"_s;
    p.start(u"sh"_s, QStringList{u"-c"_s, u"trap '' XFSZ; ulimit -f %1; exec \"$@\""_s.arg(limite), u"sh"_s,
                                 QCoreApplication::applicationFilePath(), u"--importa"_s} +
                         argomenti);
    for (int viste = 0; !passo.isEmpty() && p.waitForStarted() && (p.canReadLine() || p.waitForReadyRead(30'000));) {
        const QByteArray linea = p.readLine().trimmed();
        if (linea == "PASSO " + passo.toLatin1() && ++viste == volta)
            ::kill(pid_t(p.processId()), SIGKILL);
        else if (linea.startsWith("PASSO "))
            p.write("\n");
    }
    p.waitForFinished(120'000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// A register table as the reader gives it, each row filled by column name.
jet::Lettura lettura(const QList<QVariantHash>& righe)
{
    jet::Tabella t{QString(store::tabellaRegistri), {}, {}, {}};
    const QList<int> tipi{jet::Testo, jet::Intero, jet::Lungo, jet::Booleano, jet::Doppio};
    for (const store::Colonna& c : store::colonneRegistri())
        t.colonne << jet::Colonna{c.nome, tipi[int(c.tipo)], 0};
    for (const QVariantHash& valori : righe) {
        t.righe << QVariantList();
        for (const store::Colonna& c : store::colonneRegistri())
            t.righe.back() << valori.value(c.nome);
    }
    jet::Lettura l;
    l.tabelle << t << std::nullopt;
    return l;
}

} // namespace

class TestImporta : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir_;
    QString destinazione_, ditta_, archivio_;
    QString preparaDitta(const QByteArray& vecchio, const QString& fineCartella = u"/"_s);

  private slots:
    void init();
    void ogniCellaComeNelFile_data();
    void ogniCellaComeNelFile();
    void rifiutatoOInterrottoNonLasciaNulla_data();
    void rifiutatoOInterrottoNonLasciaNulla();
    void fileGuastiNonFermanoIlChiamante();
    void letturaCostruita_data();
    void letturaCostruita();
};

void TestImporta::init()
{
    QVERIFY(dir_.emplace().isValid());
    destinazione_ = dir_->filePath(u"dogana.mdb"_s);
}

// Company X1 holding `vecchio` as its file, under a data folder the settings name with `fineCartella` appended;
// returns the settings file. The names differ in case from the settings', as copied from Windows.
QString TestImporta::preparaDitta(const QByteArray& vecchio, const QString& fineCartella)
{
    const QString dati = dir_->filePath(u"dati"_s) + fineCartella, ini = dir_->filePath(u"Quendrix.ini"_s);
    ditta_ = dati + u"X1"_s;
    archivio_ = ditta_ + u"/DOGANA.MDB"_s;
    QDir().mkpath(ditta_);
    scrivi(archivio_, vecchio);
    scrivi(ini, u"[BASE]\r\nDITTA=x1\r\n[PATH]\r\nDIRINI=%1\r\n"_s.arg(dati).toLatin1());
    return ini;
}

void TestImporta::ogniCellaComeNelFile_data()
{
    QTest::addColumn<QString>("origine");
    QTest::addColumn<QString>("tabella");
    QTest::addColumn<QStringList>("rapporto");
    const QString senza = QStringLiteral(PEMTARX_DATI) + u"serie_senza_testata.mdb"_s,
                  registri = store::tabellaRegistri, letti = u"REGISTRI: LETTI 31, SCRITTI 31"_s,
                  manca = u"NEL FILE MANCA LA TABELLA DELLE TESTATE TestataRegistriPS: IMPORTATI I SOLI REGISTRI"_s;
    QTest::newRow("registri") << base << registri << QStringList{letti, u"ARCHIVIO IMPORTATO: "_s};
    QTest::newRow("testate, le spaiate elencate")
        << base << QString(store::tabellaTestata)
        << QStringList{u"RIGHE DI TESTATA: LETTE 29, SCRITTE 29"_s,
                       u"RIGHE DI TESTATA SENZA REGISTRO (IMPORTATE COME SONO): 1: \"X99\""_s,
                       u"REGISTRI SENZA RIGA DI TESTATA (IMPORTATI COME SONO): 3: \"G04\", \"C08\", \"S09\""_s};
    QTest::newRow("registri, senza tabella delle testate") << senza << registri << QStringList{letti, manca};
    QTest::newRow("nessuna testata") << senza << QString(store::tabellaTestata) << QStringList{manca};
}

// Empty texts against Nulls, integer extremes, a 17-digit double, accents, "€", quotes and inner blanks are all in
// the fixture: every cell must come out exactly as the .jsonl says.
void TestImporta::ogniCellaComeNelFile()
{
    QFETCH(QString, origine);
    QFETCH(QString, tabella);
    QFETCH(QStringList, rapporto);
    const Esecuzione e = esegui({origine, destinazione_});
    QVERIFY2(e.codice == 0, qPrintable(e.errori));
    for (const QString& r : rapporto)
        QVERIFY2(e.uscita.contains(r.endsWith(u": "_s) ? r + destinazione_ : r), qPrintable(r + u'\n' + e.uscita));
    const bool registri = tabella == store::tabellaRegistri;
    const auto colonne = registri ? store::colonneRegistri() : store::colonneTestata();
    QHash<QString, QVariantList> scritte;
    for (const QVariantList& r : ::tabella(destinazione_, registri ? store::tabellaRegistri : store::tabellaTestata))
        scritte.insert(r.front().toString(), r);
    const QList<QByteArray> righe = contenuto(origine + u'.' + tabella + u".jsonl"_s).split('\n');
    for (const QByteArray& riga : righe.first(std::max<qsizetype>(righe.size() - 1, 0))) {
        const QJsonArray a = QJsonDocument::fromJson(riga).array();
        const QString codice = a.at(0).toString();
        for (qsizetype j = 0; j < a.size(); ++j) {
            const QString nome = registri ? ordineRegistri.at(j) : QString(colonne[size_t(j)].nome);
            const size_t i =
                size_t(std::find_if(colonne.begin(), colonne.end(), [&](auto& c) { return c.nome == nome; }) -
                       colonne.begin());
            const QVariant v = scritte.value(codice).value(qsizetype(i));
            const QVariant atteso = a.at(j).isNull() ? QVariant() : a.at(j).toVariant();
            // The stored value is what the file holds, with no conversion at all: same type, same bits.
            const bool uguale =
                colonne[i].tipo == store::Tipo::Reale
                    ? v.typeId() == QMetaType::Double &&
                          std::bit_cast<quint64>(v.toDouble()) == std::bit_cast<quint64>(atteso.toDouble())
                    : (colonne[i].tipo == store::Tipo::Testo) == (v.typeId() == QMetaType::QString) &&
                          v.toString() == (atteso.typeId() == QMetaType::Bool ? QString::number(atteso.toBool())
                                                                              : atteso.toString());
            QVERIFY2(i < colonne.size() && v.isNull() == atteso.isNull() && (v.isNull() || uguale),
                     qPrintable(codice + u' ' + nome + u": "_s + v.toString()));
        }
    }
    QCOMPARE(scritte.size(), std::max<qsizetype>(righe.size() - 1, 0));
}

void TestImporta::rifiutatoOInterrottoNonLasciaNulla_data()
{
    // A file refused, a full disk, or the command killed at a step: the original stays as it was and the target
    // folder as it was; after a kill the next run sweeps what was left and imports.
    QTest::addColumn<QByteArray>("vecchio");
    QTest::addColumn<bool>("sulPosto");  // importa --ini, else importa ORIGINE DESTINAZIONE
    QTest::addColumn<QByteArray>("gia"); // already where the result goes (the kept copy, in place)
    QTest::addColumn<QString>("passo");  // the step killed at, or the number of 512-byte blocks the disk takes
    QTest::addColumn<int>("volta");
    QTest::addColumn<QString>("messaggio");
    const QByteArray jet = contenuto(base);
    const QString illeggibile = u"IL FILE NON SI PUO' LEGGERE PER INTERO"_s, pieno = u"ERRORE NELLA SCRITTURA"_s,
                  nonJet = u"IL FILE NON E' UN ARCHIVIO DEL VECCHIO FORMATO"_s;
    const auto r = [](const char* nome, const QByteArray& v, const QString& m, bool posto = false,
                      const QByteArray& gia = {}, const QString& passo = {},
                      int volta = 0) { QTest::newRow(nome) << v << posto << gia << passo << volta << m; };
    for (const qsizetype b : QList<qsizetype>{jet.size() - 1, 151552, 77000, 77824, 40960, 8192, 4096})
        QTest::addRow("troncato a %lld byte", qlonglong(b))
            << jet.left(b) << false << QByteArray() << QString() << 0 << illeggibile;
    r("testo", "SspCodice;SspDescrizione\r\nC01;CARICO\r\n", nonJet);
    r("vuoto", "", nonJet);
    r("intestazione guasta", QByteArray(4, 'x') + jet.mid(4), nonJet);
    QTemporaryDir d;
    QVERIFY(store::ArchivioRegistri::crea(d.filePath(u"nostro.mdb"_s)).ok());
    r("un archivio di questo programma", contenuto(d.filePath(u"nostro.mdb"_s)), nonJet);
    r("destinazione esistente, lasciata com'e'", jet, u"FILE ESISTENTE, LASCIATO COM'E': "_s, false, "esiste");
    // At 88 blocks the empty store is made and the rows do not fit; at 24 not even the store is made.
    r("disco pieno", jet, pieno, false, {}, u"88"_s);
    r("sul posto: troncato", jet.left(151552), illeggibile, true);
    r("sul posto: una copia diversa c'è già", jet, u"ESISTE GIA'"_s, true, "una copia di un altro giorno");
    r("sul posto: disco pieno", jet, pieno, true, {}, u"24"_s);
    // In place, "conservato" comes once the old file is kept and before the new one takes its name.
    const QList<std::tuple<bool, QString, int>> uccisioni{
        {false, u"letto"_s, 1}, {false, u"riga"_s, 1},    {false, u"riga"_s, 16},    {false, u"riga"_s, 32},
        {false, u"riga"_s, 60}, {false, u"scritto"_s, 1}, {true, u"letto"_s, 1},     {true, u"riga"_s, 1},
        {true, u"riga"_s, 45},  {true, u"scritto"_s, 1},  {true, u"conservato"_s, 1}};
    for (const auto& [posto, passo, volta] : uccisioni)
        QTest::addRow("%succiso: %s %d", posto ? "sul posto, " : "", qPrintable(passo), volta)
            << jet << posto << QByteArray() << passo << volta << QString();
}

void TestImporta::rifiutatoOInterrottoNonLasciaNulla()
{
    QFETCH(QByteArray, vecchio);
    QFETCH(bool, sulPosto);
    QFETCH(QByteArray, gia);
    QFETCH(QString, passo);
    QFETCH(int, volta);
    QFETCH(QString, messaggio);
    // No trailing separator on the data folder in place: the settings join it directly to the company.
    const QString origine = dir_->filePath(u"origine.mdb"_s), cartella = dir_->filePath(u"destinazione"_s);
    destinazione_ = cartella + u"/dogana.mdb"_s;
    QVERIFY(QDir().mkpath(cartella));
    scrivi(origine, vecchio);
    QVERIFY(sulPosto || gia.isNull() || store::ArchivioRegistri::crea(destinazione_).ok());
    const QStringList argomenti =
        sulPosto ? QStringList{u"--ini"_s, preparaDitta(vecchio, QString())} : QStringList{origine, destinazione_};
    if (sulPosto && !gia.isNull())
        scrivi(archivio_ + u".jet"_s, gia);
    const QString dove = sulPosto ? ditta_ : cartella, esito = sulPosto ? archivio_ : destinazione_;
    const QStringList prima = fileIn(dove);
    const QByteArray improntaPrima = impronta(esito);
    const Esecuzione e = esegui(argomenti, passo.toInt(), volta ? passo : QString(), volta);
    QCOMPARE(e.codice, volta ? -1 : 1);
    QVERIFY2(e.errori.contains(messaggio), qPrintable(e.errori));
    QVERIFY(sulPosto || volta || e.errori.contains((gia.isNull() ? u"NULLA E' STATO SCRITTO: "_s : messaggio) + esito));
    // The messages name the clerk's file, never the one being written beside it.
    QVERIFY2(!e.errori.contains(u".importa-"_s), qPrintable(e.errori));
    QCOMPARE(impronta(esito), improntaPrima);
    const QString jet = archivio_ + u".jet"_s;
    QVERIFY(!volta || !sulPosto || !QFileInfo::exists(jet) || impronta(jet) == impronta(base));
    if (!volta) {
        QCOMPARE(fileIn(dove), prima);
        return;
    }
    const Esecuzione ancora = esegui(argomenti);
    QVERIFY2(ancora.codice == 0, qPrintable(ancora.errori));
    QCOMPARE(fileIn(dove),
             (sulPosto ? QStringList{u"DOGANA.MDB"_s, u"DOGANA.MDB.jet"_s} : QStringList(u"dogana.mdb"_s)));
    QCOMPARE(tabella(esito, store::tabellaRegistri).size(), 31);
    QCOMPARE(tabella(esito, store::tabellaTestata).size(), 29);
    if (!sulPosto)
        return;
    QVERIFY(ancora.uscita.contains(u"ARCHIVIO CONVERTITO: %1 (IL VECCHIO E' CONSERVATO IN %1.jet)"_s.arg(archivio_)));
    QVERIFY(impronta(jet) == impronta(base) && !jet::intestazioneJet(archivio_));
    // Once converted, a further run leaves everything as it is.
    const QByteArray convertito = impronta(archivio_);
    const Esecuzione terza = esegui(argomenti);
    QVERIFY(terza.codice == 1 && terza.errori.contains(u"GIA' CONVERTITO"_s));
    QVERIFY(impronta(archivio_) == convertito && impronta(jet) == impronta(base));
}

// Damaged copies: libmdb may give up, print, crash or loop in its process; the caller always gets an answer.
void TestImporta::fileGuastiNonFermanoIlChiamante()
{
    const QByteArray sano = contenuto(base);
    QRandomGenerator caso(20240); // fixed seed: the same damage on every run
    int rifiutati = 0;
    for (int prova = 0; prova < 150; ++prova) {
        QByteArray b = sano;
        for (int i = 0, quanti = 1 << caso.bounded(7); i < quanti; ++i)
            b[caso.bounded(4096, int(b.size()))] = char(caso.bounded(256));
        scrivi(destinazione_, b);
        const jet::Lettura l =
            jet::leggi(destinazione_, {QString(store::tabellaRegistri), QString(store::tabellaTestata)});
        rifiutati += l.esito != jet::Esito::Letto;
        QVERIFY(l.esito == jet::Esito::Letto ? l.tabelle.size() == 2
                                             : l.esito == jet::Esito::Illeggibile && !l.dettaglio.isEmpty());
    }
    QVERIFY(rifiutati > 0);
}

void TestImporta::letturaCostruita_data()
{
    QTest::addColumn<jet::Lettura>("letta");
    QTest::addColumn<QStringList>("messaggi");
    QTest::addColumn<int>("scritte"); // the registers written; none, not even the file, when negative
    const auto riga = [](const QString& codice, const QString& colonna = {}, const QVariant& valore = {}) {
        return QVariantHash{{u"SspCodice"_s, codice}, {colonna, valore}};
    };
    QList<QVariantHash> righe{riga(u"BUONO"_s, u"SspDataUltimaAcquisizione"_s, 45292.5)};
    QStringList messaggi{u"NULLA E' STATO SCRITTO"_s};
    // Each refused as "RIGA <n> (CODICE <code>), COLONNA <column>", the reason after it.
    const QList<std::tuple<QString, QString, QVariant, QString>> rifiutati{
        {u"NAN"_s, u"DataUltimaAcquisizione"_s, QVariant(qQNaN()), u""_s},
        {u"MENOZERO"_s, u"DataUltimaAcquisizione"_s, QVariant(-0.0), u""_s},
        {u"GRANDE"_s, u"MeccanogNum"_s, QVariant::fromValue<qint32>(40000),
         u": 40000 non sta in un intero di 16 bit"_s},
        {u"BINARIO"_s, u"Descrizione"_s, QVariant(QByteArray("\x01\x02", 2)), u""_s},
        {u"OLTRE32"_s, u"UltimoCarico"_s, QVariant(qlonglong(1) << 31), u""_s},
        {u"TESTOINT"_s, u"UltimoCarico"_s, QVariant(u"12"_s), u""_s},
        {u"NUMTESTO"_s, u"Descrizione"_s, QVariant(12), u""_s},
        {u"INTSINO"_s, u"StampaperSerie"_s, QVariant(1), u""_s},
        {u"buono"_s, u"Codice"_s, QVariant(u"buono"_s), u""_s},
        {u""_s, u"Codice"_s, QVariant(), u": codice Null"_s}};
    for (const auto& [codice, colonna, valore, motivo] : rifiutati) {
        righe << riga(codice, u"Ssp"_s + colonna, valore);
        messaggi << u"RIGA %1 (CODICE %2), COLONNA Ssp%3%4"_s.arg(righe.size()).arg(codice, colonna, motivo);
    }
    righe << riga(u"TESTO"_s);
    messaggi << u"RIGA %1 (CODICE TESTO), COLONNA SspDescrizione"_s.arg(righe.size());
    jet::Lettura inesatti = lettura(righe);
    inesatti.tabelle[0]->difetti << jet::Tabella::Difetto{righe.size() - 1, 1, u"il lettore dà «?» per «€»"_s};
    QTest::newRow("valori inesatti, ogni riga elencata") << inesatti << messaggi << -1;
    jet::Lettura diverse = lettura({riga(u"C01"_s)});
    diverse.tabelle[0]->colonne[1].nome = u"SspNote"_s; // SspDescrizione missing, an unknown column instead
    QTest::newRow("colonne diverse")
        << diverse
        << QStringList{u"NELLA TABELLA TabellaSerieSemplificata MANCA LA COLONNA SspDescrizione"_s,
                       u"LA TABELLA TabellaSerieSemplificata HA LA COLONNA SspNote"_s}
        << -1;
    jet::Lettura senza;
    senza.tabelle << std::nullopt << std::nullopt;
    QTest::newRow("senza tabella dei registri")
        << senza << QStringList{u"NEL FILE MANCA LA TABELLA DEI REGISTRI TabellaSerieSemplificata: prova.mdb"_s} << -1;
    righe.clear();
    for (int i = 0; i < 2500; ++i)
        righe << riga(u"R%1"_s.arg(i), u"SspUltimoCarico"_s, QVariant::fromValue<qint32>(i));
    const QString avanzamento = u"SCRITTE %1 RIGHE DI TabellaSerieSemplificata\n"_s;
    QTest::newRow("file lungo, l'avanzamento ogni mille righe")
        << lettura(righe) << QStringList{avanzamento.arg(1000) + avanzamento.arg(2000)} << 2500;
}

void TestImporta::letturaCostruita()
{
    QFETCH(jet::Lettura, letta);
    QFETCH(QStringList, messaggi);
    QFETCH(int, scritte);
    // In this process, its stderr caught in a file.
    QTemporaryFile cattura;
    QVERIFY(cattura.open());
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
        QVERIFY2(testo.contains(atteso), qPrintable(atteso + u'\n' + testo));
    QVERIFY(!testo.contains(u"CODICE BUONO)"_s));
    QCOMPARE(scritte < 0 ? fileIn(dir_->path()).size() : tabella(destinazione_, store::tabellaRegistri).size(),
             std::max(scritte, 0));
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
