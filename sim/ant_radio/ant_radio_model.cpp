#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_peer.h"

#include <algorithm>
#include <limits>

namespace kivo::sim {

namespace {
// Data bytes each message needs at least.
size_t minLength(uint8_t id)
{
    switch (id) {
    case 0x41: case 0x4A: case 0x4B: case 0x4C: case 0x53: return 1;
    case 0x44: case 0x45: case 0x47: case 0x4D: case 0x60: case 0x71: return 2;
    case 0x42: case 0x43: case 0x48: case 0x49: case 0x5A: return 3;
    case 0x51: return 5;
    case 0x59: return 6;
    case 0x46: case 0x4E: case 0x4F: case 0x50: return 9;
    default: return 1;
    }
}

// Messages whose data byte 0 is a filler or a network, not a channel.
bool radioWide(uint8_t id)
{
    return id == 0x46 || id == 0x47 || id == 0x48 || id == 0x4A || id == 0x53;
}
} // namespace

void AntRadioModel::setResponseCode(uint8_t id, uint8_t code, int count)
{
    m_codes[id] = { code, count };
}

void AntRadioModel::dropMessages(uint8_t id, int count)
{
    m_drops[id] = count;
}

void AntRadioModel::reset()
{
    m_channels = {};
    m_keys = {};
    m_keySet = {};
}

uint8_t AntRadioModel::statusByte(uint8_t ch) const
{
    const AntSimChannel& c = channel(ch);
    return uint8_t((c.state & 3) | ((c.network & 3) << 2) | ((c.type & 0x0F) << 4));
}

std::vector<AntMessage> AntRadioModel::transferEnd(uint8_t ch) const
{
    switch (m_transferOutcome) {
    case TransferOutcome::Completed: return { event(ch, 5) };
    case TransferOutcome::Failed: return { event(ch, 6) };
    case TransferOutcome::Silent: break;
    }
    return {};
}

std::vector<AntMessage> AntRadioModel::handle(uint8_t id, const std::vector<uint8_t>& data)
{
    auto drop = m_drops.find(id);
    if (drop != m_drops.end() && drop->second != 0) {
        if (drop->second > 0)
            --drop->second;
        return {};
    }
    if (id == 0x50)
        return handleBurst(data);
    uint8_t ch = data.empty() ? 0 : data[0];
    if (data.size() < minLength(id) || (!radioWide(id) && id != 0x4D && ch >= kChannels)
        || (id == 0x46 && ch >= kNetworks))
        return { response(ch, id, CODE_INVALID_MESSAGE) };
    auto fault = m_codes.find(id);
    if (fault != m_codes.end() && fault->second.count != 0) {
        if (fault->second.count > 0)
            --fault->second.count;
        return { response(ch, id, fault->second.code) };
    }
    if (!radioWide(id) && id != 0x4D && id != 0x4A && ch >= kChannels)
        return { response(ch, id, CODE_INVALID_MESSAGE) };
    AntSimChannel* c = radioWide(id) ? nullptr : &channel(ch);
    auto needAssigned = [&](auto apply) -> std::vector<AntMessage> {
        if (c->state == 0)
            return { response(ch, id, CODE_WRONG_STATE) };
        apply();
        return { response(ch, id, CODE_OK) };
    };
    switch (id) {
    case 0x41: // unassign
        if (c->state != 1)
            return { response(ch, id, CODE_WRONG_STATE) };
        *c = AntSimChannel {};
        return { response(ch, id, CODE_OK) };
    case 0x42: // assign
        if (c->state != 0)
            return { response(ch, id, CODE_WRONG_STATE) };
        if (data[2] >= kNetworks)
            return { response(ch, id, CODE_INVALID_MESSAGE) };
        c->state = 1;
        c->type = data[1];
        c->network = data[2];
        return { response(ch, id, CODE_OK) };
    case 0x43: return needAssigned([&] { c->period = uint16_t(data[1] | (data[2] << 8)); });
    case 0x44: return needAssigned([&] { c->searchTimeout = data[1]; });
    case 0x45: return needAssigned([&] { c->rf = data[1]; });
    case 0x49: return needAssigned([] {});
    case 0x51:
        return needAssigned([&] {
            c->deviceNumber = uint16_t(data[1] | (data[2] << 8));
            c->deviceType = data[3];
            c->transmissionType = data[4];
        });
    case 0x59:
        if (data[5] >= c->list.size())
            return { response(ch, id, CODE_INVALID_MESSAGE) };
        return needAssigned([&] {
            c->list[data[5]] = { uint16_t(data[1] | (data[2] << 8)), data[3], data[4] };
        });
    case 0x5A:
        if (data[1] > c->list.size())
            return { response(ch, id, CODE_INVALID_MESSAGE) };
        return needAssigned([&] {
            c->listSize = data[1];
            c->exclude = data[2] != 0;
        });
    case 0x60: return needAssigned([&] { c->txPower = data[1]; });
    case 0x71: return needAssigned([&] { c->proximity = data[1]; });
    case 0x46: // network key
        for (int i = 0; i < 8; ++i)
            m_keys[ch][size_t(i)] = data[size_t(1 + i)];
        m_keySet[ch] = true;
        return { response(ch, id, CODE_OK) };
    case 0x47: case 0x48: case 0x53:
        return { response(0, id, CODE_OK) };
    case 0x4A:
        reset();
        ++m_resets;
        return { { 0x6F, { 0x20 } } };
    case 0x4B: // open
        if (c->state != 1)
            return { response(ch, id, CODE_WRONG_STATE) };
        c->state = 2;
        c->nextUs = m_nowUs + periodUs(c->period);
        c->searchDeadlineUs = c->searchTimeout == 255 ? std::numeric_limits<uint64_t>::max()
                                                      : m_nowUs + uint64_t(c->searchTimeout) * 2500000u;
        c->strap = -1;
        c->peer = -1;
        c->misses = 0;
        return { response(ch, id, CODE_OK) };
    case 0x4C: // close
        if (c->state < 2)
            return { response(ch, id, CODE_WRONG_STATE) };
        c->state = 1;
        c->strap = -1;
        c->peer = -1;
        return { response(ch, id, CODE_OK), event(ch, 7) };
    case 0x4D: return handleRequest(ch, data[1]);
    case 0x4E: { // broadcast data from the host: sent on the channel, heard by its peers
        if (c->peer >= 0 && data.size() >= 9)
            return peerData(ch, data, false);
        std::vector<AntMessage> out;
        airForward(ch, id, data, out);
        return out;
    }
    case 0x4F: // acknowledged data
        if (c->state < 2)
            return { response(ch, id, CODE_WRONG_STATE) };
        m_transfers.emplace_back(data.begin() + 1, data.begin() + 9);
        if (c->peer >= 0)
            return peerData(ch, data, true);
        {
            std::vector<AntMessage> out;
            airForward(ch, id, data, out);
            auto end = transferEnd(ch);
            out.insert(out.end(), end.begin(), end.end());
            return out;
        }
    default:
        return { response(ch, id, CODE_INVALID_MESSAGE) };
    }
}

std::vector<AntMessage> AntRadioModel::handleRequest(uint8_t ch, uint8_t what)
{
    if (what == 0x54) // capabilities: channels, networks, option bytes
        return { { 0x54, { kChannels, kNetworks, 0x00, 0x00, 0x00, 0x00 } } };
    if (ch >= kChannels)
        return { response(ch, 0x4D, CODE_INVALID_MESSAGE) };
    const AntSimChannel& c = channel(ch);
    if (what == 0x52)
        return { { 0x52, { ch, statusByte(ch) } } };
    if (what == 0x51 && c.peer >= 0) { // the device found
        const AntPeer& p = *m_peers[size_t(c.peer)];
        return { { 0x51,
            { ch, uint8_t(p.deviceNumber & 0xFF), uint8_t(p.deviceNumber >> 8), p.deviceType,
                p.transmissionType } } };
    }
    if (what == 0x51 && c.type == 0x00) { // a slave that hears a master: its id
        for (uint8_t peer : airPeers(ch)) {
            const AntSimChannel& m = channel(peer);
            return { { 0x51,
                { ch, uint8_t(m.deviceNumber & 0xFF), uint8_t(m.deviceNumber >> 8), m.deviceType,
                    m.transmissionType } } };
        }
        if (const AirChannel* m = remoteMaster(ch))
            return { { 0x51,
                { ch, uint8_t(m->deviceNumber & 0xFF), uint8_t(m->deviceNumber >> 8), m->deviceType,
                    m->transmissionType } } };
    }
    if (what == 0x51 && c.strap >= 0) { // the strap found
        const AntStrap& s = m_straps[size_t(c.strap)];
        return { { 0x51,
            { ch, uint8_t(s.deviceNumber & 0xFF), uint8_t(s.deviceNumber >> 8), s.deviceType,
                s.transmissionType } } };
    }
    if (what == 0x51)
        return { { 0x51,
            { ch, uint8_t(c.deviceNumber & 0xFF), uint8_t(c.deviceNumber >> 8), c.deviceType,
                c.transmissionType } } };
    return { response(ch, 0x4D, CODE_INVALID_MESSAGE) };
}

std::vector<AntMessage> AntRadioModel::handleBurst(const std::vector<uint8_t>& data)
{
    if (data.size() < 9)
        return { response(data.empty() ? 0 : data[0] & 0x1F, 0x50, CODE_INVALID_MESSAGE) };
    uint8_t ch = data[0] & 0x1F;
    uint8_t sequence = (data[0] >> 5) & 3;
    bool last = (data[0] & 0x80) != 0;
    if (ch >= kChannels)
        return { response(ch, 0x50, CODE_INVALID_MESSAGE) };
    AntSimChannel& c = channel(ch);
    std::vector<AntMessage> out;
    if (sequence == 0) {
        c.burstNext = 0;
        c.burstData.clear();
    }
    if (c.burstNext >= 0) {
        if (c.state < 2) {
            out.push_back(response(ch, 0x50, CODE_WRONG_STATE));
            c.burstNext = -1;
        } else if (sequence != c.burstNext) {
            out.push_back(event(ch, 6)); // packets lost or out of order
            c.burstNext = -1;
        } else {
            c.burstData.insert(c.burstData.end(), data.begin() + 1, data.begin() + 9);
            airForward(ch, 0x50, data, out);
            c.burstNext = sequence == 3 ? 1 : sequence + 1;
        }
    }
    if (last) {
        if (c.burstNext >= 0) {
            m_transfers.push_back(c.burstData);
            auto end = transferEnd(ch);
            out.insert(out.end(), end.begin(), end.end());
        }
        c.burstNext = 0;
        c.burstData.clear();
    }
    return out;
}

uint64_t AntRadioModel::periodUs(uint16_t period)
{
    return uint64_t(std::max<uint16_t>(period, 1)) * 1000000u / 32768u;
}

uint64_t AntRadioModel::beatUs(const AntStrap& s)
{
    return uint64_t(61440u / std::max<uint32_t>(s.bpm, 1)) * 1000000u / 1024u;
}

int AntRadioModel::addStrap(const AntStrap& strap)
{
    m_straps.push_back(strap);
    m_straps.back().nextBeatUs = m_nowUs + beatUs(strap);
    return int(m_straps.size() - 1);
}

void AntRadioModel::setStrapRate(int index, uint32_t bpm)
{
    AntStrap& s = strap(index);
    beatUntil(s, m_nowUs);
    s.bpm = std::max<uint32_t>(bpm, 1);
    s.nextBeatUs = m_nowUs + beatUs(s);
}

void AntRadioModel::setStrapPaused(int index, bool paused)
{
    AntStrap& s = strap(index);
    beatUntil(s, m_nowUs);
    s.paused = paused;
    if (!paused)
        s.nextBeatUs = m_nowUs + beatUs(s);
}

void AntRadioModel::beatUntil(AntStrap& s, uint64_t us)
{
    const uint16_t interval = uint16_t(61440u / std::max<uint32_t>(s.bpm, 1));
    while (!s.paused && s.nextBeatUs <= us) {
        s.previousBeatTime = s.beatTime;
        s.beatTime = uint16_t(s.beatTime + interval);
        ++s.beatCount;
        s.nextBeatUs += beatUs(s);
    }
}

namespace {

// Whether a slave channel hears a device sending on the air (a strap or a
// peer): its RF, period and id match, its network has the device's key, and
// its list lets the device through.
template <class Device>
bool channelHears(const AntSimChannel& c, const Device& d, bool keySet, const std::array<uint8_t, 8>& key)
{
    if (!d.inRange || c.type != 0x00 || c.rf != d.rf || c.period != d.period)
        return false;
    if ((c.deviceType & 0x7F) != 0 && (c.deviceType & 0x7F) != d.deviceType)
        return false;
    if ((c.deviceNumber != 0 && c.deviceNumber != d.deviceNumber)
        || (c.transmissionType != 0 && c.transmissionType != d.transmissionType))
        return false;
    if (!d.networkKey.empty()
        && (!keySet || d.networkKey.size() != key.size() || !std::equal(d.networkKey.begin(), d.networkKey.end(), key.begin())))
        return false;
    if (c.listSize > 0) {
        bool listed = false;
        for (uint8_t i = 0; i < c.listSize; ++i)
            listed = listed || c.list[i].deviceNumber == d.deviceNumber;
        if (listed == c.exclude)
            return false;
    }
    return true;
}

} // namespace

bool AntRadioModel::hears(const AntSimChannel& c, const AntStrap& s) const
{
    return channelHears(c, s, hasKey(c.network), key(c.network));
}

bool AntRadioModel::hearsPeer(const AntSimChannel& c, const AntPeer& p) const
{
    return channelHears(c, p, hasKey(c.network), key(c.network));
}

AntMessage AntRadioModel::page(uint8_t ch, AntStrap& s)
{
    beatUntil(s, m_nowUs);
    const uint32_t k = s.messages++;
    uint8_t p[8] = { 0, 0xFF, 0xFF, 0xFF };
    if (s.toggles) {
        uint8_t number = (k / 4) % 16 == 15 ? uint8_t(1 + (k / 64) % 3) : 4;
        p[0] = uint8_t(number | (((k / 4) & 1) << 7));
        if (number == 1) {
            uint32_t t = uint32_t(m_nowUs / 2000000u);
            p[1] = uint8_t(t);
            p[2] = uint8_t(t >> 8);
            p[3] = uint8_t(t >> 16);
        } else if (number == 2) {
            p[1] = 15;
            p[2] = uint8_t(s.deviceNumber);
            p[3] = uint8_t(s.deviceNumber >> 8);
        } else if (number == 3) {
            p[1] = 1;
            p[2] = 2;
            p[3] = 3;
        } else {
            p[2] = uint8_t(s.previousBeatTime);
            p[3] = uint8_t(s.previousBeatTime >> 8);
        }
    }
    p[4] = uint8_t(s.beatTime);
    p[5] = uint8_t(s.beatTime >> 8);
    p[6] = s.beatCount;
    p[7] = uint8_t(std::min<uint32_t>(s.bpm, 255));
    return { 0x4E, { ch, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7] } };
}

void AntRadioModel::tick(uint8_t ch, std::vector<AntMessage>& out)
{
    AntSimChannel& c = m_channels[ch];
    if (c.type & 0x10) { // a master: its broadcast went out this period
        out.push_back(event(ch, 3));
        return;
    }
    if (airTick(ch))
        return;
    if (c.state == 2) {
        for (size_t i = 0; i < m_straps.size() && c.strap < 0; ++i) {
            bool taken = false;
            for (const AntSimChannel& other : m_channels)
                taken = taken || (&other != &c && other.strap == int(i));
            if (!taken && hears(c, m_straps[i]))
                c.strap = int(i);
        }
        if (c.strap < 0)
            findPeer(c);
        if (c.strap < 0 && c.peer < 0) {
            if (m_nowUs >= c.searchDeadlineUs) {
                c.state = 1;
                out.push_back(event(ch, 1)); // search timed out
                out.push_back(event(ch, 7)); // channel closed
            }
            return;
        }
        c.state = 3;
        c.misses = 0;
    }
    if (c.peer >= 0) {
        tickPeer(ch, out);
        return;
    }
    AntStrap& s = m_straps[size_t(c.strap)];
    if (!s.inRange || s.dropouts > 0) {
        ++s.messages;
        if (s.dropouts > 0)
            --s.dropouts;
        out.push_back(event(ch, 2)); // a message missed
        if (!s.inRange && ++c.misses >= 8) {
            out.push_back(event(ch, 8)); // back to searching
            c.state = 2;
            c.strap = -1;
            c.searchDeadlineUs = c.searchTimeout == 255 ? std::numeric_limits<uint64_t>::max()
                                                        : m_nowUs + uint64_t(c.searchTimeout) * 2500000u;
        }
        return;
    }
    c.misses = 0;
    out.push_back(page(ch, s));
}

std::vector<AntMessage> AntRadioModel::advance(uint64_t us)
{
    std::vector<AntMessage> out;
    const uint64_t target = m_nowUs + us;
    for (;;) {
        int next = -1;
        for (uint8_t ch = 0; ch < kChannels; ++ch) {
            const AntSimChannel& c = m_channels[ch];
            if (c.state >= 2 && c.nextUs <= target && (next < 0 || c.nextUs < m_channels[size_t(next)].nextUs))
                next = ch;
        }
        if (next < 0)
            break;
        AntSimChannel& c = m_channels[size_t(next)];
        m_nowUs = std::max(m_nowUs, c.nextUs);
        c.nextUs += periodUs(c.period);
        tick(uint8_t(next), out);
    }
    m_nowUs = target;
    for (AntStrap& s : m_straps)
        beatUntil(s, m_nowUs);
    return out;
}

} // namespace kivo::sim
