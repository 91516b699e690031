#include "tools/jet.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QtEndian>

// glib first: mdbtools.h includes it inside extern "C", where its C++ parts do not compile.
#include <glib.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wold-style-cast"
#include <mdbtools.h>
#pragma GCC diagnostic pop

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jet {

using namespace Qt::StringLiterals;

static_assert(int(Booleano) == int(MDB_BOOL) && int(Byte) == int(MDB_BYTE) && int(Intero) == int(MDB_INT) &&
              int(Lungo) == int(MDB_LONGINT) && int(Singolo) == int(MDB_FLOAT) && int(Doppio) == int(MDB_DOUBLE) &&
              int(Testo) == int(MDB_TEXT) && int(Memo) == int(MDB_MEMO));

// Found by argument-dependent lookup, so they live beside Colonna rather than in the unnamed namespace.
static QDataStream& operator<<(QDataStream& s, const Colonna& c)
{
    return s << c.nome << qint32(c.tipo) << qint32(c.lunghezza);
}

static QDataStream& operator>>(QDataStream& s, Colonna& c)
{
    qint32 tipo = 0, lunghezza = 0;
    s >> c.nome >> tipo >> lunghezza;
    c.tipo = tipo;
    c.lunghezza = lunghezza;
    return s;
}

namespace {

constexpr qint64 dimensionePagina = 4096;   // Jet 4 and later; Jet 3 (2048) is refused
constexpr int attesaMassimaMs = 60'000;      // libmdb has not sent a row for this long: it is looping
constexpr int mascheraInizio = 0x1fff;       // row offset within the page, without the flags
constexpr int rigaSpostata = 0x8000;         // the slot only points to the row's new place

// Frames from the child: one kind byte, a 32-bit length, a QDataStream payload.
enum Tipo : char { Intestazione = 'T', Riga = 'R', Fine = 'F', Errore = 'X' };


QString nomeColonna(const MdbColumn* c) { return QString::fromUtf8(c->name); }

// The characters a Jet 4 text holds: UTF-16LE, or after FF FE runs of single bytes and of UTF-16LE
// switched by each 0x00. Only to check libmdb's own conversion.
std::optional<QString> testoMemorizzato(const unsigned char* p, int n)
{
    QString t;
    if (n >= 2 && p[0] == 0xff && p[1] == 0xfe) {
        bool compresso = true;
        for (int i = 2; i < n;) {
            if (p[i] == 0) {
                compresso = !compresso;
                ++i;
            } else if (compresso) {
                t += QChar(char16_t(p[i++]));
            } else if (i + 1 < n) {
                t += QChar(char16_t(p[i] | (p[i + 1] << 8)));
                i += 2;
            } else {
                return std::nullopt;
            }
        }
        return t;
    }
    if (n % 2 != 0)
        return std::nullopt;
    for (int i = 0; i < n; i += 2)
        t += QChar(char16_t(p[i] | (p[i + 1] << 8)));
    return t;
}

// ---- the child: libmdb, and nothing it does reaches the parent but through the pipe ----

class Figlio {
public:
    Figlio(int uscita, qint64 pagine) : uscita_(uscita), pagine_(pagine) {}

    [[noreturn]] void esegui(const QString& percorso, const QStringList& tabelle);

private:
    void invia(Tipo tipo, const QByteArray& dati);
    [[noreturn]] void fallisci(Esito esito, const QString& testo);
    QString diagnostica();
    void controlla(const QString& dove);
    void leggiTabella(MdbHandle* mdb, MdbCatalogEntry* voce, const QString& nome);
    QVariant valore(MdbHandle* mdb, MdbColumn* c, const MdbField& f, int inizio, int fine, QString& difetto);

    int uscita_;
    qint64 pagine_;
    FILE* errori_ = nullptr;  // libmdb's messages to stderr land here
};

void Figlio::invia(Tipo tipo, const QByteArray& dati)
{
    QByteArray blocco(5, '\0');
    blocco[0] = tipo;
    qToLittleEndian<quint32>(quint32(dati.size()), blocco.data() + 1);
    blocco += dati;
    const char* p = blocco.constData();
    qsizetype resto = blocco.size();
    while (resto > 0) {
        const ssize_t n = ::write(uscita_, p, size_t(resto));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(3);  // the parent is gone: nobody to tell
        p += n;
        resto -= n;
    }
}

void Figlio::fallisci(Esito esito, const QString& testo)
{
    QByteArray dati;
    QDataStream s(&dati, QIODevice::WriteOnly);
    const QString detto = diagnostica();
    s << qint32(esito) << (detto.isEmpty() ? testo : testo + u'\n' + detto);
    invia(Errore, dati);
    _exit(0);
}

QString Figlio::diagnostica()
{
    if (!errori_)
        return {};
    fflush(stderr);
    QByteArray testo;
    const off_t fine = lseek(fileno(errori_), 0, SEEK_END);
    if (fine > 0) {
        testo.resize(qsizetype(std::min<off_t>(fine, 4000)));
        const ssize_t letti = pread(fileno(errori_), testo.data(), size_t(testo.size()), 0);
        testo.resize(letti > 0 ? qsizetype(letti) : 0);
    }
    return QString::fromLocal8Bit(testo).trimmed();
}

// Whatever libmdb printed means it met something it could not read; it would go on with less.
void Figlio::controlla(const QString& dove)
{
    if (!diagnostica().isEmpty())
        fallisci(Esito::Illeggibile, dove);
}

void Figlio::esegui(const QString& percorso, const QStringList& tabelle)
{
    errori_ = tmpfile();
    if (!errori_ || dup2(fileno(errori_), STDERR_FILENO) < 0)
        fallisci(Esito::Illeggibile, u"impossibile raccogliere i messaggi del lettore"_s);
    // libmdb converts texts to the charset this names; ours is UTF-8 whatever the caller's environment says.
    setenv("MDB_ICONV", "UTF-8", 1);
    const QByteArray nome = QFile::encodeName(percorso);
    MdbHandle* mdb = mdb_open(nome.constData(), MDB_NOFLAGS);
    if (!mdb)
        fallisci(Esito::Illeggibile, u"il file non si apre"_s);
    if (IS_JET3(mdb))
        fallisci(Esito::Illeggibile, u"formato Jet 3 (Access 97), non gestito"_s);
    GPtrArray* catalogo = mdb_read_catalog(mdb, MDB_TABLE);
    if (!catalogo)
        fallisci(Esito::Illeggibile, u"l'elenco delle tabelle non si legge"_s);
    controlla(u"l'elenco delle tabelle non si legge per intero"_s);
    for (const QString& t : tabelle) {
        MdbCatalogEntry* trovata = nullptr;
        for (guint i = 0; i < catalogo->len; ++i) {
            auto* voce = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalogo, i));
            if (voce->object_type == MDB_TABLE && QString::fromUtf8(voce->object_name).compare(t, Qt::CaseInsensitive) == 0)
                trovata = voce;
        }
        leggiTabella(mdb, trovata, t);
    }
    invia(Fine, {});
    _exit(0);
}

void Figlio::leggiTabella(MdbHandle* mdb, MdbCatalogEntry* voce, const QString& nome)
{
    QByteArray dati;
    QDataStream s(&dati, QIODevice::WriteOnly);
    if (!voce) {
        s << false;
        invia(Intestazione, dati);
        return;
    }
    const QString dove = u"tabella "_s + nome;
    if (voce->table_pg >= quint64(pagine_))
        fallisci(Esito::Illeggibile, dove + u": la definizione è oltre la fine del file"_s);
    MdbTableDef* t = mdb_read_table(voce);
    if (!t || !mdb_read_columns(t))
        fallisci(Esito::Illeggibile, dove + u": la definizione non si legge"_s);
    controlla(dove + u": la definizione non si legge"_s);
    // Every data page the table's map names must lie in the file; libmdb would skip the missing ones.
    qint64 giri = 0;
    for (gint32 p = mdb_map_find_next(mdb, t->usage_map, guint(t->map_sz), 0); p != 0;
         p = mdb_map_find_next(mdb, t->usage_map, guint(t->map_sz), guint32(p))) {
        if (p < 0 || p >= pagine_ || ++giri > pagine_)
            fallisci(Esito::Illeggibile, dove + u": le pagine dei dati vanno oltre la fine del file"_s);
    }
    controlla(dove + u": la mappa delle pagine non si legge"_s);

    QList<Colonna> colonne;
    for (guint i = 0; i < t->num_cols; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        colonne << Colonna{QString::fromUtf8(c->name), c->col_type, c->col_size};
    }
    s << true << QString::fromUtf8(t->name) << colonne;
    invia(Intestazione, dati);

    QList<MdbField> campi(qsizetype(std::max<guint>(t->num_cols, MDB_MAX_COLS)));
    quint32 lette = 0;
    mdb_rewind_table(t);
    while (mdb_fetch_row(t)) {
        int inizio = 0;
        size_t lunghezza = 0;
        if (t->cur_row == 0 || mdb_find_row(mdb, int(t->cur_row) - 1, &inizio, &lunghezza) != 0)
            fallisci(Esito::Illeggibile, dove + u": una riga non si ritrova nella sua pagina"_s);
        if (inizio & rigaSpostata)
            fallisci(Esito::Illeggibile, dove + u": righe spostate su altre pagine, non gestite dal lettore"_s);
        inizio &= mascheraInizio;
        const int fine = inizio + int(lunghezza);
        if (lunghezza == 0 || fine > mdb->fmt->pg_size)
            fallisci(Esito::Illeggibile, dove + u": una riga esce dalla sua pagina"_s);
        if (mdb_crack_row(t, inizio, lunghezza, campi.data()) < 0)
            fallisci(Esito::Illeggibile, dove + u": una riga non si scompone"_s);
        QVariantList riga(qsizetype(t->num_cols));
        QList<std::pair<qint32, QString>> difetti;
        for (guint i = 0; i < t->num_cols; ++i) {
            const MdbField& f = campi[i];
            if (f.colnum < 0 || guint(f.colnum) >= t->num_cols)
                fallisci(Esito::Illeggibile, dove + u": una riga non si scompone"_s);
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, guint(f.colnum)));
            QString difetto;
            riga[f.colnum] = valore(mdb, c, f, inizio, fine, difetto);
            if (!difetto.isEmpty())
                difetti.append({f.colnum, difetto});
        }
        QByteArray r;
        QDataStream sr(&r, QIODevice::WriteOnly);
        sr << riga << difetti;
        invia(Riga, r);
        ++lette;
    }
    controlla(dove + u": le righe non si leggono per intero"_s);
    if (lette != t->num_rows)
        fallisci(Esito::Illeggibile,
                 dove + u": lette %1 righe delle %2 che la tabella dichiara"_s.arg(lette).arg(t->num_rows));
    mdb_free_tabledef(t);
}

QVariant Figlio::valore(MdbHandle* mdb, MdbColumn* c, const MdbField& f, int inizio, int fine, QString& difetto)
{
    if (c->col_type == MDB_BOOL)
        return QVariant(!f.is_null);  // the null bit holds a Boolean's value: clear is false
    if (f.is_null)
        return {};
    if (f.siz < 0 || f.start < inizio || f.start + f.siz > fine)
        fallisci(Esito::Illeggibile, nomeColonna(c) + u": il valore esce dalla sua riga"_s);
    const auto* p = mdb->pg_buf + f.start;
    auto esatta = [&](int n) {
        if (f.siz != n)
            fallisci(Esito::Illeggibile, nomeColonna(c) + u": valore di %1 byte invece di %2"_s.arg(f.siz).arg(n));
    };
    switch (c->col_type) {
    case MDB_BYTE: esatta(1); return QVariant::fromValue<quint8>(*p);
    case MDB_INT: esatta(2); return QVariant::fromValue<qint16>(qFromLittleEndian<qint16>(p));
    case MDB_LONGINT: esatta(4); return QVariant::fromValue<qint32>(qFromLittleEndian<qint32>(p));
    case MDB_FLOAT: esatta(4); return QVariant::fromValue<float>(mdb_get_single(mdb->pg_buf, f.start));
    case MDB_DOUBLE: esatta(8); return QVariant::fromValue<double>(mdb_get_double(mdb->pg_buf, f.start));
    case MDB_TEXT:
    case MDB_MEMO: {
        if (f.siz == 0)
            return QVariant(u""_s);
        char* testo = mdb_col_to_string(mdb, mdb->pg_buf, f.start, c->col_type, f.siz);
        if (!testo)
            fallisci(Esito::Illeggibile, nomeColonna(c) + u": il testo non si legge"_s);
        const qsizetype byte = qsizetype(strlen(testo));
        QString t = QString::fromUtf8(testo, byte);
        g_free(testo);
        if (t.isEmpty())
            t = u""_s;
        // iconv turns what it cannot convert into "?" without a word: compare with the stored characters.
        std::optional<QString> memorizzato;
        if (c->col_type == MDB_TEXT)
            memorizzato = testoMemorizzato(p, f.siz);
        else if (f.siz > 12 && (qFromLittleEndian<quint32>(p) & 0x80000000u))
            memorizzato = testoMemorizzato(p + 12, f.siz - 12);  // a memo kept inside its row
        if (memorizzato && *memorizzato != t)
            difetto = u"il lettore dà «%1» per il testo memorizzato «%2»"_s.arg(t, *memorizzato);
        else if (byte + 4 >= qsizetype(mdb->bind_size))
            difetto = u"testo più lungo di quanto il lettore restituisce (%1 byte)"_s.arg(byte);
        return QVariant(t);
    }
    default:
        return QVariant(QByteArray(reinterpret_cast<const char*>(p), f.siz));
    }
}

// ---- the parent ----

bool leggiTutto(int fd, char* dove, size_t quanti, int& attesa)
{
    while (quanti > 0) {
        pollfd pf{fd, POLLIN, 0};
        const int pronti = poll(&pf, 1, attesa);
        if (pronti < 0 && errno == EINTR)
            continue;
        if (pronti == 0) {
            attesa = -2;  // timed out
            return false;
        }
        if (pronti < 0)
            return false;
        const ssize_t n = ::read(fd, dove, quanti);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        dove += n;
        quanti -= size_t(n);
    }
    return true;
}

// The format's version byte: 0 for Jet 3, 1 for Jet 4, higher for the ACE formats.
int versioneJet(const QString& percorso)
{
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(0x14))
        return -1;
    const QByteArray b = f.read(1);
    return b.size() == 1 ? uchar(b[0]) : -1;
}

Lettura fallita(Esito esito, const QString& dettaglio)
{
    Lettura l;
    l.esito = esito;
    l.dettaglio = dettaglio;
    return l;
}

} // namespace

bool intestazioneJet(const QString& percorso)
{
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray testa = f.read(0x18);
    const QByteArray motore = testa.mid(4, 16);
    return testa.size() == 0x18 && testa.startsWith(QByteArray("\x00\x01\x00\x00", 4)) &&
           (motore == QByteArray("Standard Jet DB\0", 16) || motore == QByteArray("Standard ACE DB\0", 16));
}

Lettura leggi(const QString& percorso, const QStringList& tabelle, const Avanzamento& avanzamento)
{
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly))
        return fallita(Esito::Illeggibile, f.errorString());
    const qint64 dimensione = f.size();
    f.close();
    if (!intestazioneJet(percorso))
        return fallita(Esito::NonJet, {});
    if (versioneJet(percorso) == 0)
        return fallita(Esito::Illeggibile, u"formato Jet 3 (Access 97), non gestito"_s);
    // Pages are whole: a file cut anywhere else was truncated, and libmdb would read less without a word.
    if (dimensione % dimensionePagina != 0)
        return fallita(Esito::Illeggibile,
                       u"%1 byte: non è un numero intero di pagine di %2 byte, il file è troncato"_s.arg(dimensione).arg(dimensionePagina));
    if (dimensione < 3 * dimensionePagina)
        return fallita(Esito::Illeggibile, u"%1 byte: troppo corto per contenere l'elenco delle tabelle"_s.arg(dimensione));

    int tubo[2];
    if (pipe2(tubo, O_CLOEXEC) != 0)
        return fallita(Esito::Illeggibile, QString::fromLocal8Bit(strerror(errno)));
    fflush(stdout);
    fflush(stderr);
    const pid_t figlio = fork();
    if (figlio < 0) {
        const int e = errno;
        ::close(tubo[0]);
        ::close(tubo[1]);
        return fallita(Esito::Illeggibile, QString::fromLocal8Bit(strerror(e)));
    }
    if (figlio == 0) {
        ::close(tubo[0]);
        Figlio(tubo[1], dimensione / dimensionePagina).esegui(percorso, tabelle);
    }
    ::close(tubo[1]);

    Lettura l;
    bool finita = false;
    int attesa = attesaMassimaMs;
    std::optional<Tabella>* corrente = nullptr;
    while (!finita) {
        char testa[5];
        if (!leggiTutto(tubo[0], testa, sizeof testa, attesa))
            break;
        QByteArray dati(qsizetype(qFromLittleEndian<quint32>(testa + 1)), Qt::Uninitialized);
        if (!leggiTutto(tubo[0], dati.data(), size_t(dati.size()), attesa))
            break;
        QDataStream s(dati);
        switch (testa[0]) {
        case Intestazione: {
            bool c = false;
            s >> c;
            l.tabelle << std::optional<Tabella>();
            corrente = &l.tabelle.back();
            if (c) {
                Tabella t;
                s >> t.nome >> t.colonne;
                *corrente = std::move(t);
            }
            break;
        }
        case Riga: {
            QVariantList riga;
            QList<std::pair<qint32, QString>> difetti;
            s >> riga >> difetti;
            if (!corrente || !*corrente) {
                l = fallita(Esito::Illeggibile, u"risposta del lettore fuori ordine"_s);
                finita = true;
                break;
            }
            for (const auto& [colonna, motivo] : difetti)
                (*corrente)->difetti.append({(*corrente)->righe.size(), colonna, motivo});
            (*corrente)->righe << riga;
            if (avanzamento)
                avanzamento((*corrente)->nome, (*corrente)->righe.size());
            break;
        }
        case Errore: {
            qint32 e = 0;
            QString testo;
            s >> e >> testo;
            l = fallita(Esito(e), testo);
            finita = true;
            break;
        }
        case Fine:
            finita = true;
            break;
        default:
            l = fallita(Esito::Illeggibile, u"risposta del lettore incomprensibile"_s);
            finita = true;
        }
    }
    if (attesa == -2)
        kill(figlio, SIGKILL);
    ::close(tubo[0]);
    int stato = 0;
    while (waitpid(figlio, &stato, 0) < 0 && errno == EINTR) {
    }
    if (attesa == -2)
        return fallita(Esito::Illeggibile, u"la lettura non procede: interrotta"_s);
    if (WIFSIGNALED(stato))
        return fallita(Esito::Illeggibile, u"la lettura si è interrotta (%1)"_s.arg(QString::fromLocal8Bit(strsignal(WTERMSIG(stato)))));
    if (!finita || !WIFEXITED(stato) || WEXITSTATUS(stato) != 0)
        return fallita(Esito::Illeggibile, u"la lettura si è interrotta"_s);
    if (l.esito == Esito::Letto && l.tabelle.size() != tabelle.size())
        return fallita(Esito::Illeggibile, u"risposta del lettore incompleta"_s);
    return l;
}

} // namespace jet
