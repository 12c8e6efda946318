#include "sim/ant_radio/ant_radio_sim.h"
#include "sim/ant_radio/ant_air_link.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/msgqueue.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace kivo::sim {

namespace {
constexpr const char* kDeviceName = "ANT1:";
constexpr const char* kQueueName = "ANTMSGQUEUE";
constexpr uint32_t kQueueWriteTimeoutMs = 1000;
// The write end accepts more than the reader's 42 bytes, so a queue fault
// can hand the reader a message it cannot take.
constexpr uint32_t kWriteEndMaxMessage = 256;
constexpr size_t kBrokenMessageSize = 64;

uint8_t xorOf(const uint8_t* p, size_t n)
{
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= p[i];
    return x;
}
} // namespace

struct AntRadioSim::Core {
    mutable std::mutex m;
    mutable std::condition_variable cv;
    std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();
    std::vector<AntFrameRecord> log;
    size_t acceptedCount = 0;
    std::vector<size_t> chunkSizes { kMaxChunk };
    size_t chunkIndex = 0;
    bool randomChunks = false;
    std::mt19937 rng;
    int corruptChecksums = 0;
    int failWrites = 0;
    bool failStart = false;
    int starts = 0;
    bool sessionOpen = false;
    ce::HANDLE queue = nullptr; // write end
    std::ofstream logFile;
    AntRadioModel model;
    AnswerMode answerMode = AnswerMode::Off;
    std::vector<std::vector<uint8_t>> held; // received frames not yet queued
    // The shared air, while joined: the channels last told to the other
    // radios, and the radios heard from.
    AntAirLink* air = nullptr;
    std::vector<AirChannel> announced;
    std::set<std::string> heard;

    ~Core()
    {
        if (queue)
            ce::closeMsgQueue(queue);
    }

    uint64_t nowUs() const
    {
        return uint64_t(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - epoch).count());
    }

    void recordLocked(AntFrameRecord::Direction d, std::vector<uint8_t> bytes, std::string status)
    {
        AntFrameRecord r { nowUs(), d, std::move(bytes), std::move(status) };
        if (logFile.is_open()) {
            logFile << formatRecord(r) << '\n';
            logFile.flush();
        }
        if (r.direction == AntFrameRecord::Direction::Sent && r.status == "ok")
            ++acceptedCount;
        log.push_back(std::move(r));
        cv.notify_all();
    }

    size_t nextChunkLocked()
    {
        size_t n;
        if (randomChunks) {
            n = std::uniform_int_distribution<size_t>(1, kMaxChunk)(rng);
        } else {
            n = chunkSizes[chunkIndex % chunkSizes.size()];
            ++chunkIndex;
        }
        return std::min(std::max<size_t>(n, 1), kMaxChunk);
    }

    bool openQueueLocked()
    {
        if (!queue) {
            ce::MSGQUEUEOPTIONS options { 20, ce::MSGQUEUE_ALLOW_BROKEN, 0, kWriteEndMaxMessage, ce::FALSE_ };
            queue = ce::createMsgQueue(kQueueName, &options);
        }
        return queue != nullptr;
    }

    // Writes one queue message; "queued" or why not.
    std::string writeLocked(const uint8_t* message, size_t size)
    {
        if (!openQueueLocked())
            return "queue-error";
        if (ce::writeMsgQueue(queue, message, ce::DWORD(size), kQueueWriteTimeoutMs, 0))
            return "queued";
        return ce::getLastError() == ce::ERROR_PIPE_NOT_CONNECTED ? "no-reader" : "queue-error";
    }

    // Cuts the stream into chunks and queues them. Frames are logged whole,
    // with the worst status of the chunks that carried the stream.
    bool deliverLocked(const std::vector<uint8_t>& stream, const std::vector<std::vector<uint8_t>>& frames)
    {
        std::string status = "queued";
        for (size_t pos = 0; pos < stream.size();) {
            size_t n = std::min(nextChunkLocked(), stream.size() - pos);
            uint8_t message[1 + kMaxChunk];
            message[0] = uint8_t(n);
            std::copy(stream.begin() + long(pos), stream.begin() + long(pos + n), message + 1);
            std::string s = writeLocked(message, n + 1);
            if (s != "queued")
                status = s;
            pos += n;
        }
        for (const auto& f : frames)
            recordLocked(AntFrameRecord::Direction::Received, f, status);
        return status == "queued";
    }

    bool deliverFramesLocked(const std::vector<std::vector<uint8_t>>& frames)
    {
        if (frames.empty())
            return true;
        std::vector<uint8_t> stream;
        for (const auto& f : frames)
            stream.insert(stream.end(), f.begin(), f.end());
        return deliverLocked(stream, frames);
    }

    // Tells the other radios on the air what changed in the model: its open
    // channels, then what its channels sent.
    void airSyncLocked()
    {
        if (!air)
            return;
        std::vector<AirChannel> channels = model.airChannels();
        if (channels != announced) {
            announced = channels;
            air->sendToAll(airChannelsFrame(channels));
        }
        for (const AirTransmission& t : model.takeAirOutbox())
            air->sendToAll(airTransmissionFrame(t));
    }

    std::vector<std::vector<uint8_t>> framesOf(const std::vector<AntMessage>& messages)
    {
        std::vector<std::vector<uint8_t>> frames;
        for (const AntMessage& m : messages)
            frames.push_back(receivedFrame(m.id, m.data));
        return frames;
    }

    // The world's clock moved on by us microseconds.
    void advanceLocked(uint64_t us)
    {
        deliverFramesLocked(framesOf(model.advance(us)));
        airSyncLocked();
    }

    // A frame from another radio on the air (checked already).
    void fromAirLocked(const std::string& radio, const AirFrame& frame)
    {
        if (!air)
            return;
        if (frame.kind == AirFrame::Kind::Leaving) {
            model.setRemoteChannels(radio, {});
            heard.erase(radio);
            return;
        }
        if (heard.insert(radio).second) // a radio new on the air learns what is open here
            air->sendTo(radio, airChannelsFrame(model.airChannels()));
        if (frame.kind == AirFrame::Kind::Channels)
            model.setRemoteChannels(radio, frame.channels);
        else
            deliverFramesLocked(framesOf(model.receiveFromAir(frame.transmission)));
    }

    // The model's answers to a frame the host sent (checked already).
    void answerLocked(const std::vector<uint8_t>& frame)
    {
        if (answerMode == AnswerMode::Off)
            return;
        uint8_t n = frame[1];
        std::vector<uint8_t> data(frame.begin() + 3, frame.begin() + 3 + n);
        std::vector<std::vector<uint8_t>> frames = framesOf(model.handle(frame[2], data));
        if (answerMode == AnswerMode::Held)
            held.insert(held.end(), frames.begin(), frames.end());
        else
            deliverFramesLocked(frames);
        airSyncLocked();
    }
};

namespace {

class Session : public ce::DeviceSession {
public:
    explicit Session(std::shared_ptr<AntRadioSim::Core> core)
        : m_core(std::move(core))
    {
    }
    ~Session() override { close(); }

    bool read(std::vector<uint8_t>&, size_t, ce::DWORD) override { return false; }
    bool write(const uint8_t*, size_t) override { return false; }

    bool ioControl(
        ce::DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>&, size_t, ce::DWORD* error) override
    {
        std::lock_guard<std::mutex> lock(m_core->m);
        if (code == AntRadioSim::kIoctlStartLink) {
            if (m_core->failStart) {
                *error = ce::ERROR_GEN_FAILURE;
                return false;
            }
            ++m_core->starts;
            return true;
        }
        if (code != AntRadioSim::kIoctlSendFrame) {
            *error = ce::ERROR_NOT_SUPPORTED;
            return false;
        }
        if (m_core->failWrites != 0) {
            if (m_core->failWrites > 0)
                --m_core->failWrites;
            m_core->recordLocked(AntFrameRecord::Direction::Sent, in, "write-fault");
            *error = ce::ERROR_WRITE_FAULT;
            return false;
        }
        std::string status = AntRadioSim::checkSentFrame(in.data(), in.size());
        bool ok = status == "ok";
        m_core->recordLocked(AntFrameRecord::Direction::Sent, in, std::move(status));
        if (!ok)
            *error = ce::ERROR_INVALID_DATA;
        else
            m_core->answerLocked(in);
        return ok;
    }

    void close() override
    {
        std::lock_guard<std::mutex> lock(m_core->m);
        if (!m_closed) {
            m_closed = true;
            m_core->sessionOpen = false;
        }
    }

private:
    std::shared_ptr<AntRadioSim::Core> m_core;
    bool m_closed = false;
};

class Driver : public ce::DeviceDriver {
public:
    explicit Driver(std::shared_ptr<AntRadioSim::Core> core)
        : m_core(std::move(core))
    {
    }
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD* error) override
    {
        std::lock_guard<std::mutex> lock(m_core->m);
        if (m_core->sessionOpen) {
            *error = ce::ERROR_SHARING_VIOLATION; // opened without sharing
            return nullptr;
        }
        m_core->sessionOpen = true;
        return std::make_unique<Session>(m_core);
    }

private:
    std::shared_ptr<AntRadioSim::Core> m_core;
};

} // namespace

struct AntRadioSim::Serving {
    std::unique_ptr<ce::DeviceServer> server;
};

AntRadioSim::AntRadioSim()
    : m_core(std::make_shared<Core>())
{
}

struct AntRadioSim::Clock {
    std::mutex m;
    std::condition_variable cv;
    bool stop = false;
    std::thread thread;
};

AntRadioSim::~AntRadioSim()
{
    stopClock();
    leaveAir();
    uninstall();
    m_serving.reset();
}

void AntRadioSim::install()
{
    ce::registerDevice(kDeviceName, std::make_shared<Driver>(m_core));
    m_installed = true;
    keepQueue(m_air != nullptr);
}

void AntRadioSim::uninstall()
{
    if (m_installed)
        ce::unregisterDevice(kDeviceName);
    m_installed = false;
    keepQueue(false);
}

void AntRadioSim::keepQueue(bool keep)
{
    keep = keep && m_installed;
    if (keep == m_queueKept)
        return;
    std::lock_guard<std::mutex> lock(m_core->m);
    ce::keepMsgQueueInProcess(kQueueName, keep);
    m_queueKept = keep;
    if (m_core->queue) { // the next write opens the queue where it now is
        ce::closeMsgQueue(m_core->queue);
        m_core->queue = nullptr;
    }
}

bool AntRadioSim::joinAir()
{
    if (m_air)
        return true;
    std::weak_ptr<Core> weak = m_core;
    auto link = std::make_unique<AntAirLink>(
        [weak](const std::string& radio, const AirFrame& frame) {
            if (auto core = weak.lock()) {
                std::lock_guard<std::mutex> lock(core->m);
                core->fromAirLocked(radio, frame);
            }
        },
        [weak](const std::string& radio) {
            if (auto core = weak.lock()) {
                std::lock_guard<std::mutex> lock(core->m);
                core->model.setRemoteChannels(radio, {});
                core->heard.erase(radio);
            }
        });
    {
        std::lock_guard<std::mutex> lock(m_core->m);
        m_core->air = link.get();
    }
    if (!link->open()) {
        std::lock_guard<std::mutex> lock(m_core->m);
        m_core->air = nullptr;
        return false;
    }
    m_air = std::move(link);
    keepQueue(true);
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->model.setAirOutbox(true);
    // Every radio on the air answers the first word of a new one with its
    // open channels.
    m_core->announced = m_core->model.airChannels();
    m_air->sendToAll(airChannelsFrame(m_core->announced));
    return true;
}

void AntRadioSim::leaveAir()
{
    if (!m_air)
        return;
    {
        std::lock_guard<std::mutex> lock(m_core->m);
        m_core->air = nullptr;
        m_core->model.setAirOutbox(false);
        for (const std::string& radio : m_core->heard)
            m_core->model.setRemoteChannels(radio, {});
        m_core->heard.clear();
        m_core->announced.clear();
    }
    m_air.reset(); // tells the others; its threads end outside the lock
    keepQueue(false);
}

bool AntRadioSim::serve()
{
    auto serving = std::make_unique<Serving>();
    serving->server = std::make_unique<ce::DeviceServer>(kDeviceName, std::make_shared<Driver>(m_core));
    if (!serving->server->ok())
        return false;
    m_serving = std::move(serving);
    return true;
}

std::vector<uint8_t> AntRadioSim::receivedFrame(uint8_t id, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> f;
    f.reserve(data.size() + 6); // room for a sent frame's two padding bytes
    f.push_back(0xA4);
    f.push_back(uint8_t(data.size()));
    f.push_back(id);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(xorOf(f.data(), f.size()));
    return f;
}

std::vector<uint8_t> AntRadioSim::sentFrame(uint8_t id, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> f = receivedFrame(id, data);
    f.push_back(0);
    f.push_back(0);
    return f;
}

std::string AntRadioSim::checkSentFrame(const uint8_t* b, size_t size)
{
    if (!b || size < 6)
        return "short";
    if (b[0] != 0xA4)
        return "bad-sync";
    size_t n = b[1];
    if (n > 41 || size != n + 6)
        return "bad-length";
    if (b[3 + n] != xorOf(b, 3 + n))
        return "bad-checksum";
    if (b[4 + n] != 0 || b[5 + n] != 0)
        return "bad-trailer";
    return "ok";
}

void AntRadioSim::setChunkSizes(std::vector<size_t> sizes)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    if (sizes.empty())
        sizes = { kMaxChunk };
    m_core->chunkSizes = std::move(sizes);
    m_core->chunkIndex = 0;
    m_core->randomChunks = false;
}

void AntRadioSim::setRandomChunks(uint32_t seed)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->rng.seed(seed);
    m_core->randomChunks = true;
}

bool AntRadioSim::injectFrame(uint8_t id, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> f = receivedFrame(id, data);
    std::lock_guard<std::mutex> lock(m_core->m);
    if (m_core->corruptChecksums > 0) {
        --m_core->corruptChecksums;
        f.back() ^= 0xFF;
    }
    return m_core->deliverLocked(f, { f });
}

bool AntRadioSim::injectFrames(const std::vector<std::vector<uint8_t>>& frames)
{
    std::vector<uint8_t> stream;
    for (const auto& f : frames)
        stream.insert(stream.end(), f.begin(), f.end());
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->deliverLocked(stream, frames);
}

bool AntRadioSim::injectBytes(const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->deliverLocked(bytes, { bytes });
}

void AntRadioSim::corruptNextChecksums(int count)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->corruptChecksums = count;
}

bool AntRadioSim::injectSerialError(uint8_t code)
{
    return injectFrame(0xAE, { code });
}

void AntRadioSim::failWrites(int count)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->failWrites = count;
}

void AntRadioSim::failStart(bool fail)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->failStart = fail;
}

bool AntRadioSim::breakQueue()
{
    std::vector<uint8_t> message(kBrokenMessageSize, 0);
    message[0] = uint8_t(kBrokenMessageSize - 1);
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->writeLocked(message.data(), message.size()) == "queued";
}

std::vector<AntFrameRecord> AntRadioSim::log() const
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->log;
}

std::vector<std::vector<uint8_t>> AntRadioSim::sentFrames() const
{
    std::lock_guard<std::mutex> lock(m_core->m);
    std::vector<std::vector<uint8_t>> out;
    for (const auto& r : m_core->log)
        if (r.direction == AntFrameRecord::Direction::Sent && r.status == "ok")
            out.push_back(r.bytes);
    return out;
}

std::vector<std::vector<uint8_t>> AntRadioSim::takeSentMessages()
{
    std::lock_guard<std::mutex> lock(m_core->m);
    std::vector<std::vector<uint8_t>> out;
    for (const auto& r : m_core->log)
        if (r.direction == AntFrameRecord::Direction::Sent && r.status == "ok")
            out.emplace_back(r.bytes.begin() + 2, r.bytes.end() - 3); // id and data
    m_core->log.clear();
    m_core->acceptedCount = 0;
    return out;
}

bool AntRadioSim::waitForSentFrames(size_t count, uint32_t timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_core->m);
    return m_core->cv.wait_for(
        lock, std::chrono::milliseconds(timeoutMs), [&] { return m_core->acceptedCount >= count; });
}

void AntRadioSim::clearLog()
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->log.clear();
    m_core->acceptedCount = 0;
}

bool AntRadioSim::setLogFile(const std::string& linuxPath)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->logFile.close();
    m_core->logFile.clear();
    m_core->logFile.open(linuxPath, std::ios::out | std::ios::app);
    return m_core->logFile.is_open();
}

std::string AntRadioSim::formatRecord(const AntFrameRecord& r)
{
    char head[48];
    std::snprintf(head, sizeof head, "%llu.%06llu %s", static_cast<unsigned long long>(r.timeUs / 1000000),
        static_cast<unsigned long long>(r.timeUs % 1000000),
        r.direction == AntFrameRecord::Direction::Sent ? "tx" : "rx");
    std::string line = head;
    for (uint8_t b : r.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    line += ' ';
    line += r.status;
    return line;
}

int AntRadioSim::startCount() const
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->starts;
}

bool AntRadioSim::sessionOpen() const
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->sessionOpen;
}

void AntRadioSim::setAnswerMode(AnswerMode mode)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->answerMode = mode;
}

size_t AntRadioSim::deliverHeld()
{
    std::lock_guard<std::mutex> lock(m_core->m);
    std::vector<std::vector<uint8_t>> frames;
    frames.swap(m_core->held);
    m_core->deliverFramesLocked(frames);
    return frames.size();
}

size_t AntRadioSim::heldCount() const
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->held.size();
}

void AntRadioSim::advanceTime(uint32_t ms)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    m_core->advanceLocked(uint64_t(ms) * 1000u);
}

void AntRadioSim::startClock()
{
    if (m_clock)
        return;
    m_clock = std::make_unique<Clock>();
    Clock* clock = m_clock.get();
    std::shared_ptr<Core> core = m_core;
    clock->thread = std::thread([clock, core] {
        auto last = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(clock->m);
        while (!clock->cv.wait_for(lock, std::chrono::milliseconds(5), [clock] { return clock->stop; })) {
            auto now = std::chrono::steady_clock::now();
            uint64_t us = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now - last).count());
            last = now;
            std::lock_guard<std::mutex> coreLock(core->m);
            core->advanceLocked(us);
        }
    });
}

void AntRadioSim::stopClock()
{
    if (!m_clock)
        return;
    {
        std::lock_guard<std::mutex> lock(m_clock->m);
        m_clock->stop = true;
        m_clock->cv.notify_all();
    }
    m_clock->thread.join();
    m_clock.reset();
}

int AntRadioSim::addStrap(const AntStrap& strap)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    return m_core->model.addStrap(strap);
}

void AntRadioSim::withModel(const std::function<void(AntRadioModel&)>& fn)
{
    std::lock_guard<std::mutex> lock(m_core->m);
    fn(m_core->model);
    m_core->airSyncLocked();
}


} // namespace kivo::sim
