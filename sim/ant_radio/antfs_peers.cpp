#include "sim/ant_radio/antfs_peers.h"

#include "sim/ant_radio/ant_radio_model.h"

#include <algorithm>
#include <chrono>

namespace kivo::sim {

namespace {

uint16_t get16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

} // namespace

// ---- The air of one channel -------------------------------------------------

AntFsAir::AntFsAir(AntRadioSim& sim, uint8_t channel)
    : m_sim(sim)
    , m_channel(channel)
{
}

bool AntFsAir::sendPage(uint8_t id, const Bytes& payload)
{
    Bytes data(9, 0);
    data[0] = m_channel;
    for (size_t i = 0; i < payload.size() && i < 8; ++i)
        data[1 + i] = payload[i];
    return m_sim.injectFrame(id, data);
}

bool AntFsAir::sendBroadcast(const Bytes& payload)
{
    return sendPage(0x4E, payload);
}

bool AntFsAir::sendAcknowledged(const Bytes& payload)
{
    return sendPage(0x4F, payload);
}

bool AntFsAir::sendBurst(const Bytes& bytes)
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

bool AntFsAir::injectEvent(uint8_t code)
{
    return m_sim.injectFrame(0x40, { m_channel, 1, code });
}

void AntFsAir::collectLocked()
{
    for (Bytes& m : m_sim.takeSentMessages())
        m_sent.push_back(std::move(m));
}

std::vector<AntFsAir::Bytes> AntFsAir::sent()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    collectLocked();
    return m_sent;
}

void AntFsAir::clear()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    collectLocked();
    m_sent.clear();
}

bool AntFsAir::waitFor(const std::function<bool()>& ready, uint32_t timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::recursive_mutex> lock(m_mutex);
            collectLocked();
            if (ready())
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        m_sim.waitForSentFrames(1, 20);
    }
}

bool AntFsAir::waitSent(size_t count, uint32_t timeoutMs)
{
    return waitFor([&] { return m_sent.size() >= count; }, timeoutMs);
}

bool AntFsAir::nextBurst(size_t* cursor, Bytes* payload, uint32_t timeoutMs)
{
    return waitFor(
        [&] {
            size_t at = *cursor;
            if (!nextLocked(&at, payload, false))
                return false;
            *cursor = at;
            return true;
        },
        timeoutMs);
}

bool AntFsAir::nextBroadcast(size_t* cursor, Bytes* payload, uint32_t timeoutMs)
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

bool AntFsAir::nextLocked(size_t* cursor, Bytes* payload, bool acknowledged)
{
    Bytes joined;
    size_t burstStart = 0;
    bool inBurst = false;
    for (size_t i = *cursor; i < m_sent.size(); ++i) {
        const Bytes& m = m_sent[i];
        if (m.size() < 10)
            continue;
        if (acknowledged && m[0] == 0x4F && m[1] == m_channel) {
            // Also ends a burst the library gave up on.
            payload->assign(m.begin() + 2, m.begin() + 10);
            *cursor = i + 1;
            return true;
        }
        if (m[0] != 0x50 || (m[1] & 0x1F) != m_channel)
            continue;
        if (((m[1] >> 5) & 3) == 0) {
            joined.clear();
            inBurst = true;
            burstStart = i;
        }
        if (!inBurst)
            continue;
        joined.insert(joined.end(), m.begin() + 2, m.begin() + 10);
        if (m[1] & 0x80) {
            *payload = std::move(joined);
            *cursor = i + 1;
            return true;
        }
    }
    // Nothing whole yet: look again from a burst still coming in.
    *cursor = inBurst ? burstStart : m_sent.size();
    return false;
}

AntFsAir::Bytes AntFsAir::frameOf(const Bytes& message)
{
    if (message.empty())
        return {};
    return AntRadioSim::receivedFrame(message[0], Bytes(message.begin() + 1, message.end()));
}

// ---- The scripted client ------------------------------------------------------

namespace {

constexpr uint8_t ANTFS_ID = 0x44;
// Beacon slots without being heard after which a linked client drops back
// to the link layer, as a client's link time-out does.
constexpr uint32_t kUnheardSlots = 25;
// Its name on the air of the library's radio.
constexpr const char* kAirName = "antfs-client-peer";

} // namespace

AntFsClientPeer::AntFsClientPeer(AntRadioSim& sim, uint8_t channel, Crc16 crc)
    : AntFsAir(sim, channel)
    , m_crc(crc)
{
}

AntFsClientPeer::~AntFsClientPeer()
{
    stop();
}

void AntFsClientPeer::start(uint32_t beaconMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_layer = 0;
    m_onRf = m_script.rf;
    m_thread = std::thread([this, beaconMs] { run(std::max<uint32_t>(beaconMs, 1)); });
}

void AntFsClientPeer::stop()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (!m_running)
            return;
        m_stopping = true;
        m_changed.notify_all();
    }
    m_thread.join();
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_running = false;
    m_sim.withModel([](AntRadioModel& model) { model.setRemoteChannels(kAirName, {}); }); // off the air
}

void AntFsClientPeer::script(const std::function<void(AntFsClientScript&)>& change)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    change(m_script);
    if (!m_running)
        m_onRf = m_script.rf;
}

bool AntFsClientPeer::waitScript(const std::function<bool(const AntFsClientScript&)>& ready, uint32_t timeoutMs)
{
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return ready(m_script); });
}

uint8_t AntFsClientPeer::layer()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_layer;
}

bool AntFsClientPeer::heard()
{
    const AntFsClientScript& s = m_script;
    AirChannel master;
    master.type = 0x10;
    master.rf = m_onRf;
    master.period = s.period;
    master.key = s.networkKey;
    master.deviceNumber = s.deviceNumber;
    master.deviceType = s.channelDeviceType;
    master.transmissionType = s.transmissionType;
    bool heard = false;
    // As another radio's master: the radio tracks it and reports its id by
    // its own rules.
    m_sim.withModel([&](AntRadioModel& model) {
        model.setRemoteChannels(kAirName, { master });
        heard = model.hearsRemote(m_channel, master);
    });
    return heard;
}

AntFsAir::Bytes AntFsClientPeer::beaconLocked() const
{
    Bytes b { 0x43, m_script.status1, m_layer, m_script.authenticationType, 0, 0, 0, 0 };
    if (m_layer == 0) {
        put16(&b[4], m_script.deviceType);
        put16(&b[6], m_script.manufacturerId);
    } else {
        put32(&b[4], m_hostSerial);
    }
    return b;
}

void AntFsClientPeer::run(uint32_t beaconMs)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextBeacon = Clock::now();
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    while (!m_stopping) {
        collectLocked();
        std::vector<Bytes> answers;
        Bytes command;
        while (nextLocked(&m_cursor, &command, true))
            take(command, &answers);
        for (Bytes& a : answers)
            m_held.push_back(std::move(a));
        const bool isHeard = heard();
        while (!m_held.empty() && m_script.answersLeft != 0) {
            if (m_script.answersLeft > 0)
                --m_script.answersLeft;
            // What it says goes out led by its beacon; unheard, it is lost.
            if (isHeard) {
                Bytes burst = beaconLocked();
                burst.insert(burst.end(), m_held.front().begin(), m_held.front().end());
                sendBurst(burst);
            }
            m_held.pop_front();
        }
        m_script.heldAnswers = m_held.size();
        if (Clock::now() >= nextBeacon) {
            nextBeacon += std::chrono::milliseconds(beaconMs);
            if (isHeard) {
                m_unheard = 0;
                sendBroadcast(beaconLocked());
                ++m_script.beacons;
                if (m_script.foreignBeacons > 0) {
                    --m_script.foreignBeacons;
                    // Two: as many as a host takes for its client dropping the link.
                    for (int i = 0; i < 2; ++i)
                        sendBroadcast({ 0x43, m_script.status1, 0, 0, 0xAD, 0x0B, 0x0F, 0x0F });
                }
            } else if (m_layer > 0 && ++m_unheard >= kUnheardSlots) {
                m_layer = 0;
                m_onRf = m_script.rf;
                m_unheard = 0;
            }
        }
        m_changed.notify_all();
        lock.unlock();
        m_sim.waitForSentFrames(1, 5);
        lock.lock();
    }
}

void AntFsClientPeer::take(const Bytes& c, std::vector<Bytes>* answers)
{
    AntFsClientScript& s = m_script;
    if (c.size() < 8 || c[0] != ANTFS_ID)
        return;
    s.commands.push_back(c);
    switch (c[1]) {
    case 0x02: // link
        if (s.ignoreLinks > 0) {
            --s.ignoreLinks;
            return;
        }
        m_layer = 1;
        m_onRf = c[2];
        m_hostSerial = get32(&c[4]);
        if (s.foreignSerialLinks > 0) {
            --s.foreignSerialLinks;
            m_hostSerial = ~m_hostSerial;
        }
        return;
    case 0x03: // disconnect
        m_layer = 0;
        m_onRf = s.rf;
        return;
    case 0x05: // ping
        return;
    default:
        break;
    }
    if (s.silentCommands > 0) {
        --s.silentCommands;
        return;
    }
    auto raw = [&] {
        if (s.rawAnswers.empty())
            return false;
        answers->push_back(std::move(s.rawAnswers.front()));
        s.rawAnswers.pop_front();
        return true;
    };
    switch (c[1]) {
    case 0x04: { // authenticate
        if (m_layer != 1 || raw())
            return;
        const uint8_t type = c[2];
        std::string text;
        uint8_t answerType = 0;
        if (type == 1) {
            text = s.friendlyName;
        } else {
            answerType = s.authAnswer;
            if (answerType == 1 && type == 2)
                text = s.passkey;
            if (answerType == 1)
                m_layer = 2;
        }
        text.resize(std::min<size_t>(text.size(), 255));
        Bytes a(8, 0);
        a[0] = ANTFS_ID;
        a[1] = 0x84;
        a[2] = answerType;
        a[3] = uint8_t(text.size());
        put32(&a[4], s.serialNumber);
        a.insert(a.end(), text.begin(), text.end());
        a.resize((a.size() + 7) / 8 * 8, 0);
        answers->push_back(std::move(a));
        return;
    }
    case 0x06: // download, the older request
    case 0x09: // download
        // A request too short for its fields goes unanswered, as a short
        // upload does.
        if (m_layer == 2 && !raw() && (c[1] == 0x06 || c.size() >= 16))
            answers->push_back(downloadAnswerLocked(c, c[1] == 0x06));
        return;
    case 0x0A: { // upload request: where it has the file to, and how much it takes
        if (m_layer != 2 || raw())
            return;
        Bytes& held = s.uploaded[get16(&c[2])];
        const uint32_t asked = c.size() >= 16 ? get32(&c[12]) : 0xFFFFFFFFu;
        if (asked != 0xFFFFFFFFu && asked < held.size())
            held.resize(asked); // written again from there
        Bytes a(24, 0);
        a[0] = ANTFS_ID;
        a[1] = 0x8A;
        a[2] = nextCodeLocked();
        put32(&a[4], uint32_t(held.size()));
        put32(&a[8], s.maxFileSize);
        put32(&a[12], s.uploadBlock);
        put16(&a[22], m_crc(0, held.data(), held.size()));
        answers->push_back(std::move(a));
        return;
    }
    case 0x0C: { // upload data: header (CRC seed, offset), data, footer (CRC)
        if (m_layer != 2 || raw() || c.size() < 16)
            return;
        // The size its request announced: the last upload request's.
        uint16_t index = 0;
        uint32_t total = 0;
        for (auto it = s.commands.rbegin(); it != s.commands.rend(); ++it)
            if ((*it)[1] == 0x0A && it->size() >= 16) {
                index = get16(&(*it)[2]);
                total = get32(&(*it)[4]);
                break;
            }
        Bytes& held = s.uploaded[index];
        const uint32_t offset = get32(&c[4]);
        const uint32_t length = std::min(uint32_t(c.size() - 16), total - std::min(offset, total));
        const uint8_t* block = c.data() + 8;
        uint8_t code = 0;
        if (offset != held.size() || length > s.uploadBlock)
            code = 4; // not where it has the file to, or more than it takes
        else if (get16(&c[2]) != m_crc(0, held.data(), held.size())
            || get16(&c[c.size() - 2]) != m_crc(get16(&c[2]), block, length))
            code = 5; // CRC incorrect
        if (code == 0)
            held.insert(held.end(), block, block + length);
        answers->push_back({ ANTFS_ID, 0x8C, code, 0, 0, 0, 0, 0 });
        return;
    }
    case 0x0B: { // erase
        if (m_layer != 2 || raw())
            return;
        const uint8_t code = nextCodeLocked();
        if (code == 0)
            s.files.erase(get16(&c[2]));
        answers->push_back({ ANTFS_ID, 0x8B, code, 0, 0, 0, 0, 0 });
        return;
    }
    default:
        return;
    }
}

uint8_t AntFsClientPeer::nextCodeLocked()
{
    if (m_script.responseCodes.empty())
        return 0;
    const uint8_t code = m_script.responseCodes.front();
    m_script.responseCodes.pop_front();
    return code;
}

AntFsAir::Bytes AntFsClientPeer::downloadAnswerLocked(const Bytes& c, bool legacy)
{
    AntFsClientScript& s = m_script;
    const uint16_t index = get16(&c[2]);
    uint8_t code = nextCodeLocked();
    auto file = s.files.find(index);
    if (code == 0 && file == s.files.end())
        code = 1; // no such file
    const uint32_t offset = legacy ? get16(&c[4]) : get32(&c[4]);
    if (code == 0 && offset > file->second.size())
        code = 4;
    Bytes a;
    a.reserve(64);
    a.resize(legacy ? 8 : 16, 0);
    a[0] = ANTFS_ID;
    a[1] = legacy ? 0x86 : 0x89;
    a[2] = code;
    if (code != 0)
        return a;
    const Bytes& f = file->second;
    if (legacy) {
        // 0x44, 0x86, code, 0, offset (u16), file size (u16), the block.
        put16(&a[4], uint16_t(offset));
        put16(&a[6], uint16_t(f.size()));
        const size_t length = std::min<size_t>(get16(&c[6]), f.size() - offset);
        a.insert(a.end(), f.begin() + long(offset), f.begin() + long(offset + length));
        a.resize((a.size() + 7) / 8 * 8, 0);
        return a;
    }
    size_t length = f.size() - offset;
    if (get32(&c[12]) != 0)
        length = std::min<size_t>(length, get32(&c[12]));
    if (s.maxBlock != 0)
        length = std::min<size_t>(length, s.maxBlock);
    put32(&a[4], uint32_t(length));
    put32(&a[8], offset);
    put32(&a[12], uint32_t(f.size()));
    const uint8_t* block = f.data() + offset;
    a.insert(a.end(), block, block + length);
    a.resize((a.size() + 7) / 8 * 8 + 8, 0);
    uint16_t crc = m_crc(get16(&c[10]), block, length);
    if (s.badCrcAnswers > 0) {
        --s.badCrcAnswers;
        crc = uint16_t(~crc);
    }
    put16(&a[a.size() - 2], crc);
    return a;
}

} // namespace kivo::sim
