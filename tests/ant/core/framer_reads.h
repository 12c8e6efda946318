// Helpers shared by the framer and driver port tests.
#pragma once

#include "ant/core/ant_framer.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace senvoy::test {

using Bytes = std::vector<uint8_t>;

// n bytes counting up from first.
inline Bytes counting(size_t n, uint8_t first = 1)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(first + i);
    return b;
}

// Reads count results from the framer (a message as id + data, an error as
// 0xEE, kind, code), waiting up to 10 s in all.
inline std::vector<Bytes> readResults(ANTFramer& framer, size_t count)
{
    std::vector<Bytes> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
        if (framer.waitMessage(100) == ANT_NO_MESSAGE)
            continue;
        uint8_t buf[ANT_MESSAGE_SIZE] = {};
        uint16_t r = framer.readMessage(buf, ANT_MAX_DATA);
        if (r == ANT_READ_ERROR)
            out.push_back({ 0xEE, buf[0], buf[0] == ANT_ERROR_PORT ? buf[1] : uint8_t(0) });
        else if (r != ANT_NO_MESSAGE)
            out.emplace_back(buf, buf + 1 + r);
    }
    return out;
}

} // namespace senvoy::test
