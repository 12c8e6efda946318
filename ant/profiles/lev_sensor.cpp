#include "ant/profiles/lev_sensor.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/profiles/record_fields.h"
#include "ant/senvoy.h"

#include <cstring>

namespace senvoy {

static_assert(sizeof(ANTLEVSettings) == 24, "the display settings are 24 bytes");

namespace {
// The level a vehicle with n modes (1-6) offers for a requested level.
constexpr uint8_t kLevelMap[6][8] = {
    { 0, 7, 7, 7, 7, 7, 7, 7 },
    { 0, 3, 3, 3, 7, 7, 7, 7 },
    { 0, 2, 2, 4, 4, 7, 7, 7 },
    { 0, 1, 3, 3, 5, 5, 7, 7 },
    { 0, 1, 2, 3, 5, 5, 7, 7 },
    { 0, 1, 2, 3, 4, 5, 7, 7 },
};

bool accepted(uint8_t modes, uint8_t level)
{
    switch (modes) {
    case 7: return true;
    case 1: return level == 7;
    case 4: return level == 1 || level == 3 || level == 5 || level == 7;
    case 5: return level == 1 || level == 2 || level == 3 || level == 5 || level == 7;
    case 6: return level != 6;
    default: return false;
    }
}
} // namespace

LEVSensor::LEVSensor()
    : ANTSensorProfile(ANT_SENSOR_LEV, kDeviceType, kRf, kPeriod, kNetwork)
{
}

int LEVSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, true, false);
}

int LEVSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude, false, 5);
}

void LEVSensor::resetDecoder()
{
    m_page = LEVPageData {};
    m_identification = CommonPageRecord {};
    m_common = CommonPageRecord {};
    std::memset(m_record, 0, sizeof m_record);
    m_messages = m_pending = m_resends = 0;
    m_identificationIndex = 0;
}

void LEVSensor::resetDisplayState()
{
    m_messages = m_pending = m_resends = 0;
    m_assistModes = m_regenModes = 7;
    m_page.p16Circumference = 0xF000;
    m_page.p16TravelMode = 0;
    m_page.p16DisplayCommand = 0;
    m_page.p16ManufacturerId = 0;
    m_page.requestByte6 = 1;
    m_identification = CommonPageRecord {};
}

// ---- Levels -------------------------------------------------------------------

uint8_t LEVSensor::mapAssist(uint8_t modes, uint8_t level)
{
    level &= 7;
    if (modes == 0 || modes >= 7)
        return level;
    return kLevelMap[modes - 1][level];
}

uint8_t LEVSensor::mapRegen(uint8_t modes, uint8_t level)
{
    level &= 7;
    if (modes == 0)
        return 0; // nothing to regenerate with
    if (modes >= 7)
        return level;
    return kLevelMap[modes - 1][level];
}

uint8_t LEVSensor::validateAssist(uint8_t modes, uint8_t level, uint8_t field)
{
    if (level == 0)
        return 0;
    if (modes == 2 || modes == 3)
        return field;
    if (modes == 0 || modes > 7)
        return 0;
    return accepted(modes, level) ? level : field;
}

uint8_t LEVSensor::validateRegen(uint8_t modes, uint8_t level, uint8_t field)
{
    if (level == 0)
        return 0;
    if (modes == 0 || modes == 2 || modes == 3)
        return field;
    if (modes > 7)
        return 0;
    return accepted(modes, level) ? level : field;
}

void LEVSensor::setAssistBits(uint8_t level)
{
    if (level >= 1 && level <= 7)
        m_page.p16TravelMode = uint8_t((m_page.p16TravelMode & ~0x38) | (level << 3));
}

void LEVSensor::setRegenBits(uint8_t level)
{
    m_page.p16TravelMode = uint8_t((m_page.p16TravelMode & ~0x07) | (level & 7));
}

// ---- Setters --------------------------------------------------------------------

int LEVSensor::changeDisplayAssistModes(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_assistModes = s->assistModes;
    const uint8_t level = (s->travelMode >> 3) & 7;
    m_page.p16TravelMode = uint8_t((m_page.p16TravelMode & 0x07) | (mapAssist(m_assistModes, level) << 3));
    return 1;
}

int LEVSensor::changeDisplayRegenModes(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_regenModes = s->regenModes;
    const uint8_t level = s->travelMode & 7;
    m_page.p16TravelMode = uint8_t((m_page.p16TravelMode & 0x38) | mapRegen(m_regenModes, level));
    return 1;
}

int LEVSensor::changeAssist(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    const uint8_t field = (m_page.p16TravelMode >> 3) & 7;
    const uint8_t level = validateAssist(m_assistModes, (s->travelMode >> 3) & 7, field);
    m_page.p16TravelMode = uint8_t((m_page.p16TravelMode & ~0x38) | (level << 3));
    return 1;
}

int LEVSensor::changeRegen(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    const uint8_t field = m_page.p16TravelMode & 7;
    m_page.p16TravelMode
        = uint8_t((m_page.p16TravelMode & ~0x07) | validateRegen(m_regenModes, s->travelMode & 7, field));
    return 1;
}

int LEVSensor::changeFrontGear(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_page.p16DisplayCommand = uint16_t((m_page.p16DisplayCommand & ~0x0030) | ((s->gears & 0x03) << 4));
    return 1;
}

int LEVSensor::changeRearGear(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_page.p16DisplayCommand = uint16_t((m_page.p16DisplayCommand & ~0x03C0) | (((s->gears >> 2) & 0x0F) << 6));
    return 1;
}

int LEVSensor::changeLights(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    // The whole command word: the gears go with it.
    m_page.p16DisplayCommand = s->lights;
    return 1;
}

int LEVSensor::changeManufacturerId(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_page.p16ManufacturerId = s->manufacturerId;
    return 1;
}

int LEVSensor::changeCircumference(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s || s->wheelCircumference == 0)
        return 0;
    m_page.p16Circumference = uint16_t(s->wheelCircumference | 0xF000);
    return 1;
}

int LEVSensor::setTravelModeNotSupported(uint8_t channel, const ANTLEVSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_travelModeNotSupported = s->travelModeNotSupported;
    if (m_travelModeNotSupported == 1) {
        m_page.p16TravelMode = 255;
    } else {
        m_page.p16TravelMode %= 64;
        setAssistBits((s->travelMode >> 3) & 7);
        setRegenBits(s->travelMode & 7);
    }
    return 1;
}

int LEVSensor::sendDisplayData(uint8_t channel)
{
    if (channel != m_channel)
        return 0;
    return sendRequest(16, true);
}

// ---- Requests -------------------------------------------------------------------

int LEVSensor::sendRequest(uint8_t id, bool await)
{
    const LEVPageData& d = m_page;
    uint8_t b[8];
    if (id == 16) {
        const uint8_t page[8] = { 16, uint8_t(d.p16Circumference), uint8_t(d.p16Circumference >> 8), d.p16TravelMode,
            uint8_t(d.p16DisplayCommand), uint8_t(d.p16DisplayCommand >> 8), uint8_t(d.p16ManufacturerId),
            uint8_t(d.p16ManufacturerId >> 8) };
        std::memcpy(b, page, 8);
    } else if (id == 70) {
        const uint8_t page[8] = { 70, 0xFF, 0xFF, 0xFF, 0xFF, d.requestByte5, d.requestByte6, 1 };
        std::memcpy(b, page, 8);
    } else {
        return 0;
    }
    // A page sent again while one is pending does not restart its resends.
    // On a channel that is not open the radio refuses the page and no
    // outcome follows, so such a page is not pending.
    if (!m_pending && m_state >= STATE_SEARCHING) {
        m_resends = 0;
        m_pending = id;
    }
    return ANTCommand_SendAcknowledgedData(m_framer, m_channel, b, await ? ANT_ACKNOWLEDGED_TIMEOUT_MS : 0)
            == ANT_RESULT_OK
        ? 1
        : 0;
}

int LEVSensor::resendRequest()
{
    if (!m_pending)
        return 1;
    if (m_resends++ >= kMaxResends)
        return 0;
    sendRequest(m_pending, false); // on the receive thread: its outcome is the next event
    return 1;
}

void LEVSensor::reportRequestStatus(uint8_t status)
{
    m_record[0] = m_channel;
    m_record[60] = status == 1 || status == 2 ? status : 0;
    ANTSensor_Deliver(ANTSENSOR_CODE_LEV, m_record, ANT_LEV_RECORD_SIZE);
}

void LEVSensor::onEvent(uint8_t code)
{
    switch (code) {
    case ANT_EVENT_RX_FAIL: ++m_messages; break;
    case ANT_EVENT_TRANSFER_TX_COMPLETED:
        m_resends = 0;
        m_pending = 0;
        reportRequestStatus(1);
        break;
    case ANT_EVENT_TRANSFER_TX_FAILED:
    case ANT_EVENT_TRANSFER_RETRY:
        if (!m_pending)
            break;
        if (resendRequest()) {
            reportRequestStatus(2);
        } else {
            // Given up: identification pages go on and the next page 16 has
            // its own resends.
            m_pending = 0;
            m_resends = 0;
            reportRequestStatus(0);
        }
        break;
    default: break;
    }
}

void LEVSensor::sendIdentification()
{
    uint8_t b[8] = {};
    CommonPage_Encode(&m_identification, m_identificationIndex ? 81 : 80, b);
    m_identificationIndex ^= 1;
    ANTCommand_SendBroadcastData(m_framer, m_channel, b);
}

// ---- Pages -----------------------------------------------------------------------

void LEVSensor::decode(const uint8_t p[8])
{
    LEVPageData& d = m_page;
    m_pageNumber = p[0];
    if (p[0] >= 64) {
        CommonPage_Decode(&m_common, p);
        return;
    }
    switch (p[0]) {
    case 1:
        d.temperatureState = p[1];
        d.travelModeState = p[2];
        d.systemState = p[3];
        d.gearState = p[4];
        d.errorMessage = p[5];
        d.speed = le16(p + 6) & 0x0FFF;
        break;
    case 2:
        d.odometer = le24(p + 1);
        d.remainingRange = le16(p + 4) & 0x0FFF;
        d.speed = le16(p + 6) & 0x0FFF;
        break;
    case 3:
        d.batteryCharge = p[1];
        d.travelModeState = p[2];
        d.systemState = p[3];
        d.gearState = p[4];
        d.percentAssist = p[5];
        d.speed = le16(p + 6) & 0x0FFF;
        break;
    case 4:
        d.chargingCycles = uint16_t(p[2] | ((p[3] & 0x0F) << 8));
        d.fuelConsumption = uint16_t(((p[3] >> 4) << 8) | p[4]);
        d.batteryVoltage = p[5];
        d.chargeDistance = le16(p + 6);
        break;
    case 5:
        d.travelModesSupported = p[2];
        d.wheelCircumference = uint16_t(p[3] | ((p[4] & 0x0F) << 8));
        break;
    case 16:
        d.p16Circumference = le16(p + 1);
        d.p16TravelMode = p[3];
        d.p16DisplayCommand = le16(p + 4);
        d.p16ManufacturerId = le16(p + 6);
        break;
    case 34:
        d.odometer34 = le24(p + 1);
        d.value34a = le16(p + 4) & 0x0FFF;
        d.value34b = le16(p + 6) & 0x0FFF;
        break;
    default: break;
    }
}

void LEVSensor::report()
{
    const LEVPageData& d = m_page;
    const uint8_t p = m_pageNumber;
    uint8_t* r = m_record;
    r[0] = m_channel;
    if (p >= 1 && p <= 3)
        putFieldDouble(r, 8, d.speed * 0.1);
    if (p == 1 || p == 3) {
        r[3] = d.travelModeState;
        r[4] = d.systemState;
        r[5] = d.gearState;
    }
    switch (p) {
    case 1:
        r[2] = d.temperatureState;
        r[6] = d.errorMessage;
        break;
    case 2:
        putFieldDouble(r, 16, d.odometer * 0.01);
        putField16(r, 24, d.remainingRange);
        break;
    case 3:
        r[26] = d.batteryCharge;
        r[27] = d.percentAssist;
        break;
    case 4:
        putField16(r, 28, d.chargingCycles);
        putFieldDouble(r, 32, d.fuelConsumption * 0.1);
        r[40] = d.batteryVoltage;
        putFieldDouble(r, 48, d.chargeDistance * 0.1);
        break;
    case 5:
        r[56] = d.travelModesSupported;
        putField16(r, 58, d.wheelCircumference);
        break;
    case 34:
        putFieldDouble(r, 64, d.odometer34 * 0.01);
        putFieldDouble(r, 72, d.value34a * 0.1);
        break;
    default: break;
    }
    // The display names itself after the vehicle's manufacturer and product.
    if (m_common.manufacturerId != 0) {
        m_identification.hardwareRevision = m_common.hardwareRevision;
        m_identification.manufacturerId = m_common.manufacturerId;
        m_identification.modelNumber = m_common.modelNumber;
    }
    if (m_common.serialNumber != 0) {
        m_identification.serialNumber = m_common.serialNumber;
        m_identification.softwareRevision = m_common.softwareRevision;
    }
    r[1] = 1;
    if (m_travelModeNotSupported == 1)
        r[3] = 255;
    ANTSensor_Deliver(ANTSENSOR_CODE_LEV, m_record, ANT_LEV_RECORD_SIZE);

    if (m_messages == 0)
        sendIdentification();
    m_messages = uint8_t(m_messages + 1);
    if (m_messages >= kIdentificationEvery && m_pending != 16) {
        sendIdentification();
        m_messages = 1;
    }
}

void LEVSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    if (m_pending) {
        // The page goes with the channel: no outcome will come for it, and
        // identification pages must not wait for one.
        m_pending = 0;
        m_resends = 0;
        m_record[60] = 0;
    }
    ANTSensor_Deliver(ANTSENSOR_CODE_LEV, m_record, ANT_LEV_RECORD_SIZE);
}

} // namespace senvoy

using namespace senvoy;

namespace {
ANTSensorProfile* makeLev()
{
    return new LEVSensor;
}

// The setter exports: the sensor must be a vehicle on this channel.
int levSet(uint8_t channel, const ANTLEVSettings* s, int (LEVSensor::*op)(uint8_t, const ANTLEVSettings*))
{
    if (!s)
        return 0;
    auto* lev = static_cast<LEVSensor*>(SensorTable_Find(channel, ANT_SENSOR_LEV));
    return lev ? (lev->*op)(channel, s) : 0;
}
} // namespace

extern "C" {

SENVOY_API int ANTLEV_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_LEV, &makeLev);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTLEV_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_LEV);
}

SENVOY_API int ANTLEV_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_LEV, &makeLev);
    return p ? static_cast<LEVSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTLEV_ChangeDisplayAssistModes(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeDisplayAssistModes);
}

SENVOY_API int ANTLEV_ChangeDisplayRegenModes(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeDisplayRegenModes);
}

SENVOY_API int ANTLEV_ChangeP16Assist(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeAssist);
}

SENVOY_API int ANTLEV_ChangeP16Regen(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeRegen);
}

SENVOY_API int ANTLEV_ChangeP16FrontGear(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeFrontGear);
}

SENVOY_API int ANTLEV_ChangeP16RearGear(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeRearGear);
}

SENVOY_API int ANTLEV_ChangeP16HighBeamOn(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeLights);
}

SENVOY_API int ANTLEV_ChangeP16LightOn(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeLights);
}

SENVOY_API int ANTLEV_ChangeP16LeftSignalOn(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeLights);
}

SENVOY_API int ANTLEV_ChangeP16RightSignalOn(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeLights);
}

SENVOY_API int ANTLEV_ChangeP16ManID(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeManufacturerId);
}

SENVOY_API int ANTLEV_ChangeP16Circum(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::changeCircumference);
}

SENVOY_API int ANTLEV_SetP16TravelModeNotSupported(uint8_t channel, const ANTLEVSettings* s)
{
    return levSet(channel, s, &LEVSensor::setTravelModeNotSupported);
}

SENVOY_API int ANTLEV_SendP16Data(uint8_t channel)
{
    auto* lev = static_cast<LEVSensor*>(SensorTable_Find(channel, ANT_SENSOR_LEV));
    return lev ? lev->sendDisplayData(channel) : 0;
}

} // extern "C"
