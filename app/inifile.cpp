#include "inifile.h"

#include "processo.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <array>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype lunghezzaMassima = 99;
// A writer takes milliseconds; a lock older than this was left by a writer that vanished.
constexpr int vecchiaiaBloccoMs = 4000;
// Longer than the stale time, so that one call always gets past a lock left behind.
constexpr int attesaBloccoMs = 6000;
constexpr int pausaMassimaMs = 16;
// Creating a lock file and writing into it takes microseconds: one still empty after this was abandoned.
constexpr qint64 vuotoDaMs = 100;
const QByteArray marcaUtf8("\xEF\xBB\xBF");
// Beside the file, so that the rename stays on one file system; the next writer removes those left.
const QString suffissoTemporaneo = u".scrittura-"_s;

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; 0 marks the five bytes it leaves unassigned.
constexpr std::array<char16_t, 32> alti{0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString daWindows(const QByteArray& byte)
{
    QString testo;
    testo.reserve(byte.size());
    for (const char c : byte) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t u = (b >= 0x80 && b < 0xA0) ? alti[b - 0x80] : char16_t(b);
        // Unassigned bytes become the matching C1 code, so that they are written back unchanged.
        testo.append(QChar(u ? u : char16_t(b)));
    }
    return testo;
}

char aByte(char32_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    const auto it = std::find(alti.begin(), alti.end(), u);
    if (u <= 0xFFFF && it != alti.end())
        return static_cast<char>(0x80 + (it - alti.begin()));
    if (u >= 0x80 && u < 0xA0 && alti[u - 0x80] == 0)
        return static_cast<char>(u);
    return '?';
}

QByteArray aWindows(const QString& testo)
{
    QByteArray byte;
    byte.reserve(testo.size());
    // By code point, so that a character outside the BMP becomes one '?', not two.
    for (const char32_t u : testo.toUcs4())
        byte.append(aByte(u));
    return byte;
}

bool bianco(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString spunta(const QString& testo)
{
    qsizetype inizio = 0, fine = testo.size();
    while (inizio < fine && bianco(testo[inizio]))
        ++inizio;
    while (fine > inizio && bianco(testo[fine - 1]))
        --fine;
    return testo.mid(inizio, fine - inizio);
}

bool uguali(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Contenuto {
    QStringList righe;
    QString aCapo = u"\r\n"_s;
    bool marca = false; // began with UTF-8's byte-order mark, written back with it
    bool utf8 = false;
};

// Text that other programs wrote as UTF-8: a byte-order mark, or valid UTF-8 beyond plain ASCII.
// Anything else is Windows-1252, which reads and writes back every byte unchanged.
QString decodifica(QByteArray byte, Contenuto& c)
{
    c.marca = byte.startsWith(marcaUtf8);
    if (c.marca)
        byte.remove(0, marcaUtf8.size());
    const bool ascii = std::all_of(byte.cbegin(), byte.cend(), [](char b) { return static_cast<uchar>(b) < 0x80; });
    if (c.marca || !ascii) {
        const QString testo = QString::fromUtf8(byte);
        c.utf8 = testo.toUtf8() == byte;
        if (c.utf8)
            return testo;
    }
    return daWindows(byte);
}

QByteArray codifica(const Contenuto& c)
{
    const QString testo = c.righe.join(c.aCapo) + c.aCapo;
    return (c.marca ? marcaUtf8 : QByteArray()) + (c.utf8 ? testo.toUtf8() : aWindows(testo));
}

// A missing file is empty content; a file that exists but cannot be read gives nothing.
std::optional<Contenuto> leggiFile(const QString& file)
{
    Contenuto c;
    QFile f(file);
    if (!f.exists())
        return c;
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString testo = decodifica(f.readAll(), c);
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    bool aCapoVisto = false;
    qsizetype inizio = 0;
    for (qsizetype i = 0; i < testo.size(); ++i) {
        if (testo[i] != u'\r' && testo[i] != u'\n')
            continue;
        const qsizetype lunga = (testo[i] == u'\r' && i + 1 < testo.size() && testo[i + 1] == u'\n') ? 2 : 1;
        // The file's own line ending is the first one it uses.
        if (!aCapoVisto) {
            c.aCapo = testo.mid(i, lunga);
            aCapoVisto = true;
        }
        c.righe.append(testo.mid(inizio, i - inizio));
        i += lunga - 1;
        inizio = i + 1;
    }
    if (inizio < testo.size())
        c.righe.append(testo.mid(inizio));
    return c;
}

// The section a header line opens, or a null text when the line is no header.
QString sezioneDi(const QString& riga)
{
    const QString t = spunta(riga);
    const qsizetype chiusa = t.indexOf(u']');
    if (!t.startsWith(u'[') || chiusa < 0)
        return {};
    return spunta(t.mid(1, chiusa - 1));
}

// Position of the '=' of a key line, or -1 for headers, comments, blank and other lines.
qsizetype ugualeDi(const QString& riga)
{
    const QString t = spunta(riga);
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'['))
        return -1;
    const qsizetype uguale = riga.indexOf(u'=');
    if (uguale < 0 || spunta(riga.left(uguale)).isEmpty())
        return -1;
    return uguale;
}

QString chiaveDi(const QString& riga, qsizetype uguale)
{
    return spunta(riga.left(uguale));
}

QString valoreDi(const QString& riga, qsizetype uguale)
{
    QString v = spunta(tagliaNul(riga.mid(uguale + 1)));
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// The key line with a new value, keeping the key's own spelling and the blanks around its '=';
// a value that brings blanks of its own replaces those after the '=', so that they never pile up.
QString rigaAggiornata(const QString& riga, qsizetype uguale, const QString& valore)
{
    qsizetype dopo = uguale + 1;
    while (!valore.isEmpty() && !bianco(valore.front()) && dopo < riga.size() && bianco(riga[dopo]))
        ++dopo;
    return riga.left(dopo) + valore;
}

bool haAcapo(const QString& testo)
{
    return testo.contains(u'\r') || testo.contains(u'\n');
}

// Names that could not be read back as the same section and key are refused.
bool nomiValidi(const QString& sezione, const QString& chiave, const std::optional<QString>& valore)
{
    if (sezione.isEmpty() || sezione.contains(u']') || haAcapo(sezione))
        return false;
    if (chiave.isEmpty() || chiave.contains(u'=') || chiave.startsWith(u';') || chiave.startsWith(u'[') ||
        haAcapo(chiave))
        return false;
    return !valore || !haAcapo(*valore);
}

// A lock whose writer on this machine has ended, even one not yet reaped by its parent, is removed; so is
// an empty one, left by a writer killed between creating it and writing into it. QLockFile removes none
// that a live process still holds (it checks the holder's flock).
bool togliBloccoAbbandonato(QLockFile& blocco, const QString& nome)
{
    qint64 pid = 0, ancora = 0;
    QString macchina, programma;
    if (blocco.getLockInfo(&pid, &macchina, &programma)) {
        if (macchina != QSysInfo::machineHostName() || !avvioProcesso(pid).isEmpty())
            return false;
    } else if (QFileInfo(nome).lastModified().msecsTo(QDateTime::currentDateTime()) < vuotoDaMs) {
        return false;
    }
    // The name QLockFile itself uses, so that two waiters never both remove it (the second would take
    // the first one's new lock).
    QLockFile rimozione(nome + u".rmlock"_s);
    if (!rimozione.tryLock(0))
        return false;
    if (blocco.getLockInfo(&ancora, &macchina, &programma) ? ancora != pid : pid != 0)
        return false;
    return blocco.removeStaleLockFile();
}

// QLockFile's own wait sleeps up to seconds between tries; writers here hold the lock for milliseconds.
bool blocca(QLockFile& blocco, const QString& nome)
{
    blocco.setStaleLockTime(vecchiaiaBloccoMs);
    const QDeadlineTimer scadenza(attesaBloccoMs);
    unsigned long pausa = 1;
    while (!blocco.tryLock(0)) {
        if (blocco.error() != QLockFile::LockFailedError || scadenza.hasExpired())
            return false;
        if (togliBloccoAbbandonato(blocco, nome))
            continue;
        QThread::msleep(pausa);
        pausa = std::min<unsigned long>(pausa * 2, pausaMassimaMs);
    }
    return true;
}

// Applies the change to the lines; false when there is nothing to change.
bool modifica(QStringList& righe, const QString& sezione, const QString& chiave,
              const std::optional<QString>& valore)
{
    bool dentro = false, trovata = false, modificata = false;
    qsizetype intestazione = -1;
    for (qsizetype i = 0; i < righe.size();) {
        const QString s = sezioneDi(righe[i]);
        if (!s.isNull()) {
            dentro = uguali(s, sezione);
            if (dentro && intestazione < 0)
                intestazione = i;
            ++i;
            continue;
        }
        const qsizetype uguale = dentro ? ugualeDi(righe[i]) : -1;
        if (uguale < 0 || !uguali(chiaveDi(righe[i], uguale), chiave)) {
            ++i;
            continue;
        }
        // Readers take the first occurrence: a removal clears every one of them.
        if (!valore) {
            righe.removeAt(i);
            modificata = true;
            continue;
        }
        if (!trovata) {
            righe[i] = rigaAggiornata(righe[i], uguale, *valore);
            trovata = modificata = true;
        }
        ++i;
    }
    if (!valore || trovata)
        return modificata;
    const QString nuova = chiave + u'=' + *valore;
    if (intestazione < 0) {
        righe.append(u'[' + sezione + u']');
        righe.append(nuova);
        return true;
    }
    // After the section's last key line, so blank lines and comments before the next header stay there.
    qsizetype ultima = intestazione;
    for (qsizetype i = intestazione + 1; i < righe.size() && sezioneDi(righe[i]).isNull(); ++i) {
        if (ugualeDi(righe[i]) >= 0)
            ultima = i;
    }
    righe.insert(ultima + 1, nuova);
    return true;
}

// Only a writer holding the lock calls this, so no other writer's file is under way.
void togliTemporanei(const QString& destinazione)
{
    const QFileInfo info(destinazione);
    const QString prefisso = info.fileName() + suffissoTemporaneo;
    QDir cartella = info.absoluteDir();
    const QStringList nomi = cartella.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& nome : nomi) {
        if (nome.startsWith(prefisso))
            cartella.remove(nome);
    }
}

bool scriviTutto(int fd, const QByteArray& byte)
{
    for (qsizetype fatti = 0; fatti < byte.size();) {
        const ssize_t n = ::write(fd, byte.constData() + fatti, static_cast<size_t>(byte.size() - fatti));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        fatti += n;
    }
    return true;
}

// A new file beside the old, every byte written and on disk, then renamed over it: on a full disk or any
// write error the old file stays as it was. (QSaveFile let a failed flush pass and renamed an empty file.)
bool sostituisci(const QString& destinazione, const QByteArray& byte)
{
    const QByteArray vecchio = QFile::encodeName(destinazione);
    QByteArray nuovo;
    int fd = -1;
    for (int prova = 0; fd < 0 && prova < 10; ++prova) {
        const quint32 caso = QRandomGenerator::global()->generate();
        nuovo = QFile::encodeName(destinazione + suffissoTemporaneo + QString::number(caso, 36));
        fd = ::open(nuovo.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // The old file's permissions and group, so that a file the clerks share stays theirs.
    struct stat stato {};
    if (::stat(vecchio.constData(), &stato) == 0) {
        [[maybe_unused]] const bool comeIlVecchio =
            ::fchmod(fd, stato.st_mode & 07777) == 0 && ::fchown(fd, static_cast<uid_t>(-1), stato.st_gid) == 0;
    }
    const bool scritto = scriviTutto(fd, byte) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !scritto || ::rename(nuovo.constData(), vecchio.constData()) != 0) {
        ::unlink(nuovo.constData());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int cartella = ::open(QFile::encodeName(QFileInfo(destinazione).absolutePath()).constData(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (cartella >= 0) {
        ::fsync(cartella);
        ::close(cartella);
    }
    return true;
}

} // namespace

QString leggiIni(const QString& file, const QString& sezione, const QString& chiave)
{
    const std::optional<Contenuto> c = leggiFile(file);
    if (!c)
        return {};
    const QString s = spunta(sezione), k = spunta(chiave);
    bool dentro = false;
    for (const QString& riga : c->righe) {
        const QString intestazione = sezioneDi(riga);
        if (!intestazione.isNull()) {
            dentro = uguali(intestazione, s);
            continue;
        }
        const qsizetype uguale = dentro ? ugualeDi(riga) : -1;
        if (uguale >= 0 && uguali(chiaveDi(riga, uguale), k))
            return valoreDi(riga, uguale).left(lunghezzaMassima);
    }
    return {};
}

bool scriviIni(const QString& file, const QString& sezione, const QString& chiave,
               const std::optional<QString>& valore)
{
    const QString s = spunta(sezione), k = spunta(chiave);
    if (!nomiValidi(s, k, valore) || !QFileInfo(QFileInfo(file).absolutePath()).isDir())
        return false;
    // Sibling programs write the same file: one read-modify-write at a time.
    const QString nomeBlocco = file + u".lock"_s;
    QLockFile blocco(nomeBlocco);
    if (!blocca(blocco, nomeBlocco))
        return false;
    // A link is followed, as an editor would, so that the file it names is the one changed.
    const QFileInfo info(file);
    const QString destinazione = info.isSymLink() ? info.symLinkTarget() : file;
    togliTemporanei(destinazione);
    std::optional<Contenuto> c = leggiFile(file);
    if (!c)
        return false;
    if (!modifica(c->righe, s, k, valore))
        return true;
    return sostituisci(destinazione, codifica(*c));
}

QString cartellaWindows()
{
    QString cartella = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (cartella.isEmpty()) {
        QString casa = qEnvironmentVariable("HOME");
        if (casa.isEmpty())
            casa = QDir::homePath();
        if (casa.endsWith(u'/'))
            casa.chop(1);
        cartella = casa + u"/.config"_s;
    }
    if (!cartella.endsWith(u'/'))
        cartella += u'/';
    return cartella;
}

QString tagliaNul(const QString& testo)
{
    const qsizetype nul = testo.indexOf(QChar(0));
    return nul < 0 ? testo : testo.left(nul);
}

} // namespace app
