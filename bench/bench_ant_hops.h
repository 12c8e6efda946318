// The way a received page takes from the radio to a sensor callback, made
// the plainest way, for the floors of the page-to-callback benchmarks: the
// same three hand-offs between threads as the radio's path (the radio's
// chunk through a named message queue, as the radio sends it, to a reader
// thread; the reader to a dispatch thread under a mutex and condition
// variable; the callback back to the caller) and the framer's own parse on
// the way; the profile's work is the caller's. The queue's own cost is
// measured beside its floor by QueueRoundTrip.
#pragma once

#include "ant/core/ant_framer.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy.h"
#include "platform/msgqueue.h"
#include "platform/registry.h"
#include "sim/ant_radio/ant_radio_sim.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kivo::bench {

// The sensor callback's reports, counted; each one wakes whoever waits.
struct Delivered {
    std::mutex m;
    std::condition_variable cv;
    uint64_t count = 0;

    // Runs send (false: nothing sent) and waits for the next report.
    template <typename Send> bool sendAndAwait(Send send)
    {
        uint64_t before;
        {
            std::lock_guard<std::mutex> lock(m);
            before = count;
        }
        if (!send())
            return false;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return count > before; });
        return true;
    }
};

// The sensor callback; its context is a Delivered.
inline void onRecord(uint32_t, uint32_t, const uint8_t*, uint32_t, void* context)
{
    auto* d = static_cast<Delivered*>(context);
    std::lock_guard<std::mutex> lock(d->m);
    ++d->count;
    d->cv.notify_all();
}

// Opens the library on the simulated radio (installed by the caller, which
// keeps it for the run), with network key 1 set and the sensor callback on
// delivered, and connects one sensor: connect(channel, device, search
// time-out). False, with the benchmark skipped, when either fails.
inline bool openSensorOnRadio(benchmark::State& state, kivo::sim::AntRadioSim& sim, Delivered& delivered,
    int (*connect)(uint8_t, uint16_t, uint8_t))
{
    ce::reg::setString(ce::reg::Root::LocalMachine, senvoy::ANT_KEY_REGISTRY_PATH, "NetworkKey1", "0011223344556677");
    sim.install();
    sim.setAnswerMode(kivo::sim::AntRadioSim::AnswerMode::Immediate);
    if (!ANTLIB_Init()) {
        state.SkipWithError("ANTLIB_Init failed");
        return false;
    }
    uint32_t event = 0;
    senvoy::ANTLIB_Manager()->waitEvent(10000, &event);
    ANTSENSOR_Init(&delivered, &onRecord);
    if (connect(0, 0, 255) != 1) {
        state.SkipWithError("the sensor did not connect");
        ANTLIB_Deinit();
        return false;
    }
    return true;
}

class PlainPageHops {
public:
    // deliver(message, length) runs on the dispatch thread for each message
    // parsed: its id, then its data.
    explicit PlainPageHops(std::function<void(const uint8_t*, uint16_t)> deliver)
        : m_deliver(std::move(deliver))
    {
        m_framer.setPort(nullptr);
        ce::MSGQUEUEOPTIONS r { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, 64, 1 };
        ce::MSGQUEUEOPTIONS w = r;
        w.bReadAccess = 0;
        m_in = ce::createMsgQueue("KivoBenchHops", &r);
        m_out = ce::createMsgQueue("KivoBenchHops", &w);
        if (!m_in || !m_out)
            return;
        m_reader = std::thread([this] { readBytes(); });
        m_dispatcher = std::thread([this] { dispatch(); });
    }

    ~PlainPageHops()
    {
        if (m_out)
            ce::closeMsgQueue(m_out);
        if (m_in)
            ce::closeMsgQueue(m_in); // ends the reader, which ends the dispatcher
        if (m_reader.joinable())
            m_reader.join();
        if (m_dispatcher.joinable())
            m_dispatcher.join();
    }

    bool send(const std::vector<uint8_t>& frame)
    {
        uint8_t chunk[64];
        chunk[0] = uint8_t(frame.size());
        std::copy(frame.begin(), frame.end(), chunk + 1);
        return m_out && ce::writeMsgQueue(m_out, chunk, ce::DWORD(frame.size() + 1), 1000, 0);
    }

private:
    using Message = std::vector<uint8_t>;

    void readBytes()
    {
        uint8_t bytes[64];
        uint8_t message[senvoy::ANT_MESSAGE_SIZE];
        for (;;) {
            ce::DWORD n = 0, flags = 0;
            if (!ce::readMsgQueue(m_in, bytes, sizeof bytes, &n, ce::INFINITE, &flags) || n < 1)
                break;
            m_framer.onBytes(bytes + 1, uint32_t(n - 1));
            for (;;) {
                const uint16_t length = m_framer.readMessage(message, senvoy::ANT_MAX_DATA);
                if (length >= senvoy::ANT_NO_MESSAGE)
                    break;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_messages.emplace_back(message, message + 1 + length);
                m_wake.notify_one();
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        m_wake.notify_one();
    }

    void dispatch()
    {
        for (;;) {
            Message message;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_ended || !m_messages.empty(); });
                if (m_messages.empty())
                    return;
                message = std::move(m_messages.front());
                m_messages.pop_front();
            }
            m_deliver(message.data(), uint16_t(message.size() - 1));
        }
    }

    std::function<void(const uint8_t*, uint16_t)> m_deliver;
    senvoy::ANTFramer m_framer;
    ce::HANDLE m_in = nullptr;
    ce::HANDLE m_out = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Message> m_messages;
    bool m_ended = false;
    std::thread m_reader;
    std::thread m_dispatcher;
};

} // namespace kivo::bench
