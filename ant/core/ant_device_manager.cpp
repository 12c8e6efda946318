#include "ant/core/ant_device_manager.h"

#include "ant/core/ant_command.h"
#include "platform/debug.h"

namespace senvoy {

namespace {
constexpr uint32_t kActionWaitMs = 1000;
constexpr uint32_t kReceiveWaitMs = 1000;
constexpr uint8_t ACTION_NONE = 0;
constexpr uint8_t ACTION_OPEN = 1;
constexpr uint8_t ACTION_RESET = 2;
constexpr uint8_t ACTION_RESET_DONE = 3;
} // namespace

ANTDeviceManager::ANTDeviceManager()
    : ANTDeviceManager(std::make_unique<ANTDriverPort>())
{
}

ANTDeviceManager::ANTDeviceManager(std::unique_ptr<ANTPort> port)
    : m_port(std::move(port))
    , m_framer(std::make_unique<ANTFramer>(&m_cancel))
{
    if (m_queueMutex.create() != OS_OK || m_stateMutex.create() != OS_OK || m_handlerMutex.create() != OS_OK
        || m_actionCondition.create() != OS_OK || m_eventCondition.create() != OS_OK || !m_port
        || !m_framer->setPort(m_port.get())) {
        m_constructionFailed = true;
        return;
    }
    m_port->setListener(m_framer.get());
}

ANTDeviceManager::~ANTDeviceManager()
{
    stop();
    if (m_port)
        m_port->setListener(nullptr);
}

int ANTDeviceManager::start(bool autoRetry)
{
    if (m_constructionFailed)
        return 0;
    if (m_state != ANT_CONNECTION_STOPPED && !stop())
        return 0;
    m_cancel = 0;
    m_stop = false;
    m_autoRetry = autoRetry;
    if (!m_framer->setPort(m_port.get()))
        return 0;
    if (!m_stateThread) {
        m_stateThread = OsThread_Create(&ANTDeviceManager::stateThreadMain, this);
        if (!m_stateThread) {
            ce::debugPrintf("ANTDeviceManager: cannot start the state thread");
            return 0;
        }
    }
    if (!m_receiveThread) {
        m_receiveThread = OsThread_Create(&ANTDeviceManager::receiveThreadMain, this);
        if (!m_receiveThread) {
            ce::debugPrintf("ANTDeviceManager: cannot start the receive thread");
            return 0;
        }
    }
    {
        OsLock lock(m_queueMutex);
        m_events.clear();
    }
    OsLock lock(m_stateMutex);
    m_action = ACTION_OPEN;
    m_actionCondition.signal();
    return 1;
}

bool ANTDeviceManager::stop()
{
    if (m_constructionFailed)
        return true;
    {
        OsLock lock(m_stateMutex);
        m_stop = true;
        m_actionCondition.signal();
    }
    {
        OsLock lock(m_queueMutex);
        m_eventCondition.broadcast();
        m_events.clear();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_dispatchMutex);
        for (auto& h : m_handlers)
            h = nullptr; // not told: their owners delete them
    }
    m_framer->wake();
    bool ended = true;
    if (m_stateThread) {
        if (OsThread_Join(m_stateThread, kStateJoinBoundMs, "ANTDeviceManager state thread") == OS_OK) {
            OsThread_Close(m_stateThread);
            m_stateThread = nullptr;
        } else {
            ended = false;
        }
    }
    if (m_receiveThread) {
        if (OsThread_Join(m_receiveThread, kReceiveJoinBoundMs, "ANTDeviceManager receive thread") == OS_OK) {
            OsThread_Close(m_receiveThread);
            m_receiveThread = nullptr;
        } else {
            ended = false;
        }
    }
    if (!ended)
        return false; // a thread still runs on this object: leave its port alone
    {
        OsLock lock(m_stateMutex);
        closePort();
        m_action = ACTION_NONE;
    }
    m_state = ANT_CONNECTION_STOPPED;
    return true;
}

int ANTDeviceManager::registerChannel(uint8_t channel, ANTChannelHandler* handler)
{
    if (channel >= ANT_CHANNELS || !handler || m_constructionFailed)
        return 0;
    OsLock lock(m_handlerMutex);
    {
        std::lock_guard<std::recursive_mutex> dispatchLock(m_dispatchMutex);
        if (m_handlers[channel])
            return 0;
        handler->attach(m_framer.get(), channel);
        m_handlers[channel] = handler;
    }
    return 1;
}

int ANTDeviceManager::unregisterChannel(ANTChannelHandler* handler)
{
    if (!handler || m_constructionFailed)
        return 0;
    OsLock lock(m_handlerMutex);
    uint8_t channel = handler->channel();
    // Taking the dispatch lock waits for a call into the handler in progress.
    std::lock_guard<std::recursive_mutex> dispatchLock(m_dispatchMutex);
    if (channel >= ANT_CHANNELS || m_handlers[channel] != handler)
        return 0;
    handler->detach();
    m_handlers[channel] = nullptr;
    return 1;
}

bool ANTDeviceManager::channelOpenTo(uint8_t channel, const ANTChannelHandler* handler)
{
    if (channel >= ANT_CHANNELS || !handler || m_constructionFailed)
        return false;
    OsLock lock(m_handlerMutex);
    return !m_handlers[channel] || m_handlers[channel] == handler;
}

uint8_t ANTDeviceManager::connectionState() const
{
    return m_state;
}

bool ANTDeviceManager::waitEvent(uint32_t timeoutMs, uint32_t* event)
{
    if (m_constructionFailed)
        return false;
    OsLock lock(m_queueMutex);
    if (m_events.empty() && timeoutMs != 0 && !m_stop)
        m_eventCondition.timedWait(m_queueMutex, timeoutMs);
    if (m_events.empty())
        return false;
    if (event)
        *event = m_events.front();
    m_events.pop_front();
    return true;
}

void ANTDeviceManager::postEventLocked(uint32_t event)
{
    OsLock lock(m_queueMutex);
    if (m_stop)
        return;
    m_events.push_back(event);
    m_eventCondition.signal();
}

bool ANTDeviceManager::openPort()
{
    if (m_portOpen) {
        m_port->close();
        m_portOpen = false;
    }
    if (!m_port->configure(m_portSettingA, m_portSettingB) || !m_port->open())
        return false;
    m_portOpen = true;
    return true;
}

void ANTDeviceManager::closePort()
{
    if (!m_portOpen)
        return;
    // A reset caused by a radio error does not talk to the radio first.
    if (m_action != ACTION_RESET)
        ANTCommand_ResetSystem(m_framer.get(), 0);
    m_port->close();
    m_portOpen = false;
}

ce::DWORD ANTDeviceManager::stateThreadMain(void* self)
{
    static_cast<ANTDeviceManager*>(self)->stateLoop();
    return 0;
}

ce::DWORD ANTDeviceManager::receiveThreadMain(void* self)
{
    static_cast<ANTDeviceManager*>(self)->receiveLoop();
    return 0;
}

void ANTDeviceManager::stateLoop()
{
    m_stateRunning = true;
    for (;;) {
        uint8_t action;
        {
            OsLock lock(m_stateMutex);
            if (m_action == ACTION_NONE && !m_stop) {
                uint8_t r = m_actionCondition.timedWait(m_stateMutex, kActionWaitMs);
                if (r == OS_TIMEOUT && m_action == ACTION_NONE && m_state == ANT_CONNECTION_RETRYING && m_autoRetry)
                    m_action = ACTION_OPEN; // a failed open is retried once a second
            }
            action = m_action;
        }
        if (m_stop)
            break;
        if (action == ACTION_NONE)
            continue;
        uint32_t event = 0;
        if (action == ACTION_OPEN) {
            bool opened = openPort();
            if (opened) {
                m_state = ANT_CONNECTION_OPEN;
                event = ANT_STATE_EVENT_OPENED;
            } else if (!m_autoRetry) {
                m_state = ANT_CONNECTION_CLOSED;
                event = ANT_STATE_EVENT_OPEN_FAILED;
                ce::debugPrintf("ANTDeviceManager: the radio did not open");
            } else {
                m_state = ANT_CONNECTION_RETRYING;
            }
        }
        OsLock lock(m_stateMutex);
        if (event)
            postEventLocked(event);
        action = m_action; // the receive thread may have asked for a reset meanwhile
        if (action == ACTION_RESET)
            resetRadioLocked();
        else if (action != ACTION_RESET_DONE) {
            m_action = ACTION_NONE;
            continue;
        }
        if (m_autoRetry) {
            m_state = ANT_CONNECTION_RETRYING;
            m_action = ACTION_OPEN;
        } else {
            m_state = ANT_CONNECTION_CLOSED;
            m_action = ACTION_NONE;
        }
    }
    OsLock lock(m_stateMutex);
    m_action = ACTION_NONE;
    // stop() closes the port once the receive thread has ended too.
    m_stateRunning = false;
}

void ANTDeviceManager::resetRadioLocked()
{
    if (m_state != ANT_CONNECTION_OPEN)
        return;
    ce::debugPrintf("ANTDeviceManager: resetting the radio link");
    {
        std::lock_guard<std::recursive_mutex> lock(m_dispatchMutex);
        for (ANTChannelHandler* h : m_handlers)
            if (h)
                h->onManagerEvent(ANT_MANAGER_EVENT_RESET, 0);
    }
    closePort(); // no 0x4A: the action is a reset
    // The state a waiter of the reset event reads must already be the one
    // after the reset.
    m_state = m_autoRetry ? ANT_CONNECTION_RETRYING : ANT_CONNECTION_CLOSED;
    m_action = ACTION_RESET_DONE;
    m_actionCondition.signal();
    postEventLocked(ANT_STATE_EVENT_RESET);
}

void ANTDeviceManager::requestReset()
{
    OsLock lock(m_stateMutex);
    if (m_action == ACTION_NONE || m_action == ACTION_OPEN) {
        m_action = ACTION_RESET;
        m_actionCondition.signal();
    }
}

void ANTDeviceManager::receiveLoop()
{
    m_receiveRunning = true;
    uint8_t message[ANT_MESSAGE_SIZE];
    while (!m_stop) {
        uint16_t r = m_framer->waitMessage(kReceiveWaitMs);
        if (m_stop)
            break;
        if (r == ANT_NO_MESSAGE)
            continue;
        uint16_t n = m_framer->readMessage(message, ANT_MAX_DATA);
        if (n == ANT_NO_MESSAGE)
            continue;
        if (n == ANT_READ_ERROR) {
            ce::debugPrintf("ANTDeviceManager: radio error (kind %u, code %u)", message[0],
                message[0] == ANT_ERROR_PORT ? message[1] : 0u);
            requestReset();
            continue;
        }
        if (message[0] == ANT_MSG_SERIAL_ERROR) {
            ce::debugPrintf("ANTDeviceManager: the radio reports a serial error (%u)", n > 0 ? message[1] : 0u);
            requestReset();
            continue;
        }
        dispatch(message, n);
    }
    m_receiveRunning = false;
}

void ANTDeviceManager::dispatch(const uint8_t* message, uint16_t length)
{
    uint8_t channel = ANTFramer::channelOf(message, length);
    if (channel >= ANT_CHANNELS)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_dispatchMutex);
    ANTChannelHandler* h = m_handlers[channel];
    if (h && h->isEnabled())
        h->onMessage(message, length);
}

} // namespace senvoy
