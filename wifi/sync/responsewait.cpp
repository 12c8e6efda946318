#include "wifi/sync/responsewait.h"

#include "platform/wm.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <memory>

namespace kivo::sync {

namespace {

std::atomic<int> g_testTimeoutMs { 0 };

// A descriptor of the calling thread's message queue that is readable while
// a message is pending. A duplicate of the queue's own: a Qt message pump
// may already watch that one, and Qt keeps one notifier per descriptor.
class QueueWatch {
public:
    ~QueueWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd()
    {
        if (m_fd < 0) {
            const int queueFd = ce::messageWakeFd();
            if (queueFd >= 0)
                m_fd = ::fcntl(queueFd, F_DUPFD_CLOEXEC, 0);
        }
        return m_fd;
    }

private:
    int m_fd = -1;
};

thread_local QueueWatch t_queueWatch;
// Waits nest (a message handled inside a wait may start another); the
// outermost one watches the queue for all of them.
thread_local int t_waitDepth = 0;

} // namespace

int responseTimeoutMs()
{
    const int shortened = g_testTimeoutMs.load();
    return shortened > 0 ? shortened : kResponseTimeoutMs;
}

void setResponseTimeoutForTesting(int ms)
{
    g_testTimeoutMs.store(ms > 0 ? ms : 0);
}

void pumpMessages()
{
    ce::pumpMessages();
}

bool waitForFlag(const bool& flag, QElapsedTimer& clock)
{
    struct Depth {
        Depth() { ++t_waitDepth; }
        ~Depth() { --t_waitDepth; }
    } depth;

    std::unique_ptr<QSocketNotifier> queueNotifier;
    const int queueFd = t_waitDepth == 1 ? t_queueWatch.fd() : -1;
    if (queueFd >= 0) {
        queueNotifier = std::make_unique<QSocketNotifier>(queueFd, QSocketNotifier::Read);
        QSocketNotifier* notifier = queueNotifier.get();
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
            ce::pumpMessages();
            // A WM_QUIT stays queued for the thread's own loop and keeps the
            // queue readable: stop watching rather than wake for it again.
            ce::MSG quit;
            if (ce::peekMessage(&quit, nullptr, ce::WM_QUIT, ce::WM_QUIT, ce::PM_NOREMOVE))
                notifier->setEnabled(false);
        });
    }
    // Wakes the dispatcher when the time is up.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);

    for (;;) {
        pumpMessages();
        const qint64 left = responseTimeoutMs() - clock.elapsed();
        if (left < 0)
            return false;
        if (flag)
            return true;
        deadline.start(int(left) + 1);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (flag)
            return true;
    }
}

} // namespace kivo::sync
