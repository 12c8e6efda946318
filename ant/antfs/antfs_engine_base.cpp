#include "ant/antfs/antfs_engine_base.h"

#include "ant/core/ant_framer.h"
#include "platform/debug.h"

#include <chrono>
#include <string>

namespace senvoy {

ANTFSEngineBase::ANTFSEngineBase(const char* name, uint32_t cancelledResponse)
    : m_name(name)
    , m_cancelledResponse(cancelledResponse)
{
}

void ANTFSEngineBase::enterStateForFuzzing(uint8_t state, ANTFramer* framer, uint8_t channel)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_framer = framer;
    m_channel = channel;
    m_state = state;
}

void ANTFSEngineBase::takeChannel(ANTFramer* framer, uint8_t channel)
{
    if (m_state != kStateClosed || m_thread)
        close();
    m_framer = framer;
    m_channel = channel;
    m_stop = false;
    m_cancel = 0;
}

void ANTFSEngineBase::startIdle()
{
    m_responses.clear();
    {
        // Idle at once, so the caller may start a request right away.
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = kStateIdle;
        resetLocked();
        queueResponse(kResponseReset);
    }
    // A thread that outlived its join bound still serves this engine.
    if (!m_thread) {
        m_thread = OsThread_Create(&ANTFSEngineBase::threadMain, this);
        if (!m_thread)
            ce::debugPrintf("%s: the engine thread did not start", m_name);
    }
}

void ANTFSEngineBase::stopThread()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_stop = true;
        cancelLocked();
    }
    m_responses.clear();
    const std::string who = std::string(m_name) + " engine";
    if (m_thread && OsThread_Join(m_thread, kCloseBoundMs, who.c_str()) == OS_OK) {
        OsThread_Close(m_thread);
        m_thread = nullptr;
    }
}

void ANTFSEngineBase::closedLocked()
{
    // The word is the engine's own; nothing is left cancelled behind it.
    m_cancel = 0;
    m_pending = 0;
    m_state = kStateClosed;
}

void ANTFSEngineBase::cancelLocked()
{
    // What runs stays pending until it ends on the cancel word.
    if (!m_serving && !isReset(m_pending))
        m_pending = 0;
    m_cancel = 1;
    m_requestCv.notify_all();
    m_messageCv.notify_all();
}

void ANTFSEngineBase::onManagerEvent(uint32_t event, uint32_t)
{
    if (event != 1 && event != ANT_MANAGER_EVENT_RESET)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state > kStateIdle) {
        m_cancel = 1;
        radioResetLocked();
        postLocked(kRequestReset);
        m_messageCv.notify_all();
    }
}

void ANTFSEngineBase::postLocked(uint8_t request)
{
    m_pending = request;
    m_requestCv.notify_all();
}

ce::DWORD ANTFSEngineBase::threadMain(void* self)
{
    static_cast<ANTFSEngineBase*>(self)->mainLoop();
    return 0;
}

void ANTFSEngineBase::mainLoop()
{
    ANTFramer::setThreadCancelWord(&m_cancel);
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    while (!m_stop) {
        if (m_cancel) {
            // What was pending before the cancel went with it; what is
            // pending now was posted after it, or is a reset.
            m_cancel = 0;
            queueResponse(m_cancelledResponse);
        }
        if (m_pending == 0) {
            const bool woken = m_requestCv.wait_for(lock, std::chrono::milliseconds(idleWaitMs()),
                [&] { return m_pending != 0 || m_stop || m_cancel; });
            if (!woken && !m_stop)
                onIdle(lock);
            continue; // the cancel word and the stop flag first
        }
        const uint8_t request = m_pending;
        m_serving = true;
        lock.unlock();
        uint8_t next = 0;
        ANTFSResponse response = serveRequest(request, &next);
        lock.lock();
        m_serving = false;
        if (m_pending == request)
            m_pending = 0; // a request posted meanwhile stays
        // A chained step is part of what ran: a cancel ends it too.
        if (next && (!m_cancel || isReset(next)))
            m_pending = next;
        // Queued once the request is cleared, so the caller may post the
        // next at once: the response carries its own request's records.
        if (response.code && !m_stop)
            queueResponse(std::move(response));
    }
    lock.unlock();
    ANTFramer::setThreadCancelWord(nullptr);
}

ANTFSResponse ANTFSEngineBase::serveRequest(uint8_t request, uint8_t* next)
{
    if (request != kRequestReset && request != kRequestFailedReset)
        return serve(request, next);
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    resetLocked();
    if (request == kRequestReset)
        return ANTFSResponse(kResponseReset);
    // Then reset again and reported. Pending from here, under the same
    // lock: idle and with nothing pending, a caller's request would be
    // taken and then replaced by this reset.
    m_pending = kRequestReset;
    *next = kRequestReset;
    return {};
}

} // namespace senvoy
