#include "store/posizione.h"

#include "app/inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace store {

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

std::optional<Server> server(const QString& posizione)
{
    if (!posizione.startsWith(u"postgresql://"_s) && !posizione.startsWith(u"postgres://"_s))
        return std::nullopt;
    const QUrl url(posizione, QUrl::StrictMode);
    Server s;
    s.host = url.host(QUrl::FullyDecoded);
    if (url.port() >= 0)
        s.porta = QString::number(url.port());
    s.utente = url.userName(QUrl::FullyDecoded);
    s.nome = url.path(QUrl::FullyDecoded).mid(1);
    // libpq's query parameters win over the parts before them, and carry a socket folder.
    const QUrlQuery q(url);
    const std::pair<QString, QString*> parametri[] = {
        {u"host"_s, &s.host}, {u"port"_s, &s.porta}, {u"user"_s, &s.utente}, {u"dbname"_s, &s.nome}};
    for (const auto& [chiave, valore] : q.queryItems(QUrl::FullyDecoded)) {
        const auto noto = std::find_if(std::begin(parametri), std::end(parametri),
                                       [&](const auto& p) { return p.first == chiave; });
        if (noto != std::end(parametri))
            *noto->second = valore;
        else
            s.opzioni << chiave + u'=' + valore;
    }
    return s;
}

QString indirizzo(const Server& s)
{
    QUrl url;
    url.setScheme(u"postgresql"_s);
    // A socket folder cannot be a URL's host: it goes in the query, where libpq reads it too.
    url.setHost(u""_s);
    url.setPath(u'/' + s.nome, QUrl::DecodedMode);
    QStringList parti;
    const std::pair<QString, const QString*> parametri[] = {
        {u"host"_s, &s.host}, {u"port"_s, &s.porta}, {u"user"_s, &s.utente}};
    for (const auto& [chiave, valore] : parametri)
        if (!valore->isEmpty())
            parti << chiave + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(*valore, "/"));
    for (const QString& opzione : s.opzioni)
        parti << QString::fromLatin1(QUrl::toPercentEncoding(opzione.section(u'=', 0, 0))) + u'=' +
                     QString::fromLatin1(QUrl::toPercentEncoding(opzione.section(u'=', 1), "/"));
    if (!parti.isEmpty())
        url.setQuery(parti.join(u'&'), QUrl::StrictMode);
    return url.toString(QUrl::FullyEncoded);
}

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
    return trovaVoce(app::cartellaWindows(), u"Quendrix.ini"_s, Voce::File, ambigui);
}

QString posizioneArchivio(const QString& fileIni, const QString& cartellaDati, const QString& codiceSocieta,
                          QStringList* ambigui)
{
    const auto valore = [&fileIni](const QString& chiave) {
        return app::leggiIni(fileIni, u"DATABASE"_s, chiave);
    };
    if (valore(u"DRIVER"_s).compare(u"QPSQL"_s, Qt::CaseInsensitive) != 0)
        return fileDellaSocieta(cartellaDati + codiceSocieta, !codiceSocieta.isEmpty(), ambigui);
    QString nome = valore(u"NOME"_s);
    if (nome.isEmpty())
        nome = u"dogana_%DITTA%"_s;
    // Unquoted names are lower case on the server, so the company's code is too.
    nome.replace(u"%DITTA%"_s, codiceSocieta.toLower(), Qt::CaseInsensitive);
    return indirizzo({valore(u"HOST"_s), valore(u"PORT"_s), valore(u"UTENTE"_s), nome, {}});
}

QString posizioneArchivio(const QString& fileIni, QStringList* ambigui)
{
    QString cartella = app::leggiIni(fileIni, u"PATH"_s, u"DIRINI"_s);
    if (cartella.trimmed().isEmpty())
        cartella = u"/"_s;
    return posizioneArchivio(fileIni, cartella, app::leggiIni(fileIni, u"BASE"_s, u"DITTA"_s), ambigui);
}

} // namespace store
