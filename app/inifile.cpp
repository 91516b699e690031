#include "inifile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <array>

namespace app {

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype lunghezzaMassima = 99;
// A writer takes milliseconds; a lock older than this was left by a writer that vanished.
constexpr int vecchiaiaBloccoMs = 4000;
// Longer than the stale time, so that one call always gets past a lock left behind.
constexpr int attesaBloccoMs = 6000;
constexpr int pausaMassimaMs = 16;

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
};

// A missing file is empty content; a file that exists but cannot be read gives nothing.
std::optional<Contenuto> leggiFile(const QString& file)
{
    Contenuto c;
    QFile f(file);
    if (!f.exists())
        return c;
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString testo = daWindows(f.readAll());
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
    QString v = spunta(riga.mid(uguale + 1));
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// The key line with a new value, keeping the key's own spelling and the blanks around its '='.
QString rigaAggiornata(const QString& riga, qsizetype uguale, const QString& valore)
{
    qsizetype dopo = uguale + 1;
    while (!valore.isEmpty() && dopo < riga.size() && bianco(riga[dopo]))
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

// QLockFile's own wait sleeps up to seconds between tries; writers here hold the lock for milliseconds.
bool blocca(QLockFile& blocco)
{
    blocco.setStaleLockTime(vecchiaiaBloccoMs);
    const QDeadlineTimer scadenza(attesaBloccoMs);
    unsigned long pausa = 1;
    while (!blocco.tryLock(0)) {
        if (blocco.error() != QLockFile::LockFailedError || scadenza.hasExpired())
            return false;
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
    QLockFile blocco(file + u".lock"_s);
    if (!blocca(blocco))
        return false;
    std::optional<Contenuto> c = leggiFile(file);
    if (!c)
        return false;
    if (!modifica(c->righe, s, k, valore))
        return true;
    const QByteArray byte = aWindows(c->righe.join(c->aCapo) + c->aCapo);
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(byte) != byte.size())
        return false;
    return f.commit();
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
