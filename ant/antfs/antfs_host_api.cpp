#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_api_pump.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy_antfs.h"
#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/wm.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace senvoy {

static_assert(sizeof(ANTFSHostConfig) == 844, "the host configuration is 844 bytes");
static_assert(offsetof(ANTFSHostConfig, friendlyName) == 32, "layout");
static_assert(offsetof(ANTFSHostConfig, maxBlockSize) == 292, "layout");
static_assert(offsetof(ANTFSHostConfig, reserved552) == 552, "layout");
static_assert(offsetof(ANTFSHostConfig, passkey) == 585, "layout");
static_assert(offsetof(ANTFSHostConfig, passkeyLength) == 841, "layout");
static_assert(sizeof(ANTFSHostDeviceInfo) == 276, "the device record is 276 bytes");
static_assert(offsetof(ANTFSHostDeviceInfo, friendlyName) == 10, "layout");
static_assert(offsetof(ANTFSHostDeviceInfo, dataAvailable) == 268, "layout");

namespace {
constexpr uint32_t kAuthMs = 9999;
constexpr size_t kMaxSavePath = 260;
} // namespace

// Owns the engine and pumps its responses (2 and 4-28; the others carry
// nothing for the application) into the queue the event thread reads.
class ANTFSHostApi {
public:
    ANTFSHostApi()
        : m_engine(std::make_unique<ANTFSHostEngine>())
        , m_pump(*m_engine, [](uint32_t r) { return r == 2 || (r >= 4 && r <= 28); }, "ANT-FS host")
    {
    }

    int open(uint8_t channel, ANTDeviceManager* manager) { return m_pump.open(channel, manager); }
    int close()
    {
        m_pump.close();
        return 1;
    }
    bool isOpen() const { return m_pump.isOpen(); }
    uint8_t getState()
    {
        uint8_t s = m_engine->getState();
        if (s <= 1)
            m_lastState = 0;
        else if (s == 2)
            m_lastState = 3;
        else if (s >= 4 && s <= 12)
            m_lastState = s;
        return m_lastState;
    }
    ANTFSResponse waitResponse(uint32_t ms) { return m_pump.waitResponse(ms); }
    ANTFSHostEngine& engine() { return *m_engine; }

private:
    std::unique_ptr<ANTFSHostEngine> m_engine;
    ANTFSResponsePump<ANTFSHostEngine> m_pump; // after the engine: stopped before it goes
    uint8_t m_lastState = 0;
};

namespace {

void serveResponse(ANTFSHostApi* api, ANTFSResponse response);
void starting();
void ended();

ANTFSExports<ANTFSHostApi> g_exports({ "WM_ANTPLUS_FS_HOST", "ANT-FS host", &serveResponse, &starting, &ended });

// What the exports and the event thread share. What a request needs when
// its answer is handled (the file, whether it is the directory, the
// client's passkey) goes to the engine with the request and comes back
// with its response: the next request may already run by then.
std::mutex g_data;
ANTFSHostConfig g_config {};
std::string g_savePath;
std::vector<uint8_t> g_directoryCopy;
ANTFSHostDeviceInfo g_deviceInfo {};

// Set-time records: the one a running upload reads stays untouched while
// the next is built in the other.
uint8_t g_setTimeCounter = 0;
uint8_t g_setTime[2][16] = {};
int g_setTimeSlot = 0; // the one last handed to the engine

void fillDefaults(ANTFSHostConfig* c)
{
    std::memset(c, 0, sizeof *c);
    c->reserved2 = 1;
    c->reserved4 = 50;
    c->reserved8 = 1;
    const uint8_t key[8] = { 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A };
    std::memcpy(c->networkKey, key, 8);
    c->reserved28 = 1;
    std::strcpy(c->friendlyName, "KivoHost");
    for (int i = 0; i < 32; ++i)
        c->reserved552[i] = uint8_t(i);
}

void postEvent(uint32_t code, uintptr_t parameter)
{
    g_exports.post(code, parameter);
}

// Writes the downloaded file whole under its name, or nothing: a file that
// cannot be made or written leaves no part behind.
bool saveFile(uint32_t index, const std::vector<uint8_t>& data)
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_data);
        path = g_savePath.empty() ? std::string("\\SystemDrive\\") : g_savePath;
    }
    char name[kMaxSavePath + 16];
    int n = std::snprintf(name, sizeof name, "%s%u.dat", path.c_str(), index);
    if (n < 0 || size_t(n) >= sizeof name || size_t(n) > kMaxSavePath) {
        ce::debugPrintf("ANT-FS host: the save name for file %u does not fit", index);
        return false;
    }
    std::string target = ce::resolvePath(name, false);
    if (target.empty())
        return false;
    // Through a temporary name of this write's own, flushed to the disk
    // before it takes the file's name.
    if (const int error = ce::replaceFileWhole(target, data.data(), data.size())) {
        ce::debugPrintf("ANT-FS host: cannot write %s (error %d)", name, error);
        return false;
    }
    return true;
}

void postProgress(ANTFSHostApi* api)
{
    uint32_t done = 0, total = 0;
    ANTFSHostEngine& e = api->engine();
    uint8_t state = e.getState();
    if (state == ANTFS_HOST_DOWNLOADING && e.getDownloadProgress(&done, &total))
        postEvent(104, uint64_t(done) * 100 / (total ? total : 1));
    else if (state == ANTFS_HOST_UPLOADING) {
        e.getUploadProgress(&done, &total);
        postEvent(108, uint64_t(done) * 100 / (total ? total : 1));
    }
}

void deviceFound(const ANTFSResponse& found)
{
    const ANTFSHostClientInfo& info = found.client;
    const uint16_t number = found.channelDeviceNumber;
    const size_t nameLength = std::min(found.data.size(), size_t(50));
    const uint8_t* name = found.data.data();
    std::memset(&g_deviceInfo, 0, sizeof g_deviceInfo);
    g_deviceInfo.manufacturerId = uint16_t(info.manufacturerAndType);
    g_deviceInfo.deviceType = uint16_t(info.manufacturerAndType >> 16);
    g_deviceInfo.serialNumber = info.serialNumber;
    g_deviceInfo.channelDeviceNumber = number;
    if (nameLength)
        std::memcpy(g_deviceInfo.friendlyName, name, nameLength);
    const uint8_t status1 = uint8_t(info.beaconBytes >> 8);
    g_deviceInfo.dataAvailable = status1 & 0x20;
    g_deviceInfo.uploadEnabled = status1 & 0x10;
    postEvent(115, reinterpret_cast<uintptr_t>(&g_deviceInfo));
}

uint32_t eventOf(uint32_t response)
{
    switch (response) {
    case 2: return 118; // a radio command failed: idle again
    case 5: return 114;
    case 6: return 113;
    case 7: return 112;
    case 10: return 111;
    case 12: return 102;
    case 13: return 119;
    case 14: return 120;
    case 15: return 121;
    case 16: return 103;
    case 17: return 105;
    case 18: return 106;
    case 19: return 122;
    case 20: return 123;
    case 21: return 124;
    case 22: return 107;
    case 23: return 116;
    case 24: return 117;
    case 28: return 118;
    default: return response;
    }
}

int disconnectWith(uint8_t type);

// One response of the host, as the event the application sees; none
// came: the transfer's progress. Handled with the response's own records
// alone.
void serveResponse(ANTFSHostApi* api, ANTFSResponse response)
{
    const uint32_t r = response.code;
    switch (r) {
    case 0:
        postProgress(api);
        break;
    case 1: case 25: case 26: case 27:
        break;
    case ANTFS_HR_FOUND:
        deviceFound(response);
        break;
    case ANTFS_HR_AUTH_ACCEPTED: {
        if (response.pairing) {
            // A pairing's answer is the client's passkey: kept for later.
            std::lock_guard<std::mutex> lock(g_data);
            const size_t n = std::min<size_t>(response.data.size(), 255);
            if (n)
                std::memcpy(g_config.passkey, response.data.data(), n);
            g_config.passkeyLength = uint8_t(n);
        }
        // Without the lock: the callback may call the exports at once.
        postEvent(109, 0);
        break;
    }
    case ANTFS_HR_AUTH_REJECTED:
        disconnectWith(0);
        postEvent(110, 0);
        break;
    case ANTFS_HR_DOWNLOAD_DONE: {
        const uint32_t index = response.fileIndex;
        if (!response.directory) {
            postEvent(saveFile(index, response.data) ? 101 : 103, index);
            break;
        }
        {
            std::lock_guard<std::mutex> lock(g_data);
            g_directoryCopy = response.data.size() >= 16 ? std::move(response.data) : std::vector<uint8_t>();
        }
        postEvent(101, 0);
        break;
    }
    default:
        if (r == ANTFS_HR_DOWNLOAD_FAILED && response.directory) {
            // A directory download that failed (one not whole among
            // them) leaves no directory, as a too short one always did.
            std::lock_guard<std::mutex> lock(g_data);
            g_directoryCopy.clear();
        }
        postEvent(eventOf(r), 0);
        break;
    }
}

int disconnectWith(uint8_t type)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api)
        return 0;
    uint8_t duration, app;
    {
        std::lock_guard<std::mutex> lock(g_data);
        duration = g_config.disconnectDuration;
        app = g_config.disconnectAppDuration;
    }
    return api->engine().disconnect(type, duration, app);
}

// A new host starts from the default configuration.
void starting()
{
    std::lock_guard<std::mutex> lock(g_data);
    fillDefaults(&g_config);
}

void ended()
{
    std::lock_guard<std::mutex> lock(g_data);
    g_directoryCopy.clear();
}

// A download of the directory (index 0, the whole of it) or of a file to
// save under its index; which one travels with the request.
int download(uint16_t index, uint32_t offset, uint32_t size, bool directory)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api)
        return 0;
    uint32_t maxBlock;
    {
        std::lock_guard<std::mutex> lock(g_data);
        maxBlock = directory ? 0 : g_config.maxBlockSize;
    }
    return api->engine().download(index, offset, size, maxBlock, directory);
}

// Pass-through or passkey: no answer to keep.
int authenticate(uint8_t type, const uint8_t* text, uint32_t length)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api)
        return 0;
    return api->engine().authenticate(type, text, length, nullptr, 0, kAuthMs);
}

} // namespace

ANTFSHostEngine* ANTFSHost_CurrentEngine()
{
    ANTFSHostApi* api = g_exports.api();
    return api ? &api->engine() : nullptr;
}

void ANTFSHost_LibraryClosing()
{
    g_exports.libraryClosing();
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTFSHost_Init(void* hwnd)
{
    return g_exports.init(static_cast<ce::HWND>(hwnd));
}

SENVOY_API int ANTFSHost_InitEx(void* context, ANTFSEventCallback callback)
{
    return g_exports.initEx(context, callback);
}

SENVOY_API int ANTFSHost_Config(const ANTFSHostConfig* config)
{
    if (!config)
        return 0;
    std::lock_guard<std::mutex> lock(g_data);
    g_config = *config;
    return 1;
}

SENVOY_API int ANTFSHost_Open(uint8_t channel)
{
    return g_exports.open(channel);
}

SENVOY_API int ANTFSHost_Close(void)
{
    return g_exports.close();
}

static int searchFor(uint16_t deviceNumber)
{
    ANTFSHostApi* api = g_exports.api();
    ANTDeviceManager* manager = ANTLIB_Manager();
    if (!api || !manager || !api->isOpen() || manager->connectionState() < ANT_CONNECTION_OPEN)
        return 0;
    return api->engine().search(50, 255, deviceNumber);
}

SENVOY_API int ANTFSHost_Search(void)
{
    return searchFor(0);
}

SENVOY_API int ANTFSHost_SearchEx(uint16_t deviceNumber)
{
    return searchFor(deviceNumber);
}

SENVOY_API int ANTFSHost_Cancel(void)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api)
        return 0;
    api->engine().cancel();
    return 1;
}

SENVOY_API int ANTFSHost_Pair(uint8_t* buffer, uint32_t length)
{
    // The passkey kept from the answer holds 255 bytes at most.
    ANTFSHostApi* api = g_exports.api();
    if (!api || !buffer || length == 0 || length > 255)
        return 0;
    char name[sizeof g_config.friendlyName];
    size_t nameLength;
    {
        std::lock_guard<std::mutex> lock(g_data);
        nameLength = strnlen(g_config.friendlyName, sizeof g_config.friendlyName);
        std::memcpy(name, g_config.friendlyName, nameLength);
    }
    // The buffer is the request's own: the engine writes the answer there.
    return api->engine().authenticate(
        2, reinterpret_cast<const uint8_t*>(name), uint32_t(nameLength), buffer, length, kAuthMs);
}

SENVOY_API int ANTFSHost_Passkey(void)
{
    uint8_t passkey[256];
    uint32_t length;
    {
        std::lock_guard<std::mutex> lock(g_data);
        length = g_config.passkeyLength;
        std::memcpy(passkey, g_config.passkey, length);
    }
    return authenticate(3, passkey, length); // the engine keeps its own copy
}

SENVOY_API int ANTFSHost_PassThru(void)
{
    return authenticate(0, nullptr, 0);
}

SENVOY_API int ANTFSHost_Directory(void)
{
    return download(0, 0, 65535, true);
}

SENVOY_API int ANTFSHost_Download(uint32_t fileIndex, uint32_t size, uint32_t offset)
{
    if (fileIndex >= 65535)
        return download(0, 0, 65535, true);
    return download(uint16_t(fileIndex), offset, size, false);
}

SENVOY_API int ANTFSHost_Upload(uint32_t fileIndex, uint32_t size, const uint8_t* data)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api || fileIndex >= 65535 || !data)
        return 0;
    uint32_t maxBlock;
    {
        std::lock_guard<std::mutex> lock(g_data);
        maxBlock = g_config.maxBlockSize;
    }
    return api->engine().upload(uint16_t(fileIndex), 0, size, data, true, maxBlock);
}

SENVOY_API int ANTFSHost_Erase(uint32_t fileIndex)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api || fileIndex >= 65535)
        return 0;
    return api->engine().erase(uint16_t(fileIndex));
}

SENVOY_API int ANTFSHost_Disconnect(void)
{
    return disconnectWith(0);
}

SENVOY_API int ANTFSHost_ReturnBroadcast(void)
{
    return disconnectWith(1);
}

SENVOY_API int ANTFSHost_SetTime(const uint8_t* time4)
{
    ANTFSHostApi* api = g_exports.api();
    if (!api || !time4)
        return 0;
    std::lock_guard<std::mutex> lock(g_data);
    // The record stays with the library: the upload reads it later.
    const int slot = 1 - g_setTimeSlot;
    uint8_t* record = g_setTime[slot];
    std::memset(record, 0, 16);
    record[0] = 3;
    record[3] = g_setTimeCounter;
    std::memcpy(record + 4, time4, 4);
    int r = api->engine().upload(65534, 0, 16, record, true, 0);
    if (r == 1) {
        g_setTimeSlot = slot;
        ++g_setTimeCounter;
    }
    return r;
}

SENVOY_API const void* ANTFSHost_GetDirectoryData(void)
{
    std::lock_guard<std::mutex> lock(g_data);
    return g_directoryCopy.empty() ? nullptr : g_directoryCopy.data();
}

SENVOY_API int ANTFSHost_SetSaveFilePath(const char* path, uint32_t length)
{
    if (!path || length > kMaxSavePath)
        return 0;
    std::lock_guard<std::mutex> lock(g_data);
    g_savePath.assign(path, strnlen(path, length));
    return 1;
}

SENVOY_API int ANTHost_AddChannelID(uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint8_t listIndex)
{
    ANTFSHostApi* api = g_exports.api();
    ANTDeviceManager* manager = ANTLIB_Manager();
    if (!api || !manager)
        return 0;
    return ANTCommand_AddChannelIdToList(manager->framer(), channel, deviceNumber, deviceType, transmissionType,
        listIndex, 0);
}

SENVOY_API int ANTHost_ConfigListID(uint8_t channel, uint8_t listSize, uint8_t exclude)
{
    ANTFSHostApi* api = g_exports.api();
    ANTDeviceManager* manager = ANTLIB_Manager();
    if (!api || !manager)
        return 0;
    return ANTCommand_ConfigList(manager->framer(), channel, listSize, exclude, 0);
}

SENVOY_API void ANTFSHost_Deinit(void)
{
    g_exports.deinit(false);
}

SENVOY_API void ANTFSHost_DeinitEx(void)
{
    g_exports.deinit(true);
}

} // extern "C"
