// What the ANT-FS engines and their export layers share: little-endian
// fields, the responses an engine hands back and their queue.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace senvoy {

namespace antfs_le {

inline uint16_t get16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

} // namespace antfs_le

// What a host asked a client for (read from its request).
struct ANTFSRequestInfo {
    uint16_t fileIndex = 0;
    uint32_t offset = 0;
    uint32_t maxBlockSize = 0;
    uint32_t maxUploadSize = 0;
    uint16_t crcSeed = 0;
    uint32_t initialRequest = 0;
};

// What a client told a host about itself: serial number; manufacturer (low
// half) and device type (high half); authentication type, status 1 and
// status 2 in bytes 0-2.
struct ANTFSHostClientInfo {
    uint32_t serialNumber = 0;
    uint32_t manufacturerAndType = 0;
    uint32_t beaconBytes = 0;
};

// A numbered response with what the request it ends hands back: the
// records the request was taken with and what it brought. The answer is
// handled with these alone: by the time it is, the engine may have taken
// the next request, which replaces the engine's own.
struct ANTFSResponse {
    ANTFSResponse(uint32_t c = 0) // NOLINT: a bare code carries nothing more
        : code(c)
    {
    }

    uint32_t code = 0; // 0: none
    // Host: the file of a transfer, and whether the download was of the
    // directory; whether the authentication was a pairing.
    uint16_t fileIndex = 0;
    bool directory = false;
    bool pairing = false;
    // Host: a download's file; a pairing's answer (the client's passkey);
    // the name of a client found.
    std::vector<uint8_t> data;
    // Host: the client found, and its channel's device number.
    ANTFSHostClientInfo client;
    uint16_t channelDeviceNumber = 0;
    // Client: what the host asked for.
    ANTFSRequestInfo request;
};

// Responses, oldest first, for one reader at a time.
class ANTFSResponseQueue {
public:
    void push(ANTFSResponse response)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(response));
        m_cv.notify_all();
    }
    // Empties the queue and wakes a reader (to see a stop flag).
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_cv.notify_all();
    }
    // The oldest response, or one of code 0 when none came within ms; at
    // once while *stop is set.
    ANTFSResponse wait(uint32_t ms, const std::atomic<bool>* stop = nullptr)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto stopped = [&] { return stop && stop->load(); };
        if (stopped())
            return {};
        if (m_queue.empty() && ms)
            m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !m_queue.empty() || stopped(); });
        if (m_queue.empty() || stopped())
            return {};
        ANTFSResponse r = std::move(m_queue.front());
        m_queue.pop_front();
        return r;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<ANTFSResponse> m_queue;
};

} // namespace senvoy
