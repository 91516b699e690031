#include "store/archivioregistri.h"
#include "store/colonne.h"
#include "store/grezzo.h"
#include "tools/importa.h"
#include "tools/jet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <bit>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString dati = QStringLiteral(PEMTARX_DATI), base = dati + u"serie_base.mdb"_s;
// The register table's columns in the order the original engine's file and its .jsonl keep them; the heading
// table keeps the store's order.
const QStringList ordineRegistri =
    u"Codice Descrizione CarScar UltimoCarico GruppoCarico GruppoSCarico StampaperSerie CodiceDischetto MeccanogNum "
    u"MeccanogCin CodAutorizzazione NTelefonoDaChiamare RiqA TipoProtocollo ACT UltimaFilialeCheHaAcquisito "
    u"DataUltimaAcquisizione UltimoBloccoNumeriAcquisiti FilialeCheHaIRegistri"_s.split(u' ');

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QVariantList> tabella(const QString& file, QLatin1StringView nome)
{
    QList<QVariantList> righe;
    store::ArchivioRegistri archivio(u"prova-importa"_s);
    QSqlDatabase db = archivio.apriDatabase(file).ok() ? archivio.database() : QSqlDatabase();
    store::leggiGrezzo(db, nome, [&](const QVariantList& r) { righe << r; });
    return righe;
}

// A register table as the reader gives it, each row filled by column name.
jet::Lettura lettura(const QList<QVariantHash>& righe)
{
    jet::Tabella t{QString(store::tabellaRegistri), {}, {}, {}};
    for (const store::Colonna& c : store::colonneRegistri())
        t.colonne << jet::Colonna{
            c.nome, QList{jet::Testo, jet::Intero, jet::Lungo, jet::Booleano, jet::Doppio}[int(c.tipo)], 0};
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

Q_DECLARE_METATYPE(jet::Lettura)

class TestImporta : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir_;
    QString destinazione_;

  private slots:
    void init()
    {
        QVERIFY(dir_.emplace().isValid());
        destinazione_ = dir_->filePath(u"dogana.mdb"_s);
    }
    void ogniCellaComeNelFile_data();
    void ogniCellaComeNelFile();
    void fileGuastiNonFermanoIlChiamante();
    void letturaCostruita_data();
    void letturaCostruita();
};

void TestImporta::ogniCellaComeNelFile_data()
{
    QTest::addColumn<QString>("origine");
    QTest::addColumn<QStringList>("rapporto");
    const QString letti = u"REGISTRI: LETTI 31, SCRITTI 31"_s;
    QTest::newRow("con le testate, le spaiate elencate")
        << base
        << QStringList{letti, u"ARCHIVIO IMPORTATO: "_s, u"RIGHE DI TESTATA: LETTE 29, SCRITTE 29"_s,
                       u"RIGHE DI TESTATA SENZA REGISTRO (IMPORTATE COME SONO): 1: \"X99\""_s,
                       u"REGISTRI SENZA RIGA DI TESTATA (IMPORTATI COME SONO): 3: \"G04\", \"C08\", \"S09\""_s};
    const QString manca = u"NEL FILE MANCA LA TABELLA DELLE TESTATE TestataRegistriPS: IMPORTATI I SOLI REGISTRI"_s;
    QTest::newRow("senza tabella delle testate") << dati + u"serie_senza_testata.mdb"_s << QStringList{letti, manca};
}

// Empty texts against Nulls, integer extremes, a 17-digit double, accents, "€", quotes and inner blanks are all in
// the fixture: every cell of both tables must come out exactly as the .jsonl says, same type, same bits.
void TestImporta::ogniCellaComeNelFile()
{
    QFETCH(QString, origine);
    QFETCH(QStringList, rapporto);
    // The command as the clerk runs it, in a process of its own: this executable in its importa mode.
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {u"--importa"_s, origine, destinazione_});
    QVERIFY(p.waitForFinished(120'000));
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, p.readAllStandardError().constData());
    const QString uscita = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& r : rapporto)
        QVERIFY2(uscita.contains(r.endsWith(u": "_s) ? r + destinazione_ : r), qPrintable(r + u'\n' + uscita));
    for (const bool registri : {true, false}) {
        const QLatin1StringView tabella = registri ? store::tabellaRegistri : store::tabellaTestata;
        const auto colonne = registri ? store::colonneRegistri() : store::colonneTestata();
        QHash<QString, QVariantList> scritte;
        for (const QVariantList& r : ::tabella(destinazione_, tabella))
            scritte.insert(r.front().toString(), r);
        QList<QByteArray> righe = contenuto(origine + u'.' + tabella + u".jsonl"_s).split('\n');
        righe.removeAll(QByteArray());
        for (const QByteArray& riga : std::as_const(righe)) {
            const QJsonArray a = QJsonDocument::fromJson(riga).array();
            for (qsizetype j = 0; j < a.size(); ++j) {
                const QString nome = registri ? u"Ssp"_s + ordineRegistri.at(j) : QString(colonne[size_t(j)].nome);
                const auto c = std::find_if(colonne.begin(), colonne.end(), [&](auto& c) { return c.nome == nome; });
                QVERIFY2(c != colonne.end(), qPrintable(nome));
                const QVariant v = scritte.value(a.at(0).toString()).value(c - colonne.begin());
                const QVariant atteso = a.at(j).toVariant();
                const bool reale = c->tipo == store::Tipo::Reale, testo = c->tipo == store::Tipo::Testo;
                const bool uguale =
                    reale ? v.typeId() == QMetaType::Double &&
                                std::bit_cast<quint64>(v.toDouble()) == std::bit_cast<quint64>(atteso.toDouble())
                          : testo == (v.typeId() == QMetaType::QString) &&
                                v.toString() == (atteso.typeId() == QMetaType::Bool ? QString::number(atteso.toBool())
                                                                                    : atteso.toString());
                QVERIFY2(v.isNull() == atteso.isNull() && (v.isNull() || uguale),
                         qPrintable(a.at(0).toString() + u' ' + nome + u": "_s + v.toString()));
            }
        }
        QCOMPARE(scritte.size(), righe.size());
    }
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
        QFile f(destinazione_);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(b) == b.size());
        f.close();
        const auto l = jet::leggi(destinazione_, {QString(store::tabellaRegistri), QString(store::tabellaTestata)});
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
        return QVariantHash{{u"SspCodice"_s, codice}, {u"Ssp"_s + colonna, valore}};
    };
    QList<QVariantHash> righe{riga(u"BUONO"_s, u"DataUltimaAcquisizione"_s, 45292.5)};
    QStringList messaggi{u"NULLA E' STATO SCRITTO"_s};
    // Each refused as "RIGA <n> (CODICE <code>), COLONNA <column>", the reason after it.
    for (const auto& [codice, colonna, valore, motivo] : QList<std::tuple<QString, QString, QVariant, QString>>{
             {u"NAN"_s, u"DataUltimaAcquisizione"_s, qQNaN(), {}},
             {u"MENOZERO"_s, u"DataUltimaAcquisizione"_s, -0.0, {}},
             {u"GRANDE"_s, u"MeccanogNum"_s, qint32(40000), u": 40000 non sta in un intero di 16 bit"_s},
             {u"BINARIO"_s, u"Descrizione"_s, QByteArray("\x01\x02", 2), {}},
             {u"OLTRE32"_s, u"UltimoCarico"_s, qlonglong(1) << 31, {}},
             {u"TESTOINT"_s, u"UltimoCarico"_s, u"12"_s, {}},
             {u"NUMTESTO"_s, u"Descrizione"_s, 12, {}},
             {u"INTSINO"_s, u"StampaperSerie"_s, 1, {}},
             {u"buono"_s, u"Codice"_s, u"buono"_s, {}},
             {u""_s, u"Codice"_s, {}, u": codice Null"_s},
             {u"TESTO"_s, u"Descrizione"_s, {}, {}}}) {
        righe << riga(codice, colonna, valore);
        messaggi << u"RIGA %1 (CODICE %2), COLONNA Ssp%3%4"_s.arg(righe.size()).arg(codice, colonna, motivo);
    }
    jet::Lettura inesatti = lettura(righe);
    inesatti.tabelle[0]->difetti << jet::Tabella::Difetto{righe.size() - 1, 1, u"il lettore dà «?» per «€»"_s};
    QTest::newRow("valori inesatti, ogni riga elencata") << inesatti << messaggi << -1;
    jet::Lettura diverse = lettura({riga(u"C01"_s)}), senza;
    diverse.tabelle[0]->colonne[1].nome = u"SspNote"_s; // SspDescrizione missing, an unknown column instead
    QTest::newRow("colonne diverse") << diverse
                                     << (u"NELLA TABELLA %1 MANCA LA COLONNA SspDescrizione|"
                                         u"LA TABELLA %1 HA LA COLONNA SspNote"_s)
                                            .arg(store::tabellaRegistri)
                                            .split(u'|')
                                     << -1;
    senza.tabelle << std::nullopt << std::nullopt;
    QTest::newRow("senza tabella dei registri")
        << senza << QStringList{u"NEL FILE MANCA LA TABELLA DEI REGISTRI TabellaSerieSemplificata: prova.mdb"_s} << -1;
    righe.clear();
    for (int i = 0; i < 2500; ++i)
        righe << riga(u"R%1"_s.arg(i), u"UltimoCarico"_s, QVariant::fromValue<qint32>(i));
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
    QCOMPARE(scritte < 0 ? QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).size() : tabella(destinazione_, store::tabellaRegistri).size(),
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
