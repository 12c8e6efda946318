// What the two HTTP clients of the sync engine do alike with a reply: move
// its data into the target file, and let go of a reply no longer wanted.
#pragma once

class QFile;
class QNetworkReply;
class QObject;

namespace kivo::sync {

// Appends what the reply has ready to the open file and flushes it. False
// when the file took less than that (a full disk): the answer is incomplete.
// A closed reply (an aborted one) or a closed file gives nothing and true.
bool appendReplyData(QNetworkReply* reply, QFile& file);

// Cuts the reply off from receiver, aborts its transfer and frees it later:
// nothing the reply still reports reaches the receiver.
void dropReply(QNetworkReply* reply, QObject* receiver);

} // namespace kivo::sync
