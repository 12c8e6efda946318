// The air between the simulated radio's channels: a master channel's
// broadcasts, acknowledged data and bursts reach every slave channel whose
// network key, RF frequency, period and channel id match it (0 in the
// slave's id = any), and a slave's acknowledged data and bursts reach the
// master it hears. A slave that hears a master is tracking it.
//
// The channels of radios in other processes are on the same air when the
// simulator joins them: their open channels and what they send come in
// from outside, and are heard by the same rules.
#include "sim/ant_radio/ant_radio_model.h"

#include <algorithm>
#include <limits>

namespace kivo::sim {

AirChannel AntRadioModel::airChannel(uint8_t ch) const
{
    const AntSimChannel& c = channel(ch);
    AirChannel a;
    a.type = c.type;
    a.rf = c.rf;
    a.period = c.period;
    a.key = m_keys[c.network % kNetworks];
    a.deviceNumber = c.deviceNumber;
    a.deviceType = c.deviceType;
    a.transmissionType = c.transmissionType;
    return a;
}

bool AntRadioModel::hearsOnAir(const AirChannel& slave, const AirChannel& master)
{
    if ((slave.type & 0x10) || !(master.type & 0x10))
        return false;
    if (slave.rf != master.rf || slave.period != master.period || slave.key != master.key)
        return false;
    if (slave.deviceNumber != 0 && slave.deviceNumber != master.deviceNumber)
        return false;
    if ((slave.deviceType & 0x7F) != 0 && (slave.deviceType & 0x7F) != (master.deviceType & 0x7F))
        return false;
    return slave.transmissionType == 0 || slave.transmissionType == master.transmissionType;
}

bool AntRadioModel::hearsOnAir(uint8_t slave, uint8_t master) const
{
    return channel(slave).state >= 2 && channel(master).state >= 2 && hearsOnAir(airChannel(slave), airChannel(master));
}

std::vector<uint8_t> AntRadioModel::airPeers(uint8_t ch) const
{
    std::vector<uint8_t> peers;
    const bool master = (channel(ch).type & 0x10) != 0;
    for (uint8_t other = 0; other < kChannels; ++other) {
        if (other == ch % kChannels)
            continue;
        if (master ? hearsOnAir(other, ch) : hearsOnAir(ch, other))
            peers.push_back(other);
    }
    return peers;
}

const AirChannel* AntRadioModel::remoteMaster(uint8_t ch) const
{
    if (channel(ch).state < 2)
        return nullptr;
    const AirChannel slave = airChannel(ch);
    for (const auto& radio : m_remote)
        for (const AirChannel& c : radio.second)
            if (hearsOnAir(slave, c))
                return &c;
    return nullptr;
}

void AntRadioModel::airForward(uint8_t ch, uint8_t id, const std::vector<uint8_t>& data, std::vector<AntMessage>& out)
{
    if (data.size() < 9)
        return;
    for (uint8_t peer : airPeers(ch)) {
        std::vector<uint8_t> d(data.begin(), data.begin() + 9);
        d[0] = uint8_t((data[0] & 0xE0) | peer); // a burst keeps its sequence and last-packet bits
        if (id == 0x4E && !(m_channels[peer].type & 0x10))
            m_channels[peer].state = 3; // the slave found its master
        out.push_back({ id, d });
    }
    if (m_airOutbox && channel(ch).state >= 2) {
        AirTransmission t { airChannel(ch), id, {} };
        std::copy(data.begin(), data.begin() + 9, t.data.begin());
        m_outbox.push_back(t);
    }
}

bool AntRadioModel::airTick(uint8_t ch)
{
    AntSimChannel& c = m_channels[ch];
    if (c.strap >= 0 || c.peer >= 0 || (c.type & 0x10))
        return false;
    if (!airPeers(ch).empty() || remoteMaster(ch)) {
        c.state = 3;
        return true;
    }
    if (c.state == 3) { // its master is gone: searching again
        c.state = 2;
        c.searchDeadlineUs = c.searchTimeout == 255 ? std::numeric_limits<uint64_t>::max()
                                                    : m_nowUs + uint64_t(c.searchTimeout) * 2500000u;
    }
    return false;
}

std::vector<AirChannel> AntRadioModel::airChannels() const
{
    std::vector<AirChannel> open;
    for (uint8_t ch = 0; ch < kChannels; ++ch)
        if (m_channels[ch].state >= 2)
            open.push_back(airChannel(ch));
    return open;
}

void AntRadioModel::setRemoteChannels(const std::string& radio, std::vector<AirChannel> channels)
{
    if (channels.empty())
        m_remote.erase(radio);
    else
        m_remote[radio] = std::move(channels);
}

bool AntRadioModel::hearsRemote(uint8_t ch, const AirChannel& master) const
{
    return channel(ch).state >= 2 && hearsOnAir(airChannel(ch), master);
}

std::vector<AntMessage> AntRadioModel::receiveFromAir(const AirTransmission& t)
{
    std::vector<AntMessage> out;
    const bool fromMaster = (t.sender.type & 0x10) != 0;
    for (uint8_t ch = 0; ch < kChannels; ++ch) {
        AntSimChannel& c = m_channels[ch];
        if (c.state < 2)
            continue;
        const AirChannel here = airChannel(ch);
        if (!(fromMaster ? hearsOnAir(here, t.sender) : hearsOnAir(t.sender, here)))
            continue;
        std::vector<uint8_t> d(t.data.begin(), t.data.end());
        d[0] = uint8_t((t.data[0] & 0xE0) | ch);
        if (t.id == 0x4E && fromMaster)
            c.state = 3;
        out.push_back({ t.id, d });
    }
    return out;
}

void AntRadioModel::setAirOutbox(bool on)
{
    m_airOutbox = on;
    if (!on)
        m_outbox.clear();
}

std::vector<AirTransmission> AntRadioModel::takeAirOutbox()
{
    std::vector<AirTransmission> out;
    out.swap(m_outbox);
    return out;
}

} // namespace kivo::sim
