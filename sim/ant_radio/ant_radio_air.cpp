// The air between the simulated radio's channels: a master channel's
// broadcasts, acknowledged data and bursts reach every slave channel whose
// network key, RF frequency, period and channel id match it (0 in the
// slave's id = any), and a slave's acknowledged data and bursts reach the
// master it hears. A slave that hears a master is tracking it.
#include "sim/ant_radio/ant_radio_model.h"

#include <algorithm>
#include <limits>

namespace kivo::sim {

bool AntRadioModel::hearsOnAir(const AntSimChannel& slave, const AntSimChannel& master) const
{
    if (slave.state < 2 || master.state < 2 || (slave.type & 0x10) || !(master.type & 0x10))
        return false;
    if (slave.rf != master.rf || slave.period != master.period)
        return false;
    if (m_keys[slave.network % kNetworks] != m_keys[master.network % kNetworks])
        return false;
    if (slave.deviceNumber != 0 && slave.deviceNumber != master.deviceNumber)
        return false;
    if ((slave.deviceType & 0x7F) != 0 && (slave.deviceType & 0x7F) != (master.deviceType & 0x7F))
        return false;
    return slave.transmissionType == 0 || slave.transmissionType == master.transmissionType;
}

std::vector<uint8_t> AntRadioModel::airPeers(uint8_t ch) const
{
    std::vector<uint8_t> peers;
    const AntSimChannel& c = channel(ch);
    for (uint8_t other = 0; other < kChannels; ++other) {
        if (other == ch % kChannels)
            continue;
        const AntSimChannel& o = m_channels[other];
        if ((c.type & 0x10) ? hearsOnAir(o, c) : hearsOnAir(c, o))
            peers.push_back(other);
    }
    return peers;
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
}

bool AntRadioModel::airTick(uint8_t ch)
{
    AntSimChannel& c = m_channels[ch];
    if (c.strap >= 0 || c.peer >= 0 || (c.type & 0x10))
        return false;
    if (!airPeers(ch).empty()) {
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

} // namespace kivo::sim
