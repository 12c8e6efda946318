#include "ant/core/ant_port.h"

#include "ant/core/os_services.h"
#include "platform/debug.h"
#include "platform/device.h"
#include "platform/msgqueue.h"
#include "platform/sync.h"

#include <chrono>
#include <condition_variable>

namespace senvoy {

// What one reader thread shares with the port. Each reader has its own stop
// mark, so a reader that is still ending never stops the next one.
struct ANTDriverPort::Reader {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> stop { false }; // set by close (or by the reader on a failure)
    bool started = false; // the queue exists, or creating it failed
    bool created = false; // the queue was made
    ce::HANDLE queue = nullptr; // closed by whoever takes it out
    std::atomic<ANTPortListener*> listener { nullptr };
};

namespace {
// How long open() waits for the reader to have its queue.
constexpr auto kQueueReadyBound = std::chrono::milliseconds(2000);
} // namespace

ANTDriverPort::~ANTDriverPort()
{
    close();
}

int ANTDriverPort::configure(uint32_t, uint32_t b)
{
    m_setting = b;
    return 1;
}

void ANTDriverPort::setListener(ANTPortListener* listener)
{
    m_listener = listener;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_reader)
        m_reader->listener = listener;
}

int ANTDriverPort::open()
{
    if (isOpen())
        close();
    ce::HANDLE device = ce::openDevice(kDeviceName, ce::GENERIC_READ | ce::GENERIC_WRITE);
    if (device == ce::INVALID_HANDLE_VALUE) {
        ce::debugPrintf("ANTDriverPort: cannot open %s (error %u)", kDeviceName, ce::getLastError());
        return 0;
    }
    std::shared_ptr<Reader> reader;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_device = device;
        ce::DWORD returned = 0;
        if (!ce::deviceIoControl(device, kIoctlStartLink, nullptr, 0, nullptr, 0, &returned)) {
            ce::debugPrintf("ANTDriverPort: starting the radio link failed (error %u)", ce::getLastError());
            return 0; // the handle stays until the next open or close
        }
        if (m_readerThread)
            return 1;
        reader = std::make_shared<Reader>();
        reader->listener = m_listener.load();
        ce::HANDLE thread = ce::createThread([reader]() { return readerMain(reader); });
        if (!thread) {
            ce::debugPrintf("ANTDriverPort: cannot start the reader thread");
            return 0;
        }
        m_reader = reader;
        m_readerThread = thread;
    }
    // A writer cannot reach the queue before its read end exists, so bytes
    // the radio sends before that are lost: the port counts as open once the
    // reader has its queue. The wait holds no lock of the port, and a close
    // in the meantime ends it.
    bool created;
    {
        std::unique_lock<std::mutex> readerLock(reader->m);
        if (!reader->cv.wait_for(readerLock, kQueueReadyBound, [&] { return reader->started || reader->stop; }))
            ce::debugPrintf("ANTDriverPort: the reader has no queue after %lld ms",
                static_cast<long long>(kQueueReadyBound.count()));
        created = reader->created;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return created && m_reader == reader ? 1 : 0;
}

ce::DWORD ANTDriverPort::readerMain(const std::shared_ptr<Reader>& r)
{
    ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, kQueueMessageSize, ce::TRUE_ };
    ce::HANDLE queue = ce::createMsgQueue(kQueueName, &options);
    ce::DWORD error = queue ? ce::DWORD(ce::ERROR_SUCCESS) : ce::getLastError();
    {
        std::lock_guard<std::mutex> lock(r->m);
        r->started = true;
        r->created = queue != nullptr;
        r->cv.notify_all();
        if (queue && r->stop) {
            ce::closeMsgQueue(queue); // closed before the queue was there
            return 0;
        }
        r->queue = queue;
    }
    if (!queue) {
        // open() sees the missing queue and fails; nothing to report here.
        ce::debugPrintf("ANTDriverPort: cannot create the read end of %s (error %u)", kQueueName, error);
        return 0;
    }
    for (;;) {
        if (ce::waitForSingleObject(queue, ce::INFINITE) != ce::WAIT_OBJECT_0) {
            error = ce::getLastError();
            break;
        }
        uint8_t buffer[kQueueMessageSize];
        ce::DWORD n = 0, flags = 0;
        if (!ce::readMsgQueue(queue, buffer, sizeof buffer, &n, ce::INFINITE, &flags)) {
            error = ce::getLastError();
            break;
        }
        ANTPortListener* listener = r->listener;
        if (!listener || n == 0)
            continue;
        uint32_t count = buffer[0];
        if (count > n - 1) {
            ce::debugPrintf("ANTDriverPort: queue message announces %u bytes but holds %u; using those", count, n - 1);
            count = n - 1;
        }
        if (count > 0 && !r->stop)
            listener->onBytes(buffer + 1, count);
    }
    // A failure caused by close() is the way this thread is told to end.
    bool closing;
    {
        std::lock_guard<std::mutex> lock(r->m);
        closing = r->stop;
        r->stop = true;
        queue = r->queue;
        r->queue = nullptr;
    }
    if (queue)
        ce::closeMsgQueue(queue);
    if (!closing) {
        ce::debugPrintf("ANTDriverPort: reading %s failed (error %u); the reader ends", kQueueName, error);
        if (ANTPortListener* listener = r->listener)
            listener->onPortEvent(ANT_PORT_READ_FAILED);
    }
    return 0;
}

void ANTDriverPort::stopReader()
{
    std::shared_ptr<Reader> reader;
    ce::HANDLE thread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reader = std::move(m_reader);
        thread = m_readerThread;
        m_readerThread = nullptr;
    }
    if (!reader)
        return;
    ce::HANDLE queue;
    {
        std::lock_guard<std::mutex> lock(reader->m);
        reader->stop = true;
        reader->cv.notify_all(); // an open() still waiting for the queue gives up
        queue = reader->queue;
        reader->queue = nullptr;
    }
    if (queue)
        ce::closeMsgQueue(queue); // wakes the reader's wait or read
    if (thread) {
        if (OsThread_Join(thread, kReaderJoinBoundMs, "ANTDriverPort reader") != OS_OK)
            reader->listener = nullptr; // never call a listener that may be gone
        OsThread_Close(thread);
    }
}

void ANTDriverPort::close()
{
    ce::HANDLE device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device = m_device;
        m_device = ce::INVALID_HANDLE_VALUE;
    }
    stopReader();
    if (device != ce::INVALID_HANDLE_VALUE)
        ce::closeHandle(device);
}

int ANTDriverPort::write(const uint8_t* bytes, uint32_t length)
{
    ce::HANDLE device;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        device = m_device;
    }
    if (!bytes || device == ce::INVALID_HANDLE_VALUE)
        return 0;
    ce::DWORD returned = 0;
    if (ce::deviceIoControl(device, kIoctlSendFrame, bytes, length, nullptr, 0, &returned))
        return 1;
    ce::DWORD error = ce::getLastError();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_device != device)
            return 0; // the port was closed under this write: not a radio failure
    }
    ce::debugPrintf("ANTDriverPort: sending a frame failed (error %u)", error);
    if (ANTPortListener* listener = m_listener)
        listener->onPortEvent(ANT_PORT_WRITE_FAILED);
    return 0;
}

bool ANTDriverPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device != ce::INVALID_HANDLE_VALUE;
}

bool ANTDriverPort::readerRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_readerThread && ce::waitForSingleObject(m_readerThread, 0) == ce::WAIT_TIMEOUT;
}

} // namespace senvoy
