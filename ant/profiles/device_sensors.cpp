#include "ant/profiles/device_sensors.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/profiles/record_fields.h"
#include "ant/senvoy.h"
#include "platform/debug.h"

#include <cstring>

namespace senvoy {

static_assert(sizeof(ANTSMANOSettings) == 8, "the SMANO settings are 8 bytes");
static_assert(sizeof(ANTTRNRequest) == 8, "the TRN request is 8 bytes");
static_assert(sizeof(ANTVTXCommand) == 12, "the VTX command is 12 bytes");

// ---- SMANO ------------------------------------------------------------------------

SMANOSensor::SMANOSensor()
    : ANTSensorProfile(ANT_SENSOR_SMANO, kDeviceType, kRf, kPeriod, kNetwork)
{
}

void SMANOSensor::resetDecoder()
{
    m_ebe = kDefaultEbe;
    std::memset(m_values, 0, sizeof m_values);
    std::memset(m_record, 0, sizeof m_record);
}

int SMANOSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude, false, 0);
}

int SMANOSensor::setEbe(uint8_t channel, const ANTSMANOSettings* settings)
{
    if (channel != m_channel || !settings)
        return 0;
    m_ebe = settings->ebe;
    return 1;
}

int SMANOSensor::sendEbe()
{
    const uint8_t page[8] = { 128, uint8_t(m_ebe), uint8_t(m_ebe >> 8), uint8_t(m_ebe >> 16), uint8_t(m_ebe >> 24),
        0xFF, 0xFF, 0xFF };
    return ANTCommand_SendBroadcastData(m_framer, m_channel, page) ? 1 : 0;
}

void SMANOSensor::decode(const uint8_t p[8])
{
    ce::debugPrintf(" Data:%d %d %d %d %d %d %d %d \n", p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
    if (p[0] == 0)
        std::memcpy(m_values, p + 2, 3);
    else if (p[0] == 17)
        std::memcpy(m_values + 3, p + 2, 2);
}

void SMANOSensor::report()
{
    m_record[0] = m_channel;
    std::memcpy(m_record + 2, m_values, 5);
    m_record[1] = 1;
    ANTSensor_Deliver(ANTSENSOR_CODE_SMANO, m_record, ANT_SMANO_RECORD_SIZE);
}

void SMANOSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_SMANO, m_record, ANT_SMANO_RECORD_SIZE);
}

// ---- TRN ----------------------------------------------------------------------------

TRNSensor::TRNSensor()
    : ANTSensorProfile(ANT_SENSOR_TRN, kDeviceType, kRf, kPeriod, kNetwork)
{
}

int TRNSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, false, false);
}

void TRNSensor::resetDecoder()
{
    m_valueA = 0;
    m_valueB = m_valueC = 0;
    m_byte6 = 0;
    std::memset(m_record, 0, sizeof m_record);
}

int TRNSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    if (m_framer && m_state >= STATE_SEARCHING)
        m_score = kScoreStart;
    return configureListWith(channel, deviceNumbers, count, exclude, false, 1);
}

int TRNSensor::sendRequestedInfo(uint8_t channel, const ANTTRNRequest* request)
{
    if (!m_framer || !request || m_state != STATE_TRACKING)
        return 0;
    const uint8_t page[8] = { uint8_t(request->word), uint8_t(request->word >> 8), request->value, 0, 0, 0, 0, 0 };
    return ANTCommand_SendBroadcastData(m_framer, channel, page) ? 1 : 0;
}

void TRNSensor::decode(const uint8_t p[8])
{
    // Digits in nibbles: tenths, units, tens and hundreds.
    const uint8_t hundredsA = p[1] & 0x0F, hundredsC = p[5] & 0x0F;
    m_valueA = (p[0] & 0x0F) * 0.1 + (p[0] >> 4) + (p[1] >> 4) * 10 + hundredsA * 100;
    m_flag1 = hundredsA * 100 > 100 ? 1 : 0;
    m_valueB = uint16_t((p[2] + p[3] * 256) * 2);
    m_valueC = uint16_t((p[4] >> 4) + (p[5] >> 4) * 10 + hundredsC * 100);
    m_flag2 = hundredsC * 100 > 100 ? 1 : 0;
    m_byte6 = p[6];
    m_flag3 = p[6] != 0 && p[6] != 255 ? 1 : 0;
}

void TRNSensor::report()
{
    m_record[0] = m_channel;
    m_record[2] = 0;
    putFieldDouble(m_record, 8, m_valueA);
    putField16(m_record, 16, m_valueB);
    putField16(m_record, 18, m_valueC);
    m_record[20] = m_byte6;
    m_record[1] = 1;
    // The score moves while it is undecided; once out of 10-24 it stays
    // until the list is configured again.
    const uint8_t scoreBefore = m_score;
    if (m_score >= 10 && m_score <= 24) {
        const int s = m_flag1 + m_flag2 + m_flag3;
        if (s >= 2)
            ++m_score;
        else if (s == 1)
            m_score = kScoreStart;
        else
            --m_score;
    }
    if (m_score > 24)
        m_record[2] = 2;
    else if (m_score < 10)
        m_record[2] = 1;
    if (!ANTSensor_Deliver(ANTSENSOR_CODE_TRN, m_record, ANT_TRN_RECORD_SIZE)) {
        // No callback took the page: it does not count towards the score.
        m_score = scoreBefore;
        m_record[2] = 0;
    }
}

void TRNSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_TRN, m_record, ANT_TRN_RECORD_SIZE);
}

// ---- VTX ----------------------------------------------------------------------------

VTXSensor::VTXSensor()
    : ANTSensorProfile(ANT_SENSOR_VTX, kDeviceType, kRf, kPeriod, kNetwork)
{
}

int VTXSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, false, false);
}

int VTXSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude, true, 1);
}

void VTXSensor::resetDecoder()
{
    m_pageNumber = 0;
    std::memset(m_values, 0, sizeof m_values);
    std::memset(m_record, 0, sizeof m_record);
}

int VTXSensor::setCommand(uint8_t channel, const ANTVTXCommand* c)
{
    if (channel != m_channel || !c || m_state != STATE_TRACKING || !m_framer)
        return 0;
    const uint8_t page[8] = { 16, uint8_t(c->word4 >> 8), uint8_t(c->word4), c->byte6, uint8_t(c->byte7 | 0x7F),
        c->byte8, uint8_t((c->word10 >> 8) & 3), uint8_t(c->word10) };
    return ANTCommand_SendBroadcastData(m_framer, m_channel, page) ? 1 : 0;
}

void VTXSensor::decode(const uint8_t p[8])
{
    uint8_t* v = m_values;
    m_pageNumber = p[0];
    switch (p[0]) {
    case 0:
        v[2] = p[1] & 0xF8;
        putField16(v, 4, uint16_t((p[1] & 7) * 256 + p[2]));
        v[6] = p[3] & 0xFC;
        putField16(v, 8, uint16_t((p[3] & 3) * 256 + p[4]));
        putField16(v, 10, be16(p + 5));
        v[12] = p[7];
        break;
    case 1:
        v[13] = p[1];
        v[14] = p[2];
        putField32(v, 16, be24(p + 3));
        putField16(v, 20, be16(p + 6));
        break;
    case 2:
        putField32(v, 24, be24(p + 1));
        putField32(v, 28, be32(p + 4));
        break;
    case 3:
        v[32] = p[5];
        putField16(v, 34, be16(p + 6));
        break;
    default: break;
    }
}

void VTXSensor::report()
{
    // The record offsets each page fills.
    static const uint8_t ranges[4][2] = { { 2, 13 }, { 13, 22 }, { 24, 32 }, { 32, 36 } };
    if (m_pageNumber < 4) {
        const uint8_t* r = ranges[m_pageNumber];
        std::memcpy(m_record + r[0], m_values + r[0], size_t(r[1] - r[0]));
    }
    m_record[0] = m_channel;
    m_record[1] = 1;
    ANTSensor_Deliver(ANTSENSOR_CODE_VTX, m_record, ANT_VTX_RECORD_SIZE);
}

void VTXSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_VTX, m_record, ANT_VTX_RECORD_SIZE);
}

} // namespace senvoy

using namespace senvoy;

namespace {
ANTSensorProfile* makeSmano()
{
    return new SMANOSensor;
}
ANTSensorProfile* makeTrn()
{
    return new TRNSensor;
}
ANTSensorProfile* makeVtx()
{
    return new VTXSensor;
}
} // namespace

extern "C" {

SENVOY_API int ANTSMANO_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_SMANO, &makeSmano);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTSMANO_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_SMANO);
}

SENVOY_API int ANTSMANO_ConfigureList(
    uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_SMANO, &makeSmano);
    return p ? static_cast<SMANOSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTSMANO_SETEBE(uint8_t channel, const ANTSMANOSettings* settings)
{
    if (!settings)
        return 0;
    // An empty channel has no device to keep the value for.
    auto* p = static_cast<SMANOSensor*>(SensorTable_Find(channel, ANT_SENSOR_SMANO));
    return p ? p->setEbe(channel, settings) : 0;
}

SENVOY_API int ANTTRN_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_TRN, &makeTrn);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTTRN_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_TRN);
}

SENVOY_API int ANTTRN_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_TRN, &makeTrn);
    return p ? static_cast<TRNSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTTRN_SendRequestedInfo(uint8_t channel, const ANTTRNRequest* request)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_TRN, &makeTrn);
    return p ? static_cast<TRNSensor*>(p)->sendRequestedInfo(channel, request) : 0;
}

SENVOY_API int ANTVTX_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_VTX, &makeVtx);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTVTX_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_VTX);
}

SENVOY_API int ANTVTX_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_VTX, &makeVtx);
    return p ? static_cast<VTXSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTVTX_SET_CMD(uint8_t channel, const ANTVTXCommand* command)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_VTX, &makeVtx);
    return p ? static_cast<VTXSensor*>(p)->setCommand(channel, command) : 0;
}

} // extern "C"
