#include "store/posizione.h"

#include "app/inifile.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace store {

using namespace Qt::StringLiterals;

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

QString posizioneArchivio(const QString& fileIni, const QString& cartellaDati, const QString& codiceSocieta)
{
    const auto valore = [&fileIni](const QString& chiave) {
        return app::leggiIni(fileIni, u"DATABASE"_s, chiave);
    };
    if (valore(u"DRIVER"_s).compare(u"QPSQL"_s, Qt::CaseInsensitive) != 0)
        return cartellaDati + codiceSocieta + u"/dogana.mdb"_s;
    QString nome = valore(u"NOME"_s);
    if (nome.isEmpty())
        nome = u"dogana_%DITTA%"_s;
    // Unquoted names are lower case on the server, so the company's code is too.
    nome.replace(u"%DITTA%"_s, codiceSocieta.toLower(), Qt::CaseInsensitive);
    return indirizzo({valore(u"HOST"_s), valore(u"PORT"_s), valore(u"UTENTE"_s), nome});
}

QString posizioneArchivio(const QString& fileIni)
{
    QString cartella = app::leggiIni(fileIni, u"PATH"_s, u"DIRINI"_s);
    if (cartella.trimmed().isEmpty())
        cartella = u"/"_s;
    return posizioneArchivio(fileIni, cartella, app::leggiIni(fileIni, u"BASE"_s, u"DITTA"_s));
}

} // namespace store
