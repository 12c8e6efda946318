#include "ant/antfs/antfs_client_api.h"

#include "ant/core/ant_library.h"
#include "platform/debug.h"
#include "platform/wm.h"

#include <chrono>
#include <cstring>

namespace senvoy {


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

void serveResponse(ANTFSClientApi* api, ANTFSResponse response);

ANTFSExports<ANTFSClientApi> g_exports({ "WM_ANTPLUS_FS_CLINET", "ANT-FS client", &serveResponse, nullptr, nullptr });
std::atomic<ANTFSGetFileDataCallback> g_getFileData { nullptr };
std::mutex g_configLock;
ANTFSClientConfig g_config {};

void postEvent(uint32_t code, uintptr_t parameter)
{
    g_exports.post(code, parameter);
}

// A host asks for a file: the application hands it over, or it is refused.
void answerDownload(ANTFSClientApi* api, const ANTFSRequestInfo& info)
{
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

// One response of the client, as the event the application sees, handled
// with what the response carries of its request.
void serveResponse(ANTFSClientApi* api, ANTFSResponse response)
{
    const uint32_t r = response.code;
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
        answerDownload(api, response.request);
        break;
    case ANTFS_CR_ERASE_REQUEST:
        postEvent(224, response.request.fileIndex);
        break;
    default:
        if (r >= 5 && r <= 31)
            postEvent(197 + r, 0);
        break;
    }
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

} // namespace

ANTFSClientApi* ANTFSClient_Current()
{
    return g_exports.api();
}

void ANTFSClient_LibraryClosing()
{
    g_exports.libraryClosing();
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTFSClient_Init(void* hwnd)
{
    return g_exports.init(static_cast<ce::HWND>(hwnd));
}

SENVOY_API int ANTFSClient_InitEx(void* context, ANTFSEventCallback callback)
{
    return g_exports.initEx(context, callback);
}

SENVOY_API int ANTFSClient_Config(const ANTFSClientConfig* config)
{
    ANTFSClientApi* api = g_exports.api();
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
    return g_exports.open(channel);
}

SENVOY_API int ANTFSClient_Close(void)
{
    return g_exports.close();
}

SENVOY_API int ANTFSClient_OpenBeacon(void)
{
    ANTFSClientApi* api = g_exports.api();
    return api ? api->openBeacon() : 0;
}

SENVOY_API int ANTFSClient_CloseBeacon(void)
{
    ANTFSClientApi* api = g_exports.api();
    return api ? api->closeBeacon(0) : 0;
}

SENVOY_API int ANTFSClient_AcceptPair(int accept)
{
    ANTFSClientApi* api = g_exports.api();
    return api ? api->acceptPair(accept) : 0;
}

SENVOY_API int ANTFSClient_SendEraseResponse(uint8_t code)
{
    ANTFSClientApi* api = g_exports.api();
    return api ? api->sendEraseResponse(code) : 0;
}

SENVOY_API void ANTFSClient_SetGetFileDataCallback(ANTFSGetFileDataCallback callback)
{
    g_getFileData = callback;
}

SENVOY_API void ANTFSClient_Deinit(void)
{
    g_exports.deinit(false);
}

SENVOY_API void ANTFSClient_DeinitEx(void)
{
    g_exports.deinit(true);
}

} // extern "C"
