// Reading a fuzz input as a stream of choices: a value runs out as zeros when
// the input ends, so every input is a valid script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

namespace kivo::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool empty() const { return m_pos >= m_size; }
    size_t remaining() const { return m_size - m_pos; }

    uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    // Little-endian; each byte read in its own statement, since the order in
    // which operands are evaluated is unspecified.
    uint16_t u16()
    {
        const uint16_t low = byte();
        return uint16_t(low | (byte() << 8));
    }
    uint32_t u32()
    {
        const uint32_t low = u16();
        return low | (uint32_t(u16()) << 16);
    }
    bool flag() { return byte() & 1; }
    // A value in [0, bound) (0 when bound is 0).
    uint32_t below(uint32_t bound) { return bound ? u32() % bound : 0; }

    // Up to n bytes.
    std::vector<uint8_t> bytes(size_t n)
    {
        if (n > remaining())
            n = remaining();
        std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    std::vector<uint8_t> rest() { return bytes(remaining()); }
    std::string text(size_t n)
    {
        const std::vector<uint8_t> b = bytes(n);
        return std::string(b.begin(), b.end());
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Cuts a stream into chunks whose lengths come from a seed: the same seed
// gives the same cuts. Lengths run from 1 to maxChunk.
class ChunkSplitter {
public:
    ChunkSplitter(uint32_t seed, size_t maxChunk)
        : m_state(seed | 1)
        , m_max(maxChunk ? maxChunk : 1)
    {
    }
    size_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return 1 + m_state % m_max;
    }

private:
    uint32_t m_state;
    size_t m_max;
};

// Little-endian UTF-16 text up to its first zero or the field's end, read
// byte by byte (an oracle independent of the readers' own copies).
inline std::u16string utf16Field(const uint8_t* field, size_t bytes)
{
    std::u16string text;
    for (size_t at = 0; at + 1 < bytes; at += 2) {
        const char16_t unit = char16_t(field[at] | (field[at + 1] << 8));
        if (!unit)
            break;
        text += unit;
    }
    return text;
}

// An invariant of the input's reader does not hold: reported like a crash, so
// libFuzzer saves the input.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(cond)                                                                                      \
    do {                                                                                                       \
        if (!(cond))                                                                                           \
            ::kivo::fuzz::fail(#cond " (" __FILE__ ":" FUZZ_STR(__LINE__) ")");                                \
    } while (0)
#define FUZZ_STR(x) FUZZ_STR2(x)
#define FUZZ_STR2(x) #x

} // namespace kivo::fuzz
