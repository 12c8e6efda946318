// Three further device profiles: SMANO (network 2, record 109), TRN
// (record 108, with a score of how plausible its values are) and VTX (the
// public network, record 112). Each copies or converts its device's pages
// into a record and has one page it sends to the device.
#pragma once

#include "ant/core/ant_sensor_profile.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_SMANO_RECORD_SIZE = 7;
constexpr uint32_t ANT_TRN_RECORD_SIZE = 32;
constexpr uint32_t ANT_VTX_RECORD_SIZE = 52;

class SMANOSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 1;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 8198;
    static constexpr uint8_t kNetwork = 2;
    static constexpr uint32_t kDefaultEbe = 241;

    SMANOSensor();
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
    // Stores the value for page 128 (nothing is sent): 1, or 0 for another
    // channel or no settings.
    int setEbe(uint8_t channel, const ANTSMANOSettings* settings);
    // Sends page 128 with the stored value; 1 when written.
    int sendEbe();

    uint32_t ebe() const { return m_ebe; }
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
    uint32_t m_ebe = kDefaultEbe;
    uint8_t m_values[5] = {}; // page 0 bytes 2-4, page 17 bytes 2-3
    uint8_t m_record[ANT_SMANO_RECORD_SIZE] = {};
};

class TRNSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 121;
    static constexpr uint8_t kRf = 57;
    static constexpr uint16_t kPeriod = 16172;
    static constexpr uint8_t kNetwork = 1;
    static constexpr uint8_t kScoreStart = 20;

    TRNSensor();
    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
    // Sends the requested information page once; 1 when written, 0 for no
    // request or a channel not tracking.
    int sendRequestedInfo(uint8_t channel, const ANTTRNRequest* request);

    double valueA() const { return m_valueA; }
    uint16_t valueB() const { return m_valueB; }
    uint16_t valueC() const { return m_valueC; }
    int flag1() const { return m_flag1; }
    int flag2() const { return m_flag2; }
    int flag3() const { return m_flag3; }
    uint8_t score() const { return m_score; }
    void setScore(uint8_t score) { m_score = score; }
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
    double m_valueA = 0;
    uint16_t m_valueB = 0;
    uint16_t m_valueC = 0;
    uint8_t m_byte6 = 0;
    int m_flag1 = 1, m_flag2 = 0, m_flag3 = 1;
    uint8_t m_score = kScoreStart;
    uint8_t m_record[ANT_TRN_RECORD_SIZE] = {};
};

class VTXSensor : public ANTSensorProfile {
public:
    static constexpr uint8_t kDeviceType = 61;
    static constexpr uint8_t kRf = 66;
    static constexpr uint16_t kPeriod = 8182;
    static constexpr uint8_t kNetwork = 0;

    VTXSensor();
    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;
    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
    // Sends command page 16 once; 1 when written, 0 for another channel, no
    // command or a channel not tracking.
    int setCommand(uint8_t channel, const ANTVTXCommand* command);

    const uint8_t* record() const { return m_record; }
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
    uint8_t m_pageNumber = 0;
    uint8_t m_values[ANT_VTX_RECORD_SIZE] = {}; // the decoded fields, as in the record
    uint8_t m_record[ANT_VTX_RECORD_SIZE] = {};
};

} // namespace senvoy
