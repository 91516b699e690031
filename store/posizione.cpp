#include "store/posizione.h"

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

} // namespace store
