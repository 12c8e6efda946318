#include "ant/antfs/antfs_client_engine.h"
#include "ant/antfs/antfs_shared.h"
#include "ant/antfs/antfs_wire.h"

#include "ant/core/ant_command.h"
#include "ant/core/checksums.h"
#include "platform/debug.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace senvoy {

using namespace antfs_le;
using namespace antfs_wire;

namespace {

// Requests of the engine thread.
enum : uint8_t {
    REQ_RESET = ANTFSEngineBase::kRequestReset,
    REQ_OPEN_BEACON = 2,
    REQ_CLOSE_BEACON = 3,
    REQ_LINK = 4,
    REQ_DISCONNECT = 5,
    REQ_PING = 6,
    REQ_ANSWER_AUTH = 7,
    REQ_PAIRING = 8,
    REQ_TRANSPORT_LINK = 9,
    REQ_DOWNLOAD = 10,
    REQ_DOWNLOAD_ANSWER = 11,
    REQ_UPLOAD_ANSWER = 13,
    REQ_ERASE = 14,
    REQ_ERASE_ANSWER = 15,
    REQ_LINK_TIMEOUT = 16,
    REQ_FAILED = ANTFSEngineBase::kRequestFailed,
    REQ_FAILED_RESET = ANTFSEngineBase::kRequestFailedReset,
};

constexpr uint32_t kCommandMs = 1000;
constexpr uint32_t kCloseMs = 2100;
constexpr uint32_t kAnswerMs = 10000;
constexpr uint32_t kAuthAttempts = 8;
constexpr uint32_t kDownloadSteps = 5;
constexpr uint32_t kStepMs = 1000;

ANTFSTimeScale g_timeScale;

// The response to a refused download by its code.
uint32_t refusalResponse(uint8_t code)
{
    switch (code) {
    case DOWNLOAD_NO_FILE: return ANTFS_CR_DOWNLOAD_NO_FILE;
    case DOWNLOAD_NOT_READABLE: return ANTFS_CR_DOWNLOAD_NOT_READABLE;
    case DOWNLOAD_NOT_READY: return ANTFS_CR_DOWNLOAD_NOT_READY;
    default: return ANTFS_CR_DOWNLOAD_REFUSED;
    }
}

} // namespace

void ANTFSClientEngine::setTimeScaleForTests(uint32_t divisor)
{
    g_timeScale.set(divisor);
}

uint32_t ANTFSClientEngine::scaled(uint32_t ms)
{
    return g_timeScale(ms);
}

uint16_t ANTFSClientEngine::periodOf(uint8_t code, uint16_t custom)
{
    switch (code) {
    case 0: return 65535;
    case 1: return 32768;
    case 2: return 16384;
    case 3: return 8192;
    case 4: return 4096;
    case 7: return custom;
    default: return 65535;
    }
}

ANTFSClientEngine::ANTFSClientEngine()
    : ANTFSEngineBase("ANT-FS client", ANTFS_CR_CANCELLED)
{
    m_block.manufacturerId = kManufacturerId;
}

ANTFSClientEngine::~ANTFSClientEngine()
{
    close();
}

// ---- Operations -------------------------------------------------------------

void ANTFSClientEngine::close()
{
    stopThread();
    // The pairing timer takes the lock: stopped without it.
    m_timer.stop();
    m_timerCreated = false;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    closedLocked();
}

int ANTFSClientEngine::configure(const ANTFSClientBlock& block)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state >= ANTFS_CLIENT_LINK)
        return 0;
    if (block.authenticationType == 2 && block.pairingEnabled)
        return 0;
    // A link time-out of 0 would have the engine wait for nothing and drop
    // every host at once.
    if (block.linkTimeoutSeconds == 0)
        return 0;
    m_block = block;
    return 1;
}

int ANTFSClientEngine::openBeacon()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_CLIENT_IDLE)
        return 0;
    if (m_pending)
        return 2;
    m_periodCode = m_block.beaconPeriodCode;
    m_period = periodOf(m_periodCode, m_customPeriod);
    if (uint16_t(m_block.serialNumber) != 0)
        m_deviceNumber = uint16_t(m_block.serialNumber);
    m_rf = m_block.beaconRf;
    postLocked(REQ_OPEN_BEACON);
    return 1;
}

int ANTFSClientEngine::closeBeacon(int keepChannel)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state < ANTFS_CLIENT_OPENING)
        return 0;
    if (m_pending)
        return 2;
    m_closing = keepChannel != 0;
    postLocked(REQ_CLOSE_BEACON);
    return 1;
}

int ANTFSClientEngine::getHostFriendlyName(uint8_t* buffer, uint32_t* length) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_hostNameAvailable || !length)
        return 0;
    uint32_t n = std::min<uint32_t>(*length, uint32_t(m_hostName.size()));
    if (n && !buffer)
        return 0;
    if (n)
        std::memcpy(buffer, m_hostName.data(), n);
    *length = n;
    return 1;
}

int ANTFSClientEngine::getTransferProgress(uint32_t* done, uint32_t* total) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!done || !total)
        return 0;
    if (m_state < ANTFS_CLIENT_TRANSPORT || m_state != ANTFS_CLIENT_DOWNLOADING) {
        *total = 10;
        *done = 0;
        return 0;
    }
    *total = m_blockLength + m_offset;
    uint32_t sent = m_sent;
    uint32_t body = sent > 24 ? sent - 24 : 0;
    *done = m_offset + std::min(body, m_blockLength);
    return 1;
}

int ANTFSClientEngine::acceptPair(int accept)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_block.pairingEnabled || m_pairingTimedOut || m_state != ANTFS_CLIENT_PAIRING_WAIT)
        return 0;
    if (m_pending)
        return 2;
    m_countdown = 255;
    m_accept = accept != 0;
    m_busy = 4;
    m_state = ANTFS_CLIENT_AUTH_ANSWER;
    postLocked(REQ_ANSWER_AUTH);
    return 1;
}

int ANTFSClientEngine::sendDownloadResponse(uint8_t code, const ANTFSDownloadInfo& info, uint32_t fileSize,
    const uint8_t* data)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_CLIENT_DOWNLOAD_WAIT || info.fileIndex != m_request.fileIndex)
        return 0;
    if (code == 0 && fileSize != 0 && !data)
        return 0;
    if (m_pending)
        return 2;
    m_responseCode = code;
    m_servedIndex = info.fileIndex;
    if (code == 0) {
        m_fileData = data;
        m_fileSize = fileSize;
        m_blockLimit = info.blockLimit;
        m_offset = std::min(m_request.offset, fileSize);
        uint32_t rest = fileSize - m_offset;
        uint32_t block = m_request.maxBlockSize;
        if (block == 0 || block > rest)
            block = rest;
        if (m_blockLimit && block > m_blockLimit)
            block = m_blockLimit;
        m_blockLength = block;
    }
    postLocked(REQ_DOWNLOAD_ANSWER);
    return 1;
}

int ANTFSClientEngine::sendUploadResponse(uint8_t, const void*)
{
    // Uploads are refused as they arrive; nothing waits for an answer.
    return 0;
}

int ANTFSClientEngine::sendEraseResponse(uint8_t code)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_state != ANTFS_CLIENT_ERASE_WAIT)
        return 0;
    if (m_pending)
        return 2;
    m_responseCode = code;
    postLocked(REQ_ERASE_ANSWER);
    return 1;
}

void ANTFSClientEngine::setFriendlyName(const uint8_t* name, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_friendlyName.assign(reinterpret_cast<const char*>(name), name ? std::min<uint32_t>(length, 255) : 0);
}

void ANTFSClientEngine::setPasskey(const uint8_t* passkey, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_passkey.assign(reinterpret_cast<const char*>(passkey), passkey ? std::min<uint32_t>(length, 255) : 0);
}

void ANTFSClientEngine::attach(ANTFramer* framer, uint8_t channel)
{
    takeChannel(framer, channel);
    if (!m_timerCreated) {
        if (m_timer.create(&ANTFSClientEngine::timerTick, this, scaled(1000), true) != OS_OK) {
            ce::debugPrintf("ANT-FS client: the pairing timer did not start");
            return;
        }
        m_timerCreated = true;
    }
    startIdle();
}

// ---- Engine thread ----------------------------------------------------------

void ANTFSClientEngine::resetLocked()
{
    m_cancel = 0;
    m_packet = 0;
    m_discard = false;
    m_messageWaiting = false;
    m_busy = 0;
    m_countdown = 255;
    m_pairingTimedOut = false;
    m_hostName.clear();
    m_hostNameLength = 0;
    m_hostNameAvailable = false;
    m_request = ANTFSRequestInfo {};
    m_responseCode = 255;
    m_servedIndex = 0;
    m_fileSize = 0;
    m_offset = 0;
    m_blockLength = 0;
    m_fileData = nullptr;
    m_haveBlockStart = false;
    m_disconnectType = m_disconnectTime = m_disconnectAppTime = 0;
    m_hostSerial = 0;
    if (m_state != ANTFS_CLIENT_CLOSED)
        m_state = ANTFS_CLIENT_IDLE;
    m_pending = 0;
}

uint32_t ANTFSClientEngine::idleWaitMs() const
{
    return scaled(uint32_t(m_block.linkTimeoutSeconds) * 1000u);
}

void ANTFSClientEngine::onIdle(std::unique_lock<std::recursive_mutex>& lock)
{
    const uint8_t state = m_state;
    if (m_block.linkTimeoutSeconds != 255 && state >= ANTFS_CLIENT_AUTH && m_busy == 0) {
        m_pending = REQ_LINK_TIMEOUT;
    } else if (state == ANTFS_CLIENT_LINK) {
        lock.unlock();
        bool ok = enterLink();
        lock.lock();
        if (!ok)
            m_pending = REQ_FAILED;
    } else if (m_block.linkTimeoutSeconds == 255) {
        // Without a link time-out an unanswered application is answered
        // for it.
        if (state == ANTFS_CLIENT_ERASE_WAIT) {
            m_responseCode = 1;
            m_pending = REQ_ERASE_ANSWER;
        } else if (state == ANTFS_CLIENT_DOWNLOAD_WAIT) {
            m_responseCode = 3;
            m_pending = REQ_DOWNLOAD_ANSWER;
        } else if (state == ANTFS_CLIENT_UPLOAD_WAIT) {
            m_responseCode = 5;
            m_pending = REQ_UPLOAD_ANSWER;
        }
    }
}

ANTFSResponse ANTFSClientEngine::serve(uint8_t request, uint8_t* next)
{
    switch (request) {
    case REQ_OPEN_BEACON:
        m_state = ANTFS_CLIENT_OPENING;
        if (channelSetup() && enterLink())
            return ANTFS_CR_BEACON_OPEN;
        *next = REQ_FAILED;
        return {};
    case REQ_CLOSE_BEACON: {
        if (!m_closing && !closeChannel()) {
            *next = REQ_FAILED;
            return {};
        }
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        resetLocked();
        m_state = ANTFS_CLIENT_IDLE;
        return ANTFS_CR_BEACON_CLOSED;
    }
    case REQ_LINK: {
        bool fromLink;
        uint8_t rf, power;
        uint16_t period;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            fromLink = m_state == ANTFS_CLIENT_LINK;
            if (fromLink) {
                m_rf = m_linkRf;
                m_periodCode = m_linkPeriodCode;
                m_period = periodOf(m_periodCode, m_customPeriod);
            }
            rf = m_rf;
            period = m_period;
            power = m_linkPower;
        }
        if (fromLink
            && (!ANTCommand_SetRfFrequency(m_framer, m_channel, rf, kCommandMs)
                || !ANTCommand_SetChannelPeriod(m_framer, m_channel, period, kCommandMs)
                || (m_powerSet && !ANTCommand_SetChannelTxPower(m_framer, m_channel, power, kCommandMs)))) {
            *next = REQ_FAILED;
            return {};
        }
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_state = ANTFS_CLIENT_AUTH;
            m_countdown = 255;
        }
        broadcastBeacon();
        return ANTFS_CR_LINKED;
    }
    case REQ_DISCONNECT: {
        if (!enterLink()) {
            *next = REQ_FAILED;
            return {};
        }
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (m_disconnectType == 1)
            resetLocked();
        return ANTFS_CR_DISCONNECTED;
    }
    case REQ_PING:
        return {}; // the link time-out starts again
    case REQ_ANSWER_AUTH:
        return answerAuthentication();
    case REQ_PAIRING: {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_countdown = m_block.pairingTimeoutSeconds;
        m_state = ANTFS_CLIENT_PAIRING_WAIT;
        return ANTFS_CR_PAIRING_REQUEST;
    }
    case REQ_TRANSPORT_LINK: {
        uint8_t rf;
        uint16_t period;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_rf = m_linkRf;
            m_periodCode = m_linkPeriodCode;
            m_period = periodOf(m_periodCode, m_customPeriod);
            rf = m_rf;
            period = m_period;
        }
        if (!ANTCommand_SetRfFrequency(m_framer, m_channel, rf, kCommandMs)
            || !ANTCommand_SetChannelPeriod(m_framer, m_channel, period, kCommandMs)) {
            *next = REQ_FAILED;
            return {};
        }
        broadcastBeacon();
        return {};
    }
    case REQ_DOWNLOAD: {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_DOWNLOAD_WAIT;
        m_servedIndex = m_request.fileIndex;
        m_messageWaiting = false;
        // What the host asked goes with the response: the application
        // answers this request, whatever the host asks next.
        ANTFSResponse r(ANTFS_CR_DOWNLOAD_REQUEST);
        r.request = m_request;
        return r;
    }
    case REQ_DOWNLOAD_ANSWER: {
        m_state = ANTFS_CLIENT_DOWNLOADING;
        m_sent = 0;
        ANTFSResponse r(serveDownload());
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_TRANSPORT;
        m_busy = 0;
        m_responseCode = 255;
        m_fileData = nullptr;
        return r;
    }
    case REQ_UPLOAD_ANSWER: {
        uint8_t code;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_state = ANTFS_CLIENT_UPLOAD_ANSWER;
            code = m_responseCode == 255 ? 4 : m_responseCode;
        }
        uint8_t body[24] = { ANTFS_ID, RSP_UPLOAD, code };
        uint8_t r = sendWithBeacon(body, sizeof body, kCommandMs);
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_TRANSPORT;
        m_busy = 0;
        m_responseCode = 255;
        if (r != ANT_RESULT_OK)
            return ANTFS_CR_UPLOAD_FAILED;
        return code >= 1 && code <= 3 ? ANTFS_CR_UPLOAD_REFUSED + code : ANTFS_CR_UPLOAD_REFUSED;
    }
    case REQ_ERASE: {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_ERASE_WAIT;
        ANTFSResponse r(ANTFS_CR_ERASE_REQUEST);
        r.request = m_request;
        return r;
    }
    case REQ_ERASE_ANSWER: {
        uint8_t code;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            code = m_responseCode;
        }
        uint8_t body[8] = { ANTFS_ID, RSP_ERASE, code };
        uint8_t r = sendWithBeacon(body, sizeof body, kAnswerMs);
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_TRANSPORT;
        m_busy = 0;
        m_responseCode = 255;
        if (r != ANT_RESULT_OK)
            return ANTFS_CR_ERASE_FAILED;
        return code == 0 ? ANTFS_CR_ERASED : ANTFS_CR_ERASE_REFUSED;
    }
    case REQ_LINK_TIMEOUT:
        if (m_state < ANTFS_CLIENT_AUTH)
            return {};
        if (!enterLink()) {
            *next = REQ_FAILED;
            return {};
        }
        return ANTFS_CR_LINK_TIMEOUT;
    case REQ_FAILED:
        failChannel();
        *next = REQ_FAILED_RESET;
        return ANTFS_CR_FAILED;
    default:
        return {};
    }
}

// ---- Radio work -------------------------------------------------------------

bool ANTFSClientEngine::channelSetup()
{
    uint8_t status = 0;
    if (!ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, kCommandMs))
        return false;
    if ((status & 3) == ANT_STATE_TRACKING)
        return true;
    if ((status & 3) == ANT_STATE_ASSIGNED && !ANTCommand_UnassignChannel(m_framer, m_channel, kCommandMs))
        return false;
    uint8_t key[8];
    uint8_t network, deviceType, transmission, rf, power;
    uint16_t period, deviceNumber;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        std::memcpy(key, m_networkKey, 8);
        network = m_network;
        period = m_period;
        rf = m_rf;
        power = m_beaconPower;
        deviceNumber = m_deviceNumber;
        deviceType = m_channelDeviceType;
        transmission = m_transmissionType;
    }
    if (!ANTCommand_SetNetworkKey(m_framer, network, key, kCommandMs)
        || !ANTCommand_AssignChannel(m_framer, m_channel, 0x10, network, kCommandMs)
        || !ANTCommand_SetChannelPeriod(m_framer, m_channel, period, kCommandMs)
        || !ANTCommand_SetRfFrequency(m_framer, m_channel, rf, kCommandMs))
        return false;
    if (m_powerSet && !ANTCommand_SetChannelTxPower(m_framer, m_channel, power, kCommandMs)
        && !ANTCommand_SetTransmitPower(m_framer, power, kCommandMs))
        return false;
    return ANTCommand_SetChannelId(m_framer, m_channel, deviceNumber, deviceType, transmission, kCommandMs)
        && ANTCommand_OpenChannel(m_framer, m_channel, kCommandMs);
}

bool ANTFSClientEngine::enterLink()
{
    uint8_t rf, power;
    uint16_t period;
    bool closing;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (m_state < ANTFS_CLIENT_IDLE)
            return false;
        closing = m_closing;
        m_rf = m_block.beaconRf;
        m_periodCode = m_block.beaconPeriodCode;
        m_period = periodOf(m_periodCode, m_customPeriod);
        rf = m_rf;
        period = m_period;
        power = m_beaconPower;
    }
    if (m_state >= ANTFS_CLIENT_OPENING) {
        if (!ANTCommand_SetRfFrequency(m_framer, m_channel, rf, kCommandMs)
            || !ANTCommand_SetChannelPeriod(m_framer, m_channel, period, kCommandMs)
            || (m_powerSet && !ANTCommand_SetChannelTxPower(m_framer, m_channel, power, kCommandMs)))
            return false;
        if (closing)
            return true;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_state = ANTFS_CLIENT_LINK;
        m_busy = 0;
        m_packet = 0;
        m_discard = false;
        m_messageWaiting = false;
    }
    broadcastBeacon();
    return true;
}

bool ANTFSClientEngine::closeChannel()
{
    return ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs) != 0;
}

void ANTFSClientEngine::failChannel()
{
    ce::debugPrintf("ANT-FS client: a radio command failed; the channel is closed");
    ANTCommand_CloseChannel(m_framer, m_channel, kCloseMs);
    ANTCommand_UnassignChannel(m_framer, m_channel, kCommandMs);
    uint8_t status = 0;
    ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, kCommandMs);
}

uint8_t ANTFSClientEngine::status1Locked() const
{
    return uint8_t((m_periodCode & 7) | (m_block.pairingEnabled ? 0x08 : 0) | (m_block.uploadEnabled ? 0x10 : 0)
        | (m_block.dataAvailable ? 0x20 : 0));
}

void ANTFSClientEngine::buildBeaconLocked(uint8_t out[8]) const
{
    const uint8_t state = m_state;
    out[0] = BEACON_ID;
    out[1] = status1Locked();
    if (m_busy)
        out[2] = 3;
    else if (state < ANTFS_CLIENT_AUTH)
        out[2] = 0;
    else if (state < ANTFS_CLIENT_TRANSPORT)
        out[2] = 1;
    else
        out[2] = 2;
    out[3] = m_block.authenticationType;
    if (state < ANTFS_CLIENT_AUTH) {
        put16(out + 4, m_block.deviceType);
        put16(out + 6, m_block.manufacturerId);
    } else {
        put32(out + 4, m_hostSerial);
    }
}

void ANTFSClientEngine::broadcastBeacon()
{
    uint8_t beacon[8];
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        buildBeaconLocked(beacon);
    }
    ANTCommand_SendBroadcastData(m_framer, m_channel, beacon);
}

uint8_t ANTFSClientEngine::sendWithBeacon(const uint8_t* body, uint32_t length, uint32_t timeoutMs)
{
    uint8_t beacon[8];
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        buildBeaconLocked(beacon);
    }
    return ANTCommand_SendTransfer(m_framer, m_channel, { 8, beacon }, {}, { length, body }, timeoutMs, nullptr);
}

uint32_t ANTFSClientEngine::answerAuthentication()
{
    uint8_t type;
    bool timedOut;
    std::string text;
    uint32_t serial;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        timedOut = m_pairingTimedOut;
        if (timedOut) {
            m_pairingTimedOut = false;
            m_accept = false;
        }
        m_state = ANTFS_CLIENT_AUTH_ANSWER;
        if (m_accept && m_authCommand == AUTH_SERIAL) {
            type = AUTH_ANSWER_SERIAL;
            text = m_friendlyName;
        } else if (m_accept) {
            type = AUTH_ANSWER_ACCEPT;
            if (m_authCommand == AUTH_PAIRING)
                text = m_passkey;
        } else {
            type = AUTH_ANSWER_REJECT;
        }
        serial = m_block.serialNumber;
    }
    std::vector<uint8_t> body(8 + text.size(), 0);
    body[0] = ANTFS_ID;
    body[1] = RSP_AUTHENTICATE;
    body[2] = type;
    body[3] = uint8_t(text.size());
    put32(body.data() + 4, serial);
    std::memcpy(body.data() + 8, text.data(), text.size());
    uint8_t r = ANT_RESULT_FAILED;
    for (uint32_t attempt = 0; attempt < kAuthAttempts && r != ANT_RESULT_OK; ++attempt) {
        if (m_stop || m_cancel)
            break;
        r = sendWithBeacon(body.data(), uint32_t(body.size()), kAnswerMs);
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_busy = 0;
        if (r != ANT_RESULT_OK) {
            m_state = ANTFS_CLIENT_AUTH;
            return 0;
        }
        if (type == AUTH_ANSWER_SERIAL) {
            m_state = ANTFS_CLIENT_AUTH;
            return ANTFS_CR_SERIAL_SENT;
        }
        if (type == AUTH_ANSWER_ACCEPT) {
            m_state = ANTFS_CLIENT_TRANSPORT;
            return ANTFS_CR_AUTH_ACCEPTED;
        }
    }
    enterLink();
    return timedOut ? ANTFS_CR_PAIRING_TIMEOUT : ANTFS_CR_AUTH_REJECTED;
}

uint32_t ANTFSClientEngine::serveDownload()
{
    uint8_t code;
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        code = m_responseCode == 255 ? 0 : m_responseCode;
        m_messageWaiting = false;
    }
    for (;;) {
        uint8_t header[24];
        uint8_t footer[8] = {};
        const uint8_t* block = nullptr;
        uint32_t blockLength = 0;
        bool waiting;
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            if (code == 0) {
                const ANTFSRequestInfo& r = m_request;
                if (!r.initialRequest && r.crcSeed != 0) {
                    // The host resumes: its seed must be the CRC of what it
                    // holds, which the block served last may shorten when it
                    // came from this very file.
                    const bool sameFile = m_haveBlockStart && m_blockFileIndex == m_servedIndex
                        && m_blockFileData == m_fileData && m_blockFileSize == m_fileSize;
                    uint16_t crc = sameFile && m_offset >= m_blockStart
                        ? Crc16_Update(m_blockStartCrc, m_fileData + m_blockStart, m_offset - m_blockStart)
                        : Crc16_Calc(m_fileData, m_offset);
                    if (crc != r.crcSeed)
                        code = DOWNLOAD_CRC_MISMATCH;
                }
                m_crc = r.crcSeed;
            }
            waiting = m_messageWaiting;
            buildBeaconLocked(header);
            std::memset(header + 8, 0, 16);
            header[8] = ANTFS_ID;
            header[9] = RSP_DOWNLOAD;
            header[10] = code;
            put32(header + 12, code == 0 ? m_blockLength : 0);
            put32(header + 16, m_offset);
            put32(header + 20, code == 0 ? m_fileSize : 0);
            if (code == 0) {
                block = m_fileData + m_offset;
                blockLength = m_blockLength;
                put16(footer + 6, Crc16_Update(m_crc, block, blockLength));
            }
        }
        if (!waiting) {
            uint8_t r;
            if (code != 0) {
                r = ANTCommand_SendBurst(m_framer, m_channel, header, sizeof header, kAnswerMs);
                if (r == ANT_RESULT_OK)
                    return refusalResponse(code);
            } else {
                uint32_t timeout = blockLength > 715827u ? 0xFFFFFFFEu : 2 * (blockLength + 1500);
                uint32_t sent = 0;
                r = ANTCommand_SendTransfer(m_framer, m_channel, { sizeof header, header }, { 8, footer },
                    { blockLength, block }, timeout, &sent);
                m_sent = sent;
                if (r == ANT_RESULT_OK) {
                    std::lock_guard<std::recursive_mutex> lock(m_mutex);
                    m_blockStart = m_offset;
                    m_blockStartCrc = m_crc;
                    m_haveBlockStart = true;
                    m_blockFileIndex = m_servedIndex;
                    m_blockFileData = m_fileData;
                    m_blockFileSize = m_fileSize;
                    return ANTFS_CR_DOWNLOAD_SENT;
                }
            }
            if (r == ANT_RESULT_CANCELLED || m_stop)
                return 0;
        }
        // The host did not take it, or asks again: wait for its next word.
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            m_busy = 0;
        }
        broadcastBeacon();
        std::unique_lock<std::recursive_mutex> lock(m_mutex);
        uint32_t steps = 0;
        while (!m_messageWaiting && !m_stop && !m_cancel && steps < kDownloadSteps) {
            m_messageCv.wait_for(lock, std::chrono::milliseconds(scaled(kStepMs)),
                [&] { return m_messageWaiting || m_stop || m_cancel; });
            ++steps;
        }
        if (m_stop || m_cancel)
            return 0;
        if (!m_messageWaiting)
            return ANTFS_CR_DOWNLOAD_FAILED;
        m_messageWaiting = false;
        if (m_lastCommand != CMD_DOWNLOAD)
            return ANTFS_CR_DOWNLOAD_FAILED;
        m_busy = 9;
        if (m_request.fileIndex != m_servedIndex) {
            code = DOWNLOAD_INVALID;
        } else if (code == DOWNLOAD_OK) {
            if (m_request.offset > m_fileSize) {
                code = DOWNLOAD_INVALID;
            } else {
                m_offset = m_request.offset;
                uint32_t rest = m_fileSize - m_offset;
                uint32_t len = m_request.maxBlockSize;
                if (len == 0 || len > rest)
                    len = rest;
                if (m_blockLimit && len > m_blockLimit)
                    len = m_blockLimit;
                m_blockLength = len;
            }
        }
    }
}

// ---- Receive side -----------------------------------------------------------

void ANTFSClientEngine::timerTick(void* self)
{
    auto* e = static_cast<ANTFSClientEngine*>(self);
    std::lock_guard<std::recursive_mutex> lock(e->m_mutex);
    if (e->m_state != ANTFS_CLIENT_PAIRING_WAIT)
        return;
    if (e->m_countdown != 0 && e->m_countdown != 255 && --e->m_countdown == 0)
        e->m_pairingTimedOut = true;
    if (e->m_pairingTimedOut && !e->m_pending)
        e->postLocked(REQ_ANSWER_AUTH);
}

void ANTFSClientEngine::onMessage(const uint8_t* message, uint16_t length)
{
    if (!message || length >= ANT_NO_MESSAGE || length < 1)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!isEnabled() || (message[1] & 31) != m_channel)
        return;
    const uint8_t id = message[0];
    if (id == ANT_MSG_EVENT) {
        if (length >= 3 && message[2] == 1)
            onEvent(message[3]);
        else if (length >= 3 && message[2] == ANT_MSG_BURST_DATA && message[3] != 0)
            m_transferFailed = true;
        return;
    }
    if ((id == ANT_MSG_ACKNOWLEDGED_DATA || id == ANT_MSG_BURST_DATA) && length >= 9) {
        const bool acknowledged = id == ANT_MSG_ACKNOWLEDGED_DATA;
        const bool first = acknowledged || ((message[1] >> 5) & 3) == 0;
        const bool last = acknowledged || (message[1] & 0x80) != 0;
        onPacket(message + 2, first, last);
    }
}

void ANTFSClientEngine::onEvent(uint8_t code)
{
    switch (code) {
    case 3: { // broadcast sent: every period carries the current state
        uint8_t beacon[8];
        buildBeaconLocked(beacon);
        ANTCommand_SendBroadcastData(m_framer, m_channel, beacon);
        break;
    }
    case 4: // receive transfer failed
        m_discard = m_pending != 0;
        m_packet = 0;
        m_busy = 0;
        break;
    case ANT_EVENT_TRANSFER_TX_FAILED:
        m_transferFailed = true;
        break;
    default:
        break;
    }
}

void ANTFSClientEngine::onPacket(const uint8_t* data, bool first, bool last)
{
    if (first) {
        m_packet = 0;
        m_discard = data[0] != ANTFS_ID
            || (last && (data[1] == CMD_DOWNLOAD || data[1] == CMD_UPLOAD || data[1] == CMD_UPLOAD_DATA));
        if (!m_discard)
            m_lastCommand = data[1];
    } else if (m_packet == 0) {
        m_discard = true; // the rest of a burst whose start was lost
    }
    if (!m_discard) {
        const uint8_t state = m_state;
        if (state == ANTFS_CLIENT_LINK)
            linkLayer(data, first, last);
        else if (state >= ANTFS_CLIENT_AUTH && state <= ANTFS_CLIENT_PAIRING_WAIT)
            authLayer(data, first, last);
        else if (state >= ANTFS_CLIENT_TRANSPORT && state != ANTFS_CLIENT_UPLOAD_ANSWER)
            transportLayer(data, first, last);
    }
    ++m_packet;
    if (last) {
        if (!m_discard) {
            m_messageWaiting = true;
            m_messageCv.notify_all();
        }
        m_packet = 0;
    }
}

void ANTFSClientEngine::linkLayer(const uint8_t* data, bool first, bool)
{
    if (!first)
        return;
    if (data[1] == CMD_LINK) {
        m_linkRf = data[2];
        m_linkPeriodCode = data[3];
        m_hostSerial = get32(data + 4);
        postLocked(REQ_LINK);
    } else if (data[1] == CMD_DISCONNECT) {
        m_disconnectType = data[2];
        m_disconnectTime = data[3];
        m_disconnectAppTime = data[4];
        postLocked(REQ_DISCONNECT);
    }
}

void ANTFSClientEngine::authLayer(const uint8_t* data, bool first, bool last)
{
    if (first) {
        switch (data[1]) {
        case CMD_AUTHENTICATE:
            m_busy = 4;
            m_authCommand = data[2];
            m_hostNameLength = data[3];
            m_accept = get32(data + 4) == m_hostSerial;
            m_hostName.clear();
            m_hostNameAvailable = false;
            m_passkeyPosition = 0;
            m_passkeyMatches = true;
            if (last)
                finishAuthenticateLocked();
            return;
        case CMD_DISCONNECT:
            m_disconnectType = data[2];
            m_disconnectTime = data[3];
            m_disconnectAppTime = data[4];
            postLocked(REQ_DISCONNECT);
            return;
        case CMD_PING:
            m_busy = 0;
            postLocked(REQ_PING);
            return;
        default:
            m_busy = 0;
            return;
        }
    }
    if (m_lastCommand != CMD_AUTHENTICATE || m_busy != 4)
        return;
    for (int i = 0; i < 8; ++i) {
        if (m_authCommand == AUTH_PAIRING && m_hostName.size() < std::min<uint32_t>(m_hostNameLength, 255))
            m_hostName.push_back(char(data[i]));
        if (m_authCommand == AUTH_PASSKEY && m_passkeyPosition < m_hostNameLength) {
            if (m_passkeyPosition >= m_passkey.size() || uint8_t(m_passkey[m_passkeyPosition]) != data[i])
                m_passkeyMatches = false;
            ++m_passkeyPosition;
        }
    }
    if (last)
        finishAuthenticateLocked();
}

void ANTFSClientEngine::finishAuthenticateLocked()
{
    const uint8_t authType = m_block.authenticationType;
    switch (m_authCommand) {
    case AUTH_PASS_THROUGH:
        if (authType != 0)
            m_accept = false;
        postLocked(REQ_ANSWER_AUTH);
        break;
    case AUTH_SERIAL:
        postLocked(REQ_ANSWER_AUTH);
        break;
    case AUTH_PAIRING:
        if (!m_block.pairingEnabled || authType > 3 || !m_accept) {
            m_accept = false;
            postLocked(REQ_ANSWER_AUTH);
        } else {
            m_hostNameAvailable = m_hostNameLength != 0;
            postLocked(REQ_PAIRING);
        }
        break;
    case AUTH_PASSKEY: {
        const uint32_t stored = uint32_t(m_passkey.size());
        bool ok = m_accept && m_hostNameLength == stored && m_passkeyPosition >= stored && m_passkeyMatches;
        if (stored == 0 && authType != 0 && authType != 3)
            ok = false;
        m_accept = ok;
        postLocked(REQ_ANSWER_AUTH);
        break;
    }
    default:
        m_accept = false;
        postLocked(REQ_ANSWER_AUTH);
        break;
    }
}

void ANTFSClientEngine::transportLayer(const uint8_t* data, bool first, bool last)
{
    const uint8_t state = m_state;
    if (first) {
        switch (data[1]) {
        case CMD_LINK:
            if (get32(data + 4) == m_hostSerial) {
                m_linkRf = data[2];
                m_linkPeriodCode = data[3];
                postLocked(REQ_TRANSPORT_LINK);
            }
            break;
        case CMD_DISCONNECT:
            m_disconnectType = data[2];
            m_disconnectTime = data[3];
            m_disconnectAppTime = data[4];
            postLocked(REQ_DISCONNECT);
            break;
        case CMD_PING:
            postLocked(REQ_PING);
            break;
        case CMD_DOWNLOAD:
            m_request.fileIndex = get16(data + 2);
            m_request.offset = get32(data + 4);
            break;
        case CMD_UPLOAD:
            m_request.fileIndex = get16(data + 2);
            m_request.maxUploadSize = get32(data + 4);
            break;
        case CMD_ERASE:
            if (state == ANTFS_CLIENT_TRANSPORT) {
                m_responseCode = 1;
                m_request.fileIndex = get16(data + 2);
                m_busy = 11;
                postLocked(REQ_ERASE);
            }
            break;
        default:
            break;
        }
        return;
    }
    if (m_packet != 1)
        return;
    if (m_lastCommand == CMD_DOWNLOAD) {
        m_request.initialRequest = data[1] & 1;
        m_request.crcSeed = get16(data + 2);
        m_request.maxBlockSize = get32(data + 4);
        if (last && state == ANTFS_CLIENT_TRANSPORT) {
            m_busy = 9;
            postLocked(REQ_DOWNLOAD);
        }
    } else if (m_lastCommand == CMD_UPLOAD) {
        m_request.offset = get32(data + 4);
        if (last && state == ANTFS_CLIENT_TRANSPORT) {
            m_busy = 10;
            m_responseCode = 4;
            postLocked(REQ_UPLOAD_ANSWER);
        }
    }
}

} // namespace senvoy
