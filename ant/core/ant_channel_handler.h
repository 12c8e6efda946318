// The interface of every ANT channel user (sensor profiles, ANT-FS engines):
// the library core hands it its channel's messages and the core's events.
#pragma once

#include <cstdint>

namespace senvoy {

class ANTFramer;

// Events of onManagerEvent.
constexpr uint32_t ANT_MANAGER_EVENT_RESET = 2; // the radio is being reset; its channels are gone

// Sensor kinds.
constexpr uint8_t ANT_SENSOR_HRM = 1;
constexpr uint8_t ANT_SENSOR_SAC = 2;
constexpr uint8_t ANT_SENSOR_PWR = 3;
constexpr uint8_t ANT_SENSOR_LEV = 4;
constexpr uint8_t ANT_SENSOR_SMANO = 5;
constexpr uint8_t ANT_SENSOR_BSD = 6;
constexpr uint8_t ANT_SENSOR_GNS = 7;
constexpr uint8_t ANT_SENSOR_VTX = 8;
constexpr uint8_t ANT_SENSOR_TRN = 255;

class ANTChannelHandler {
public:
    virtual ~ANTChannelHandler() = default;
    // Registered on channel with the framer to send through.
    virtual void attach(ANTFramer* framer, uint8_t channel) = 0;
    // Unregistered.
    virtual void detach() = 0;
    // One message of its channel: message[0] the id, then length data bytes.
    // On the library's receive thread.
    virtual void onMessage(const uint8_t* message, uint16_t length) = 0;
    // A core event (ANT_MANAGER_EVENT_RESET), on the core's state thread.
    virtual void onManagerEvent(uint32_t event, uint32_t argument) = 0;
    virtual uint8_t channel() const { return m_channel; }
    // Nonzero when the handler wants messages.
    virtual int isEnabled() const = 0;
    virtual uint8_t sensorKind() const { return m_sensorKind; }
    virtual void setSensorKind(uint8_t kind) { m_sensorKind = kind; }

protected:
    uint8_t m_channel = 0;
    uint8_t m_sensorKind = 0;
};

} // namespace senvoy
