// The ANT-FS host: searches a slave channel for a client's beacon, links
// the client onto a frequency of a shuffled table, asks for its serial
// number and name, authenticates, keeps the link alive with pings and
// disconnects; its transfers (antfs_host_transfers.h) download, upload and
// erase files over that link. Results are responses in a queue
// (waitResponse).
#pragma once

#include "ant/antfs/antfs_engine_base.h"
#include "ant/antfs/antfs_host_transfers.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace senvoy {

class ANTFramer;

enum : uint8_t {
    ANTFS_HOST_CLOSED = ANTFSEngineBase::kStateClosed,
    ANTFS_HOST_IDLE = ANTFSEngineBase::kStateIdle,
    ANTFS_HOST_DISCONNECTING = 2,
    ANTFS_HOST_SEARCHING = 4,
    ANTFS_HOST_LINKED = 5,
    ANTFS_HOST_AUTHENTICATING = 6,
    ANTFS_HOST_TRANSPORT = 7,
    ANTFS_HOST_DOWNLOADING = 8,
    ANTFS_HOST_UPLOADING = 9,
    ANTFS_HOST_ERASING = 10,
};

enum : uint32_t {
    ANTFS_HR_RESET = ANTFSEngineBase::kResponseReset,
    ANTFS_HR_FAILED = 2,
    ANTFS_HR_FOUND = 4,
    ANTFS_HR_DISCONNECTED = 5,
    ANTFS_HR_LINK_LOST = 6,
    ANTFS_HR_AUTH_UNKNOWN = 7,
    ANTFS_HR_AUTH_ACCEPTED = 8,
    ANTFS_HR_AUTH_REJECTED = 9,
    ANTFS_HR_AUTH_NO_ANSWER = 10,
    ANTFS_HR_DOWNLOAD_DONE = 11,
    ANTFS_HR_DOWNLOAD_REFUSED = 12, // 13, 14, 15 for codes 1, 2, 3
    ANTFS_HR_DOWNLOAD_FAILED = 16,
    ANTFS_HR_UPLOAD_DONE = 17,
    ANTFS_HR_UPLOAD_REFUSED = 18, // 19, 20, 21 for codes 1, 2, 3
    ANTFS_HR_UPLOAD_FAILED = 22,
    ANTFS_HR_ERASED = 23,
    ANTFS_HR_ERASE_FAILED = 24,
    ANTFS_HR_CANCELLED = 28,
};

class ANTFSHostEngine : public ANTFSEngineBase, private ANTFSHostLink {
public:
    static constexpr uint32_t kShortArea = 65551; // answers and small downloads

    ANTFSHostEngine();
    ~ANTFSHostEngine() override;
    ANTFSHostEngine(const ANTFSHostEngine&) = delete;
    ANTFSHostEngine& operator=(const ANTFSHostEngine&) = delete;

    // Requests: 1 posted, 0 wrong state or arguments, 2 one is pending.
    void close() override;
    void cancel();
    int search(uint8_t rfFrequency, uint8_t linkFrequency, uint16_t deviceNumber);
    int getUploadProgress(uint32_t* done, uint32_t* total) const;
    int getDownloadProgress(uint32_t* done, uint32_t* total) const;
    // answer: where the client's answer string goes, up to answerRoom bytes;
    // may be null. What came is also the response's data.
    int authenticate(uint8_t type, const uint8_t* text, uint32_t length, uint8_t* answer, uint32_t answerRoom,
        uint32_t timeoutMs);
    int disconnect(uint8_t type, uint8_t duration, uint8_t appDuration);
    // directory: the file is the client's directory, done only when its
    // bytes are a whole directory image. The response names the file and
    // carries its bytes.
    int download(uint16_t fileIndex, uint32_t offset, uint32_t size, uint32_t maxBlock, bool directory = false);
    int upload(uint16_t fileIndex, uint32_t offset, uint32_t size, const uint8_t* data, bool startAtOffset,
        uint32_t maxBlock);
    int erase(uint16_t fileIndex);

    // ANTChannelHandler.
    void attach(ANTFramer* framer, uint8_t channel) override;
    void onMessage(const uint8_t* message, uint16_t length) override;
    int isEnabled() const override { return m_state >= ANTFS_HOST_DISCONNECTING; }

    // Tests only: the link table's shuffle seed (0: the time), and every
    // protocol time-out divided by divisor.
    static void setShuffleSeedForTests(uint32_t seed);
    static void setTimeScaleForTests(uint32_t divisor);
    uint8_t linkFrequencyAt(uint8_t index) const { return m_linkTable[index % 16]; }
    // Tests only: how many whole bursts wait to be handled.
    size_t burstsWaitingForTests();

private:
    // ANTFSEngineBase.
    void resetLocked() override;
    ANTFSResponse serve(uint8_t request, uint8_t* next) override;
    // A linked client not heard from for a while is pinged.
    uint32_t idleWaitMs() const override;
    void onIdle(std::unique_lock<std::recursive_mutex>& lock) override;
    void radioResetLocked() override { m_channelReady = false; }
    void addFailures(uint32_t n);

    // Engine thread work.
    int runSearch(); // 1 found, 0 not found, -1 cancelled, -2 radio failure
    bool setUpSearchChannel(bool full);
    bool waitBeacon(uint32_t ms, bool linkState);
    bool link();
    // ANTFSHostLink: what the transfers run on.
    bool sendAcknowledged(const uint8_t payload[8], uint32_t timeoutMs, int attempts) override;
    bool sendBurst(const uint8_t* data, uint32_t length, uint32_t timeoutMs, int attempts) override;
    void dropAnswers() override;
    bool waitAnswer(uint8_t response, uint32_t timeoutMs, std::vector<uint8_t>* answer) override;
    bool transferEnded() const override;
    uint32_t scaledMs(uint32_t ms) const override;
    ANTFSResponse runAuthenticate();
    // After a download or upload: one that failed (not cancelled) counts
    // against the link and ends it; any other goes back to transport.
    ANTFSResponse endTransfer(ANTFSResponse response, uint32_t failed);
    // The client taken, as a found response tells it (under the lock).
    ANTFSResponse foundLocked() const;
    bool runDisconnect();
    void sendPing();

    // Receive side.
    void onBeacon(const uint8_t* b);
    void onPacket(const uint8_t* data, bool first, bool last);

    static uint32_t scaled(uint32_t ms);

    // Channel settings.
    uint8_t m_network = 0;
    uint8_t m_networkKey[8] = { 0x5B, 0x17, 0xC2, 0x90, 0x3E, 0xD8, 0x41, 0x6A };
    uint16_t m_searchPeriod = 4096;
    uint16_t m_searchDeviceNumber = 0;
    uint8_t m_deviceType = 1;
    uint8_t m_transmissionType = 0;
    uint8_t m_searchRf = 50;
    uint8_t m_linkRfSetting = 255;
    uint8_t m_linkTable[16] = {};
    uint8_t m_linkIndex = 0;
    uint32_t m_failures = 0;
    uint8_t m_linkRf = 0;
    bool m_channelReady = false;
    uint32_t m_hostSerial = 0;

    // What the beacons told.
    uint8_t m_clientState = 0;
    uint8_t m_status1 = 0;
    uint8_t m_status2 = 0;
    uint8_t m_authType = 0;
    uint16_t m_beaconDeviceType = 0;
    uint16_t m_beaconManufacturer = 0;
    uint32_t m_beaconHostSerial = 0;
    bool m_beaconSeen = false;
    bool m_idsRecorded = false; // device type and manufacturer of this search's client
    bool m_otherHost = false; // a client showed another host's serial
    uint32_t m_beacons = 0; // counted, for waiters
    uint8_t m_lowerCount = 2;

    // The client taken.
    uint16_t m_clientDeviceNumber = 0;
    uint32_t m_clientSerial = 0;
    std::string m_clientName;

    // Authentication request.
    uint8_t m_authCommand = 0;
    std::vector<uint8_t> m_authText;
    uint8_t* m_answer = nullptr;
    uint32_t m_answerRoom = 0;
    uint32_t m_authTimeoutMs = 5000;

    // Disconnect request.
    uint8_t m_disconnectType = 0;
    uint8_t m_disconnectTime = 0;
    uint8_t m_disconnectAppTime = 0;

    // Transfers: their records and progress.
    ANTFSHostTransfers m_transfers { *this };

    // Bursts from the client.
    std::vector<uint8_t> m_rx;
    uint32_t m_rxLimit = kShortArea;
    bool m_rxActive = false;
    bool m_rxFailed = false;
    std::deque<std::vector<uint8_t>> m_bursts; // complete ones, oldest first

};

} // namespace senvoy
