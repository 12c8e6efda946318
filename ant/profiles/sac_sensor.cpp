#include "ant/profiles/sac_sensor.h"

#include "ant/core/ant_library.h"
#include "ant/profiles/record_fields.h"
#include "ant/senvoy.h"

#include <cstring>

namespace senvoy {

SACSensor::SACSensor()
    : ANTSensorProfile(ANT_SENSOR_SAC, kDeviceType, kRf, kPeriod, kNetwork)
{
}

void SACSensor::resetDecoder()
{
    m_circumference = kDefaultCircumference;
    m_started = false;
    m_crank = Counter {};
    m_wheel = Counter {};
    m_cadence = 0;
    m_cadenceStopped = false;
    m_speed = 0;
    m_distance = 0;
    m_speedStopped = false;
    m_overSpeedVote = 1;
    m_countByteVote = 0;
    m_stillVote = 1;
    m_voteCounter = kVoteStart;
    std::memset(m_record, 0, sizeof m_record);
}

int SACSensor::close()
{
    m_voteCounter = kVoteStart;
    return ANTSensorProfile::close();
}

int SACSensor::configure(uint8_t channel, const ANTSACSettings* settings)
{
    if (!settings || channel != m_channel)
        return 0;
    m_circumference = settings->wheelCircumference;
    return 1;
}

int SACSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    if (m_framer && m_state >= STATE_SEARCHING)
        m_voteCounter = kVoteStart;
    return configureListWith(channel, deviceNumbers, count, exclude ? 1 : 0, false, 1);
}

uint16_t SACSensor::Counter::step(uint16_t* dt)
{
    if (count == previousCount) {
        if (still < 255)
            ++still;
        *dt = 0;
        return 0;
    }
    still = 0;
    const uint16_t n = uint16_t(count - previousCount);
    *dt = uint16_t(time - previousTime);
    totalRevolutions += n;
    totalTime += *dt;
    return n;
}

void SACSensor::decode(const uint8_t p[8])
{
    m_crank.time = uint16_t(p[0] | (p[1] << 8));
    m_crank.count = uint16_t(p[2] | (p[3] << 8));
    m_wheel.time = uint16_t(p[4] | (p[5] << 8));
    m_wheel.count = uint16_t(p[6] | (p[7] << 8));
    if (!m_started) {
        // The first message only gives the counts to count from.
        m_crank.previousCount = m_crank.count;
        m_crank.previousTime = m_crank.time;
        m_wheel.previousCount = m_wheel.count;
        m_wheel.previousTime = m_wheel.time;
        m_started = true;
    }

    uint16_t dt = 0;
    if (uint16_t n = m_crank.step(&dt)) {
        m_cadenceStopped = false;
        if (dt != 0)
            m_cadence = uint8_t((uint32_t(n) * 61440u) / dt); // revolutions per minute
    } else if (m_crank.still >= kStillLimit) {
        // The crank stands: the last cadence stays.
        m_cadenceStopped = true;
    }

    if (uint16_t n = m_wheel.step(&dt)) {
        m_speedStopped = false;
        if (m_circumference != 0) {
            // cm per revolution over 1/1024 s gives 1/1000 km/h with 36864.
            if (dt != 0)
                m_speed = uint32_t((uint64_t(m_circumference) * n * 36864u) / dt);
            m_distance = uint32_t(uint64_t(m_circumference) * m_wheel.totalRevolutions);
        }
    } else if (m_wheel.still >= kStillLimit) {
        m_speedStopped = true;
        if (p[7] == 1)
            m_stillVote = 0;
    }
    m_overSpeedVote = m_speed > 100000 ? 1 : 0; // above 100 km/h

    m_crank.previousCount = m_crank.count;
    m_crank.previousTime = m_crank.time;
    m_wheel.previousCount = m_wheel.count;
    m_wheel.previousTime = m_wheel.time;
    m_countByteVote = p[6] >= 1 && p[6] <= 254 ? 1 : 0;
}

void SACSensor::report()
{
    m_record[0] = m_channel;
    m_record[1] = 1;
    // The votes move the counter while it is undecided; once it has left
    // 10-24 the class stays until the channel is set up again.
    if (m_voteCounter >= 10 && m_voteCounter <= 24) {
        if (m_overSpeedVote + m_countByteVote + m_stillVote >= 2)
            ++m_voteCounter;
        else if (m_overSpeedVote || m_countByteVote)
            m_voteCounter = kVoteStart;
        else
            --m_voteCounter;
    }
    m_record[2] = m_voteCounter > 24 ? 1 : m_voteCounter < 10 ? 2 : 0;
    putField32(m_record, 4, m_wheel.count);
    putField32(m_record, 8, m_crank.count);
    putField32(m_record, 12, m_crank.time);
    putField32(m_record, 16, m_wheel.time);
    putField32(m_record, 20, m_speed);
    putField32(m_record, 24, m_cadence);
    ANTSensor_Deliver(ANTSENSOR_CODE_SAC, m_record, ANT_SAC_RECORD_SIZE);
}

void SACSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_SAC, m_record, ANT_SAC_RECORD_SIZE);
}

} // namespace senvoy

using namespace senvoy;

namespace {
ANTSensorProfile* makeSac()
{
    return new SACSensor;
}
SACSensor* sacOn(uint8_t channel)
{
    return static_cast<SACSensor*>(SensorTable_Find(channel, ANT_SENSOR_SAC));
}
} // namespace

extern "C" {

SENVOY_API int ANTSAC_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_SAC, &makeSac);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTSAC_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_SAC);
}

SENVOY_API int ANTSAC_Configure(uint8_t channel, const ANTSACSettings* settings)
{
    if (!settings)
        return 0;
    // An empty channel has no sensor to take the setting.
    SACSensor* sac = sacOn(channel);
    return sac ? sac->configure(channel, settings) : 0;
}

SENVOY_API int ANTSAC_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_SAC, &makeSac);
    return p ? static_cast<SACSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

} // extern "C"
