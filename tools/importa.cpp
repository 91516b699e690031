#include "tools/importa.h"

#include "store/colonne.h"
#include "store/grezzo.h"
#include "store/posizione.h"
#include "store/archivioregistri.h"
#include "tools/comandi.h"
#include "tools/jet.h"
#include "tools/percorsi.h"
#include "tools/testi_importa.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QTextStream>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pemtarxdb {

using namespace Qt::StringLiterals;
namespace testi = testiImporta;

namespace {

constexpr qsizetype ogniQuanteRighe = 1000;  // a progress line this often, for long files

void messaggio(const QString& testo) { QTextStream(stderr) << testo << u'\n'; }
void rapporto(const QString& testo) { QTextStream(stdout) << testo << u'\n'; }

// Test hook: with PEMTARX_IMPORTA_PASSI set, each step is announced on stderr and waits for a line on
// stdin, so a test can kill the process at a chosen step.
void passo(const char* nome)
{
    static const bool attivo = qEnvironmentVariableIsSet("PEMTARX_IMPORTA_PASSI");
    if (!attivo)
        return;
    std::fprintf(stderr, "PASSO %s\n", nome);
    std::fflush(stderr);
    char riga[16];
    if (!std::fgets(riga, sizeof riga, stdin))
        _exit(esitoErrore);
}

// A value that cannot be carried over exactly, and where it was.
struct Difetto {
    QString tabella;
    qsizetype riga;  // from 1, in the file's order
    QString codice;
    QString colonna;
    QString motivo;
};

// The rows of both tables in the store's column order, checked and ready to write.
struct Preparata {
    QList<QVariantList> registri, testate;
    bool conTestata = false;
    QStringList testateSenzaRegistro, registriSenzaTestata;
};

QString elencoCodici(const QStringList& codici)
{
    if (codici.isEmpty())
        return testi::nessuno;
    QStringList tra;
    for (const QString& c : codici)
        tra << u'"' + c + u'"';
    return u"%1: "_s.arg(codici.size()) + tra.join(u", "_s);
}

// Keys compare as the store's NOCASE collation compares them: ASCII letters without regard to case.
QString chiave(const QString& codice)
{
    QString k = codice;
    for (QChar& c : k)
        if (c.unicode() < 128)
            c = c.toUpper();
    return k;
}

QString nomeTipoJet(int tipo)
{
    switch (tipo) {
    case jet::Booleano: return u"Sì/No"_s;
    case jet::Byte: return u"Byte"_s;
    case jet::Intero: return u"Intero"_s;
    case jet::Lungo: return u"Intero lungo"_s;
    case jet::Singolo: return u"Precisione singola"_s;
    case jet::Doppio: return u"Precisione doppia"_s;
    case jet::Testo: return u"Testo"_s;
    case jet::Memo: return u"Memo"_s;
    default: return u"codice %1"_s.arg(tipo);
    }
}

QString nomeTipo(store::Tipo tipo)
{
    switch (tipo) {
    case store::Tipo::Testo: return u"testo"_s;
    case store::Tipo::Intero16: return u"intero a 16 bit"_s;
    case store::Tipo::Intero32: return u"intero a 32 bit"_s;
    case store::Tipo::Booleano: return u"Sì/No"_s;
    case store::Tipo::Reale: return u"numero reale"_s;
    }
    return {};
}

bool intero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt:
    case QMetaType::LongLong: case QMetaType::UChar: case QMetaType::Char: case QMetaType::SChar:
        return true;
    default:
        return false;
    }
}

bool nullo(const QVariant& v) { return !v.isValid() || v.isNull(); }

QString mostra(const QVariant& v)
{
    if (nullo(v))
        return u"Null"_s;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 17);
    if (v.typeId() == QMetaType::QString)
        return u'"' + v.toString() + u'"';
    return v.toString();
}

// The value as the store's column takes it, or the reason it would not arrive unchanged.
std::optional<QVariant> converti(const store::Colonna& c, int tipoJet, const QVariant& v, QString& motivo)
{
    if (nullo(v))
        return QVariant();
    const auto tipoErrato = [&] {
        motivo = testi::motivoTipo.arg(nomeTipoJet(tipoJet), nomeTipo(c.tipo));
        return std::nullopt;
    };
    switch (c.tipo) {
    case store::Tipo::Testo:
        if (v.typeId() != QMetaType::QString)
            return tipoErrato();
        return v;
    case store::Tipo::Intero16:
    case store::Tipo::Intero32: {
        if (!intero(v))
            return tipoErrato();
        const qint64 n = v.toLongLong();
        const bool corto = c.tipo == store::Tipo::Intero16;
        const qint64 minimo = corto ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
        const qint64 massimo = corto ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
        if (n < minimo || n > massimo) {
            motivo = testi::motivoFuoriMisura.arg(n).arg(corto ? 16 : 32);
            return std::nullopt;
        }
        return QVariant(int(n));
    }
    case store::Tipo::Booleano:
        if (v.typeId() != QMetaType::Bool)
            return tipoErrato();
        return v;
    case store::Tipo::Reale: {
        double x = 0;
        if (v.typeId() == QMetaType::Double)
            x = v.toDouble();
        else if (v.typeId() == QMetaType::Float)
            x = double(v.toFloat());  // every float is a double exactly
        else if (intero(v))
            x = double(v.toLongLong());  // at most 32 bits in this format: exact
        else
            return tipoErrato();
        // SQLite keeps NaN as Null and -0.0 as 0.
        if (std::isnan(x) || (x == 0.0 && std::signbit(x))) {
            motivo = testi::motivoReale.arg(QString::number(x, 'g', 17));
            return std::nullopt;
        }
        return QVariant(x);
    }
    }
    return tipoErrato();
}

// The value read back is the value written, bit for bit where it is a number.
bool stessoValore(store::Tipo tipo, const QVariant& scritto, const QVariant& letto)
{
    if (nullo(scritto) || nullo(letto))
        return nullo(scritto) && nullo(letto);
    switch (tipo) {
    case store::Tipo::Testo:
        return letto.typeId() == QMetaType::QString && letto.toString() == scritto.toString();
    case store::Tipo::Intero16:
    case store::Tipo::Intero32:
    case store::Tipo::Booleano:
        return intero(letto) && letto.toLongLong() == scritto.toLongLong();
    case store::Tipo::Reale:
        return letto.typeId() == QMetaType::Double &&
               std::bit_cast<quint64>(letto.toDouble()) == std::bit_cast<quint64>(scritto.toDouble());
    }
    return false;
}

// One table of the file in the store's column order; false when its columns do not match the store's.
bool preparaTabella(const jet::Tabella& t, QLatin1StringView nome, std::span<const store::Colonna> colonne,
                    QList<QVariantList>& righe, QList<Difetto>& difetti, QStringList& errori)
{
    QList<int> indice;
    QSet<int> usate;
    QStringList diverse;
    for (const store::Colonna& c : colonne) {
        int trovata = -1;
        for (int i = 0; i < t.colonne.size(); ++i)
            if (t.colonne[i].nome.compare(c.nome, Qt::CaseInsensitive) == 0)
                trovata = i;
        if (trovata < 0)
            diverse << testi::colonnaMancante.arg(t.nome, c.nome);
        indice << trovata;
        usate << trovata;
    }
    for (int i = 0; i < t.colonne.size(); ++i)
        if (!usate.contains(i))
            diverse << testi::colonnaInattesa.arg(t.nome, t.colonne[i].nome);
    errori << diverse;
    if (!diverse.isEmpty())
        return false;

    QHash<std::pair<qsizetype, int>, QString> difettiLettura;
    for (const jet::Tabella::Difetto& d : t.difetti)
        difettiLettura.insert({d.riga, d.colonna}, d.motivo);
    QHash<QString, qsizetype> codici;
    for (qsizetype r = 0; r < t.righe.size(); ++r) {
        const QVariantList& sorgente = t.righe[r];
        const QString codice = sorgente.value(indice.front()).toString();
        const auto segnala = [&](const store::Colonna& c, const QString& motivo) {
            difetti << Difetto{nome, r + 1, codice, c.nome, motivo};
        };
        QVariantList riga;
        for (size_t i = 0; i < colonne.size(); ++i) {
            const store::Colonna& c = colonne[i];
            const int j = indice[qsizetype(i)];
            if (const auto d = difettiLettura.constFind({r, j}); d != difettiLettura.cend())
                segnala(c, *d);
            QString motivo;
            const std::optional<QVariant> v = converti(c, t.colonne[j].tipo, sorgente.value(j), motivo);
            if (!v)
                segnala(c, motivo);
            riga << v.value_or(QVariant());
        }
        if (nullo(riga.front())) {
            segnala(colonne.front(), testi::motivoCodiceNullo);
        } else if (const qsizetype primo = codici.value(chiave(codice), -1); primo >= 0) {
            segnala(colonne.front(), testi::motivoCodiceRipetuto.arg(t.righe[primo].value(indice.front()).toString()));
        } else {
            codici.insert(chiave(codice), r);
        }
        righe << riga;
    }
    return true;
}

void stampaDifetti(const QList<Difetto>& difetti)
{
    for (const Difetto& d : difetti)
        messaggio(testi::valoreInesatto.arg(d.tabella).arg(d.riga).arg(d.codice, d.colonna, d.motivo));
}

// What was read, checked against the store's tables; none (and the messages given) when it cannot pass whole.
std::optional<Preparata> prepara(const jet::Lettura& letta, const QString& origine)
{
    switch (letta.esito) {
    case jet::Esito::Letto:
        break;
    case jet::Esito::NonJet:
        messaggio(testi::nonJet.arg(origine));
        return std::nullopt;
    case jet::Esito::Illeggibile:
        messaggio(testi::illeggibile.arg(origine, letta.dettaglio));
        return std::nullopt;
    }
    if (letta.tabelle.size() != 2 || !letta.tabelle[0]) {
        messaggio(testi::registriMancanti.arg(origine, store::tabellaRegistri));
        return std::nullopt;
    }
    Preparata p;
    QList<Difetto> difetti;
    QStringList errori;
    preparaTabella(*letta.tabelle[0], store::tabellaRegistri, store::colonneRegistri(), p.registri, difetti, errori);
    p.conTestata = letta.tabelle[1].has_value();
    if (p.conTestata)
        preparaTabella(*letta.tabelle[1], store::tabellaTestata, store::colonneTestata(), p.testate, difetti, errori);
    for (const QString& e : errori)
        messaggio(e);
    stampaDifetti(difetti);
    if (!errori.isEmpty() || !difetti.isEmpty())
        return std::nullopt;

    QSet<QString> registri, testate;
    for (const QVariantList& r : std::as_const(p.registri))
        registri << chiave(r.front().toString());
    for (const QVariantList& t : std::as_const(p.testate)) {
        testate << chiave(t.front().toString());
        if (!registri.contains(chiave(t.front().toString())))
            p.testateSenzaRegistro << t.front().toString();
    }
    if (p.conTestata)
        for (const QVariantList& r : std::as_const(p.registri))
            if (!testate.contains(chiave(r.front().toString())))
                p.registriSenzaTestata << r.front().toString();
    return p;
}

// Inserts the rows of one table and reads them back: any value the engine changed is a defect.
bool scriviTabella(QSqlDatabase& db, QLatin1StringView tabella, std::span<const store::Colonna> colonne,
                   const QList<QVariantList>& righe, QList<Difetto>& difetti, QString& errore)
{
    for (qsizetype i = 0; i < righe.size(); ++i) {
        passo("riga");
        if (store::Esito e = store::inserisciGrezzo(db, tabella, righe[i]); !e.ok()) {
            errore = righe[i].front().toString() + u": "_s + e.descrizione;
            return false;
        }
        if ((i + 1) % ogniQuanteRighe == 0)
            messaggio(testi::progressoScrittura.arg(i + 1).arg(tabella));
    }
    QHash<QString, qsizetype> posizione;
    for (qsizetype i = 0; i < righe.size(); ++i)
        posizione.insert(righe[i].front().toString(), i);
    qsizetype rilette = 0;
    const qsizetype prima = difetti.size();
    const store::Esito e = store::leggiGrezzo(db, tabella, [&](const QVariantList& letta) {
        ++rilette;
        const qsizetype i = posizione.value(letta.front().toString(), -1);
        if (i < 0) {
            difetti << Difetto{tabella, 0, letta.front().toString(), colonne.front().nome, testi::motivoRiletto.arg(u"-"_s, mostra(letta.front()))};
            return;
        }
        for (size_t c = 0; c < colonne.size(); ++c) {
            const QVariant& scritto = righe[i][qsizetype(c)];
            if (!stessoValore(colonne[c].tipo, scritto, letta.value(qsizetype(c))))
                difetti << Difetto{tabella, i + 1, righe[i].front().toString(), colonne[c].nome,
                                   testi::motivoRiletto.arg(mostra(scritto), mostra(letta.value(qsizetype(c))))};
        }
    });
    if (!e.ok()) {
        errore = e.descrizione;
        return false;
    }
    if (rilette != righe.size())
        difetti << Difetto{tabella, 0, {}, {}, testi::motivoRighe.arg(righe.size()).arg(rilette)};
    return difetti.size() == prima;
}

// Writes a new company file at `percorso` (which must not exist) in one transaction; false and the
// messages, which name `nome`, given on any failure, with the file removed.
bool scriviArchivio(const Preparata& p, const QString& percorso, const QString& nome)
{
    QList<Difetto> difetti;
    QString errore;
    bool ok = false;
    {
        if (store::Esito e = store::ArchivioRegistri::crea(percorso); !e.ok()) {
            errore = e.descrizione;
        } else {
            store::ArchivioRegistri archivio(u"pemtarx-importa"_s);
            if (store::Esito e = archivio.apriDatabase(percorso); !e.ok()) {
                errore = e.descrizione;
            } else {
                QSqlDatabase db = archivio.database();
                if (!db.transaction()) {
                    errore = u"la transazione non si apre"_s;
                } else {
                    ok = scriviTabella(db, store::tabellaRegistri, store::colonneRegistri(), p.registri, difetti, errore) &&
                         scriviTabella(db, store::tabellaTestata, store::colonneTestata(), p.testate, difetti, errore);
                    if (ok && !db.commit()) {
                        errore = u"la conferma della transazione non riesce"_s;
                        ok = false;
                    }
                    if (!ok)
                        db.rollback();
                }
                archivio.chiudi();
            }
        }
    }
    if (!ok) {
        QFile::remove(percorso);
        QFile::remove(percorso + u"-journal"_s);
        stampaDifetti(difetti);
        if (!errore.isEmpty())
            messaggio(testi::erroreScrittura.arg(nome, errore));
    }
    return ok;
}

void riepilogo(const Preparata& p)
{
    rapporto(testi::riepilogoRegistri.arg(p.registri.size()).arg(p.registri.size()));
    if (!p.conTestata) {
        rapporto(testi::testataMancante.arg(store::tabellaTestata));
        return;
    }
    rapporto(testi::riepilogoTestate.arg(p.testate.size()).arg(p.testate.size()));
    rapporto(testi::testateSenzaRegistro.arg(elencoCodici(p.testateSenzaRegistro)));
    rapporto(testi::registriSenzaTestata.arg(elencoCodici(p.registriSenzaTestata)));
}

jet::Lettura leggiOrigine(const QString& origine)
{
    return jet::leggi(origine, {store::tabellaRegistri, store::tabellaTestata},
                      [](const QString& tabella, qsizetype righe) {
                          if (righe % ogniQuanteRighe == 0)
                              messaggio(testi::progressoLettura.arg(righe).arg(tabella));
                      });
}

QByteArray nomeFile(const QString& percorso) { return QFile::encodeName(percorso); }

// Makes the directory's new entries survive a power cut.
void sincronizzaCartella(const QString& file)
{
    const int fd = ::open(nomeFile(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Gives `da` the name `a` only if no file has that name; false with errno set otherwise.
bool rinominaSenzaSostituire(const QString& da, const QString& a)
{
    if (::renameat2(AT_FDCWD, nomeFile(da).constData(), AT_FDCWD, nomeFile(a).constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // The file system has no no-replace rename: a hard link fails on an existing name just the same.
    if (::link(nomeFile(da).constData(), nomeFile(a).constData()) != 0)
        return false;
    ::unlink(nomeFile(da).constData());
    return true;
}

// The name of the file being written beside `destinazione`; left behind by a kill, it is never the destination.
QString temporaneo(const QString& destinazione)
{
    return destinazione + u".importa-"_s + QString::number(QCoreApplication::applicationPid());
}

// Removes what killed imports of the same destination left behind, when their process is gone.
void pulisciAvanzi(const QString& destinazione)
{
    const QFileInfo info(destinazione);
    const QString prefisso = info.fileName() + u".importa-"_s;
    QDir cartella = info.absoluteDir();
    for (const QString& nome : cartella.entryList({prefisso + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        QString resto = nome.mid(prefisso.size());
        if (resto.endsWith(u"-journal"_s))
            resto.chop(8);
        bool numero = false;
        const qint64 pid = resto.toLongLong(&numero);
        if (numero && pid > 0 && pid != QCoreApplication::applicationPid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            cartella.remove(nome);
    }
}

bool stessoFile(const QString& a, const QString& b)
{
    struct stat sa {}, sb {};
    if (::stat(nomeFile(a).constData(), &sa) != 0 || ::stat(nomeFile(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool stessoContenuto(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    return true;
}

// A copy of `da` under the name `a`, whole or not at all.
bool copia(const QString& da, const QString& a)
{
    if (::link(nomeFile(da).constData(), nomeFile(a).constData()) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // No hard links on this file system: copy beside, flush, then take the name.
    const QString tmp = a + u".importa-"_s + QString::number(QCoreApplication::applicationPid());
    QFile::remove(tmp);
    if (!QFile::copy(da, tmp))
        return false;
    QFile f(tmp);
    if (!f.open(QIODevice::ReadWrite) || ::fsync(f.handle()) != 0) {
        QFile::remove(tmp);
        return false;
    }
    f.close();
    if (!rinominaSenzaSostituire(tmp, a)) {
        QFile::remove(tmp);
        return false;
    }
    return true;
}

int importaFile(const QString& origine, const QString& destinazione)
{
    if (!QFileInfo(origine).isFile()) {
        messaggio(testi::fileInesistente.arg(origine));
        return esitoErrore;
    }
    if (QFileInfo::exists(destinazione) || QFileInfo(destinazione).isSymLink()) {
        messaggio(testi::fileEsistente.arg(destinazione));
        return esitoErrore;
    }
    if (!cartellaScrivibile(destinazione))
        return esitoErrore;
    return importaLettura(leggiOrigine(origine), origine, destinazione);
}

int convertiSulPosto(const QString& ini)
{
    const std::optional<QString> trovato = archivioDalleImpostazioni(ini);
    if (!trovato)
        return esitoErrore;
    const QString& archivio = *trovato;
    if (store::server(archivio)) {
        messaggio(testi::soloFile.arg(archivio));
        return esitoErrore;
    }
    const QString vecchio = archivio + u".jet"_s;
    if (!QFileInfo(archivio).isFile()) {
        messaggio(testi::fileInesistente.arg(archivio));
        return esitoErrore;
    }
    if (!jet::intestazioneJet(archivio)) {
        messaggio(testi::giaConvertito.arg(archivio));
        return esitoErrore;
    }
    // The new file and the kept old one go beside it.
    if (!cartellaScrivibile(archivio))
        return esitoErrore;
    if (QFileInfo::exists(vecchio) || QFileInfo(vecchio).isSymLink()) {
        // A conversion killed after keeping the old file leaves the same file under both names.
        if (!stessoFile(archivio, vecchio) && !stessoContenuto(archivio, vecchio)) {
            messaggio(testi::copiaEsistente.arg(vecchio));
            return esitoErrore;
        }
        QFile::remove(vecchio);
    }
    pulisciAvanzi(archivio);
    const std::optional<Preparata> p = prepara(leggiOrigine(archivio), archivio);
    passo("letto");
    if (!p) {
        messaggio(testi::originaleIntatto.arg(archivio));
        return esitoErrore;
    }
    const QString tmp = temporaneo(archivio);
    if (!scriviArchivio(*p, tmp, archivio)) {
        messaggio(testi::originaleIntatto.arg(archivio));
        return esitoErrore;
    }
    passo("scritto");
    QFile::setPermissions(tmp, QFile::permissions(archivio));
    // The office's group keeps its file; a group the clerk is not in never passes to the clerk's own.
    struct stat originale {};
    if (::stat(nomeFile(archivio).constData(), &originale) == 0 &&
        ::chown(nomeFile(tmp).constData(), uid_t(-1), originale.st_gid) != 0)
        QFile::setPermissions(tmp, QFile::permissions(archivio) & ~QFile::WriteGroup);
    if (!copia(archivio, vecchio)) {
        const QString causa = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tmp);
        messaggio(testi::erroreScrittura.arg(vecchio, causa));
        messaggio(testi::originaleIntatto.arg(archivio));
        return esitoErrore;
    }
    sincronizzaCartella(vecchio);
    passo("conservato");
    // The one step that changes what the name holds: atomic, so a kill before it leaves the original.
    if (::rename(nomeFile(tmp).constData(), nomeFile(archivio).constData()) != 0) {
        const QString causa = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tmp);
        QFile::remove(vecchio);
        messaggio(testi::erroreScrittura.arg(archivio, causa));
        messaggio(testi::originaleIntatto.arg(archivio));
        return esitoErrore;
    }
    sincronizzaCartella(archivio);
    riepilogo(*p);
    rapporto(testi::convertito.arg(archivio, vecchio));
    return esitoRiuscito;
}

} // namespace

int importaLettura(const jet::Lettura& letta, const QString& origine, const QString& destinazione)
{
    if (QFileInfo::exists(destinazione) || QFileInfo(destinazione).isSymLink()) {
        messaggio(testi::fileEsistente.arg(destinazione));
        return esitoErrore;
    }
    const std::optional<Preparata> p = prepara(letta, origine);
    passo("letto");
    if (!p) {
        messaggio(testi::nienteScritto.arg(destinazione));
        return esitoErrore;
    }
    pulisciAvanzi(destinazione);
    const QString tmp = temporaneo(destinazione);
    if (!scriviArchivio(*p, tmp, destinazione)) {
        messaggio(testi::nienteScritto.arg(destinazione));
        return esitoErrore;
    }
    passo("scritto");
    if (!rinominaSenzaSostituire(tmp, destinazione)) {
        const QString causa = errno == EEXIST ? testi::fileEsistente.arg(destinazione)
                                              : QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(tmp);
        messaggio(testi::erroreScrittura.arg(destinazione, causa));
        messaggio(testi::nienteScritto.arg(destinazione));
        return esitoErrore;
    }
    perIlGruppo(destinazione);
    sincronizzaCartella(destinazione);
    riepilogo(*p);
    rapporto(testi::importato.arg(destinazione));
    return esitoRiuscito;
}

int importa(const QStringList& argomenti)
{
    if (argomenti.size() == 2 && argomenti[0] == u"--ini"_s)
        return convertiSulPosto(argomenti[1]);
    if (argomenti.size() == 2 && !argomenti[0].startsWith(u"--"_s)) {
        for (const QString& a : argomenti)
            if (store::server(a)) {
                messaggio(testi::soloFile.arg(a));
                return esitoErrore;
            }
        return importaFile(argomenti[0], argomenti[1]);
    }
    messaggio(testi::uso);
    return esitoUso;
}

} // namespace pemtarxdb
