#include "wifi/sync/httpshared.h"

#include <QFile>
#include <QNetworkReply>

namespace kivo::sync {

QUrl requestUrl(const QUrl& url, bool keepQuery)
{
    const bool secure = url.scheme().toLower() == "https";
    QUrl request;
    request.setScheme(secure ? "https" : "http");
    request.setHost(url.host());
    request.setPort(url.port(secure ? 443 : 80));
    request.setPath(url.path(QUrl::FullyEncoded), QUrl::StrictMode);
    if (keepQuery && url.hasQuery())
        request.setQuery(url.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return request;
}

bool appendReplyData(QNetworkReply* reply, QFile& file)
{
    if (!reply->isOpen() || !file.isOpen())
        return true;
    const QByteArray data = reply->readAll();
    if (data.isEmpty())
        return true;
    // Flushed at once, so that a write error shows here and not at close.
    return file.write(data) == data.size() && file.flush();
}

void dropReply(QNetworkReply* reply, QObject* receiver)
{
    reply->disconnect(receiver);
    reply->abort();
    reply->deleteLater();
}

} // namespace kivo::sync
