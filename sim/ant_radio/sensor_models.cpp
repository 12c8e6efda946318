#include "sim/ant_radio/sensor_models.h"

#include "sim/ant_radio/ant_radio_model.h"

#include <algorithm>
#include <limits>

namespace kivo::sim {

// ---- The radio's side of its peers ------------------------------------------

int AntRadioModel::addPeer(std::shared_ptr<AntPeer> peer)
{
    m_peers.push_back(std::move(peer));
    return int(m_peers.size() - 1);
}

void AntRadioModel::findPeer(AntSimChannel& c)
{
    for (size_t i = 0; i < m_peers.size() && c.peer < 0; ++i) {
        bool taken = false;
        for (const AntSimChannel& other : m_channels)
            taken = taken || (&other != &c && other.peer == int(i));
        if (!taken && hearsPeer(c, *m_peers[i]))
            c.peer = int(i);
    }
}

void AntRadioModel::tickPeer(uint8_t ch, std::vector<AntMessage>& out)
{
    AntSimChannel& c = m_channels[ch];
    AntPeer& p = *m_peers[size_t(c.peer)];
    if (!p.inRange || p.dropouts > 0) {
        if (p.dropouts > 0)
            --p.dropouts;
        out.push_back(event(ch, 2)); // a page missed
        if (!p.inRange && ++c.misses >= 8) {
            out.push_back(event(ch, 8)); // back to searching
            c.state = 2;
            c.peer = -1;
            c.searchDeadlineUs = c.searchTimeout == 255 ? std::numeric_limits<uint64_t>::max()
                                                        : m_nowUs + uint64_t(c.searchTimeout) * 2500000u;
        }
        return;
    }
    c.misses = 0;
    AntPage page = p.nextPage(m_nowUs);
    AntMessage m { 0x4E, { ch } };
    m.data.insert(m.data.end(), page.begin(), page.end());
    out.push_back(std::move(m));
}

std::vector<AntMessage> AntRadioModel::peerData(uint8_t ch, const std::vector<uint8_t>& data, bool acknowledged)
{
    AntPage page {};
    std::copy(data.begin() + 1, data.begin() + 9, page.begin());
    std::vector<AntMessage> out;
    for (uint8_t code : m_peers[size_t(channel(ch).peer)]->onHostPage(m_nowUs, page, acknowledged))
        out.push_back(event(ch, code));
    return out;
}

// ---- Models -------------------------------------------------------------------

uint32_t AntRotor::advance(uint64_t nowUs)
{
    const uint32_t units = intervalUnits();
    if (units == 0) {
        nextUs = 0;
        return 0;
    }
    const uint64_t intervalUs = std::max<uint64_t>(uint64_t(units) * 1000000u / unitsPerSecond, 1);
    if (nextUs == 0)
        nextUs = nowUs + intervalUs;
    uint32_t n = 0;
    while (nextUs <= nowUs) {
        ++count;
        time = uint16_t(time + units);
        nextUs += intervalUs;
        ++n;
    }
    return n;
}

std::vector<uint8_t> AntScriptedPeer::onHostPage(uint64_t nowUs, const AntPage& page, bool acknowledged)
{
    received.push_back(page);
    receivedAcknowledged.push_back(acknowledged);
    if (!acknowledged) {
        take(nowUs, page);
        return {};
    }
    uint8_t code = 5;
    if (!transferScript.empty()) {
        code = transferScript.front();
        transferScript.pop_front();
    }
    if (code == 5)
        take(nowUs, page);
    if (code == 0)
        return {};
    return { code };
}

AntSpeedCadenceSensor::AntSpeedCadenceSensor()
{
    deviceType = 121;
    period = 8086;
}

AntPage AntSpeedCadenceSensor::nextPage(uint64_t nowUs)
{
    wheel.advance(nowUs);
    crank.advance(nowUs);
    return { uint8_t(crank.time), uint8_t(crank.time >> 8), uint8_t(crank.count), uint8_t(crank.count >> 8),
        uint8_t(wheel.time), uint8_t(wheel.time >> 8), uint8_t(wheel.count), uint8_t(wheel.count >> 8) };
}

AntPowerMeter::AntPowerMeter(Kind k)
    : kind(k)
{
    deviceType = 11;
    period = 8182;
    crank.rpm = 90;
    crank.unitsPerSecond = kind == Kind::Ctf ? 2000 : 2048;
    wheel.unitsPerSecond = 2048;
}

AntPage AntPowerMeter::nextPage(uint64_t nowUs)
{
    // The rotors turn whether or not their page goes out now.
    uint32_t events = kind == Kind::WheelTorque ? wheel.advance(nowUs) : crank.advance(nowUs);
    if (kind == Kind::WheelTorque)
        crank.advance(nowUs);
    m_ticks = uint8_t(m_ticks + events);
    m_accumulatedTorque = uint16_t(m_accumulatedTorque + torque32 * events);
    if (kind == Kind::Ctf && events > 0) {
        // Ticks at the offset frequency plus slope/10 Hz per N m of torque,
        // over the time of the revolutions (1/2000 s each unit).
        const uint64_t hz320 = uint64_t(zeroOffset) * 320 + uint64_t(torque32) * slope;
        m_torqueTicks = uint16_t(m_torqueTicks + hz320 * crank.intervalUnits() * events / (320u * 2000u));
    }

    const uint32_t k = m_pages++;
    if (!m_answers.empty()) {
        AntPage a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    const uint8_t cadence = crank.rpm > 254 ? 254 : uint8_t(crank.rpm);
    if (k % 61 == 60) {
        const uint8_t common[3] = { 80, 81, 82 };
        const uint8_t page = common[(k / 61) % 3];
        if (page == 80)
            return { 80, 0xFF, 0xFF, 3, 0x34, 0x12, 0x78, 0x56 };
        if (page == 81)
            return { 81, 0xFF, 0xFF, 5, uint8_t(deviceNumber), uint8_t(deviceNumber >> 8), 0, 0 };
        return { 82, 0xFF, 0xFF, 0x10, 0x00, 0x00, 0x80, 0x93 };
    }
    if (kind == Kind::PowerOnly || k % 5 == 4) {
        ++m_event16;
        m_accumulatedPower = uint16_t(m_accumulatedPower + powerW);
        return { 16, m_event16, 0xFF, cadence, uint8_t(m_accumulatedPower), uint8_t(m_accumulatedPower >> 8),
            uint8_t(powerW), uint8_t(powerW >> 8) };
    }
    switch (kind) {
    case Kind::WheelTorque:
        return { 17, uint8_t(wheel.count), m_ticks, cadence, uint8_t(wheel.time), uint8_t(wheel.time >> 8),
            uint8_t(m_accumulatedTorque), uint8_t(m_accumulatedTorque >> 8) };
    case Kind::CrankTorque:
        return { 18, uint8_t(crank.count), m_ticks, cadence, uint8_t(crank.time), uint8_t(crank.time >> 8),
            uint8_t(m_accumulatedTorque), uint8_t(m_accumulatedTorque >> 8) };
    default:
        return { 32, uint8_t(crank.count), uint8_t(slope >> 8), uint8_t(slope), uint8_t(crank.time >> 8),
            uint8_t(crank.time), uint8_t(m_torqueTicks >> 8), uint8_t(m_torqueTicks) };
    }
}

void AntPowerMeter::take(uint64_t, const AntPage& p)
{
    if (p[0] != 0x01)
        return;
    const uint8_t data0 = uint8_t(calibrationData), data1 = uint8_t(uint16_t(calibrationData) >> 8);
    switch (p[1]) {
    case 0xAA: // manual zero
        if (kind == Kind::Ctf)
            m_answers.push_back({ 1, 0x10, 1, 0xFF, 0xFF, 0xFF, uint8_t(zeroOffset >> 8), uint8_t(zeroOffset) });
        else
            m_answers.push_back({ 1, uint8_t(calibrationSucceeds ? 0xAC : 0xAF), autoZeroStatus(), 0xFF, 0xFF, 0xFF,
                data0, data1 });
        break;
    case 0xAB: // auto zero on or off
        if (autoZeroSupported)
            autoZeroOn = p[2] != 0;
        m_answers.push_back({ 1, 0xAC, autoZeroStatus(), 0xFF, 0xFF, 0xFF, data0, data1 });
        break;
    case 0x10: // crank torque frequency: slope or serial number to keep
        if (p[2] == 2)
            slope = uint16_t((p[6] << 8) | p[7]);
        else if (p[2] == 3)
            serial = uint16_t((p[6] << 8) | p[7]);
        else
            break;
        m_answers.push_back({ 1, 0x10, 0xAC, p[2], 0xFF, 0xFF, 0xFF, 0xFF });
        break;
    default: break;
    }
}

AntPagedDevice::AntPagedDevice(uint8_t type, uint8_t rfChannel, uint16_t channelPeriod, std::vector<AntPage> p)
    : pages(std::move(p))
{
    deviceType = type;
    rf = rfChannel;
    period = channelPeriod;
}

AntPage AntPagedDevice::nextPage(uint64_t)
{
    if (pages.empty())
        return {};
    return pages[m_next++ % pages.size()];
}

AntPagedDevice AntPagedDevice::lightElectricVehicle()
{
    return AntPagedDevice(20, 57, 8192,
        { { 1, 0x11, 0x22, 0x33, 0x44, 0x00, 0xFA, 0x00 }, { 2, 0x40, 0xE2, 0x01, 0x32, 0x00, 0xFA, 0x00 },
            { 3, 80, 0x22, 0x33, 0x44, 40, 0xFA, 0x00 }, { 4, 0xFF, 0x2C, 0x51, 0x0F, 36, 0x10, 0x27 },
            { 5, 0xFF, 0x27, 0x34, 0x08, 0xFF, 0xFF, 0xFF }, { 34, 0x10, 0x27, 0x00, 0x64, 0x00, 0xC8, 0x00 },
            { 80, 0xFF, 0xFF, 2, 0x21, 0x00, 0x05, 0x00 }, { 81, 0xFF, 0xFF, 7, 0x78, 0x56, 0x34, 0x12 } });
}

AntPagedDevice AntPagedDevice::bsd()
{
    return AntPagedDevice(81, 60, 4096,
        { { 1, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0 }, { 2, 0x10, 0x20, 0x30, 0x40, 0, 0, 0 },
            { 4, 0x00, 0x64, 0x00, 0xC8, 0x01, 0x2C, 0 }, { 8, 0x00, 0x01, 0x86, 0xA0, 0, 0, 0 },
            { 16, 0x12, 0x34, 5, 6, 0, 0, 0 }, { 34, 1, 2, 3, 0x04, 0x00, 0, 0 },
            { 173, 1, 9, 8, 0xDE, 0xAD, 0xBE, 0xEF }, { 173, 2, 1, 2, 0x03, 0x04, 5, 6 } });
}

AntPagedDevice AntPagedDevice::gns()
{
    return AntPagedDevice(83, 60, 4096,
        { { 173, 1, 9, 8, 0x01, 0x02, 0x03, 0x04 }, { 173, 2, 1, 2, 0x03, 0x04, 0, 0 },
            { 221, 1, 0x01, 0x02, 0x03, 0x04, 5, 6 }, { 221, 2, 0x0A, 0x0B, 0x0C, 0x0D, 7, 0 },
            { 221, 3, 0x11, 0x22, 3, 0x44, 0x55, 0 }, { 221, 4, 9, 0x66, 0x77, 0, 0, 0 } });
}

AntPagedDevice AntPagedDevice::smano()
{
    return AntPagedDevice(1, 57, 8198, { { 0, 0xFF, 11, 12, 13, 0xFF, 0xFF, 0xFF }, { 17, 0xFF, 21, 22, 0, 0, 0, 0 } });
}

AntPagedDevice AntPagedDevice::trn()
{
    return AntPagedDevice(121, 57, 16172, { { 0x21, 0x43, 0x10, 0x00, 0x50, 0x21, 7, 0 } });
}

AntPagedDevice AntPagedDevice::vtx()
{
    return AntPagedDevice(61, 66, 8182,
        { { 0, 0xAD, 0x10, 0xF6, 0x20, 0x12, 0x34, 0x56 }, { 1, 7, 8, 0x01, 0x02, 0x03, 0x04, 0x05 },
            { 2, 0x0A, 0x0B, 0x0C, 0x11, 0x22, 0x33, 0x44 }, { 3, 0, 0, 0, 0, 9, 0x12, 0x34 } });
}

} // namespace kivo::sim
