// The base of every ANT+ sensor profile: the channel's configuration, the
// open and close sequences, the dispatch of the channel's messages to the
// profile's decoder, and the sensor callback through which records leave
// the library.
#pragma once

#include "ant/core/ant_channel_handler.h"
#include "ant/core/ant_framer.h"
#include "ant/senvoy.h"

#include <atomic>
#include <cstdint>

namespace senvoy {


// Time-outs of the sequences.
constexpr uint32_t ANT_COMMAND_TIMEOUT_MS = 1000;
constexpr uint32_t ANT_CLOSE_TIMEOUT_MS = 2100;

// Dispatch codes of the data messages.
constexpr uint32_t ANT_CODE_BROADCAST = 154;
constexpr uint32_t ANT_CODE_ACKNOWLEDGED = 155;
constexpr uint32_t ANT_CODE_BURST = 156;

// How long a caller's acknowledged page is awaited.
constexpr uint32_t ANT_ACKNOWLEDGED_TIMEOUT_MS = 10000;

// The sensor callback and its context (ANTSENSOR_Init).
void ANTSensor_SetCallback(ANTSensorCallback callback, void* context);
// Calls the callback when one is set; false when none is. A callback in
// progress finishes before ANTSensor_SetCallback returns.
bool ANTSensor_Deliver(uint32_t code, const uint8_t* record, uint32_t length);

// The 8-byte key of an ANT network: all zeros for network 0; for the others
// the value "NetworkKey<n>" (16 hex digits) of the registry key
// HKEY_LOCAL_MACHINE\Software\Kivo\Senvoy, else the build setting
// SENVOY_NETWORK_KEY_<n>. False when neither holds one.
bool ANTSensor_NetworkKey(uint8_t network, uint8_t key[8]);
// 16 hex digits, optionally separated by blanks, ':' , '-' or ','; false
// (key untouched) for anything else.
bool ANTSensor_ParseKey(const char* text, uint8_t key[8]);
constexpr const char* ANT_KEY_REGISTRY_PATH = "Software\\Kivo\\Senvoy";

class ANTSensorProfile;
// The sensor object on the channel when it is of this kind and on this
// channel; null otherwise and without the library.
ANTSensorProfile* SensorTable_Find(uint8_t channel, uint8_t kind);

class ANTSensorProfile : public ANTChannelHandler {
public:
    // States.
    static constexpr uint8_t STATE_UNASSIGNED = 0;
    static constexpr uint8_t STATE_CLOSED = 1;
    static constexpr uint8_t STATE_SEARCHING = 2;
    static constexpr uint8_t STATE_TRACKING = 3;

    ~ANTSensorProfile() override = default;

    // Configures and opens the channel: 1 opened, 2 already searching or
    // tracking (nothing sent), 0 when a command failed.
    virtual int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
    // Closes and unassigns the channel: 1 or 0.
    virtual int close();
    // Fills the 8-byte sensor-id record (this object's channel, 0, device
    // number, device type, transmission type, 0, 0) from the radio's channel
    // id: 1, or 0 unless a sensor is being received.
    virtual int requestSensorId(uint8_t channel, uint8_t out[8]);

    // ANTChannelHandler.
    void attach(ANTFramer* framer, uint8_t channel) override;
    void detach() override { }
    void onMessage(const uint8_t* message, uint16_t length) override;
    // A reset of the radio closes every channel: an open one reports its
    // closed record.
    void onManagerEvent(uint32_t event, uint32_t argument) override;
    int isEnabled() const override { return m_enabled; }

    void setChannel(uint8_t channel) { m_channel = channel; }
    uint8_t state() const { return m_state; }
    uint16_t deviceNumber() const { return m_deviceNumber; }
    ANTFramer* framer() const { return m_framer; }
    // Tests: the network key the profile sends.
    const uint8_t* networkKey() const { return m_networkKey; }

protected:
    ANTSensorProfile(uint8_t kind, uint8_t deviceType, uint8_t rf, uint16_t period, uint8_t network);

    // Clears the profile's decoder (attach).
    virtual void resetDecoder() { }
    // One broadcast or acknowledged payload.
    virtual void decode(const uint8_t payload[8]) = 0;
    // Fills the record and calls the callback when the profile reports.
    virtual void report() = 0;
    // The channel closed: the record with byte 1 = 0.
    virtual void reportClosed() = 0;
    // Any other channel event of this channel (transfer outcomes, receive
    // failures), on the receive thread.
    virtual void onEvent(uint8_t code) { (void)code; }

    bool requestStatus(uint8_t* radioState);

    // The open sequences of the profiles. askStatus: the radio's channel
    // status decides what is closed and unassigned first (else only a
    // channel this object left assigned is unassigned). keyFirst: the
    // network key is set before the channel is assigned, else after its RF
    // channel. 1 opened, 2 already searching or tracking, 0 on a failed
    // command.
    int openWith(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout, bool askStatus, bool keyFirst);
    // Reconfigures the open channel to find only the listed sensors (or all
    // but them). needTracking: only a tracking channel, closed without a
    // status request; else an open one, closed unless its status byte is
    // exactly 5 (assigned on network 1). List entries carry listTransmission.
    int configureListWith(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude,
        bool needTracking, uint8_t listTransmission);

    std::atomic<int> m_enabled { 1 };
    ANTFramer* m_framer = nullptr;
    std::atomic<uint8_t> m_state { STATE_UNASSIGNED };
    uint16_t m_deviceNumber = 0;
    uint8_t m_deviceType;
    uint8_t m_transmissionType = 0;
    uint8_t m_rf;
    uint16_t m_period;
    uint8_t m_searchTimeout = 0;
    uint8_t m_network;
    uint8_t m_networkKey[8] = {};
    bool m_haveKey = false;
    uint8_t m_data[9] = {}; // the last data message's channel byte and payload
    uint8_t m_response[3] = {}; // the first bytes of the last other message

private:
    // code: a channel event's code (event) or the dispatch code of a
    // message.
    void dispatch(uint32_t code, bool event);
};

} // namespace senvoy
