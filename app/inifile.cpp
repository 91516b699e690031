#include "inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringList>

#include <array>

namespace app {

using namespace Qt::StringLiterals;

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; 0 marks the five bytes it leaves unassigned.
constexpr std::array<char16_t, 32> alti{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString daWindows(const QByteArray& byte)
{
    QString testo;
    testo.reserve(byte.size());
    for (char c : byte) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t u = (b >= 0x80 && b < 0xA0) ? alti[b - 0x80] : char16_t(b);
        testo.append(QChar(u ? u : char16_t(b)));
    }
    return testo;
}

QByteArray aWindows(const QString& testo)
{
    QByteArray byte;
    byte.reserve(testo.size());
    for (QChar ch : testo) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            byte.append(static_cast<char>(u));
            continue;
        }
        const auto it = std::find(alti.begin(), alti.end(), u);
        byte.append(it != alti.end() && u ? static_cast<char>(0x80 + (it - alti.begin())) : '?');
    }
    return byte;
}

struct Contenuto {
    QStringList righe;
    QString aCapo = u"\r\n"_s;
};

Contenuto leggiFile(const QString& file)
{
    Contenuto c;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return c;
    const QString testo = daWindows(f.readAll());
    if (testo.contains(u"\r\n"_s))
        c.aCapo = u"\r\n"_s;
    else if (testo.contains(u'\n'))
        c.aCapo = u"\n"_s;
    else if (testo.contains(u'\r'))
        c.aCapo = u"\r"_s;
    QString normale = testo;
    normale.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    c.righe = normale.split(u'\n');
    if (!c.righe.isEmpty() && c.righe.last().isEmpty())
        c.righe.removeLast();
    return c;
}

// The section a header line opens, or a null text when the line is no header.
QString sezioneDi(const QString& riga)
{
    const QString t = riga.trimmed();
    if (!t.startsWith(u'[') || !t.contains(u']'))
        return {};
    return t.mid(1, t.indexOf(u']') - 1).trimmed();
}

bool chiaveDi(const QString& riga, QString& chiave, QString& valore)
{
    const QString t = riga.trimmed();
    if (t.startsWith(u';'))
        return false;
    const qsizetype uguale = t.indexOf(u'=');
    if (uguale <= 0)
        return false;
    chiave = t.left(uguale).trimmed();
    valore = t.mid(uguale + 1).trimmed();
    if (valore.size() >= 2 && (valore.front() == u'"' || valore.front() == u'\'') && valore.back() == valore.front())
        valore = valore.mid(1, valore.size() - 2);
    return !chiave.isEmpty();
}

bool uguali(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

QString leggiIni(const QString& file, const QString& sezione, const QString& chiave)
{
    const Contenuto c = leggiFile(file);
    bool dentro = false;
    for (const QString& riga : c.righe) {
        const QString s = sezioneDi(riga);
        if (!s.isNull()) {
            dentro = uguali(s, sezione);
            continue;
        }
        QString k, v;
        if (dentro && chiaveDi(riga, k, v) && uguali(k, chiave))
            return v.left(99);
    }
    return {};
}

bool scriviIni(const QString& file, const QString& sezione, const QString& chiave,
               const std::optional<QString>& valore)
{
    if (!QFileInfo(QFileInfo(file).absolutePath()).isDir())
        return false;
    // Sibling programs write the same file: one read-modify-write at a time.
    QLockFile blocco(file + u".lock"_s);
    blocco.setStaleLockTime(10000);
    if (!blocco.tryLock(10000))
        return false;
    Contenuto c = leggiFile(file);
    const QString nuova = chiave + u'=' + valore.value_or(QString());
    qsizetype inizio = -1, ultimaChiave = -1;
    for (qsizetype i = 0; i < c.righe.size(); ++i) {
        const QString s = sezioneDi(c.righe[i]);
        if (!s.isNull()) {
            if (inizio >= 0)
                break;
            if (uguali(s, sezione))
                inizio = ultimaChiave = i;
            continue;
        }
        if (inizio < 0)
            continue;
        QString k, v;
        if (chiaveDi(c.righe[i], k, v)) {
            if (uguali(k, chiave)) {
                if (valore)
                    c.righe[i] = nuova;
                else
                    c.righe.removeAt(i);
                goto salva;
            }
            ultimaChiave = i;
        } else if (!c.righe[i].trimmed().isEmpty()) {
            ultimaChiave = i;
        }
    }
    if (!valore)
        return true;
    if (inizio < 0) {
        c.righe << u'[' + sezione + u']' << nuova;
    } else {
        c.righe.insert(ultimaChiave + 1, nuova);
    }
salva:
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(aWindows(c.righe.join(c.aCapo) + c.aCapo));
    return f.commit();
}

QString cartellaWindows()
{
    QString cartella = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (cartella.isEmpty())
        cartella = QDir::homePath() + u"/.config"_s;
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
