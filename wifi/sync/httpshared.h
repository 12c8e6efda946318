// What the two HTTP clients of the sync engine do alike: address the
// server, move a reply's data into the target file, and let go of a reply no
// longer wanted.
#pragma once

#include <QUrl>

class QFile;
class QNetworkReply;
class QObject;

namespace kivo::sync {

// The URL a request goes to: HTTPS when the scheme says "https" (in any
// case), plain HTTP for any other scheme; the host, the port (80 or 443 when
// none is given) and the path, with the query when keepQuery says so. The
// fragment and any user information are not sent.
QUrl requestUrl(const QUrl& url, bool keepQuery = false);

// Appends what the reply has ready to the open file and flushes it. False
// when the file took less than that (a full disk): the answer is incomplete.
// A closed reply (an aborted one) or a closed file gives nothing and true.
bool appendReplyData(QNetworkReply* reply, QFile& file);

// Cuts the reply off from receiver, aborts its transfer and frees it later:
// nothing the reply still reports reaches the receiver.
void dropReply(QNetworkReply* reply, QObject* receiver);

} // namespace kivo::sync
