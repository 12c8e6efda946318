// The heart-rate profile: receives a heart-rate strap on one channel, works
// out from its beat count and beat time whether beats arrive, and reports
// the strap's heart rate as record 101.
#pragma once

#include "ant/core/ant_sensor_profile.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_HRM_RECORD_SIZE = 16;

class HRMSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 120;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 8070;
    static constexpr uint8_t kNetwork = 1;
    // Messages in a row without a new beat after which reports stop.
    static constexpr uint8_t kNoBeatLimit = 12;

    HRMSensor();

    // Lets only the listed straps (or all but them) be found: 1 or 0.
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);

    // The decoder's view, for tests.
    uint8_t beatRate() const { return m_beatRate; }
    uint8_t heartRate() const { return m_heartRate; }
    uint8_t toggleState() const { return m_toggle; }
    uint32_t totalBeats() const { return m_totalBeats; }
    uint32_t totalBeatTime() const { return m_totalTime; }
    uint16_t beatInterval() const { return m_interval; }
    uint32_t operatingTime() const { return m_operatingTime; }
    uint8_t manufacturerId() const { return m_manufacturerId; }
    uint16_t serialNumber() const { return m_serialNumber; }
    uint8_t hardwareVersion() const { return m_hardwareVersion; }
    uint8_t softwareVersion() const { return m_softwareVersion; }
    uint8_t modelNumber() const { return m_modelNumber; }
    uint16_t previousBeatTime() const { return m_previousTime; }

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
    uint8_t m_toggle = 2; // 2 unknown, 0/1 the first bit seen, 3 toggling
    uint8_t m_count = 0;
    uint8_t m_previousCount = 0;
    uint16_t m_time = 0;
    uint16_t m_previousTime = 0;
    uint8_t m_heartRate = 0;
    uint8_t m_beatRate = 0;
    // Messages without a new beat on this strap (each strap counts its own).
    uint8_t m_noBeat = 0;
    uint32_t m_totalBeats = 0;
    uint32_t m_totalTime = 0;
    uint16_t m_interval = 0;
    uint32_t m_operatingTime = 0;
    uint8_t m_manufacturerId = 0;
    uint16_t m_serialNumber = 0;
    uint8_t m_hardwareVersion = 0;
    uint8_t m_softwareVersion = 0;
    uint8_t m_modelNumber = 0;
    uint8_t m_record[ANT_HRM_RECORD_SIZE] = {};
};

} // namespace senvoy
