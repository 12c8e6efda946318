// The power-meter profile: receives a bicycle power meter on one channel,
// recognises which of the four kinds it is (power only, wheel torque, crank
// torque, crank torque frequency), computes power, torque, angular velocity,
// cadence, speed and distance from successive pages, and reports every page
// as record 103. It also sends the meter's calibration requests as
// acknowledged pages, resent when the radio asks for it.
#pragma once

#include "ant/core/ant_sensor_profile.h"
#include "ant/core/common_page.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_PWR_RECORD_SIZE = 136;

// The decoded state of the meter's pages.
struct PWRPageData {
    int32_t sensorType = 0; // 0 unknown, 1 power only, 2 wheel torque, 3 crank torque, 4 CTF
    uint8_t parameter[4] = {}; // page 2: bytes 1, 4, 5, 6
    uint8_t eventCount16 = 0;
    uint8_t cadence = 0; // byte 3 of pages 16, 17, 18 (255 invalid)
    uint8_t pedalPower = 0;
    uint16_t accumulatedPower = 0;
    uint16_t instantaneousPower = 0;
    uint8_t eventCount17 = 0, wheelTicks = 0;
    uint16_t wheelPeriod = 0; // 1/2048 s
    uint16_t accumulatedTorque = 0; // 1/32 N m
    uint8_t eventCount18 = 0, crankTicks = 0;
    uint16_t crankPeriod = 0; // 1/2048 s
    uint8_t eventCount32 = 0;
    uint16_t slope = 0; // 1/10 N m per Hz
    uint16_t timeStamp = 0; // 1/2000 s
    uint16_t torqueTicks = 0;
    int16_t calibrationData = 0;
    int32_t autoZeroSupported = 0, autoZeroOn = 0;
    int16_t autoZeroWord1 = 0, autoZeroWord2 = 0;
    uint16_t ctfZeroOffset = 0, ctfSlopeAck = 0, ctfSerialAck = 0;
    uint8_t ctfAckedId = 0;
    uint8_t calibrationId = 0;
    uint8_t ctfMessageId = 0;
    int32_t verbose = 0; // reserved-field diagnostics
    uint8_t page16Count = 0, torquePageCount = 0, torquePageMark = 0;
};

class PWRSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 11;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 8182;
    static constexpr uint8_t kNetwork = 1;
    static constexpr uint8_t kDefaultCircumference = 207; // cm
    static constexpr uint8_t kStillLimit = 12;
    static constexpr uint8_t kMaxResends = 3;
    // Request ids besides the calibration ids 0xAA and 0xAB.
    static constexpr uint8_t kRequestSlope = 2;
    static constexpr uint8_t kRequestSerial = 3;

    PWRSensor();

    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);

    // Calibration: each gives 0 for another channel, else the send's result
    // (the circumference is only stored).
    int setManualCalibration(uint8_t channel);
    int setAutoZero(uint8_t channel, const ANTPWRSettings* settings);
    int setCtfSerial(uint8_t channel, const ANTPWRSettings* settings);
    int setCtfSlope(uint8_t channel, const ANTPWRSettings* settings);
    int setWheelCircumference(uint8_t channel, const ANTPWRSettings* settings);
    // Sends a request page as acknowledged data: from the caller's thread it
    // awaits the outcome, from the receive thread it is only written (the
    // outcome comes back as a channel event). 1 when it went through.
    int sendRequest(uint8_t id, bool await);

    // For tests.
    const PWRPageData& pageData() const { return m_page; }
    const CommonPageRecord& commonPages() const { return m_common; }
    const uint8_t* record() const { return m_record; }
    uint8_t circumference() const { return m_circumference; }
    uint8_t pendingRequest() const { return m_pending; }
    void setVerbose(bool on) { m_page.verbose = on ? 1 : 0; }
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
    void onEvent(uint8_t code) override;

private:
    void decodePage(const uint8_t p[8]);
    void decodeTorquePage(bool wheel);
    void decodeCtfPage();
    void resetRecord();
    int resendRequest();
    void reportRequestStatus(uint8_t status);
    void deliver();

    PWRPageData m_page;
    CommonPageRecord m_common;
    uint8_t m_record[ANT_PWR_RECORD_SIZE] = {};
    uint8_t m_pageNumber = 0; // of the page being decoded
    uint32_t m_first16 = 0, m_first17 = 0, m_first18 = 0, m_first32 = 0;
    int32_t m_previousType = 0;
    // Asks a crank-torque-frequency meter for its zero offset when it is
    // recognised; every calibration sets it.
    uint32_t m_calibrationFlag = 1;
    uint32_t m_power = 0; // x 256 W
    uint32_t m_page16Total = 0;
    uint32_t m_torqueEventTotal = 0;
    uint32_t m_tickTotal = 0;
    uint32_t m_speed = 0; // m/h
    uint32_t m_distance = 0; // cm
    uint32_t m_angularVelocity = 0; // x 256 rad/s
    uint32_t m_torque = 0; // x 32 N m
    uint32_t m_cadence = 0; // rpm
    uint8_t m_circumference = kDefaultCircumference;
    uint32_t m_ctfTotal = 0;
    uint16_t m_ctfZeroOffset = 0;
    uint32_t m_autoZero = 0;
    uint16_t m_ctfSerial = 0;
    uint16_t m_ctfSlope10 = 0;
    uint8_t m_pending = 0;
    uint8_t m_resends = 0;
    uint32_t m_stopped = 0;
    uint32_t m_wheelStopped = 0;
    // The previous page's values the differences are taken from, per meter.
    uint8_t m_previousEvent16 = 0;
    uint16_t m_previousAccumulatedPower = 0;
    uint8_t m_previousTorqueEvent = 0, m_previousTicks = 0;
    uint16_t m_previousPeriod = 0, m_previousTorque = 0;
    uint8_t m_previousCtfEvent = 0;
    uint16_t m_previousTimeStamp = 0, m_previousTorqueTicks = 0;
    uint16_t m_noEvent = 0;
};

} // namespace senvoy
