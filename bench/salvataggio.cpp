// Prints the cost of saving and of looking up a register through the store, next to the same
// statements on the raw sqlite3 API with the same pragmas, or on raw libpq for a server address,
// measured in interleaved pairs.
#include "store/archivioregistri.h"
#include "store/colonne.h"
#include "store/registro.h"
#include "store/storico.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariantList>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using Orologio = std::chrono::steady_clock;

namespace {

constexpr int codici = 50;

// On a server both sides share one database, so the raw side's rows have codes of their own.
QString codice(int i, QChar prefisso = u'B') { return prefisso + u"%1"_s.arg(i % codici, 3, 10, QChar(u'0')); }

Registro registro(int i, QChar prefisso = u'B')
{
    Registro r{codice(i, prefisso)};
    r.SspDescrizione = u"REGISTRO DI PROVA %1"_s.arg(i);
    r.SspCarScar = u"C"_s;
    r.SspUltimoCarico = i;
    r.SspGruppoCarico = u"GMI"_s;
    r.SspGruppoSCarico = u"SMI"_s;
    r.SspStampaperSerie = false;
    r.SspCodiceDischetto = u"A1"_s;
    r.SspMeccanogCin = u"K"_s;
    r.SspMeccanogNum = static_cast<qint16>(i % 30000);
    r.SspCodAutorizzazione = u"0123/PS/E"_s;
    r.SspNTelefonoDaChiamare = u"M01"_s;
    r.SspRiqA = u"AUT. 0123/PS"_s;
    r.SspTipoProtocollo = u"P"_s;
    r.SspACT = u"T"_s;
    return r;
}

TestataRegistro testata(int i)
{
    TestataRegistro t;
    t.TpsRiga = {u"DOGANA DI MILANO - SEZIONE EXPORT"_s, u"AUTOTRASPORTI LOMBARDI S.P.A."_s,
                 u"VIA DELL'INDUSTRIA 12 - 20090 SEGRATE (MI)"_s, u"REGISTRO N. %1"_s.arg(i), u""_s};
    t.TpsRigP = {u"PREAVVISO DI SPEDIZIONE"_s, u"AUTOTRASPORTI LOMBARDI S.P.A."_s, u""_s, u""_s, u""_s};
    return t;
}

[[noreturn]] void fallisci(const QString& perche)
{
    QTextStream(stderr) << perche << u'\n';
    std::exit(1);
}

// The values of both rows in column order, as the store binds them for a save.
std::pair<QVariantList, QVariantList> valori(const Registro& r, const TestataRegistro& t)
{
    QVariantList vr{r.SspCodice, r.SspDescrizione, unCarattere(r.SspCarScar), r.SspUltimoCarico,
                    r.SspGruppoCarico, r.SspGruppoSCarico, r.SspStampaperSerie, r.SspCodiceDischetto,
                    r.SspMeccanogCin, r.SspMeccanogNum, r.SspCodAutorizzazione, r.SspRiqA, u" "_s, 0.0,
                    0, u" "_s, r.SspNTelefonoDaChiamare, unCarattere(r.SspTipoProtocollo),
                    unCarattere(r.SspACT)};
    QVariantList vt{r.SspCodice};
    for (const QString& riga : t.TpsRiga)
        vt << riga.trimmed();
    for (const QString& riga : t.TpsRigP)
        vt << riga.trimmed();
    return {vr, vt};
}

// The history row of a save written from the values in hand: the raw transaction's third statement.
QString sqlStorico(const std::function<QString(int)>& segno)
{
    QStringList nomi, segni;
    for (const store::Colonna& c : store::colonneStorico().subspan(1)) {
        nomi << u'"' + c.nome + u'"';
        segni << segno(static_cast<int>(segni.size()) + 1);
    }
    return u"INSERT INTO \""_s + store::tabellaStorico + u"\" ("_s + nomi.join(u", "_s) + u") VALUES ("_s +
           segni.join(u", "_s) + u')';
}

QVariantList valoriStorico(const QVariantList& vr, const QVariantList& vt)
{
    return QVariantList{QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), u"banco"_s,
                        QSysInfo::machineHostName(), u"VARIAZIONE"_s} +
           vr + vt;
}

// Both rows of one code in one statement, as the store reads them; `segno` numbers the parameter.
QString sqlCoppia(const std::function<QString(int)>& segno)
{
    QStringList nomi;
    for (const store::Colonna& c : store::colonneRegistri())
        nomi << u"r.\""_s + c.nome + u'"';
    for (const store::Colonna& c : store::colonneTestata())
        nomi << u"t.\""_s + c.nome + u'"';
    return u"SELECT "_s + nomi.join(u", "_s) + u" FROM (SELECT 1 AS uno) AS u LEFT JOIN \""_s + store::tabellaRegistri +
           u"\" AS r ON r.\""_s + store::colonneRegistri().front().nome + u"\" = "_s + segno(1) + u" LEFT JOIN \""_s +
           store::tabellaTestata + u"\" AS t ON t.\""_s + store::colonneTestata().front().nome + u"\" = "_s + segno(2);
}

// The same transaction written by hand on the C API, statements prepared once: the rows read
// first, as the store compares them with the rows shown, then both written with their history row.
class Grezzo {
public:
    explicit Grezzo(const QString& percorso)
    {
        if (sqlite3_open_v2(percorso.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fallisci(u"sqlite3_open_v2"_s);
        esegui("PRAGMA journal_mode=DELETE");
        esegui("PRAGMA synchronous=FULL");
        esegui("PRAGMA busy_timeout=5000");
        inizio_ = prepara(u"BEGIN IMMEDIATE"_s);
        fine_ = prepara(u"COMMIT"_s);
        coppia_ = prepara(sqlCoppia([](int) { return u"?"_s; }));
        storico_ = prepara(sqlStorico([](int) { return u"?"_s; }));
        for (auto [t, tabella, colonne] :
             {std::tuple{&registri_, store::tabellaRegistri, store::colonneRegistri()},
              std::tuple{&testata_, store::tabellaTestata, store::colonneTestata()}}) {
            QStringList nomi, segni, assegna;
            for (const store::Colonna& c : colonne) {
                nomi << u'"' + c.nome + u'"';
                segni << u"?"_s;
                assegna << u'"' + c.nome + u"\" = ?"_s;
            }
            const QString chiave = u" WHERE \""_s + colonne.front().nome + u"\" = ?"_s;
            const QString nome = u'"' + tabella + u'"';
            t->esiste = prepara(u"SELECT 1 FROM "_s + nome + chiave);
            t->inserisci = prepara(u"INSERT INTO "_s + nome + u" ("_s + nomi.join(u", "_s) + u") VALUES ("_s +
                                   segni.join(u", "_s) + u')');
            t->aggiorna = prepara(u"UPDATE "_s + nome + u" SET "_s + assegna.join(u", "_s) + chiave);
        }
    }
    ~Grezzo()
    {
        for (sqlite3_stmt* s : tutte_)
            sqlite3_finalize(s);
        sqlite3_close(db_);
    }

    void salva(const Registro& r, const TestataRegistro& t)
    {
        const auto [vr, vt] = valori(r, t);
        passo(inizio_);
        leggi(coppia_, r.SspCodice);
        scrivi(registri_, vr);
        scrivi(testata_, vt);
        const QVariantList vs = valoriStorico(vr, vt);
        for (int i = 0; i < vs.size(); ++i)
            lega(storico_, i + 1, vs.at(i));
        passo(storico_);
        passo(fine_);
    }

    // Both rows read to the last column, values copied out as the store hands them over.
    int cerca(const QString& codice) { return leggi(coppia_, codice); }

private:
    struct Tabella {
        sqlite3_stmt *esiste, *inserisci, *aggiorna;
    };

    void esegui(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fallisci(QString::fromUtf8(sqlite3_errmsg(db_)));
    }
    sqlite3_stmt* prepara(const QString& sql)
    {
        sqlite3_stmt* s = nullptr;
        const QByteArray testo = sql.toUtf8();
        if (sqlite3_prepare_v2(db_, testo.constData(), -1, &s, nullptr) != SQLITE_OK)
            fallisci(QString::fromUtf8(sqlite3_errmsg(db_)));
        tutte_.push_back(s);
        return s;
    }
    void passo(sqlite3_stmt* s)
    {
        if (sqlite3_step(s) != SQLITE_DONE)
            fallisci(QString::fromUtf8(sqlite3_errmsg(db_)));
        sqlite3_reset(s);
    }
    static void lega(sqlite3_stmt* s, int i, const QVariant& v)
    {
        switch (v.typeId()) {
        case QMetaType::QString: {
            const QString& t = *static_cast<const QString*>(v.constData());
            sqlite3_bind_text16(s, i, t.utf16(), static_cast<int>(t.size() * 2), SQLITE_STATIC);
            break;
        }
        case QMetaType::Double: sqlite3_bind_double(s, i, v.toDouble()); break;
        default: sqlite3_bind_int(s, i, v.toInt()); break;
        }
    }
    void scrivi(Tabella& t, const QVariantList& valori)
    {
        lega(t.esiste, 1, valori.front());
        const int r = sqlite3_step(t.esiste);
        sqlite3_reset(t.esiste);
        sqlite3_stmt* w = r == SQLITE_ROW ? t.aggiorna : t.inserisci;
        for (int i = 0; i < valori.size(); ++i)
            lega(w, i + 1, valori.at(i));
        if (r == SQLITE_ROW)
            lega(w, static_cast<int>(valori.size()) + 1, valori.front());
        passo(w);
    }
    static int leggi(sqlite3_stmt* s, const QString& codice)
    {
        lega(s, 1, codice);
        lega(s, 2, codice);
        QVariantList valori;
        if (sqlite3_step(s) == SQLITE_ROW) {
            const int n = sqlite3_column_count(s);
            valori.reserve(n);
            for (int i = 0; i < n; ++i) {
                switch (sqlite3_column_type(s, i)) {
                case SQLITE_INTEGER: valori << sqlite3_column_int64(s, i); break;
                case SQLITE_FLOAT: valori << sqlite3_column_double(s, i); break;
                case SQLITE_NULL: valori << QVariant(); break;
                default:
                    valori << QString(reinterpret_cast<const QChar*>(sqlite3_column_text16(s, i)),
                                      sqlite3_column_bytes16(s, i) / 2);
                }
            }
        }
        sqlite3_reset(s);
        return static_cast<int>(valori.size());
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt *inizio_, *fine_, *coppia_, *storico_;
    Tabella registri_{}, testata_{};
    std::vector<sqlite3_stmt*> tutte_;
};

// The same statements the store sends, on libpq's C API: both sides prepare each statement once
// on the server and send every value as text in its own parameter, so each save is the same seven
// round trips (BEGIN, the code's lock, the rows read, two upserts, the history row, COMMIT) and
// only the layers above libpq differ.
class GrezzoPg {
public:
    explicit GrezzoPg(const QString& indirizzo) : db_(PQconnectdb(indirizzo.toUtf8().constData()))
    {
        if (PQstatus(db_) != CONNECTION_OK)
            fallisci(u"PQconnectdb: "_s + QString::fromUtf8(PQerrorMessage(db_)));
        esegui("SET client_min_messages = warning");
        int n = 0;
        coppia_ = prepara(++n, sqlCoppia([](int i) { return u"$%1"_s.arg(i); }));
        blocca_ = prepara(++n, QString(store::sqlBloccaCodice).replace(u'?', u"$1"_s));
        storico_ = prepara(++n, sqlStorico([](int i) { return u"$%1"_s.arg(i); }));
        for (auto [t, tabella, colonne] :
             {std::tuple{&registri_, store::tabellaRegistri, store::colonneRegistri()},
              std::tuple{&testata_, store::tabellaTestata, store::colonneTestata()}}) {
            QStringList nomi, segni, assegna;
            for (const store::Colonna& c : colonne) {
                nomi << u'"' + c.nome + u'"';
                segni << u"$%1"_s.arg(segni.size() + 1);
                assegna << u'"' + c.nome + u"\" = excluded.\""_s + c.nome + u'"';
            }
            const QString nome = u'"' + tabella + u'"';
            t->scrivi = prepara(++n, u"INSERT INTO "_s + nome + u" ("_s + nomi.join(u", "_s) + u") VALUES ("_s +
                                         segni.join(u", "_s) + u") ON CONFLICT (\""_s + colonne.front().nome +
                                         u"\") DO UPDATE SET "_s + assegna.join(u", "_s));
        }
    }
    ~GrezzoPg() { PQfinish(db_); }

    void salva(const Registro& r, const TestataRegistro& t)
    {
        const auto [vr, vt] = valori(r, t);
        esegui("BEGIN");
        PQclear(lancia(blocca_, {r.SspCodice}, PGRES_TUPLES_OK));
        leggi(coppia_, r.SspCodice);
        PQclear(lancia(registri_.scrivi, vr, PGRES_COMMAND_OK));
        PQclear(lancia(testata_.scrivi, vt, PGRES_COMMAND_OK));
        PQclear(lancia(storico_, valoriStorico(vr, vt), PGRES_COMMAND_OK));
        esegui("COMMIT");
    }

    // Both rows read to the last column, values copied out as the store hands them over.
    int cerca(const QString& codice) { return leggi(coppia_, codice); }

private:
    struct Tabella {
        QByteArray scrivi;
    };

    void esegui(const char* sql)
    {
        PGresult* r = PQexec(db_, sql);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fallisci(QString::fromUtf8(PQerrorMessage(db_)));
        PQclear(r);
    }
    QByteArray prepara(int n, const QString& sql)
    {
        const QByteArray nome = "grezzo_" + QByteArray::number(n);
        PGresult* r = PQprepare(db_, nome.constData(), sql.toUtf8().constData(), 0, nullptr);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fallisci(QString::fromUtf8(PQerrorMessage(db_)));
        PQclear(r);
        return nome;
    }
    PGresult* lancia(const QByteArray& nome, const QVariantList& valori, ExecStatusType atteso)
    {
        std::vector<QByteArray> testi;
        std::vector<const char*> puntatori;
        testi.reserve(static_cast<std::size_t>(valori.size()));
        for (const QVariant& v : valori)
            testi.push_back(v.typeId() == QMetaType::Bool ? QByteArray(v.toBool() ? "t" : "f")
                                                          : v.toString().toUtf8());
        for (const QByteArray& t : testi)
            puntatori.push_back(t.constData());
        PGresult* r = PQexecPrepared(db_, nome.constData(), static_cast<int>(puntatori.size()), puntatori.data(),
                                     nullptr, nullptr, 0);
        if (PQresultStatus(r) != atteso)
            fallisci(QString::fromUtf8(PQerrorMessage(db_)));
        return r;
    }
    int leggi(const QByteArray& nome, const QString& codice)
    {
        PGresult* r = lancia(nome, {codice, codice}, PGRES_TUPLES_OK);
        QVariantList valori;
        if (PQntuples(r) > 0) {
            const int n = PQnfields(r);
            valori.reserve(n);
            for (int i = 0; i < n; ++i)
                valori << (PQgetisnull(r, 0, i) ? QVariant() : QVariant(QString::fromUtf8(PQgetvalue(r, 0, i))));
        }
        PQclear(r);
        return static_cast<int>(valori.size());
    }

    PGconn* db_;
    QByteArray coppia_, blocca_, storico_;
    Tabella registri_, testata_;
};

struct Misura {
    std::vector<double> archivio, grezzo;  // microseconds
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

template <typename F> double micro(F&& f)
{
    const auto t0 = Orologio::now();
    f();
    return std::chrono::duration<double, std::micro>(Orologio::now() - t0).count();
}

// Pairs alternate which side runs first, so drift of the disk or the cache hits both alike.
template <typename A, typename B, typename P = void (*)(int)>
Misura misura(int volte, A&& archivio, B&& grezzo, P&& prima = [](int) {})
{
    Misura m;
    const int riscaldamento = std::max(5, volte / 20);
    for (int i = 0; i < riscaldamento + volte; ++i) {
        prima(i);
        double a = 0, g = 0;
        if (i % 2 == 0) {
            a = micro([&] { archivio(i); });
            g = micro([&] { grezzo(i); });
        } else {
            g = micro([&] { grezzo(i); });
            a = micro([&] { archivio(i); });
        }
        if (i >= riscaldamento) {
            m.archivio.push_back(a);
            m.grezzo.push_back(g);
        }
    }
    return m;
}

void stampa(const char* nome, const Misura& m, double obiettivo)
{
    const double ma = percentile(m.archivio, 0.5), mg = percentile(m.grezzo, 0.5);
    const double pa = percentile(m.archivio, 0.99), pg = percentile(m.grezzo, 0.99);
    std::printf("%-12s %7zu %12.1f %12.1f %12.1f %12.1f %8.2f %8.2f %8.1fx %s\n", nome, m.archivio.size(), ma, pa,
                mg, pg, ma / mg, pa / pg, obiettivo, ma / mg <= obiettivo ? "ok" : "OLTRE");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication applicazione(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    const int salvataggi = a.size() > 1 ? a.at(1).toInt() : 400;
    const int ricerche = a.size() > 2 ? a.at(2).toInt() : 20000;
    // The default folder is the current one, a real disk like the office's; /tmp may be memory.
    // A "postgresql://" address instead names an empty database on a server, where both sides write.
    const QString luogo = a.size() > 3 ? a.at(3) : QDir::currentPath();
    const bool server = luogo.startsWith(u"postgresql://"_s);
    QTemporaryDir cartella(QDir(server ? QDir::currentPath() : luogo).filePath(u"bench-salvataggio-XXXXXX"_s));
    if (!cartella.isValid())
        fallisci(u"cartella temporanea"_s);
    const QString fileArchivio = server ? luogo : cartella.filePath(u"archivio.mdb"_s);
    const QString fileGrezzo = server ? luogo : cartella.filePath(u"grezzo.mdb"_s);
    const QChar prefissoGrezzo = server ? u'G' : u'B';

    store::ArchivioRegistri archivio(u"bench"_s);
    {
        const QList<std::pair<QString, QChar>> file =
            server ? QList<std::pair<QString, QChar>>{{luogo, u'B'}, {luogo, u'G'}}
                   : QList<std::pair<QString, QChar>>{{fileArchivio, u'B'}, {fileGrezzo, u'B'}};
        for (const auto& [f, prefisso] : file) {
            if ((!server || prefisso == u'B') && !store::ArchivioRegistri::crea(f).ok())
                fallisci(u"crea "_s + f);
            store::ArchivioRegistri riempi(u"riempi"_s);
            if (!riempi.apriDatabase(f).ok() || !riempi.apriRegistri().ok() || !riempi.apriTestata().ok())
                fallisci(u"apri "_s + f);
            for (int i = 0; i < codici; ++i)
                if (!riempi.scrivi(registro(i, prefisso), testata(i)).esito.ok())
                    fallisci(u"scrivi "_s + f);
        }
    }
    if (!archivio.apriDatabase(fileArchivio).ok() || !archivio.apriRegistri().ok() || !archivio.apriTestata().ok())
        fallisci(u"apri "_s + fileArchivio);
    std::optional<Grezzo> grezzoSqlite;
    std::optional<GrezzoPg> grezzoPg;
    if (server)
        grezzoPg.emplace(luogo);
    else
        grezzoSqlite.emplace(fileGrezzo);
    const auto grezzoSalva = [&](int i) {
        if (server)
            grezzoPg->salva(registro(i, prefissoGrezzo), testata(i));
        else
            grezzoSqlite->salva(registro(i), testata(i));
    };
    const auto grezzoCerca = [&](int i) {
        return server ? grezzoPg->cerca(codice(i, prefissoGrezzo)) : grezzoSqlite->cerca(codice(i));
    };

    // The store's save compares with the rows as shown, looked up beforehand as the window does.
    store::ArchivioRegistri::Righe mostrate;
    const Misura salva = misura(
        salvataggi,
        [&](int i) {
            if (!archivio.scrivi(registro(i), testata(i), &mostrate).esito.ok())
                fallisci(u"scrivi"_s);
        },
        grezzoSalva, [&](int i) { archivio.trova(codice(i), mostrate); });

    int letti = 0;
    const Misura cerca = misura(
        ricerche,
        [&](int i) {
            store::ArchivioRegistri::Righe righe;
            archivio.trova(codice(i), righe);
            letti += (righe.registro ? righe.registro->count() : 0) + (righe.testata ? righe.testata->count() : 0);
        },
        [&](int i) { letti += grezzoCerca(i); });
    if (letti != (ricerche + std::max(5, ricerche / 20)) * 2 * 30)
        fallisci(u"righe lette: "_s + QString::number(letti));

    if (server)
        std::printf("PostgreSQL, microsecondi; archivio = ArchivioRegistri, libpq = API C, istruzioni preparate (%s)\n",
                    qPrintable(luogo));
    else
        std::printf("SQLite, microsecondi; archivio = ArchivioRegistri, sqlite3 = API C con le stesse pragma (%s)\n",
                    qPrintable(QDir::toNativeSeparators(cartella.path())));
    const char* grezzo = server ? "libpq" : "sqlite3";
    std::printf("%-12s %7s %12s %12s %12s %12s %8s %8s %9s\n", "operazione", "n", "med.archiv", "p99 archiv",
                qPrintable(u"med."_s + QLatin1StringView(grezzo)), qPrintable(u"p99 "_s + QLatin1StringView(grezzo)),
                "rapp.med", "rapp.p99", "obiettivo");
    stampa("salvataggio", salva, 1.3);
    stampa("ricerca", cerca, 2.0);
    return 0;
}
