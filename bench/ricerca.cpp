// Prints the time from one keystroke in a search box of the search page to the repainted list on
// 100,000 registers, and the first page's statement through the store next to the raw sqlite3 API,
// or next to raw libpq for a server address.
#include "app/statofinestra.h"
#include "lookup/modelloricerca.h"
#include "lookup/paginaricerca.h"
#include "store/archivioregistri.h"
#include "store/ricerca.h"
#include "tests/dialoghiprova.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QVBoxLayout>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using Orologio = std::chrono::steady_clock;

namespace {

constexpr int registri = 100000;

// First words with uneven shares, so a one-letter key matches some registers, never all.
constexpr std::array parole{"MAGAZZINO", "DEPOSITO",  "TRANSITO", "ESPORTAZIONE", "IMPORTAZIONE", "SPEDIZIONI",
                            "CONTO",     "FRANCHIGIA", "ACCISE",   "VINI",         "OLI",          "ZUCCHERI",
                            "BENI",      "RICAMBI",    "TESSUTI",  "LEGNAME",      "NAVE",         "GRANI"};
constexpr std::array citta{"MILANO", "TORINO", "GENOVA", "NAPOLI", "BARI", "VENEZIA", "TRIESTE", "LIVORNO"};

QString codice(int i) { return u"R%1"_s.arg(i, 6, 10, QChar(u'0')); }

QString descrizione(int i)
{
    // i*i spreads the words unevenly: a first letter starts from 2% to 16% of the descriptions.
    const auto p = static_cast<std::size_t>((static_cast<long long>(i) * i / 7) % parole.size());
    return QString::fromLatin1(parole[p]) + u' ' + QString::fromLatin1(citta[i % citta.size()]) + u' ' +
           QString::number(i);
}

[[noreturn]] void fallisci(const QString& perche)
{
    QTextStream(stderr) << perche << u'\n';
    std::exit(1);
}

bool riempi(store::ArchivioRegistri& archivio)
{
    QSqlDatabase db = archivio.database();
    if (!db.transaction())
        return false;
    QSqlQuery q(db);
    // Quoted names: a server folds unquoted ones to lower case, and the store's tables keep theirs.
    q.prepare(u"INSERT INTO \"TabellaSerieSemplificata\" (\"SspCodice\", \"SspDescrizione\", \"SspCarScar\", "
              "\"SspUltimoCarico\", \"SspCodAutorizzazione\", \"SspMeccanogNum\", \"SspMeccanogCin\", "
              "\"SspGruppoSCarico\", \"SspCodiceDischetto\") "
              "VALUES (?, ?, 'C', ?, '0123/PS/E', ?, 'K', 'SMI', 'A1')"_s);
    for (int i = 1; i <= registri; ++i) {
        q.bindValue(0, codice(i));
        q.bindValue(1, descrizione(i));
        q.bindValue(2, i);
        q.bindValue(3, i % 30000);
        if (!q.exec()) {
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

template <typename F> double milli(F&& f)
{
    const auto t0 = Orologio::now();
    f();
    return std::chrono::duration<double, std::milli>(Orologio::now() - t0).count();
}

// The store's statement on the C API: prepared, bound and finalised on every run, as the store's
// QSqlQuery prepares it on every run, and every column of every row copied out as a value.
int grezzo(sqlite3* db, const store::Istruzione& istruzione)
{
    sqlite3_stmt* s = nullptr;
    const QByteArray testo = istruzione.sql.toUtf8();
    if (sqlite3_prepare_v2(db, testo.constData(), -1, &s, nullptr) != SQLITE_OK)
        fallisci(QString::fromUtf8(sqlite3_errmsg(db)));
    for (int i = 0; i < istruzione.valori.size(); ++i) {
        const QVariant& v = istruzione.valori.at(i);
        if (v.typeId() == QMetaType::QString) {
            const QString& t = *static_cast<const QString*>(v.constData());
            sqlite3_bind_text16(s, i + 1, t.utf16(), static_cast<int>(t.size() * 2), SQLITE_STATIC);
        } else {
            sqlite3_bind_int64(s, i + 1, v.toLongLong());
        }
    }
    int righe = 0;
    QVariantList valori;
    while (sqlite3_step(s) == SQLITE_ROW) {
        const int n = sqlite3_column_count(s);
        valori.clear();
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(s, c)) {
            case SQLITE_INTEGER: valori << sqlite3_column_int64(s, c); break;
            case SQLITE_FLOAT: valori << sqlite3_column_double(s, c); break;
            case SQLITE_NULL: valori << QVariant(); break;
            default:
                valori << QString(reinterpret_cast<const QChar*>(sqlite3_column_text16(s, c)),
                                  sqlite3_column_bytes16(s, c) / 2);
            }
        }
        ++righe;
    }
    sqlite3_finalize(s);
    return righe;
}

// The store's statement on libpq: sent once with its values as text parameters, one round trip
// that parses, binds and runs it as the store's one-off statement must, and every column of every
// row copied out as a value.
int grezzoPg(PGconn* db, const store::Istruzione& istruzione)
{
    // libpq numbers its parameters; a "?" inside a quoted literal is not one.
    QString testo;
    bool citazione = false;
    int n = 0;
    for (const QChar c : istruzione.sql) {
        if (c == u'\'')
            citazione = !citazione;
        if (c == u'?' && !citazione)
            testo += u'$' + QString::number(++n);
        else
            testo += c;
    }
    std::vector<QByteArray> valori;
    std::vector<const char*> puntatori;
    for (const QVariant& v : istruzione.valori)
        valori.push_back(v.toString().toUtf8());
    for (const QByteArray& v : valori)
        puntatori.push_back(v.constData());
    PGresult* r = PQexecParams(db, testo.toUtf8().constData(), static_cast<int>(puntatori.size()), nullptr,
                               puntatori.data(), nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        fallisci(QString::fromUtf8(PQerrorMessage(db)));
    const int righe = PQntuples(r), colonne = PQnfields(r);
    QVariantList riga;
    for (int i = 0; i < righe; ++i) {
        riga.clear();
        for (int c = 0; c < colonne; ++c)
            riga << (PQgetisnull(r, i, c) ? QVariant() : QVariant(QString::fromUtf8(PQgetvalue(r, i, c))));
    }
    PQclear(r);
    return righe;
}

struct Caso {
    const char* nome;
    store::TipoRicerca tipo;
    QString chiave;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication applicazione(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    const int tasti = a.size() > 1 ? a.at(1).toInt() : 300;
    const int interrogazioni = a.size() > 2 ? a.at(2).toInt() : 1000;
    // The default folder is the current one, a real disk like the office's; /tmp may be memory.
    // A "postgresql://" address instead names an empty database on a server.
    const QString luogo = a.size() > 3 ? a.at(3) : QDir::currentPath();
    const bool server = luogo.startsWith(u"postgresql://"_s);
    QTemporaryDir cartella(QDir(server ? QDir::currentPath() : luogo).filePath(u"bench-ricerca-XXXXXX"_s));
    if (!cartella.isValid())
        fallisci(u"cartella temporanea"_s);
    const QString file = server ? luogo : cartella.filePath(u"archivio.mdb"_s);
    if (!store::ArchivioRegistri::crea(file).ok())
        fallisci(u"crea "_s + file);
    store::ArchivioRegistri archivio(u"bench"_s);
    if (!archivio.apriDatabase(file).ok() || !archivio.apriRegistri().ok() || !archivio.apriTestata().ok())
        fallisci(u"apri "_s + file);
    if (!riempi(archivio))
        fallisci(u"riempi "_s + file);
    sqlite3* db = nullptr;
    PGconn* pg = nullptr;
    if (server) {
        pg = PQconnectdb(file.toUtf8().constData());
        if (PQstatus(pg) != CONNECTION_OK)
            fallisci(u"PQconnectdb: "_s + QString::fromUtf8(PQerrorMessage(pg)));
        // The server would analyse the freshly filled table on its own a little later; now, the first
        // keys are planned like every later one.
        PQclear(PQexec(pg, "SET client_min_messages = warning"));
        PGresult* r = PQexec(pg, "ANALYZE");
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fallisci(u"ANALYZE: "_s + QString::fromUtf8(PQerrorMessage(pg)));
        PQclear(r);
    } else if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fallisci(u"sqlite3_open_v2"_s);
    }

    StatoFinestra stato;
    DialoghiProva dialoghi;
    QWidget finestra;
    auto* strato = new QVBoxLayout(&finestra);
    auto* pagina = new PaginaRicerca(archivio, stato, dialoghi, &finestra);
    strato->addWidget(pagina);
    finestra.resize(800, 600);
    finestra.show();
    finestra.activateWindow();
    if (!QTest::qWaitForWindowExposed(&finestra))
        fallisci(u"finestra non mostrata"_s);
    pagina->apri(u""_s);
    auto* codTab = pagina->findChild<QLineEdit*>(u"CodTab"_s);
    auto* descTab = pagina->findChild<QLineEdit*>(u"DescTab"_s);
    auto* lista = pagina->findChild<QAbstractItemView*>(u"Lista"_s);
    if (!codTab || !descTab || !lista)
        fallisci(u"CodTab, DescTab o Lista mancante"_s);
    auto* modello = qobject_cast<ModelloRicerca*>(lista->model());

    const std::array casi{
        Caso{"codice vuota", store::TipoRicerca::Codice, u""_s},
        Caso{"codice 1 lettera", store::TipoRicerca::Codice, u"R"_s},
        Caso{"codice intero", store::TipoRicerca::Codice, codice(registri / 2)},
        Caso{"descr. vuota", store::TipoRicerca::Descrizione, u""_s},
        Caso{"descr. 1 lettera", store::TipoRicerca::Descrizione, u"T"_s},
        Caso{"descr. intera", store::TipoRicerca::Descrizione, descrizione(registri / 2)},
    };

    const char* nomeGrezzo = server ? "libpq" : "sqlite3";
    std::printf("%s, ms; %d registri, tasto -> lista ridisegnata (%d tasti), archivio = store::esegui, %s = API C "
                "(%d coppie)\n",
                server ? "PostgreSQL" : "SQLite", registri, tasti, nomeGrezzo, interrogazioni);
    std::printf("%-17s %7s %9s %9s %11s %11s %8s\n", "ricerca", "righe", "med.tasto", "p99 tasto", "med.archiv",
                qPrintable(u"med."_s + QLatin1StringView(nomeGrezzo)), "rapporto");
    bool rispettati = true;
    for (const Caso& caso : casi) {
        const bool perCodice = caso.tipo == store::TipoRicerca::Codice;
        QLineEdit* casella = perCodice ? codTab : descTab;
        if (!perCodice) {
            // The code box keeps a key, so leaving it does not move the focus back to it.
            codTab->setText(u"R"_s);
            descTab->show();
        }
        casella->setFocus();
        // Each measured key leaves the case's key in the box: Backspace after one letter for the
        // empty key, the key's last letter otherwise; the key that undoes it is not measured.
        const bool vuota = caso.chiave.isEmpty();
        const QString prima = vuota ? u"R"_s : caso.chiave.chopped(1);
        const QChar ultima = vuota ? QChar() : caso.chiave.back();
        casella->setText(prima);
        const auto misurato = [&] {
            if (vuota)
                QTest::keyClick(casella, Qt::Key_Backspace);
            else
                QTest::keyClick(casella, ultima.toLatin1());
        };
        const auto disfa = [&] {
            if (vuota)
                QTest::keyClick(casella, Qt::Key_R);
            else
                QTest::keyClick(casella, Qt::Key_Backspace);
            QCoreApplication::processEvents();
            lista->viewport()->repaint();
        };
        std::vector<double> tempi;
        const int riscaldamento = std::max(10, tasti / 10);
        for (int i = 0; i < riscaldamento + tasti; ++i) {
            // Posted work (the list's delayed layout) runs inside the measure, before the forced paint.
            const double t = milli([&] {
                misurato();
                QCoreApplication::processEvents();
                lista->viewport()->repaint();
            });
            if (casella->text() != caso.chiave || stato.testoSql.isEmpty())
                fallisci(u"chiave diversa: "_s + casella->text());
            if (i >= riscaldamento)
                tempi.push_back(t);
            disfa();
        }
        misurato();
        QCoreApplication::processEvents();
        const int mostrate = modello ? modello->rowCount() : -1;

        const store::Istruzione istruzione = store::cercaRegistri(archivio.database().driver(), caso.tipo,
                                                                  caso.chiave, std::nullopt, ModelloRicerca::primaPagina);
        std::vector<double> tArchivio, tGrezzo;
        int righeArchivio = 0, righeGrezzo = 0;
        QString testo;
        const auto conArchivio = [&] {
            righeArchivio = 0;
            const store::Esito e = store::esegui(archivio, istruzione, testo, [&](const QSqlQuery& q) {
                QVariantList valori;
                for (int c = 0; c < store::trColonne; ++c)
                    valori << q.value(c);
                ++righeArchivio;
            });
            if (!e.ok())
                fallisci(u"esegui"_s);
        };
        const auto conGrezzo = [&] { righeGrezzo = server ? grezzoPg(pg, istruzione) : grezzo(db, istruzione); };
        // Pairs alternate which side runs first, so drift of the cache hits both alike.
        for (int i = 0; i < interrogazioni + interrogazioni / 10; ++i) {
            double ta = 0, tg = 0;
            if (i % 2 == 0) {
                ta = milli(conArchivio);
                tg = milli(conGrezzo);
            } else {
                tg = milli(conGrezzo);
                ta = milli(conArchivio);
            }
            if (i >= interrogazioni / 10) {
                tArchivio.push_back(ta);
                tGrezzo.push_back(tg);
            }
        }
        if (righeArchivio != righeGrezzo)
            fallisci(u"righe diverse"_s);
        const double med = percentile(tempi, 0.5), p99 = percentile(tempi, 0.99);
        const double ma = percentile(tArchivio, 0.5), mg = percentile(tGrezzo, 0.5);
        // Every key on a server is a round trip to it: the list must still keep up with typing.
        rispettati = rispettati && (server ? med <= 16 : med <= 5 && p99 <= 16 && ma / mg <= 2.5);
        std::printf("%-17s %7d %9.2f %9.2f %11.3f %11.3f %7.2fx\n", caso.nome, mostrate, med, p99, ma, mg, ma / mg);
        std::fflush(stdout);
    }
    std::printf("obiettivi (%s): %s\n", server ? "mediana <= 16 ms" : "mediana <= 5 ms, p99 <= 16 ms, rapporto <= 2.5",
                rispettati ? "rispettati" : "NON rispettati");
    if (pg)
        PQfinish(pg);
    else
        sqlite3_close(db);
    return rispettati ? 0 : 2;
}
