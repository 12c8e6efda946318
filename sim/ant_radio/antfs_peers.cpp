#include "sim/ant_radio/antfs_peers.h"

#include <chrono>
#include <thread>

namespace kivo::sim {

AntFsHostPeer::AntFsHostPeer(AntRadioSim& sim, uint8_t channel)
    : m_sim(sim)
    , m_channel(channel)
{
}

bool AntFsHostPeer::sendAcknowledged(const Bytes& payload)
{
    Bytes data(9, 0);
    data[0] = m_channel;
    for (size_t i = 0; i < payload.size() && i < 8; ++i)
        data[1 + i] = payload[i];
    return m_sim.injectFrame(0x4F, data);
}

bool AntFsHostPeer::sendBurst(const Bytes& bytes)
{
    std::vector<Bytes> frames;
    const size_t packets = bytes.empty() ? 1 : (bytes.size() + 7) / 8;
    for (size_t p = 0; p < packets; ++p) {
        uint8_t sequence = p == 0 ? 0 : uint8_t((p - 1) % 3 + 1);
        Bytes data(9, 0);
        data[0] = uint8_t((m_channel & 0x1F) | (sequence << 5) | (p + 1 == packets ? 0x80 : 0));
        for (size_t i = 0; i < 8 && p * 8 + i < bytes.size(); ++i)
            data[1 + i] = bytes[p * 8 + i];
        frames.push_back(AntRadioSim::receivedFrame(0x50, data));
    }
    return m_sim.injectFrames(frames);
}

bool AntFsHostPeer::injectEvent(uint8_t code)
{
    return m_sim.injectFrame(0x40, { m_channel, 1, code });
}

void AntFsHostPeer::collect()
{
    for (Bytes& m : m_sim.takeSentMessages())
        m_sent.push_back(std::move(m));
}

std::vector<AntFsHostPeer::Bytes> AntFsHostPeer::sent()
{
    collect();
    return m_sent;
}

void AntFsHostPeer::clear()
{
    collect();
    m_sent.clear();
}

bool AntFsHostPeer::waitFor(const std::function<bool()>& ready, uint32_t timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        collect();
        if (ready())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        m_sim.waitForSentFrames(1, 20);
    }
}

bool AntFsHostPeer::waitSent(size_t count, uint32_t timeoutMs)
{
    return waitFor([&] { return m_sent.size() >= count; }, timeoutMs);
}

bool AntFsHostPeer::nextBurst(size_t* cursor, Bytes* payload, uint32_t timeoutMs)
{
    return waitFor(
        [&] {
            Bytes joined;
            bool started = false;
            for (size_t i = *cursor; i < m_sent.size(); ++i) {
                const Bytes& m = m_sent[i];
                if (m.size() < 10 || m[0] != 0x50 || (m[1] & 0x1F) != m_channel)
                    continue;
                if (((m[1] >> 5) & 3) == 0) {
                    joined.clear();
                    started = true;
                }
                if (!started)
                    continue;
                joined.insert(joined.end(), m.begin() + 2, m.begin() + 10);
                if (m[1] & 0x80) {
                    *payload = joined;
                    *cursor = i + 1;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool AntFsHostPeer::nextBroadcast(size_t* cursor, Bytes* payload, uint32_t timeoutMs)
{
    return waitFor(
        [&] {
            for (size_t i = *cursor; i < m_sent.size(); ++i) {
                const Bytes& m = m_sent[i];
                if (m.size() >= 10 && m[0] == 0x4E && m[1] == m_channel) {
                    payload->assign(m.begin() + 2, m.begin() + 10);
                    *cursor = i + 1;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

AntFsHostPeer::Bytes AntFsHostPeer::frameOf(const Bytes& message)
{
    if (message.empty())
        return {};
    return AntRadioSim::receivedFrame(message[0], Bytes(message.begin() + 1, message.end()));
}

} // namespace kivo::sim
