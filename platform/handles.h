// Internal: the handle table shared by every kind of kernel object.
#pragma once

#include "platform/types.h"

#include <memory>

struct pollfd;

namespace ce::detail {

// A kernel object. Waitable objects expose a file descriptor that polls
// readable while the object is signalled; consume() is called after a wait
// succeeds (auto-reset events and semaphores take their signal there; it
// returns false when another waiter took it first). Every object has a close
// descriptor that becomes readable when its handle is closed, so waits on it
// end.
class KernelObject {
public:
    KernelObject();
    virtual ~KernelObject();
    virtual int waitFd() const { return -1; }
    virtual bool consume() { return true; }
    // Gives back what a successful consume() took, when a wait for several
    // objects at once cannot take the others after all.
    virtual void giveBack() { }
    virtual void onClose() { }
    int closeFd() const { return m_closeFd; }
    void markClosed();
    bool closed() const;

private:
    int m_closeFd;
};

HANDLE addHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE h);
template <typename T> std::shared_ptr<T> lookupAs(HANDLE h)
{
    return std::dynamic_pointer_cast<T>(lookupHandle(h));
}

// Polls fds (readable) plus closeCount close fds; returns the index of the
// first readable wait fd, -1 on time-out, -2 when a close fd fired or poll
// failed.
int pollObjects(const int* fds, int count, const int* closeFds, int closeCount, DWORD timeoutMs);

// A time-out in milliseconds as poll() takes it: INFINITE waits without
// bound, longer time-outs than poll can take are waited in parts.
int pollTimeout(DWORD timeoutMs);

// Milliseconds left of a time-out started at startTick; INFINITE stays.
DWORD remaining(DWORD timeoutMs, uint64_t startMs);
uint64_t nowMs();

// Polls fds until one has an event or timeoutMs from startMs pass (EINTR
// retried, long time-outs waited in parts): the number of fds with events,
// 0 on time-out, -1 when poll fails.
int waitReadable(::pollfd* fds, size_t count, DWORD timeoutMs, uint64_t startMs);

// Takes a whole-file lock (flock's LOCK_EX or LOCK_SH) within timeoutMs:
// a process stopped while holding a lock of the device root must not stop
// every other one. False when the time passed (or flock failed otherwise).
bool lockFileWithin(int fd, int operation, DWORD timeoutMs);

// An eventfd as a level: signal adds one, drain takes what is there.
void signalEventFd(int fd);
void drainEventFd(int fd);

} // namespace ce::detail
