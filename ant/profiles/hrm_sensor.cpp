#include "ant/profiles/hrm_sensor.h"

#include "ant/core/ant_library.h"
#include "ant/senvoy.h"

#include <cstring>

namespace senvoy {

HRMSensor::HRMSensor()
    : ANTSensorProfile(ANT_SENSOR_HRM, kDeviceType, kRf, kPeriod, kNetwork)
{
}

void HRMSensor::resetDecoder()
{
    m_toggle = 2;
    m_count = m_previousCount = 0;
    m_time = m_previousTime = 0;
    m_heartRate = m_beatRate = 0;
    m_noBeat = 0;
    m_totalBeats = m_totalTime = 0;
    m_interval = 0;
    m_operatingTime = 0;
    m_manufacturerId = 0;
    m_serialNumber = 0;
    m_hardwareVersion = m_softwareVersion = m_modelNumber = 0;
    std::memset(m_record, 0, sizeof m_record);
}

void HRMSensor::decode(const uint8_t p[8])
{
    const uint8_t page = p[0] & 0x7F;
    const uint8_t bit = p[0] >> 7;
    if (m_toggle == 2) {
        m_toggle = bit;
        m_previousCount = p[6];
        m_previousTime = uint16_t(p[4] | (p[5] << 8));
    } else if (m_toggle != 3 && m_toggle != bit) {
        m_toggle = 3;
    }
    m_count = p[6];
    m_time = uint16_t(p[4] | (p[5] << 8));
    m_heartRate = p[7];
    // Pages mean something only once the strap shows it sends them.
    const bool paged = m_toggle == 3;
    if (paged) {
        switch (page) {
        case 1: m_operatingTime = uint32_t(p[1]) | (uint32_t(p[2]) << 8) | (uint32_t(p[3]) << 16); break;
        case 2:
            m_manufacturerId = p[1];
            m_serialNumber = uint16_t(p[2] | (p[3] << 8));
            break;
        case 3:
            m_hardwareVersion = p[1];
            m_softwareVersion = p[2];
            m_modelNumber = p[3];
            break;
        case 4: m_previousTime = uint16_t(p[2] | (p[3] << 8)); break;
        default: break;
        }
    }
    if (m_count != m_previousCount) {
        m_noBeat = 0;
        const uint8_t beats = uint8_t(m_count - m_previousCount);
        const uint16_t dt = uint16_t(m_time - m_previousTime);
        m_totalBeats += beats;
        m_totalTime += dt;
        if (beats == 1)
            m_interval = dt;
        if (dt != 0)
            m_beatRate = uint8_t((uint32_t(beats) * 61440u) / dt);
    } else {
        if (m_noBeat < 255)
            ++m_noBeat;
        if (m_noBeat >= kNoBeatLimit)
            m_beatRate = 0;
    }
    // A decoded page 4 has set the previous beat time itself.
    if (!(paged && page == 4))
        m_previousTime = m_time;
    m_previousCount = m_count;
}

void HRMSensor::report()
{
    if (m_beatRate == 0)
        return;
    m_record[0] = m_channel;
    const uint32_t rate = m_heartRate;
    std::memcpy(m_record + 4, &rate, 4); // little-endian, as the record is
    m_record[1] = 1;
    ANTSensor_Deliver(ANTSENSOR_CODE_HRM, m_record, ANT_HRM_RECORD_SIZE);
}

void HRMSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_HRM, m_record, ANT_HRM_RECORD_SIZE);
}

int HRMSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude ? 1 : 0, false, 1);
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTHRM_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_HRM, [] { return (ANTSensorProfile*)new HRMSensor; });
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTHRM_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_HRM);
}

SENVOY_API int ANTHRM_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_HRM, [] { return (ANTSensorProfile*)new HRMSensor; });
    return p ? static_cast<HRMSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

} // extern "C"
