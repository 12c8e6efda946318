// What the ANT-FS engines and their export layers share: little-endian
// fields and the queue of numbered responses.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

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

// Numbered responses, oldest first, for one reader at a time.
class ANTFSResponseQueue {
public:
    void push(uint32_t response)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(response);
        m_cv.notify_all();
    }
    // Empties the queue and wakes a reader (to see a stop flag).
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_cv.notify_all();
    }
    // The oldest response, or 0 when none came within ms; 0 at once while
    // *stop is set.
    uint32_t wait(uint32_t ms, const std::atomic<bool>* stop = nullptr)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto stopped = [&] { return stop && stop->load(); };
        if (stopped())
            return 0;
        if (m_queue.empty() && ms)
            m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !m_queue.empty() || stopped(); });
        if (m_queue.empty() || stopped())
            return 0;
        uint32_t r = m_queue.front();
        m_queue.pop_front();
        return r;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<uint32_t> m_queue;
};

} // namespace senvoy
