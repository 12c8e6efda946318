// The ANT-FS client: a master channel that broadcasts the ANT-FS beacon and
// follows a host through the link, authentication and transport layers. It
// answers authentication, serves downloads of files the application hands
// it, answers erase requests through the application and refuses uploads.
// What happens is reported as numbered responses in a queue (waitResponse).
#pragma once

#include "ant/antfs/antfs_engine_base.h"
#include "ant/core/os_services.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace senvoy {

class ANTFramer;

// The settings configure() takes: the first 28 bytes of the exported
// client configuration, little-endian.
struct ANTFSClientBlock {
    uint32_t serialNumber = 0;
    uint16_t deviceType = 0;
    uint16_t manufacturerId = 0;
    uint8_t beaconRf = 50; // MHz above 2400
    uint8_t beaconPeriodCode = 3; // 0-4, 7
    uint8_t reserved[2] = {};
    uint32_t pairingEnabled = 1;
    uint32_t uploadEnabled = 0;
    uint32_t dataAvailable = 1;
    uint8_t authenticationType = 0;
    uint8_t linkTimeoutSeconds = 60; // 255: none
    uint8_t pairingTimeoutSeconds = 5;
    uint8_t reserved2 = 0;
};
static_assert(sizeof(ANTFSClientBlock) == 28, "the client block is 28 bytes");

// The file an application names in its download answer.
struct ANTFSDownloadInfo {
    uint16_t fileIndex = 0;
    uint32_t blockLimit = 0; // 0: none
};

// Engine states.
enum : uint8_t {
    ANTFS_CLIENT_CLOSED = ANTFSEngineBase::kStateClosed,
    ANTFS_CLIENT_IDLE = ANTFSEngineBase::kStateIdle,
    ANTFS_CLIENT_OPENING = 2,
    ANTFS_CLIENT_LINK = 4,
    ANTFS_CLIENT_AUTH = 5,
    ANTFS_CLIENT_AUTH_ANSWER = 6,
    ANTFS_CLIENT_PAIRING_WAIT = 7,
    ANTFS_CLIENT_TRANSPORT = 8,
    ANTFS_CLIENT_DOWNLOADING = 9,
    ANTFS_CLIENT_DOWNLOAD_WAIT = 10,
    ANTFS_CLIENT_UPLOAD_ANSWER = 11,
    ANTFS_CLIENT_UPLOAD_WAIT = 12,
    ANTFS_CLIENT_ERASE_WAIT = 13,
};

// Responses (waitResponse).
enum : uint32_t {
    ANTFS_CR_RESET = ANTFSEngineBase::kResponseReset,
    ANTFS_CR_FAILED = 2, // a radio command failed; idle, no beacon
    ANTFS_CR_BEACON_OPEN = 3,
    ANTFS_CR_BEACON_CLOSED = 4,
    ANTFS_CR_LINKED = 5,
    ANTFS_CR_DISCONNECTED = 6,
    ANTFS_CR_LINK_TIMEOUT = 7,
    ANTFS_CR_SERIAL_SENT = 8,
    ANTFS_CR_AUTH_ACCEPTED = 9,
    ANTFS_CR_AUTH_REJECTED = 10,
    ANTFS_CR_PAIRING_REQUEST = 11,
    ANTFS_CR_PAIRING_TIMEOUT = 12,
    ANTFS_CR_DOWNLOAD_REQUEST = 13,
    ANTFS_CR_DOWNLOAD_SENT = 14,
    ANTFS_CR_DOWNLOAD_REFUSED = 15, // code 4 or 5, or another not listed below
    ANTFS_CR_DOWNLOAD_NO_FILE = 16,
    ANTFS_CR_DOWNLOAD_NOT_READABLE = 17,
    ANTFS_CR_DOWNLOAD_NOT_READY = 18,
    ANTFS_CR_DOWNLOAD_FAILED = 19,
    ANTFS_CR_UPLOAD_REFUSED = 22,
    ANTFS_CR_UPLOAD_FAILED = 26,
    ANTFS_CR_ERASE_REQUEST = 27,
    ANTFS_CR_ERASED = 28,
    ANTFS_CR_ERASE_REFUSED = 29,
    ANTFS_CR_ERASE_FAILED = 30,
    ANTFS_CR_CANCELLED = 31,
};

class ANTFSClientEngine : public ANTFSEngineBase {
public:
    static constexpr uint8_t kManufacturerId = 59;

    ANTFSClientEngine();
    ~ANTFSClientEngine() override;
    ANTFSClientEngine(const ANTFSClientEngine&) = delete;
    ANTFSClientEngine& operator=(const ANTFSClientEngine&) = delete;

    // Operations: 1 done, 0 refused in this state, 2 another request is
    // still pending.
    void close() override;
    int configure(const ANTFSClientBlock& block);
    int openBeacon();
    int closeBeacon(int keepChannel);
    int getHostFriendlyName(uint8_t* buffer, uint32_t* length) const;
    int getTransferProgress(uint32_t* done, uint32_t* total) const;
    int acceptPair(int accept);
    int sendDownloadResponse(uint8_t code, const ANTFSDownloadInfo& info, uint32_t fileSize, const uint8_t* data);
    int sendUploadResponse(uint8_t code, const void* info);
    int sendEraseResponse(uint8_t code);

    // What the engine answers a serial request and an accepted pairing
    // with (up to 255 bytes each; empty unless set).
    void setFriendlyName(const uint8_t* name, uint32_t length);
    void setPasskey(const uint8_t* passkey, uint32_t length);

    // ANTChannelHandler.
    void attach(ANTFramer* framer, uint8_t channel) override;
    void onMessage(const uint8_t* message, uint16_t length) override;
    int isEnabled() const override { return m_state >= ANTFS_CLIENT_OPENING; }

    bool constructionFailed() const { return false; }

    // Tests only: every time-out of the engine divided by this (1 restores).
    static void setTimeScaleForTests(uint32_t divisor);

private:
    static void timerTick(void* self);
    // ANTFSEngineBase.
    void resetLocked() override;
    ANTFSResponse serve(uint8_t request, uint8_t* next) override;
    // The link time-out: without a word from the host for so long, the
    // link ends (or, without one, the application is answered for).
    uint32_t idleWaitMs() const override;
    void onIdle(std::unique_lock<std::recursive_mutex>& lock) override;

    // Radio work (engine thread).
    bool channelSetup();
    bool enterLink();
    bool closeChannel();
    void failChannel();
    void broadcastBeacon();
    void buildBeaconLocked(uint8_t out[8]) const;
    uint8_t status1Locked() const;
    uint32_t answerAuthentication();
    uint32_t serveDownload();
    uint8_t sendWithBeacon(const uint8_t* body, uint32_t length, uint32_t timeoutMs);

    // Receive side.
    void onEvent(uint8_t code);
    void onPacket(const uint8_t* data, bool first, bool last);
    void linkLayer(const uint8_t* data, bool first, bool last);
    void authLayer(const uint8_t* data, bool first, bool last);
    void transportLayer(const uint8_t* data, bool first, bool last);
    void finishAuthenticateLocked();

    static uint16_t periodOf(uint8_t code, uint16_t custom);
    static uint32_t scaled(uint32_t ms);

    PeriodicTimer m_timer;
    bool m_timerCreated = false;

    // Channel settings.
    uint8_t m_network = 0;
    uint8_t m_networkKey[8] = { 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A };
    uint16_t m_deviceNumber = 100;
    uint8_t m_channelDeviceType = 1;
    uint8_t m_transmissionType = 5;
    uint16_t m_period = 4096;
    uint16_t m_customPeriod = 4096;
    bool m_powerSet = false;
    uint8_t m_beaconPower = 3;
    uint8_t m_linkPower = 3;

    ANTFSClientBlock m_block;
    std::string m_friendlyName;
    std::string m_passkey;

    // Beacon.
    uint8_t m_rf = 50;
    uint8_t m_periodCode = 3;
    uint32_t m_hostSerial = 0;

    // Burst intake.
    uint32_t m_packet = 0; // packets of the running burst so far
    bool m_discard = false;
    bool m_messageWaiting = false;
    uint8_t m_lastCommand = 0; // of the last complete message
    std::atomic<bool> m_transferFailed { false };

    // Link command.
    uint8_t m_linkRf = 0;
    uint8_t m_linkPeriodCode = 0;

    // Authentication.
    uint8_t m_authCommand = 0;
    bool m_accept = false;
    uint8_t m_countdown = 255;
    bool m_pairingTimedOut = false;
    std::string m_hostName;
    uint32_t m_hostNameLength = 0; // announced
    bool m_hostNameAvailable = false;
    uint32_t m_passkeyPosition = 0;
    bool m_passkeyMatches = true;

    // Disconnect.
    uint8_t m_disconnectType = 0;
    uint8_t m_disconnectTime = 0;
    uint8_t m_disconnectAppTime = 0;

    // Request and transfer.
    ANTFSRequestInfo m_request;
    uint8_t m_responseCode = 255;
    uint16_t m_servedIndex = 0;
    uint32_t m_fileSize = 0;
    uint32_t m_offset = 0;
    uint32_t m_blockLength = 0;
    uint32_t m_blockLimit = 0;
    uint16_t m_crc = 0;
    const uint8_t* m_fileData = nullptr;
    // The block served last: where it started, the CRC before it, and the
    // file it came from (index, data, size), so a resume of another file
    // never continues from it.
    uint32_t m_blockStart = 0;
    uint16_t m_blockStartCrc = 0;
    bool m_haveBlockStart = false;
    uint16_t m_blockFileIndex = 0;
    const uint8_t* m_blockFileData = nullptr;
    uint32_t m_blockFileSize = 0;
    std::atomic<uint32_t> m_sent { 0 };

    uint8_t m_busy = 0;
    bool m_closing = false;
};

} // namespace senvoy
