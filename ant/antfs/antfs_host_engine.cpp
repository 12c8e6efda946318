#include "ant/antfs/antfs_host_engine.h"
#include "ant/antfs/antfs_directory.h"
#include "ant/antfs/antfs_shared.h"

#include "ant/core/ant_command.h"
#include "ant/core/checksums.h"
#include "platform/debug.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace senvoy {

using namespace antfs_le;

namespace {

enum : uint8_t {
    REQ_RESET = ANTFSEngineBase::kRequestReset,
    REQ_SEARCH = 3,
    REQ_AUTHENTICATE = 8,
    REQ_DISCONNECT = 10,
    REQ_DOWNLOAD = 12,
    REQ_UPLOAD = 13,
    REQ_ERASE = 15,
    REQ_LINK_LOST = 16,
    REQ_FAILED = ANTFSEngineBase::kRequestFailed,
    REQ_FAILED_RESET = ANTFSEngineBase::kRequestFailedReset,
};

constexpr uint8_t ANTFS_ID = 0x44;
constexpr uint8_t BEACON_ID = 0x43;
constexpr uint32_t kCommandMs = 1000;
constexpr uint32_t kCloseMs = 2100;
constexpr uint32_t kAckMs = 3000;
constexpr uint32_t kRequestMs = 10000;
constexpr uint32_t kIdleMs = 2000;
constexpr uint32_t kSearchStepMs = 60000;
constexpr uint32_t kAnswerMs = 60000;
constexpr uint32_t kDownloadSilenceMs = 10000;
constexpr uint32_t kDownloadRepeats = 15;
constexpr uint32_t kUploadSilenceMs = 15000;
constexpr uint32_t kUploadRetries = 3;
constexpr uint32_t kBurstsKept = 8;
// A claimed file size beyond this is not believed: no such buffer is made.
constexpr uint64_t kLargestDownload = 64ull << 20;

const uint8_t kLinkTable[16] = { 3, 7, 15, 20, 25, 30, 34, 40, 45, 49, 54, 60, 65, 70, 75, 80 };

ANTFSTimeScale g_timeScale;
std::atomic<uint32_t> g_seed { 0 };

using Clock = std::chrono::steady_clock;

uint32_t msSince(Clock::time_point t)
{
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

} // namespace

// The answers' layouts, after the leading beacon:
//   0x89: 0x44, 0x89, code, 0, block length (u32), offset (u32), file size
//         (u32), the block padded to whole packets, then 8 bytes whose last
//         two are the CRC-16 of the file up to the block's end.
//   0x86 (legacy): 0x44, 0x86, code, 0, offset (u16), file size (u16), then
//         the block the request asked for, cut at the end of the file; no CRC.
bool ANTFSHost_ReadUploadAnswer(const uint8_t* bytes, size_t size, ANTFSUploadAnswer* out)
{
    if (!bytes || !out || size < 3)
        return false;
    *out = ANTFSUploadAnswer {};
    out->code = bytes[2];
    if (out->code != 0)
        return true;
    if (size < 24)
        return false;
    out->last = get32(bytes + 4);
    out->maxFile = get32(bytes + 8);
    out->maxBlock = get32(bytes + 12);
    out->crc = get16(bytes + 22);
    return true;
}

bool ANTFSHost_ReadDownloadAnswer(
    const uint8_t* bytes, size_t size, bool legacy, uint32_t askedSize, ANTFSDownloadAnswer* out)
{
    if (!bytes || !out || size < 8)
        return false;
    *out = ANTFSDownloadAnswer {};
    out->code = bytes[2];
    if (out->code != 0)
        return true;
    if (legacy) {
        out->header = 8;
        out->offset = get16(bytes + 4);
        out->fileSize = get16(bytes + 6);
        const uint32_t rest = out->fileSize > out->offset ? out->fileSize - out->offset : 0;
        out->length = std::min(askedSize, rest);
        return size >= uint64_t(out->header) + out->length;
    }
    if (size < 24)
        return false;
    out->header = 16;
    out->length = get32(bytes + 4);
    out->offset = get32(bytes + 8);
    out->fileSize = get32(bytes + 12);
    // Header, the block padded to whole packets, the footer.
    if (size < 16 + (uint64_t(out->length) + 7) / 8 * 8 + 8)
        return false;
    out->hasCrc = true;
    out->crc = get16(bytes + size - 2);
    return true;
}

void ANTFSHostEngine::setShuffleSeedForTests(uint32_t seed)
{
    g_seed = seed;
}

void ANTFSHostEngine::setTimeScaleForTests(uint32_t divisor)
{
    g_timeScale.set(divisor);
}

size_t ANTFSHostEngine::burstsWaitingForTests()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_bursts.size();
}

uint32_t ANTFSHostEngine::scaled(uint32_t ms)
{
    return g_timeScale(ms);
}

ANTFSHostEngine::ANTFSHostEngine()
    : ANTFSEngineBase("ANT-FS host", ANTFS_HR_CANCELLED)
{
    std::memcpy(m_linkTable, kLinkTable, 16);
}

ANTFSHostEngine::~ANTFSHostEngine()
{
    close();
}

// ---- Operations -------------------------------------------------------------

void ANTFSHostEngine::close()
{
    stopThread();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    closedLocked();
    m_file.clear();
    m_file.shrink_to_fit();
    m_downloadDone = false; // what it held is gone
    m_rx.clear();
    m_rx.shrink_to_fit();
}

void ANTFSHostEngine::cancel()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    cancelLocked();
}

int ANTFSHostEngine::search(uint8_t rfFrequency, uint8_t linkFrequency, uint16_t deviceNumber)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_HOST_IDLE)
        return 0;
    if (m_pending)
        return 2;
    m_searchRf = rfFrequency;
    m_linkRfSetting = linkFrequency;
    m_searchDeviceNumber = deviceNumber;
    postLocked(REQ_SEARCH);
    return 1;
}

int ANTFSHostEngine::getDeviceInfo(ANTFSHostClientInfo* info, uint16_t* channelDeviceNumber, uint8_t* name,
    uint32_t* nameLength) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state < ANTFS_HOST_LINKED || !info)
        return 0;
    info->serialNumber = m_clientSerial;
    info->manufacturerAndType = uint32_t(m_beaconManufacturer) | uint32_t(m_beaconDeviceType) << 16;
    info->beaconBytes = uint32_t(m_authType) | uint32_t(m_status1) << 8 | uint32_t(m_status2) << 16;
    if (channelDeviceNumber)
        *channelDeviceNumber = m_clientDeviceNumber;
    if (name && nameLength) {
        uint32_t n = std::min<uint32_t>(*nameLength, uint32_t(m_clientName.size()));
        std::memcpy(name, m_clientName.data(), n);
        *nameLength = n;
    }
    return 1;
}

int ANTFSHostEngine::getDownloadProgress(uint32_t* done, uint32_t* total) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!done || !total)
        return 0;
    if (m_state != ANTFS_HOST_DOWNLOADING || m_fileSize == 0) {
        *total = 10;
        *done = 0;
        return 0;
    }
    *total = m_fileSize;
    uint64_t d = uint64_t(m_file.size()) + m_offset;
    *done = uint32_t(std::min<uint64_t>(d, m_fileSize));
    return 1;
}

int ANTFSHostEngine::getUploadProgress(uint32_t* done, uint32_t* total) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!done || !total)
        return 0;
    *total = m_size;
    *done = std::min(m_uploadSent, m_size);
    return m_state == ANTFS_HOST_UPLOADING ? 1 : 0;
}

int ANTFSHostEngine::getDownloadedData(std::vector<uint8_t>* out) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!out || !m_downloadDone)
        return 0;
    size_t n = std::min<size_t>(m_file.size(), m_fileSize);
    out->assign(m_file.begin(), m_file.begin() + long(n));
    return 1;
}

int ANTFSHostEngine::authenticate(uint8_t type, const uint8_t* text, uint32_t length, uint8_t* answer,
    uint32_t answerRoom, uint32_t timeoutMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_HOST_LINKED || length > 255 || (length && !text))
        return 0;
    if (m_pending)
        return 2;
    m_authCommand = type;
    m_authText.assign(text, text + length);
    m_answer = answer;
    m_answerRoom = answer ? answerRoom : 0;
    m_answerLength = 0;
    m_authTimeoutMs = timeoutMs;
    postLocked(REQ_AUTHENTICATE);
    return 1;
}

uint32_t ANTFSHostEngine::answerLength() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_answerLength;
}

int ANTFSHostEngine::disconnect(uint8_t type, uint8_t duration, uint8_t appDuration)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state < 3)
        return 0;
    if (m_pending)
        return 2;
    m_disconnectType = type;
    m_disconnectTime = duration;
    m_disconnectAppTime = appDuration;
    postLocked(REQ_DISCONNECT);
    return 1;
}

int ANTFSHostEngine::download(uint16_t fileIndex, uint32_t offset, uint32_t size, uint32_t maxBlock, bool directory)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_HOST_TRANSPORT)
        return 0;
    // Clients of this make and type know only the older request, whose
    // offset is 16 bits wide: a larger one cannot be asked for.
    const bool legacy = m_beaconManufacturer == 1 && m_beaconDeviceType == 782;
    if (legacy && offset > 0xFFFF)
        return 0;
    if (m_pending)
        return 2;
    m_legacy = legacy;
    m_directory = directory;
    m_fileIndex = fileIndex;
    m_offset = offset;
    m_size = size;
    m_maxBlock = maxBlock == 0 ? 0xFFFFFFFFu : maxBlock;
    m_downloadDone = false;
    postLocked(REQ_DOWNLOAD);
    return 1;
}

int ANTFSHostEngine::upload(uint16_t fileIndex, uint32_t offset, uint32_t size, const uint8_t* data,
    bool startAtOffset, uint32_t maxBlock)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_HOST_TRANSPORT || (size && !data) || uint64_t(offset) + size > 0xFFFFFFFFu)
        return 0;
    if (m_pending)
        return 2;
    m_fileIndex = fileIndex;
    m_offset = offset;
    m_size = size;
    m_uploadData = data;
    m_startAtOffset = startAtOffset || offset != 0;
    m_maxBlock = maxBlock == 0 ? 0xFFFFFFFFu : maxBlock;
    m_uploadSent = 0;
    postLocked(REQ_UPLOAD);
    return 1;
}

int ANTFSHostEngine::erase(uint16_t fileIndex)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_HOST_TRANSPORT)
        return 0;
    if (m_pending)
        return 2;
    m_fileIndex = fileIndex;
    postLocked(REQ_ERASE);
    return 1;
}

void ANTFSHostEngine::attach(ANTFramer* framer, uint8_t channel)
{
    takeChannel(framer, channel);
    // The link table in a new order each start: every place takes the
    // ((rand mod 15) + 1)-th unused entry, counting on from the last.
    uint32_t seed = g_seed ? g_seed.load() : uint32_t(std::time(nullptr));
    bool used[16] = {};
    uint32_t state = seed;
    int at = 15;
    for (int place = 0; place < 16; ++place) {
        state = state * 1103515245u + 12345u;
        int steps = int((state >> 16) % 15) + 1;
        while (steps > 0) {
            at = (at + 1) % 16;
            if (!used[at])
                --steps;
        }
        used[at] = true;
        m_linkTable[place] = kLinkTable[at];
    }
    startIdle();
}

// ---- Engine thread ----------------------------------------------------------

void ANTFSHostEngine::addFailures(uint32_t n)
{
    m_failures = std::min<uint32_t>(100, m_failures + n);
}

void ANTFSHostEngine::resetLocked()
{
    m_cancel = 0;
    m_beaconSeen = false;
    m_clientState = 0;
    m_lowerCount = 2;
    m_clientSerial = 0;
    m_clientName.clear();
    m_clientDeviceNumber = 0;
    m_rx.clear();
    m_rxActive = false;
    m_rxLimit = kShortArea;
    m_bursts.clear();
    if (m_state != ANTFS_HOST_CLOSED)
        m_state = ANTFS_HOST_IDLE;
    m_pending = 0;
}

uint32_t ANTFSHostEngine::idleWaitMs() const
{
    return scaled(kIdleMs);
}

void ANTFSHostEngine::onIdle(std::unique_lock<std::recursive_mutex>& lock)
{
    if (m_state == ANTFS_HOST_LINKED || m_state == ANTFS_HOST_TRANSPORT) {
        lock.unlock();
        sendPing();
        lock.lock();
    }
}

uint32_t ANTFSHostEngine::serve(uint8_t request, uint8_t* next)
{
    switch (request) {
    case REQ_SEARCH: {
        m_state = ANTFS_HOST_SEARCHING;
        int r = runSearch();
        if (r == 1) {
            m_state = ANTFS_HOST_LINKED;
            return ANTFS_HR_FOUND;
        }
        if (r == 0 && !m_stop) {
            *next = REQ_SEARCH; // the search runs on
            return 0;
        }
        if (r == -2) {
            *next = REQ_FAILED;
            return 0;
        }
        runDisconnect();
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        resetLocked();
        return 0;
    }
    case REQ_AUTHENTICATE:
        m_state = ANTFS_HOST_AUTHENTICATING;
        return runAuthenticate();
    case REQ_DISCONNECT: {
        m_state = ANTFS_HOST_DISCONNECTING;
        runDisconnect();
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        resetLocked();
        return ANTFS_HR_DISCONNECTED;
    }
    case REQ_DOWNLOAD:
        m_state = ANTFS_HOST_DOWNLOADING;
        return endTransfer(runDownload(), ANTFS_HR_DOWNLOAD_FAILED);
    case REQ_UPLOAD:
        m_state = ANTFS_HOST_UPLOADING;
        return endTransfer(runUpload(), ANTFS_HR_UPLOAD_FAILED);
    case REQ_ERASE: {
        m_state = ANTFS_HOST_ERASING;
        uint32_t r = runErase();
        if (r == ANTFS_HR_ERASE_FAILED)
            addFailures(25);
        m_state = ANTFS_HOST_TRANSPORT;
        return r;
    }
    case REQ_LINK_LOST: {
        ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs);
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_beaconSeen = false;
        m_channelReady = false;
        if (m_state < ANTFS_HOST_LINKED)
            return 0;
        resetLocked();
        return ANTFS_HR_LINK_LOST;
    }
    case REQ_FAILED: {
        ce::debugPrintf("ANT-FS host: a radio command failed; the channel is closed");
        ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs);
        ANTCommand_UnassignChannel(m_framer, m_channel, kCommandMs);
        uint8_t status = 0;
        ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, kCommandMs);
        m_channelReady = false;
        *next = REQ_FAILED_RESET;
        return ANTFS_HR_FAILED;
    }
    default:
        return 0;
    }
}

uint32_t ANTFSHostEngine::endTransfer(uint32_t response, uint32_t failed)
{
    if (response == failed && !m_cancel) {
        addFailures(25);
        runDisconnect();
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        resetLocked();
        return response;
    }
    m_state = ANTFS_HOST_TRANSPORT;
    return response;
}

bool ANTFSHostEngine::setUpSearchChannel(bool full)
{
    uint8_t status = 0;
    if (!ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, kCommandMs))
        return false;
    if ((status & 3) >= ANT_STATE_SEARCHING && !ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs))
        return false;
    if (full) {
        if ((status & 3) != ANT_STATE_UNASSIGNED && !ANTCommand_UnassignChannel(m_framer, m_channel, kCommandMs))
            return false;
        bool keyed = false;
        for (int attempt = 0; attempt < 6 && !keyed; ++attempt)
            keyed = ANTCommand_SetNetworkKey(m_framer, m_network, m_networkKey, kCommandMs) != 0;
        if (!keyed || !ANTCommand_AssignChannel(m_framer, m_channel, 0x00, m_network, kCommandMs)
            || !ANTCommand_SetChannelPeriod(m_framer, m_channel, m_searchPeriod, kCommandMs)
            || !ANTCommand_SetSearchTimeout(m_framer, m_channel, 255, kCommandMs)
            || !ANTCommand_SetRfFrequency(m_framer, m_channel, m_searchRf, kCommandMs)
            || !ANTCommand_SetSearchWaveform(m_framer, m_channel, kCommandMs))
            return false;
        m_channelReady = true;
    } else if (!ANTCommand_SetChannelPeriod(m_framer, m_channel, m_searchPeriod, kCommandMs)
        || !ANTCommand_SetRfFrequency(m_framer, m_channel, m_searchRf, kCommandMs)) {
        return false;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_beaconSeen = false;
        m_idsRecorded = false;
        m_clientState = 0;
    }
    return ANTCommand_SetChannelId(m_framer, m_channel, m_searchDeviceNumber, m_deviceType, m_transmissionType,
               kCommandMs)
        && ANTCommand_OpenChannel(m_framer, m_channel, kCommandMs);
}

bool ANTFSHostEngine::waitBeacon(uint32_t ms, bool linkState)
{
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    const uint32_t seen = m_beacons;
    return m_messageCv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        if (m_stop || m_cancel)
            return true;
        if (m_beacons == seen)
            return false;
        return linkState ? m_clientState == 0 : m_clientState == 1 && m_beaconHostSerial == m_hostSerial;
    }) && !m_stop && !m_cancel;
}

int ANTFSHostEngine::runSearch()
{
    bool full = !m_channelReady;
    for (;;) {
        if (m_stop || m_cancel)
            return -1;
        if (!setUpSearchChannel(full))
            return m_cancel || m_stop ? -1 : -2;
        full = false;
        // A client in the link layer.
        for (;;) {
            if (waitBeacon(scaled(kSearchStepMs), true))
                break;
            if (m_stop || m_cancel)
                return -1;
            uint8_t status = 0;
            if (ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, kCommandMs)
                && (status & 3) < ANT_STATE_SEARCHING)
                return 0;
        }
        uint16_t number = 0;
        uint8_t type = 0, transmission = 0;
        if (ANTCommand_RequestChannelId(m_framer, m_channel, &number, &type, &transmission, kCommandMs)) {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_clientDeviceNumber = number;
        }
        if (!link()) {
            if (m_stop || m_cancel)
                return -1;
            continue; // back to searching
        }
        // Who it is: its serial number and name.
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_authCommand = 1;
            m_authText.clear();
            m_answer = nullptr;
            m_answerRoom = 0;
            m_authTimeoutMs = 5000;
        }
        m_state = ANTFS_HOST_LINKED;
        uint32_t r = runAuthenticate();
        m_state = ANTFS_HOST_SEARCHING;
        if (r == ANTFS_HR_AUTH_ACCEPTED)
            return 1;
        if (m_stop || m_cancel)
            return -1;
        runDisconnect();
        full = true;
    }
}

bool ANTFSHostEngine::sendAcknowledged(const uint8_t payload[8], uint32_t timeoutMs, int attempts)
{
    for (int i = 0; i < attempts && !m_stop && !m_cancel; ++i)
        if (ANTCommand_SendAcknowledgedData(m_framer, m_channel, payload, timeoutMs) == ANT_RESULT_OK)
            return true;
    return false;
}

bool ANTFSHostEngine::sendBurst(const uint8_t* data, uint32_t length, uint32_t timeoutMs, int attempts)
{
    for (int i = 0; i < attempts && !m_stop && !m_cancel; ++i)
        if (ANTCommand_SendBurst(m_framer, m_channel, data, length, timeoutMs) == ANT_RESULT_OK)
            return true;
    return false;
}

bool ANTFSHostEngine::link()
{
    uint8_t rf;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (m_failures >= 100) {
            m_linkIndex = uint8_t((m_linkIndex + 1) % 16);
            m_failures = 0;
        }
        rf = m_linkRfSetting != 255 ? m_linkRfSetting : m_linkTable[m_linkIndex];
        m_linkRf = rf;
        m_otherHost = false;
    }
    uint8_t command[8] = { ANTFS_ID, 0x02, rf, 4 };
    put32(command + 4, m_hostSerial);
    if (!sendAcknowledged(command, kAckMs, 8))
        return false;
    if (!ANTCommand_SetChannelPeriod(m_framer, m_channel, 4096, kCommandMs)
        || !ANTCommand_SetSearchTimeout(m_framer, m_channel, 3, kCommandMs)
        || !ANTCommand_SetRfFrequency(m_framer, m_channel, rf, kCommandMs))
        return false;
    for (int wait = 0; wait < 3; ++wait) {
        if (waitBeacon(scaled(kAckMs), false))
            return true;
        if (m_stop || m_cancel)
            return false;
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (m_otherHost) {
            m_failures = 100; // another host has it
            return false;
        }
    }
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    addFailures(25);
    return false;
}

bool ANTFSHostEngine::waitAnswer(uint8_t response, uint32_t timeoutMs, std::vector<uint8_t>* answer)
{
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    Clock::time_point start = Clock::now();
    for (;;) {
        while (!m_bursts.empty()) {
            std::vector<uint8_t> b = std::move(m_bursts.front());
            m_bursts.pop_front();
            size_t skip = !b.empty() && b[0] == BEACON_ID ? 8 : 0; // the client's beacon leads its answer
            if (b.size() >= skip + 8 && b[skip] == ANTFS_ID && b[skip + 1] == response) {
                answer->assign(b.begin() + long(skip), b.end());
                return true;
            }
        }
        if (m_stop || m_cancel)
            return false;
        uint32_t elapsed = msSince(start);
        if (elapsed >= timeoutMs)
            return false;
        m_messageCv.wait_for(lock, std::chrono::milliseconds(timeoutMs - elapsed),
            [&] { return !m_bursts.empty() || m_stop || m_cancel; });
    }
}

uint32_t ANTFSHostEngine::runAuthenticate()
{
    uint8_t type;
    std::vector<uint8_t> text;
    uint32_t timeout;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        type = m_authCommand;
        text = m_authText;
        timeout = m_authTimeoutMs;
        m_bursts.clear();
        // Only a client that shows the authentication layer (or busy) is asked.
        if (m_clientState != 1 && m_clientState != 3) {
            m_state = ANTFS_HOST_LINKED;
            addFailures(50);
            return ANTFS_HR_AUTH_NO_ANSWER;
        }
    }
    std::vector<uint8_t> command(8, 0);
    command[0] = ANTFS_ID;
    command[1] = 0x04;
    command[2] = type;
    command[3] = uint8_t(text.size());
    put32(command.data() + 4, m_hostSerial);
    bool sent;
    if (text.empty()) {
        sent = sendAcknowledged(command.data(), kRequestMs, 8);
    } else {
        command.insert(command.end(), text.begin(), text.end());
        command.resize(text.size() + 16, 0);
        sent = sendBurst(command.data(), uint32_t(command.size()), kRequestMs, 8);
    }
    std::vector<uint8_t> answer;
    bool answered = sent && waitAnswer(0x84, scaled(timeout), &answer);
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_state = ANTFS_HOST_LINKED;
    if (m_cancel || m_stop)
        return 0;
    if (!answered) {
        addFailures(50);
        return ANTFS_HR_AUTH_NO_ANSWER;
    }
    const uint8_t answerType = answer[2];
    const uint32_t length = std::min<uint32_t>(answer[3], uint32_t(answer.size() - 8));
    if (type == 1 && answerType == 0) { // serial number and name
        m_clientSerial = get32(answer.data() + 4);
        m_clientName.assign(answer.begin() + 8, answer.begin() + 8 + long(length));
        return ANTFS_HR_AUTH_ACCEPTED;
    }
    m_answerLength = std::min(m_answerRoom, length);
    if (m_answer && m_answerLength)
        std::memcpy(m_answer, answer.data() + 8, m_answerLength);
    if (answerType == 1) {
        m_state = ANTFS_HOST_TRANSPORT;
        return ANTFS_HR_AUTH_ACCEPTED;
    }
    return answerType == 2 ? ANTFS_HR_AUTH_REJECTED : ANTFS_HR_AUTH_UNKNOWN;
}

uint32_t ANTFSHostEngine::runDownload()
{
    uint16_t index;
    uint32_t start, wanted, maxBlock;
    bool legacy, directory;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        index = m_fileIndex;
        start = m_offset;
        wanted = m_size;
        maxBlock = m_maxBlock;
        legacy = m_legacy;
        directory = m_directory;
        m_file.clear();
        m_fileSize = 0;
        m_downloadDone = false;
    }
    uint32_t received = 0;
    uint16_t crc = 0;
    bool initial = true;
    uint32_t repeats = 0;
    Clock::time_point progress = Clock::now();
    for (;;) {
        if (m_stop || m_cancel)
            return ANTFS_HR_DOWNLOAD_FAILED;
        if (repeats >= kDownloadRepeats || msSince(progress) >= scaled(kDownloadSilenceMs))
            return ANTFS_HR_DOWNLOAD_FAILED;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_bursts.clear();
            m_rxLimit = kShortArea;
        }
        const uint32_t still = wanted > received ? wanted - received : 0;
        uint32_t asked = 0;
        bool sent;
        if (legacy) {
            // Without a size, as much as the 16-bit field can ask for; never
            // more than the maximum block, as in the newer request.
            asked = std::min<uint32_t>({ wanted ? still : 0xFFFFu, maxBlock, 0xFFFFu });
            uint8_t request[8] = { ANTFS_ID, 0x06 };
            put16(request + 2, index);
            put16(request + 4, uint16_t(start + received));
            put16(request + 6, uint16_t(asked));
            sent = sendAcknowledged(request, kRequestMs, 1);
        } else {
            uint8_t request[16] = { ANTFS_ID, 0x09 };
            put16(request + 2, index);
            put32(request + 4, start + received);
            request[9] = initial ? 1 : 0;
            put16(request + 10, initial ? 0 : crc);
            uint32_t block = 0;
            if (wanted)
                block = std::min(maxBlock, still);
            else if (maxBlock != 0xFFFFFFFFu)
                block = maxBlock;
            put32(request + 12, block);
            sent = sendBurst(request, sizeof request, kRequestMs, 1);
        }
        std::vector<uint8_t> answer;
        ANTFSDownloadAnswer a;
        if (!sent || !waitAnswer(legacy ? 0x86 : 0x89, scaled(kRequestMs), &answer)
            || !ANTFSHost_ReadDownloadAnswer(answer.data(), answer.size(), legacy, asked, &a)) {
            ++repeats;
            continue;
        }
        if (a.code == 5) { // the client's CRC disagrees: start again
            received = 0;
            crc = 0;
            initial = true;
            ++repeats;
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_file.clear();
            continue;
        }
        if (a.code != 0)
            return a.code >= 1 && a.code <= 3 ? ANTFS_HR_DOWNLOAD_REFUSED + a.code : ANTFS_HR_DOWNLOAD_REFUSED;
        if (a.offset != start + received) {
            ++repeats;
            continue;
        }
        const uint8_t* data = answer.data() + a.header;
        const uint16_t next = a.hasCrc ? Crc16_Update(crc, data, a.length) : 0;
        if (a.hasCrc && next != a.crc) {
            received = 0;
            crc = 0;
            initial = true;
            ++repeats;
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_file.clear();
            continue;
        }
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            try {
                m_file.insert(m_file.end(), data, data + a.length);
            } catch (const std::bad_alloc&) {
                ce::debugPrintf("ANT-FS host: Memory allocation failure!");
                m_file.clear();
                return ANTFS_HR_DOWNLOAD_FAILED;
            }
            m_fileSize = a.fileSize;
        }
        crc = next;
        initial = false;
        received += a.length;
        repeats = 0;
        progress = Clock::now();
        const uint32_t rest = a.fileSize - std::min(start, a.fileSize);
        const uint32_t target = wanted ? std::min(wanted, rest) : rest;
        if (received >= target) {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            // A directory cut short, or whose bytes are not a header and
            // whole entries, would be read past its end: it is not taken.
            if (directory
                && (start != 0 || m_file.size() != a.fileSize || !ANTFSDir_IsWhole(m_file.data(), m_file.size()))) {
                ce::debugPrintf("ANT-FS host: the client's directory is not whole (%u bytes)", a.fileSize);
                m_file.clear();
                return ANTFS_HR_DOWNLOAD_FAILED;
            }
            m_downloadDone = true;
            return ANTFS_HR_DOWNLOAD_DONE;
        }
        if (a.length == 0)
            ++repeats;
    }
}

uint32_t ANTFSHostEngine::runUpload()
{
    uint16_t index;
    uint32_t offset, size, maxBlock;
    bool atOffset;
    const uint8_t* data;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        index = m_fileIndex;
        offset = m_offset;
        size = m_size;
        maxBlock = m_maxBlock;
        atOffset = m_startAtOffset;
        data = m_uploadData;
        m_uploadSent = 0;
    }
    // data holds the file's bytes from offset to end; each block goes after
    // a request whose answer says how much the client takes at once.
    const uint32_t end = offset + size; // upload() refuses a sum beyond 32 bits
    uint32_t position = offset;
    bool sentOnce = false;
    uint32_t retries = 0;
    Clock::time_point progress = Clock::now();
    while (!sentOnce || position < end) {
        if (m_stop || m_cancel || retries > kUploadRetries || msSince(progress) >= scaled(kUploadSilenceMs))
            return ANTFS_HR_UPLOAD_FAILED;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_bursts.clear();
        }
        uint8_t request[16] = { ANTFS_ID, 0x0A };
        put16(request + 2, index);
        put32(request + 4, end);
        put32(request + 12, atOffset ? position : 0xFFFFFFFFu);
        std::vector<uint8_t> answer;
        if (!sendBurst(request, sizeof request, kRequestMs, 8) || !waitAnswer(0x8A, scaled(5 * kAckMs), &answer)) {
            ++retries;
            continue;
        }
        ANTFSUploadAnswer a;
        const bool read = ANTFSHost_ReadUploadAnswer(answer.data(), answer.size(), &a);
        if (read && a.code != 0)
            return a.code <= 3 ? ANTFS_HR_UPLOAD_REFUSED + a.code : ANTFS_HR_UPLOAD_REFUSED;
        if (!read) {
            ++retries;
            continue;
        }
        const uint32_t last = a.last;
        const uint32_t maxFile = a.maxFile;
        const uint32_t clientBlock = a.maxBlock;
        if (end > maxFile)
            return ANTFS_HR_UPLOAD_REFUSED + 3; // larger than the client takes; nothing sent
        uint32_t from = position;
        if (!atOffset) {
            // The client says how far it has the file: on from there, when
            // what it has is what we send.
            if (last < offset || last > end || Crc16_Calc(data, last - offset) != a.crc) {
                atOffset = true;
                ++retries;
                continue;
            }
            from = last;
        }
        uint32_t block = end - from;
        if (clientBlock != 0)
            block = std::min(block, clientBlock);
        block = std::min(block, maxBlock);
        if (block == 0 && from < end) {
            ++retries; // a client that takes nothing at once
            continue;
        }
        // Header (CRC of what goes before, where this block goes), the
        // block padded to whole packets, the footer with the CRC continued
        // over the block.
        const uint8_t* bytes = data + (from - offset);
        const uint16_t seed = Crc16_Calc(data, from - offset);
        std::vector<uint8_t> body(8, 0);
        body[0] = ANTFS_ID;
        body[1] = 0x0C;
        put16(body.data() + 2, seed);
        put32(body.data() + 4, from);
        body.insert(body.end(), bytes, bytes + block);
        body.resize(8 + (size_t(block) + 7) / 8 * 8, 0);
        uint8_t footer[8] = {};
        put16(footer + 6, Crc16_Update(seed, bytes, block));
        body.insert(body.end(), footer, footer + 8);
        const uint32_t timeout = block > 0x7FFFFA23u ? 0xFFFFFFFEu : 2 * (block + 1500);
        if (!sendBurst(body.data(), uint32_t(body.size()), timeout, 1)) {
            ++retries;
            continue;
        }
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_uploadSent = from + block - offset;
        }
        if (!waitAnswer(0x8C, scaled(kAnswerMs), &answer)) {
            ++retries;
            continue;
        }
        if (answer[2] != 0)
            return ANTFS_HR_UPLOAD_FAILED;
        position = from + block;
        sentOnce = true;
        retries = 0;
        progress = Clock::now();
    }
    return ANTFS_HR_UPLOAD_DONE;
}

uint32_t ANTFSHostEngine::runErase()
{
    uint8_t command[8] = { ANTFS_ID, 0x0B };
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        put16(command + 2, m_fileIndex);
        m_bursts.clear();
    }
    std::vector<uint8_t> answer;
    if (!sendAcknowledged(command, kRequestMs, 8) || !waitAnswer(0x8B, scaled(kAnswerMs), &answer))
        return ANTFS_HR_ERASE_FAILED;
    return answer[2] == 0 ? ANTFS_HR_ERASED : ANTFS_HR_ERASE_FAILED;
}

bool ANTFSHostEngine::runDisconnect()
{
    uint8_t command[8] = { ANTFS_ID, 0x03, m_disconnectType, m_disconnectTime, m_disconnectAppTime };
    bool sent = sendAcknowledged(command, kAckMs, 8);
    if (m_disconnectType == 1) {
        ANTCommand_SetChannelPeriod(m_framer, m_channel, m_searchPeriod, kCommandMs);
        ANTCommand_SetRfFrequency(m_framer, m_channel, m_searchRf, kCommandMs);
    } else {
        ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs);
        ANTCommand_UnassignChannel(m_framer, m_channel, kCommandMs);
        m_channelReady = false;
    }
    return sent;
}

void ANTFSHostEngine::sendPing()
{
    const uint8_t ping[8] = { ANTFS_ID, 0x05 };
    ANTCommand_SendAcknowledgedData(m_framer, m_channel, ping, kAckMs);
}

// ---- Receive side -----------------------------------------------------------

void ANTFSHostEngine::onMessage(const uint8_t* message, uint16_t length)
{
    if (!message || length >= ANT_NO_MESSAGE || length < 1)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!isEnabled() || (message[1] & 31) != m_channel)
        return;
    const uint8_t id = message[0];
    if (id == ANT_MSG_EVENT) {
        if (length >= 3 && message[2] == 1 && message[3] == ANT_EVENT_RX_SEARCH_TIMEOUT
            && m_state >= ANTFS_HOST_LINKED) {
            m_rxFailed = true;
            postLocked(REQ_LINK_LOST);
        }
        return;
    }
    if (id == ANT_MSG_BROADCAST_DATA && length >= 9) {
        if (message[2] == BEACON_ID)
            onBeacon(message + 2);
        return;
    }
    if ((id == ANT_MSG_ACKNOWLEDGED_DATA || id == ANT_MSG_BURST_DATA) && length >= 9) {
        const bool acknowledged = id == ANT_MSG_ACKNOWLEDGED_DATA;
        const bool first = acknowledged || ((message[1] >> 5) & 3) == 0;
        const bool last = acknowledged || (message[1] & 0x80) != 0;
        onPacket(message + 2, first, last);
        // A beacon leads every answer burst.
        if (first && message[2] == BEACON_ID)
            onBeacon(message + 2);
    }
}

void ANTFSHostEngine::onBeacon(const uint8_t* b)
{
    const uint8_t periodCode = b[1] & 7;
    if (periodCode == 5 || periodCode == 6)
        return; // not a beacon
    const uint8_t clientState = b[2] & 0x0F;
    if (clientState < 4) {
        // Bytes 4-7 show the client's device type and manufacturer in the
        // link layer and its host's serial number above it. A beacon that
        // shows neither this search's client nor this host is another
        // device's (or another host's client): it changes nothing here.
        const uint32_t shown = get32(b + 4);
        if (clientState == 1 && shown != m_hostSerial)
            m_otherHost = true;
        if (!m_idsRecorded && clientState == 0) {
            m_beaconDeviceType = get16(b + 4);
            m_beaconManufacturer = get16(b + 6);
            m_idsRecorded = true;
        }
        const uint32_t ids = uint32_t(m_beaconDeviceType) | uint32_t(m_beaconManufacturer) << 16;
        if (shown != m_hostSerial && !(m_idsRecorded && shown == ids))
            return;
        if (clientState == 1)
            m_beaconHostSerial = shown;
    }
    m_status1 = b[1];
    m_status2 = b[2];
    m_authType = b[3];
    m_clientState = clientState;
    m_beaconSeen = true;
    ++m_beacons;
    // A client that shows a lower layer than ours has dropped the link.
    const uint8_t state = m_state;
    const uint8_t layer = state >= ANTFS_HOST_TRANSPORT ? 2 : state >= ANTFS_HOST_LINKED ? 1 : 0;
    if (m_clientState != 3 && m_clientState < layer && state != ANTFS_HOST_AUTHENTICATING) {
        if (m_lowerCount > 0 && --m_lowerCount == 0) {
            m_lowerCount = 2;
            postLocked(REQ_LINK_LOST);
        }
    } else {
        m_lowerCount = 2;
    }
    m_messageCv.notify_all();
}

void ANTFSHostEngine::onPacket(const uint8_t* data, bool first, bool last)
{
    if (first) {
        m_rx.clear();
        m_rxActive = true;
        m_rxFailed = false;
        m_rxLimit = kShortArea;
    } else if (!m_rxActive) {
        return;
    }
    if (!m_rxFailed) {
        if (m_rx.size() + 8 > m_rxLimit) {
            m_rxFailed = true; // longer than its buffer: the burst fails
        } else {
            try {
                m_rx.insert(m_rx.end(), data, data + 8);
            } catch (const std::bad_alloc&) {
                ce::debugPrintf("ANT-FS host: Memory allocation failure!");
                m_rxFailed = true;
            }
            // A download answer names its file size in its second header
            // packet: the buffer grows to the file and its framing.
            const size_t skip = !m_rx.empty() && m_rx[0] == BEACON_ID ? 8 : 0;
            if (m_rx.size() == skip + 16 && m_rx[skip] == ANTFS_ID && m_rx[skip + 1] == 0x89) {
                const uint64_t size = uint64_t(get32(m_rx.data() + skip + 12)) + 40 + skip;
                if (size > kLargestDownload)
                    m_rxFailed = true;
                else
                    m_rxLimit = uint32_t(std::max<uint64_t>(kShortArea, size));
            } else if (m_rx.size() == skip + 8 && m_rx[skip] == ANTFS_ID && m_rx[skip + 1] == 0x86) {
                // A legacy answer's file size is 16 bits wide: never too large.
                m_rxLimit = uint32_t(std::max<size_t>(kShortArea, get16(m_rx.data() + skip + 6) + 40 + skip));
            }
        }
    }
    if (last) {
        if (!m_rxFailed) {
            if (m_bursts.size() >= kBurstsKept)
                m_bursts.pop_front();
            m_bursts.push_back(std::move(m_rx));
        }
        m_rx.clear();
        m_rxActive = false;
        m_messageCv.notify_all();
    }
}

} // namespace senvoy
