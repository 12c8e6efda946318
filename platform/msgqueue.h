// Named point-to-point message queues. A queue is known by its name within one
// device root, so a reader in one process and writers in others meet by name.
#pragma once

#include "platform/types.h"

#include <string>

namespace ce {

constexpr DWORD MSGQUEUE_NOPRECOMMIT = 1;
constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 2;
constexpr DWORD MSGQUEUE_MSGALERT = 1; // flag of a message read back

struct MSGQUEUEOPTIONS {
    DWORD dwSize; // sizeof(MSGQUEUEOPTIONS) on the device: 20
    DWORD dwFlags; // MSGQUEUE_ALLOW_BROKEN, ...
    DWORD dwMaxMessages; // 0: no limit
    DWORD cbMaxMessage; // largest message in bytes
    BOOL bReadAccess; // true: the read end, false: a write end
};
static_assert(sizeof(MSGQUEUEOPTIONS) == 20, "queue options are 20 bytes");

// Creates (or opens) the named queue's read or write end. A name may have one
// reader at a time. Null on failure (last error set).
HANDLE createMsgQueue(const char* name, const MSGQUEUEOPTIONS* options);

// Reads one message into buffer. Waits up to timeoutMs (INFINITE allowed);
// false with ERROR_TIMEOUT, ERROR_INSUFFICIENT_BUFFER (message larger than
// the buffer or than the queue's maximum; it is dropped), or
// ERROR_INVALID_HANDLE when the handle is closed during the wait.
BOOL readMsgQueue(HANDLE queue, void* buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeoutMs, DWORD* flags);

// Writes one message. false with ERROR_INSUFFICIENT_BUFFER (larger than the
// queue's maximum), ERROR_PIPE_NOT_CONNECTED (no reader: the queue is broken)
// or ERROR_TIMEOUT (queue full for timeoutMs).
BOOL writeMsgQueue(HANDLE queue, const void* buffer, DWORD size, DWORD timeoutMs, DWORD flags);

BOOL closeMsgQueue(HANDLE queue);

// Keeps the queues of this name within the calling process (keep false:
// back to the device root), for the ends made from then on: they meet only
// each other, and another process of the device root may have a queue of
// that name of its own. For a simulated device that each of two processes
// of one device root has for itself, such as a radio.
void keepMsgQueueInProcess(const char* name, bool keep);

// For services that write to a queue whose read end they are handed: the
// queue's name (as queues meet, without regard to case) and its largest
// message. False when the handle is not a queue's read end.
bool msgQueueReadEnd(HANDLE queue, std::string* name, DWORD* maxMessage);

} // namespace ce
