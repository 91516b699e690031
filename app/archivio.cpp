#include "app/archivio.h"

#include "app/inifile.h"
#include "store/posizione.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace app {

using namespace Qt::StringLiterals;

namespace {

// dogana.mdb in the company's folder, the last part of `cartella` found without regard to case when `societa`.
QString fileDellaSocieta(QString cartella, bool societa, QStringList* ambigui)
{
    const qsizetype barra = cartella.lastIndexOf(u'/');
    if (societa && barra >= 0 && barra + 1 < cartella.size())
        cartella =
            trovaVoce(cartella.left(std::max<qsizetype>(barra, 1)), cartella.mid(barra + 1), Voce::Cartella, ambigui);
    // The path keeps the form the settings give it when nothing is found, as the window always showed it.
    if (!QFileInfo(cartella).isDir())
        return cartella + u"/dogana.mdb"_s;
    const QString file = trovaVoce(cartella, u"dogana.mdb"_s, Voce::File, ambigui);
    return QFileInfo(file).isFile() ? file : cartella + u"/dogana.mdb"_s;
}

} // namespace

QString trovaVoce(const QString& cartella, const QString& nome, Voce voce, QStringList* ambigui)
{
    const QString prima = cartella.endsWith(u'/') ? cartella : cartella + u'/';
    const QString esatto = prima + nome;
    const auto adatta = [voce](const QFileInfo& f) { return voce == Voce::File ? f.isFile() : f.isDir(); };
    if (adatta(QFileInfo(esatto)))
        return esatto;
    const QDir::Filters filtro =
        (voce == Voce::File ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QStringList simili;
    for (const QString& altro : QDir(cartella).entryList(filtro, QDir::Name))
        if (altro.compare(nome, Qt::CaseInsensitive) == 0)
            simili << prima + altro;
    if (simili.size() == 1)
        return simili.front();
    if (ambigui)
        *ambigui << simili;
    return esatto;
}

QString fileImpostazioni(const QString& cartellaProgramma, QStringList* ambigui)
{
    const QString vicino = trovaVoce(cartellaProgramma, u"Quendrix.ini"_s, Voce::File, ambigui);
    if (QFileInfo(vicino).isFile())
        return vicino;
    return trovaVoce(cartellaWindows(), u"Quendrix.ini"_s, Voce::File, ambigui);
}

QString cartellaDati(const QString& fileIni)
{
    const QString cartella = leggiIni(fileIni, u"PATH"_s, u"DIRINI"_s);
    return cartella.trimmed().isEmpty() ? u"/"_s : cartella;
}

QString posizioneArchivio(const QString& fileIni, const QString& cartellaDati, const QString& codiceSocieta,
                          QStringList* ambigui)
{
    const auto valore = [&fileIni](const QString& chiave) { return leggiIni(fileIni, u"DATABASE"_s, chiave); };
    if (valore(u"DRIVER"_s).compare(u"QPSQL"_s, Qt::CaseInsensitive) != 0)
        return fileDellaSocieta(cartellaDati + codiceSocieta, !codiceSocieta.isEmpty(), ambigui);
    QString nome = valore(u"NOME"_s);
    if (nome.isEmpty())
        nome = u"dogana_%DITTA%"_s;
    // Unquoted names are lower case on the server, so the company's code is too.
    nome.replace(u"%DITTA%"_s, codiceSocieta.toLower(), Qt::CaseInsensitive);
    return store::indirizzo({valore(u"HOST"_s), valore(u"PORT"_s), valore(u"UTENTE"_s), nome, {}});
}

QString posizioneArchivio(const QString& fileIni, QStringList* ambigui)
{
    return posizioneArchivio(fileIni, cartellaDati(fileIni), leggiIni(fileIni, u"BASE"_s, u"DITTA"_s), ambigui);
}

} // namespace app
