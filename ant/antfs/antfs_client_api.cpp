#include "ant/antfs/antfs_client_api.h"

#include "ant/core/ant_library.h"
#include "platform/debug.h"
#include "platform/wm.h"

#include <chrono>
#include <cstring>

namespace senvoy {

namespace {
constexpr uint32_t kEventWaitMs = 999;
constexpr uint32_t kEventJoinBoundMs = 9000;
constexpr const char* kClientMessage = "WM_ANTPLUS_FS_CLINET";
} // namespace

static_assert(sizeof(ANTFSClientConfig) == 588, "the client configuration is 588 bytes");
static_assert(offsetof(ANTFSClientConfig, pairingEnabled) == 12, "layout");
static_assert(offsetof(ANTFSClientConfig, authenticationType) == 24, "layout");
static_assert(offsetof(ANTFSClientConfig, reserved2) == 27, "layout");

// Responses 2-31 go on to the exports; the reset (1) carries nothing for
// the application.
ANTFSClientApi::ANTFSClientApi()
    : m_engine(std::make_unique<ANTFSClientEngine>())
    , m_pump(*m_engine, [](uint32_t r) { return r >= 2 && r <= 31; }, "ANT-FS client")
{
}

int ANTFSClientApi::configure(const ANTFSClientBlock* block)
{
    return block ? m_engine->configure(*block) : 0;
}

uint8_t ANTFSClientApi::getState()
{
    uint8_t s = m_engine->getState();
    if (s <= ANTFS_CLIENT_ERASE_WAIT)
        m_lastState = s;
    return m_lastState;
}

// ---- The exports' statics -----------------------------------------------------

namespace {

std::mutex g_lock; // Init, Deinit, Open, Close and the library's shutdown
std::atomic<ANTFSClientApi*> g_api { nullptr };
std::atomic<ce::HWND> g_window { nullptr };
std::atomic<ANTFSEventCallback> g_callback { nullptr };
std::atomic<void*> g_context { nullptr };
std::atomic<ANTFSGetFileDataCallback> g_getFileData { nullptr };
ce::HANDLE g_eventThread = nullptr;
std::atomic<bool> g_eventStop { false };
std::mutex g_configLock;
ANTFSClientConfig g_config {};

void postEvent(uint32_t code, uintptr_t parameter)
{
    ce::HWND window = g_window;
    if (window) {
        ce::UINT id = ce::registerWindowMessage(kClientMessage);
        ce::postMessage(window, id, code, ce::LPARAM(parameter));
    } else if (ANTFSEventCallback callback = g_callback) {
        callback(ce::registerWindowMessage(kClientMessage), code, parameter, g_context);
    }
}

// A host asks for a file: the application hands it over, or it is refused.
void answerDownload(ANTFSClientApi* api)
{
    ANTFSRequestInfo info;
    if (!api->getRequestInfo(&info)) {
        api->sendDownloadResponse(4, ANTFSDownloadInfo {}, 0, nullptr);
        return;
    }
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (ANTFSGetFileDataCallback callback = g_getFileData)
        callback(info.fileIndex, info.offset, info.maxBlockSize, &data, &length);
    ANTFSDownloadInfo answer { info.fileIndex, info.maxBlockSize };
    if (g_getFileData && data && length)
        api->sendDownloadResponse(0, answer, length, data);
    else
        api->sendDownloadResponse(1, answer, 0, nullptr);
}

ce::DWORD eventThread(void*)
{
    while (!g_eventStop) {
        ANTFSClientApi* api = g_api;
        if (!api)
            break;
        uint32_t r = api->waitResponse(kEventWaitMs);
        if (g_eventStop)
            break;
        switch (r) {
        case 0:
            break;
        case ANTFS_CR_FAILED: // idle without beacon: the application learns of it
            postEvent(228, 0);
            break;
        case ANTFS_CR_BEACON_OPEN:
            postEvent(201, 0);
            break;
        case ANTFS_CR_BEACON_CLOSED:
            postEvent(229, 0);
            break;
        case ANTFS_CR_DISCONNECTED:
            postEvent(203, 0);
            api->closeBeacon(0);
            break;
        case ANTFS_CR_DOWNLOAD_REQUEST:
            answerDownload(api);
            break;
        case ANTFS_CR_ERASE_REQUEST: {
            ANTFSRequestInfo info;
            if (api->getRequestInfo(&info))
                postEvent(224, info.fileIndex);
            break;
        }
        default:
            if (r >= 5 && r <= 31)
                postEvent(197 + r, 0);
            break;
        }
    }
    return 0;
}

ANTFSClientBlock blockOf(const ANTFSClientConfig& c)
{
    ANTFSClientBlock b;
    b.serialNumber = c.serialNumber;
    b.deviceType = c.deviceType;
    b.manufacturerId = ANTFSClientEngine::kManufacturerId;
    b.beaconRf = c.beaconRfFrequency;
    b.beaconPeriodCode = c.beaconPeriodCode;
    b.pairingEnabled = c.pairingEnabled;
    b.uploadEnabled = c.uploadEnabled;
    b.dataAvailable = c.dataAvailable;
    b.authenticationType = c.authenticationType;
    b.linkTimeoutSeconds = c.linkTimeoutSeconds;
    b.pairingTimeoutSeconds = c.pairingTimeoutSeconds;
    return b;
}

int init()
{
    if (g_api)
        return 1; // the running client stays as it is
    auto* api = new (std::nothrow) ANTFSClientApi();
    if (!api)
        return 0;
    g_api = api;
    // Cleared before the thread starts, so a Deinit right after ends it.
    g_eventStop = false;
    if (!g_eventThread) {
        g_eventThread = OsThread_Create(&eventThread, nullptr);
        if (!g_eventThread)
            ce::debugPrintf("ANT-FS client: the event thread did not start");
    }
    return 1;
}

void deinit()
{
    g_eventStop = true;
    if (g_eventThread) {
        if (OsThread_Join(g_eventThread, kEventJoinBoundMs, "ANT-FS client event thread") != OS_OK) {
            // It still runs on the client: keep the client rather than pull
            // it from under the thread.
            g_api = nullptr;
            g_eventThread = nullptr;
            return;
        }
        OsThread_Close(g_eventThread);
        g_eventThread = nullptr;
    }
    ANTFSClientApi* api = g_api.exchange(nullptr);
    if (api) {
        api->close();
        delete api;
    }
}

} // namespace

ANTFSClientApi* ANTFSClient_Current()
{
    return g_api;
}

void ANTFSClient_LibraryClosing()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (ANTFSClientApi* api = g_api; api && api->isOpen())
        api->close();
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTFSClient_Init(void* hwnd)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_api)
        return 1;
    g_window = static_cast<ce::HWND>(hwnd);
    return init();
}

SENVOY_API int ANTFSClient_InitEx(void* context, ANTFSEventCallback callback)
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_api)
        return 1;
    g_context = context;
    g_callback = callback;
    g_window = nullptr;
    return init();
}

SENVOY_API int ANTFSClient_Config(const ANTFSClientConfig* config)
{
    ANTFSClientApi* api = g_api;
    if (!api)
        return 0;
    if (!config)
        return 1;
    // The library's copy follows what the engine took: a refused
    // configuration leaves it as it was.
    const ANTFSClientConfig copy = *config;
    ANTFSClientBlock block = blockOf(copy);
    const int r = api->configure(&block);
    if (r == 1) {
        std::lock_guard<std::mutex> lock(g_configLock);
        g_config = copy;
    }
    return r;
}

SENVOY_API int ANTFSClient_Open(uint8_t channel)
{
    std::lock_guard<std::mutex> lock(g_lock);
    ANTFSClientApi* api = g_api;
    ANTDeviceManager* manager = ANTLIB_Manager();
    if (!api || !manager)
        return 0;
    return api->open(channel, manager);
}

SENVOY_API int ANTFSClient_Close(void)
{
    std::lock_guard<std::mutex> lock(g_lock);
    ANTFSClientApi* api = g_api;
    if (!api || !ANTLIB_Manager())
        return 0;
    return api->close();
}

SENVOY_API int ANTFSClient_OpenBeacon(void)
{
    ANTFSClientApi* api = g_api;
    return api ? api->openBeacon() : 0;
}

SENVOY_API int ANTFSClient_CloseBeacon(void)
{
    ANTFSClientApi* api = g_api;
    return api ? api->closeBeacon(0) : 0;
}

SENVOY_API int ANTFSClient_AcceptPair(int accept)
{
    ANTFSClientApi* api = g_api;
    return api ? api->acceptPair(accept) : 0;
}

SENVOY_API int ANTFSClient_SendEraseResponse(uint8_t code)
{
    ANTFSClientApi* api = g_api;
    return api ? api->sendEraseResponse(code) : 0;
}

SENVOY_API void ANTFSClient_SetGetFileDataCallback(ANTFSGetFileDataCallback callback)
{
    g_getFileData = callback;
}

SENVOY_API void ANTFSClient_Deinit(void)
{
    std::lock_guard<std::mutex> lock(g_lock);
    deinit();
}

SENVOY_API void ANTFSClient_DeinitEx(void)
{
    std::lock_guard<std::mutex> lock(g_lock);
    deinit();
    g_callback = nullptr;
    g_context = nullptr;
}

} // extern "C"
