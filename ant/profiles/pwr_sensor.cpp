#include "ant/profiles/pwr_sensor.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_library.h"
#include "ant/profiles/record_fields.h"
#include "ant/senvoy.h"
#include "platform/debug.h"

#include <algorithm>
#include <cstring>

namespace senvoy {

namespace {
bool reserved(const uint8_t* p, int from, int to)
{
    for (int i = from; i <= to; ++i)
        if (p[i] != 0xFF)
            return false;
    return true;
}
} // namespace

static_assert(sizeof(ANTPWRSettings) == 24, "the calibration settings are 24 bytes");

PWRSensor::PWRSensor()
    : ANTSensorProfile(ANT_SENSOR_PWR, kDeviceType, kRf, kPeriod, kNetwork)
{
}

int PWRSensor::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, true, false);
}

int PWRSensor::configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    return configureListWith(channel, deviceNumbers, count, exclude, false, 5);
}

void PWRSensor::resetDecoder()
{
    m_page = PWRPageData {};
    m_common = CommonPageRecord {};
    std::memset(m_record, 0, sizeof m_record);
    m_first16 = m_first17 = m_first18 = m_first32 = 0;
    m_previousType = 0;
    m_power = m_page16Total = m_torqueEventTotal = m_tickTotal = 0;
    m_speed = m_distance = m_angularVelocity = m_torque = m_cadence = 0;
    m_circumference = kDefaultCircumference;
    m_ctfTotal = 0;
    m_ctfZeroOffset = 0;
    m_pending = m_resends = 0;
    m_stopped = m_wheelStopped = 0;
    m_previousEvent16 = 0;
    m_previousAccumulatedPower = 0;
    m_previousTorqueEvent = m_previousTicks = 0;
    m_previousPeriod = m_previousTorque = 0;
    m_previousCtfEvent = 0;
    m_previousTimeStamp = m_previousTorqueTicks = 0;
    m_noEvent = 0;
}

// ---- Calibration ------------------------------------------------------------

int PWRSensor::setManualCalibration(uint8_t channel)
{
    if (channel != m_channel)
        return 0;
    m_calibrationFlag = 1;
    return sendRequest(0xAA, true);
}

int PWRSensor::setAutoZero(uint8_t channel, const ANTPWRSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_autoZero = s->autoZero;
    m_calibrationFlag = 1;
    return sendRequest(0xAB, true);
}

int PWRSensor::setCtfSerial(uint8_t channel, const ANTPWRSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_ctfSerial = uint16_t(s->ctfSerial);
    m_calibrationFlag = 1;
    return sendRequest(kRequestSerial, true);
}

int PWRSensor::setCtfSlope(uint8_t channel, const ANTPWRSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_ctfSlope10 = uint16_t(s->ctfSlope * 10u);
    m_calibrationFlag = 1;
    return sendRequest(kRequestSlope, true);
}

int PWRSensor::setWheelCircumference(uint8_t channel, const ANTPWRSettings* s)
{
    if (channel != m_channel || !s)
        return 0;
    m_circumference = uint8_t(s->wheelCircumference);
    return 1;
}

int PWRSensor::sendRequest(uint8_t id, bool await)
{
    uint8_t b[8] = {};
    if (!m_calibrationFlag) {
        if (id == 2) {
            const uint8_t page2[8] = { 2, m_page.parameter[0], 0xFF, 0xFF, m_page.parameter[1], m_page.parameter[2],
                m_page.parameter[3], 0xFF };
            std::memcpy(b, page2, 8);
        } else if (id == 70) {
            CommonPage_Encode(&m_common, 70, b);
        } else {
            if (m_page.verbose)
                ce::debugOutput("Error: UNDEF_PAGE.\n");
            return 0;
        }
    } else {
        switch (id) {
        case kRequestSlope:
        case kRequestSerial: {
            const uint16_t v = id == kRequestSlope ? m_ctfSlope10 : m_ctfSerial;
            const uint8_t page[8] = { 0x01, 0x10, id, 0xFF, 0xFF, 0xFF, uint8_t(v >> 8), uint8_t(v) };
            std::memcpy(b, page, 8);
            break;
        }
        case 0xAA: {
            const uint8_t page[8] = { 0x01, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
            std::memcpy(b, page, 8);
            break;
        }
        case 0xAB: {
            const uint8_t page[8] = { 0x01, 0xAB, uint8_t(m_autoZero ? 1 : 0), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF };
            std::memcpy(b, page, 8);
            break;
        }
        default: break;
        }
    }
    // A request stays pending until it is acknowledged or has failed; a
    // request made meanwhile goes out but does not take its place. On a
    // channel that is not open the radio refuses the page and no outcome
    // follows, so such a request is not pending.
    if (!m_pending && m_state >= STATE_SEARCHING) {
        m_resends = 0;
        m_pending = id;
    }
    return ANTCommand_SendAcknowledgedData(m_framer, m_channel, b, await ? ANT_ACKNOWLEDGED_TIMEOUT_MS : 0)
            == ANT_RESULT_OK
        ? 1
        : 0;
}

int PWRSensor::resendRequest()
{
    if (!m_pending)
        return 1;
    if (m_resends++ >= kMaxResends)
        return 0;
    // On the receive thread: written, its outcome is the next channel event.
    sendRequest(m_pending, false);
    return 1;
}

void PWRSensor::reportRequestStatus(uint8_t status)
{
    m_record[0] = m_channel;
    m_record[134] = status;
    ANTSensor_Deliver(ANTSENSOR_CODE_PWR, m_record, ANT_PWR_RECORD_SIZE);
}

void PWRSensor::onEvent(uint8_t code)
{
    if (code == ANT_EVENT_TRANSFER_TX_COMPLETED) {
        m_pending = 0;
        m_resends = 0;
        reportRequestStatus(0);
    } else if (code == ANT_EVENT_TRANSFER_TX_FAILED && m_pending) {
        // The radio gave the request up: it is not resent, and the next
        // request is a request of its own.
        m_pending = 0;
        m_resends = 0;
        reportRequestStatus(2);
    } else if (code == ANT_EVENT_TRANSFER_RETRY && m_pending) {
        if (resendRequest()) {
            reportRequestStatus(1);
        } else {
            // Given up: the next request is a request of its own.
            m_pending = 0;
            m_resends = 0;
            reportRequestStatus(2);
        }
    }
}

// ---- Pages --------------------------------------------------------------------

void PWRSensor::decodePage(const uint8_t p[8])
{
    PWRPageData& d = m_page;
    auto say = [&](const char* line) {
        if (d.verbose)
            ce::debugOutput(line);
    };
    switch (p[0]) {
    case 1:
        d.calibrationId = p[1];
        switch (p[1]) {
        case 0x10:
            d.ctfMessageId = p[2];
            switch (p[2]) {
            case 1:
            case 2:
            case 3:
                if (!reserved(p, 3, 5))
                    say("Error: bad reserved fields\n");
                (p[2] == 1 ? d.ctfZeroOffset : p[2] == 2 ? d.ctfSlopeAck : d.ctfSerialAck) = be16(p + 6);
                break;
            case 0xAC: {
                d.ctfAckedId = p[3];
                const bool badReserved = !reserved(p, 4, 7);
                const bool badId = p[3] != 2 && p[3] != 3;
                if (badReserved && badId)
                    say("Error: bad reserved field and unsupported acked message .\n");
                else if (badReserved)
                    say("Error:bad reserved field \n");
                else if (badId)
                    say("Error:unsupported acked message.\n");
                break;
            }
            default: say("Error: Undefined CTF message  .\n"); break;
            }
            break;
        case 0x12: {
            d.autoZeroSupported = p[2] & 1;
            d.autoZeroOn = (p[2] >> 1) & 1;
            d.autoZeroWord1 = int16_t(le16(p + 3));
            d.autoZeroWord2 = int16_t(le16(p + 5));
            const bool badStatus = (p[2] & 0xFC) != 0;
            const bool badReserved = p[7] != 0xFF;
            if (badStatus && badReserved)
                say("Error:Bad auto zero status and reserved field  .\n");
            else if (badStatus)
                say("Error:  undefined auto zero status .\n");
            else if (badReserved)
                say("Error:bad reserved field  .\n");
            break;
        }
        case 0xAA:
            if (!reserved(p, 2, 7))
                say("Error: Invalid value on reserved field  .\n");
            break;
        case 0xAB:
        case 0xAC:
        case 0xAF: {
            if (p[1] != 0xAB)
                d.calibrationData = int16_t(le16(p + 6));
            bool known = true;
            if (p[2] == 0) {
                d.autoZeroSupported = 1;
                d.autoZeroOn = 0;
            } else if (p[2] == 1) {
                d.autoZeroSupported = 1;
                d.autoZeroOn = 1;
            } else if (p[2] == 255) {
                d.autoZeroSupported = 0;
                d.autoZeroOn = 0;
            } else {
                known = false;
            }
            if (p[1] == 0xAB) {
                if (!reserved(p, 3, 7))
                    say("Error: Invalid value on reserved field .\n");
                else if (!known)
                    say("Error:  invalid auto zero status .\n");
            } else {
                const bool badReserved = !reserved(p, 3, 5);
                if (badReserved && !known)
                    say("Error: Bad auto zero status and reserved field .\n");
                else if (!known)
                    say("Error:  invalid auto zero status .\n");
                else if (badReserved)
                    say("Error:bad reserved field .\n");
            }
            break;
        }
        default: say("Error:  Undefined calibration message .\n"); break;
        }
        break;
    case 2:
        d.parameter[0] = p[1];
        d.parameter[1] = p[4];
        d.parameter[2] = p[5];
        d.parameter[3] = p[6];
        if (p[2] != 0xFF || p[3] != 0xFF || p[7] != 0xFF)
            say("Error: bad reserved field.\n");
        break;
    case 16:
        if (d.sensorType == 0 || d.sensorType == 4) {
            if (++d.page16Count >= 4) {
                d.sensorType = 1;
                d.page16Count = 0;
            }
        }
        if (d.sensorType == 2 || d.sensorType == 3) {
            // A page 16 with no torque page since the last one: the torque
            // pages have stopped, so the kind is open again.
            if (d.torquePageCount == d.torquePageMark) {
                d.torquePageCount = 0;
                d.page16Count = 0;
                d.sensorType = 0;
            }
            d.torquePageMark = d.torquePageCount;
        }
        d.eventCount16 = p[1];
        d.pedalPower = p[2];
        d.cadence = p[3];
        d.accumulatedPower = le16(p + 4);
        d.instantaneousPower = le16(p + 6);
        if (p[2] != 0xFF)
            say("Error:Invalid value in reserved field.\n");
        break;
    case 17:
    case 18: {
        const int32_t type = p[0] == 17 ? 2 : 3;
        if (d.sensorType != type) {
            d.sensorType = type;
            d.torquePageCount = 0;
            d.torquePageMark = 0;
        }
        ++d.torquePageCount;
        (type == 2 ? d.eventCount17 : d.eventCount18) = p[1];
        (type == 2 ? d.wheelTicks : d.crankTicks) = p[2];
        d.cadence = p[3];
        (type == 2 ? d.wheelPeriod : d.crankPeriod) = le16(p + 4);
        d.accumulatedTorque = le16(p + 6);
        break;
    }
    case 32:
        d.sensorType = 4;
        d.eventCount32 = p[1];
        d.slope = be16(p + 2);
        d.timeStamp = be16(p + 4);
        d.torqueTicks = be16(p + 6);
        break;
    default: say("Error: Undefined page  .\n"); break;
    }
}

void PWRSensor::resetRecord()
{
    std::memset(m_record, 0, sizeof m_record);
    m_record[2] = uint8_t(m_page.sensorType);
}

void PWRSensor::decode(const uint8_t p[8])
{
    m_pageNumber = p[0];
    if (p[0] >= 80 && p[0] <= 82)
        CommonPage_Decode(&m_common, p);
    if (p[0] <= 32)
        decodePage(p);
    if (m_page.sensorType != m_previousType) {
        // Another kind of meter: its computed values start again.
        resetRecord();
        m_stopped = m_wheelStopped = 0;
        m_first16 = m_first17 = m_first18 = m_first32 = 0;
        if (m_page.sensorType == 4)
            sendRequest(0xAA, false); // the zero offset of a CTF meter
    }
    if (p[0] == 1 && m_page.calibrationId == 0x10 && m_page.ctfMessageId == 1)
        m_ctfZeroOffset = m_page.ctfZeroOffset;
    if (p[0] == 16) {
        if (!m_first16) {
            m_previousEvent16 = m_page.eventCount16;
            m_previousAccumulatedPower = m_page.accumulatedPower;
            m_page16Total = 0;
            m_first16 = 1;
        }
        m_page16Total += uint8_t(m_page.eventCount16 - m_previousEvent16);
        m_previousEvent16 = m_page.eventCount16;
        m_previousAccumulatedPower = m_page.accumulatedPower;
    } else if (p[0] == 17 || p[0] == 18) {
        decodeTorquePage(p[0] == 17);
    } else if (p[0] == 32) {
        decodeCtfPage();
    }
}

void PWRSensor::decodeTorquePage(bool wheel)
{
    const PWRPageData& d = m_page;
    const uint8_t event = wheel ? d.eventCount17 : d.eventCount18;
    const uint8_t ticks = wheel ? d.wheelTicks : d.crankTicks;
    const uint16_t period = wheel ? d.wheelPeriod : d.crankPeriod;
    uint32_t& first = wheel ? m_first17 : m_first18;
    if (!first) {
        first = 1;
        m_torqueEventTotal = m_tickTotal = m_distance = 0;
        m_noEvent = 0;
        m_previousTorqueEvent = event;
        m_previousTicks = ticks;
        m_previousPeriod = period;
        m_previousTorque = d.accumulatedTorque;
    }
    const uint8_t dE = uint8_t(event - m_previousTorqueEvent);
    const uint8_t dTicks = uint8_t(ticks - m_previousTicks);
    const uint16_t dT = uint16_t(d.accumulatedTorque - m_previousTorque);
    const uint16_t dP = uint16_t(period - m_previousPeriod);
    m_torqueEventTotal += dE;
    m_tickTotal += dTicks;
    m_previousTorqueEvent = event;
    m_previousTicks = ticks;
    m_previousPeriod = period;
    m_previousTorque = d.accumulatedTorque;

    auto standing = [&] {
        if (wheel) {
            m_wheelStopped = 1;
            m_speed = 0;
        } else {
            m_stopped = 1;
            m_cadence = 0;
        }
        m_angularVelocity = 0;
    };
    if (dE == 0) {
        if (m_noEvent < 0xFFFF)
            ++m_noEvent;
        if (m_noEvent >= kStillLimit) {
            standing();
            m_power = 0; // nothing turns, nothing is put in
        }
        return;
    }
    m_noEvent = 0;
    if (dP == 0) {
        standing();
    } else if (wheel) {
        m_wheelStopped = 0;
        // cm x events over 1/2048 s: 7372800 / 100 = 2048 x 3600 / 100 gives m/h.
        m_speed = uint32_t(uint64_t(m_circumference) * dE * 7372800u / (uint64_t(dP) * 100u));
    } else {
        m_stopped = 0;
        m_cadence = uint32_t(uint64_t(dE) * 122880u / dP);
    }
    if (dP != 0)
        m_angularVelocity = uint32_t(uint64_t(dE) * 3293184u / dP); // 2 pi x 2048 x 256
    m_torque = dT / dE;
    m_power = uint32_t((uint64_t(m_torque) * m_angularVelocity) >> 5);
    if (wheel) {
        m_stopped = dT == 0 ? 1 : 0;
        m_distance += uint32_t(m_circumference) * dTicks;
    }
}

void PWRSensor::decodeCtfPage()
{
    const PWRPageData& d = m_page;
    if (!m_first32) {
        m_first32 = 1;
        m_ctfTotal = 0;
        m_noEvent = 0;
        m_previousCtfEvent = d.eventCount32;
        m_previousTimeStamp = d.timeStamp;
        m_previousTorqueTicks = d.torqueTicks;
    }
    const uint8_t dE = uint8_t(d.eventCount32 - m_previousCtfEvent);
    const uint16_t dTime = uint16_t(d.timeStamp - m_previousTimeStamp);
    const uint16_t dTicks = uint16_t(d.torqueTicks - m_previousTorqueTicks);
    m_ctfTotal += dE;
    m_previousCtfEvent = d.eventCount32;
    m_previousTimeStamp = d.timeStamp;
    m_previousTorqueTicks = d.torqueTicks;
    if (dE == 0) {
        if (m_noEvent < 0xFFFF)
            ++m_noEvent;
        if (m_noEvent >= kStillLimit) {
            m_cadence = 0;
            m_power = 0;
            m_stopped = 1;
        }
        return;
    }
    m_noEvent = 0;
    m_stopped = 0;
    if (dTime == 0)
        return;
    m_cadence = uint32_t(uint64_t(dE) * 120000u / dTime);
    if (d.slope < 100 || d.slope > 500)
        return;
    // The tick frequency above the zero offset, over the slope; below the
    // offset there is no torque.
    const int64_t above = int64_t(dTicks) * 640000 / dTime - int64_t(m_ctfZeroOffset) * 320;
    m_torque = above > 0 ? uint32_t(above / d.slope) : 0;
    m_power = uint32_t(uint64_t(m_torque) * m_cadence * 804u / 960u);
    if (m_torque != 0)
        m_angularVelocity = uint32_t((uint64_t(m_power) << 5) / m_torque);
}

void PWRSensor::report()
{
    const PWRPageData& d = m_page;
    const uint8_t p = m_pageNumber;
    uint8_t* r = m_record;
    r[0] = m_channel;
    if (p == 1) {
        const uint8_t autoZero = d.autoZeroSupported ? uint8_t(d.autoZeroOn) : uint8_t(255);
        if (d.calibrationId == 0x12) {
            r[29] = autoZero;
            putField16(r, 32, uint16_t(d.autoZeroWord1));
            putField16(r, 34, uint16_t(d.autoZeroWord2));
        } else if (d.calibrationId == 0xAC || d.calibrationId == 0xAF) {
            r[29] = autoZero;
            putField16(r, 36, uint16_t(d.calibrationData));
            r[28] = d.calibrationId == 0xAC ? 0x11 : 0x10;
        } else if (d.calibrationId == 0x10 && d.ctfMessageId == 1) {
            putField16(r, 30, d.ctfZeroOffset);
            if (d.ctfZeroOffset != 0) {
                putField16(r, 132, m_ctfZeroOffset);
                r[28] = 0x21;
            }
        }
    } else if (p == 16) {
        r[3] = d.eventCount16;
        r[4] = d.cadence;
        r[5] = (d.pedalPower & 0x7F) <= 100 ? d.pedalPower : 0;
        putField16(r, 6, d.accumulatedPower);
        putField16(r, 8, d.instantaneousPower);
    } else if (p == 17) {
        r[4] = d.cadence;
        r[10] = d.eventCount17;
        r[11] = d.wheelTicks;
        putField16(r, 12, d.wheelPeriod);
        putField16(r, 14, d.accumulatedTorque);
    } else if (p == 18) {
        if (d.cadence != 255)
            r[4] = d.cadence;
        putField16(r, 14, d.accumulatedTorque);
        r[16] = d.eventCount18;
        r[17] = d.crankTicks;
        putField16(r, 18, d.crankPeriod);
    } else if (p == 32) {
        r[20] = d.eventCount32;
        putField16(r, 22, d.slope);
        putField16(r, 24, d.timeStamp);
        putField16(r, 26, d.torqueTicks);
    } else if (p == 80) {
        putField32(r, 40, 1);
        r[44] = m_common.hardwareRevision;
        putField16(r, 46, m_common.manufacturerId);
        putField16(r, 48, m_common.modelNumber);
    }
    // Computed values only from pages of one kind: the first page after a
    // change carries its own fields alone.
    if (d.sensorType == m_previousType) {
        switch (d.sensorType) {
        case 1:
            putField32(r, 64, m_stopped);
            putField32(r, 68, m_wheelStopped);
            putField32(r, 72, m_page16Total);
            break;
        case 2:
        case 3:
            putField32(r, 64, m_stopped);
            putField32(r, 68, m_wheelStopped);
            putFieldDouble(r, 56, m_power / 256.0);
            putField32(r, 76, m_torqueEventTotal);
            putField32(r, 80, m_tickTotal);
            putFieldDouble(r, 104, m_angularVelocity / 256.0);
            putFieldDouble(r, 112, m_torque / 32.0);
            if (d.sensorType == 2) {
                putFieldDouble(r, 88, m_speed * 0.001);
                putFieldDouble(r, 96, m_distance * 0.01);
            } else {
                putField32(r, 120, m_cadence);
            }
            break;
        case 4:
            if (p == 1 && d.ctfMessageId == 1) {
                // A new zero offset: what was computed with the old one goes.
                std::memset(r + 56, 0, 8);
                std::memset(r + 104, 0, 20);
                std::memset(r + 128, 0, 4);
            } else {
                putField32(r, 64, m_stopped);
                putField32(r, 68, m_wheelStopped);
                putFieldDouble(r, 56, m_power / 256.0);
                putField32(r, 128, m_ctfTotal);
                putFieldDouble(r, 104, m_angularVelocity / 256.0);
                putFieldDouble(r, 112, m_torque / 32.0);
                putField32(r, 120, m_cadence);
            }
            break;
        default: break;
        }
    }
    r[1] = 1;
    ANTSensor_Deliver(ANTSENSOR_CODE_PWR, m_record, ANT_PWR_RECORD_SIZE);
    m_previousType = d.sensorType;
}

void PWRSensor::reportClosed()
{
    m_record[0] = m_channel;
    m_record[1] = 0;
    if (m_pending) {
        // The request goes with the channel: no outcome will come for it.
        m_pending = 0;
        m_resends = 0;
        m_record[134] = 2;
    }
    ANTSensor_Deliver(ANTSENSOR_CODE_PWR, m_record, ANT_PWR_RECORD_SIZE);
}

} // namespace senvoy

using namespace senvoy;

namespace {
ANTSensorProfile* makePwr()
{
    return new PWRSensor;
}
PWRSensor* pwrOn(uint8_t channel)
{
    return static_cast<PWRSensor*>(SensorTable_Find(channel, ANT_SENSOR_PWR));
}
} // namespace

extern "C" {

SENVOY_API int ANTPWR_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_PWR, &makePwr);
    return p ? p->open(channel, deviceNumber, searchTimeout) : 0;
}

SENVOY_API int ANTPWR_Disconnect(uint8_t channel)
{
    return SensorTable_Disconnect(channel, ANT_SENSOR_PWR);
}

SENVOY_API int ANTPWR_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude)
{
    ANTSensorProfile* p = SensorTable_Creator(channel, ANT_SENSOR_PWR, &makePwr);
    return p ? static_cast<PWRSensor*>(p)->configureList(channel, deviceNumbers, count, exclude) : 0;
}

SENVOY_API int ANTPWR_Cal_SetManualCalibration(uint8_t channel)
{
    PWRSensor* p = pwrOn(channel);
    return p ? p->setManualCalibration(channel) : 0;
}

SENVOY_API int ANTPWR_Cal_SetAutoZero(uint8_t channel, const ANTPWRSettings* settings)
{
    PWRSensor* p = settings ? pwrOn(channel) : nullptr;
    return p ? p->setAutoZero(channel, settings) : 0;
}

SENVOY_API int ANTPWR_Cal_SetCTFSerial(uint8_t channel, const ANTPWRSettings* settings)
{
    PWRSensor* p = settings ? pwrOn(channel) : nullptr;
    return p ? p->setCtfSerial(channel, settings) : 0;
}

SENVOY_API int ANTPWR_Cal_SetCTFSlope(uint8_t channel, const ANTPWRSettings* settings)
{
    PWRSensor* p = settings ? pwrOn(channel) : nullptr;
    return p ? p->setCtfSlope(channel, settings) : 0;
}

SENVOY_API int ANTPWR_Cal_SetWheelCircumference(uint8_t channel, const ANTPWRSettings* settings)
{
    PWRSensor* p = settings ? pwrOn(channel) : nullptr;
    return p ? p->setWheelCircumference(channel, settings) : 0;
}

} // extern "C"
