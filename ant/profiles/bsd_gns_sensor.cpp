#include "ant/profiles/bsd_gns_sensor.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/profiles/record_fields.h"
#include "ant/senvoy.h"

#include <cstring>

namespace senvoy {

static_assert(sizeof(ANTBSDCommand) == 12, "the BSD command record is 12 bytes");
static_assert(sizeof(ANTGNSCommand) == 24, "the GNS command record is 24 bytes");

namespace {

const PageField kBsdFields[] = {
    { 173, 2, 2, 1, 2 }, { 173, 2, 3, 1, 3 }, { 173, 2, 4, 2, 4 }, { 173, 2, 6, 1, 6 }, { 173, 2, 7, 1, 7 },
    { 173, 1, 2, 1, 8 }, { 173, 1, 3, 1, 9 }, { 173, 1, 4, 4, 12 },
    { 1, 0, 1, 2, 16 }, { 1, 0, 3, 2, 18 }, { 1, 0, 5, 2, 20 },
    { 2, 0, 1, 2, 22 }, { 2, 0, 3, 1, 24 }, { 2, 0, 4, 1, 25 },
    { 4, 0, 1, 2, 26 }, { 4, 0, 3, 2, 28 }, { 4, 0, 5, 2, 30 },
    { 8, 0, 1, 4, 32 },
    { 16, 0, 1, 2, 36 }, { 16, 0, 3, 1, 38 }, { 16, 0, 4, 1, 39 },
    { 34, 0, 1, 1, 40 }, { 34, 0, 2, 1, 41 }, { 34, 0, 3, 1, 42 }, { 34, 0, 4, 2, 44 },
};

const PageField kGnsFields[] = {
    { 173, 2, 2, 1, 2 }, { 173, 2, 3, 1, 3 }, { 173, 2, 4, 2, 4 },
    { 173, 1, 2, 1, 6 }, { 173, 1, 3, 1, 7 }, { 173, 1, 4, 4, 8 },
    { 221, 1, 2, 2, 12 }, { 221, 1, 4, 2, 14 }, { 221, 1, 6, 1, 16 }, { 221, 1, 7, 1, 17 },
    { 221, 2, 2, 4, 20 }, { 221, 2, 6, 1, 24 },
    { 221, 3, 2, 2, 26 }, { 221, 3, 4, 1, 28 }, { 221, 3, 5, 2, 30 },
    { 221, 4, 2, 1, 32 }, { 221, 4, 3, 2, 34 },
};

bool matches(const PageField& f, const uint8_t p[8])
{
    return p[0] == f.page && (f.subPage == 0 || p[1] == f.subPage);
}

void putPage(uint8_t* page, std::initializer_list<uint8_t> bytes)
{
    size_t i = 0;
    for (uint8_t b : bytes)
        page[i++] = b;
}

} // namespace

PageCopyProfile::PageCopyProfile(uint8_t kind, uint8_t deviceType, uint32_t code, uint32_t size,
    const PageField* fields, size_t fieldCount)
    : ANTSensorProfile(kind, deviceType, kRf, kPeriod, kNetwork)
    , m_code(code)
    , m_size(size)
    , m_fields(fields)
    , m_fieldCount(fieldCount)
{
}

void PageCopyProfile::resetDecoder()
{
    std::memset(m_values, 0, sizeof m_values);
    std::memset(m_record, 0, sizeof m_record);
}

int PageCopyProfile::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude, true, 1);
}

int PageCopyProfile::setCommand(uint8_t channel, const uint8_t* command)
{
    if (channel != m_channel || !command || m_state != STATE_TRACKING || !m_framer)
        return 0;
    uint8_t page[8] = {};
    buildCommand(command, page);
    return ANTCommand_SendBroadcastData(m_framer, m_channel, page) ? 1 : 0;
}

void PageCopyProfile::decode(const uint8_t p[8])
{
    std::memcpy(m_page, p, 8);
    for (size_t i = 0; i < m_fieldCount; ++i) {
        const PageField& f = m_fields[i];
        if (!matches(f, p))
            continue;
        const uint8_t* b = p + f.byte;
        switch (f.size) {
        case 1: m_values[f.offset] = b[0]; break;
        case 2: putField16(m_values, f.offset, be16(b)); break;
        default: putField32(m_values, f.offset, be32(b)); break;
        }
    }
}

bool PageCopyProfile::copiesOn(const PageField& f, const uint8_t p[8]) const
{
    return matches(f, p);
}

void PageCopyProfile::report()
{
    for (size_t i = 0; i < m_fieldCount; ++i) {
        const PageField& f = m_fields[i];
        if (copiesOn(f, m_page))
            std::memcpy(m_record + f.offset, m_values + f.offset, f.size);
    }
    m_record[0] = m_channel;
    m_record[1] = 1;
    ANTSensor_Deliver(m_code, m_record, m_size);
}

void PageCopyProfile::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    ANTSensor_Deliver(m_code, m_record, m_size);
}

BSDSensor::BSDSensor()
    : PageCopyProfile(ANT_SENSOR_BSD, kDeviceType, ANTSENSOR_CODE_BSD, ANT_BSD_RECORD_SIZE, kBsdFields,
          sizeof kBsdFields / sizeof kBsdFields[0])
{
}

int BSDSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, false, true);
}

void BSDSensor::buildCommand(const uint8_t* command, uint8_t page[8]) const
{
    ANTBSDCommand c;
    std::memcpy(&c, command, sizeof c);
    switch (c.kind) {
    case 1: putPage(page, { 172, 1 }); break;
    case 2: putPage(page, { 172, 2 }); break;
    case 3: putPage(page, { 1, uint8_t(c.word6 >> 8), uint8_t(c.word6) }); break;
    case 4: putPage(page, { 4, uint8_t(c.word8 >> 8), uint8_t(c.word8) }); break;
    case 5: putPage(page, { 35, c.byte10 }); break;
    default: break; // eight zero bytes
    }
}

GNSSensor::GNSSensor()
    : PageCopyProfile(ANT_SENSOR_GNS, kDeviceType, ANTSENSOR_CODE_GNS, ANT_GNS_RECORD_SIZE, kGnsFields,
          sizeof kGnsFields / sizeof kGnsFields[0])
{
}

int GNSSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, false, false);
}

bool GNSSensor::copiesOn(const PageField& f, const uint8_t p[8]) const
{
    return f.page == 221 ? p[0] == 221 : matches(f, p);
}

void GNSSensor::buildCommand(const uint8_t* command, uint8_t page[8]) const
{
    ANTGNSCommand c;
    std::memcpy(&c, command, sizeof c);
    switch (c.kind) {
    case 1: putPage(page, { 172, 1 }); break;
    case 2: putPage(page, { 172, 2 }); break;
    case 3: {
        const uint16_t v = c.select ? c.word12 : c.word8;
        putPage(page, { 220, 1, c.select, uint8_t(v >> 8), uint8_t(v), c.byte14, c.byte15 });
        break;
    }
    case 4:
        putPage(page,
            { 220, 2, uint8_t(c.word16 >> 8), uint8_t(c.word16), uint8_t(c.word18 >> 8), uint8_t(c.word18) });
        break;
    case 5: putPage(page, { 220, 4, c.byte20 }); break;
    default: break;
    }
}

} // namespace senvoy

using namespace senvoy;

namespace {
ANTSensorProfile* makeBsd()
{
    return new BSDSensor;
}
ANTSensorProfile* makeGns()
{
    return new GNSSensor;
}
} // namespace

extern "C" {

SENVOY_API int ANTBSD_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_BSD, &makeBsd);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTBSD_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_BSD);
}

SENVOY_API int ANTBSD_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_BSD, &makeBsd);
    return p ? static_cast<BSDSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTBSD_SET_CMD(uint8_t channel, const ANTBSDCommand* command)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_BSD, &makeBsd);
    return p ? static_cast<BSDSensor*>(p)->setCommand(channel, reinterpret_cast<const uint8_t*>(command)) : 0;
}

SENVOY_API int ANTGNS_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_GNS, &makeGns);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTGNS_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_GNS);
}

SENVOY_API int ANTGNS_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_GNS, &makeGns);
    return p ? static_cast<GNSSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTGNS_SET_CMD(uint8_t channel, const ANTGNSCommand* command)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_GNS, &makeGns);
    return p ? static_cast<GNSSensor*>(p)->setCommand(channel, reinterpret_cast<const uint8_t*>(command)) : 0;
}

} // extern "C"
