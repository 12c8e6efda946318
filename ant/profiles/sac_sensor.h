// The speed-and-cadence profile: receives a combined bike speed and cadence
// sensor on one channel, turns its cumulative revolution counts and event
// times into cadence, speed and distance, judges from three votes what kind
// of sensor it is, and reports every page as record 102.
#pragma once

#include "ant/core/ant_sensor_profile.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_SAC_RECORD_SIZE = 36;

class SACSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 121;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 8086;
    static constexpr uint8_t kNetwork = 1;
    static constexpr uint32_t kDefaultCircumference = 207; // cm
    // Messages in a row without a new revolution after which the wheel or
    // the crank counts as stopped.
    static constexpr uint8_t kStillLimit = 12;
    static constexpr uint8_t kVoteStart = 20;

    SACSensor();

    int close() override;
    // The wheel circumference (cm) from the second word of the settings:
    // 1, or 0 for another channel.
    int configure(uint8_t channel, const ANTSACSettings* settings);
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);

    // The decoder's view, for tests.
    uint32_t circumference() const { return m_circumference; }
    uint8_t cadence() const { return m_cadence; }
    uint32_t speed() const { return m_speed; } // 1/1000 km/h
    uint32_t distance() const { return m_distance; } // cm
    bool cadenceStopped() const { return m_cadenceStopped; }
    bool speedStopped() const { return m_speedStopped; }
    uint8_t voteCounter() const { return m_voteCounter; }

    // Decodes one payload and reports, as a received page does.
    void receivePage(const uint8_t payload[8])
    {
        decode(payload);
        report();
    }

protected:
    void resetDecoder() override;
    void decode(const uint8_t payload[8]) override;
    void report() override;
    void reportClosed() override;

private:
    // One of the two cumulative counts (crank or wheel).
    struct Counter {
        uint16_t count = 0, previousCount = 0;
        uint16_t time = 0, previousTime = 0; // 1/1024 s
        uint32_t totalRevolutions = 0;
        uint32_t totalTime = 0;
        uint8_t still = 0; // messages without a new revolution
        // Takes the new values: the revolutions since the last message, 0
        // when there was none; *dt the time they took.
        uint16_t step(uint16_t* dt);
    };

    uint32_t m_circumference = kDefaultCircumference;
    bool m_started = false;
    Counter m_crank;
    Counter m_wheel;
    uint8_t m_cadence = 0;
    bool m_cadenceStopped = false;
    uint32_t m_speed = 0;
    uint32_t m_distance = 0;
    bool m_speedStopped = false;
    uint32_t m_overSpeedVote = 1;
    uint32_t m_countByteVote = 0;
    uint32_t m_stillVote = 1;
    uint8_t m_voteCounter = kVoteStart;
    uint8_t m_record[ANT_SAC_RECORD_SIZE] = {};
};

} // namespace senvoy
