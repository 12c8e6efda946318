#include "sim/ant_radio/ant_air_frames.h"

#include <algorithm>

namespace kivo::sim {

namespace {

constexpr uint8_t kMagic[4] = { 'K', 'A', 'I', 'R' };
constexpr uint8_t kVersion = 1;
constexpr size_t kHeader = 6; // magic, version, kind
constexpr size_t kRecord = 16;

std::vector<uint8_t> header(AirFrame::Kind kind)
{
    std::vector<uint8_t> f(kMagic, kMagic + 4);
    f.push_back(kVersion);
    f.push_back(uint8_t(kind));
    return f;
}

void putChannel(std::vector<uint8_t>& f, const AirChannel& c)
{
    f.push_back(c.type);
    f.push_back(c.rf);
    f.push_back(uint8_t(c.period & 0xFF));
    f.push_back(uint8_t(c.period >> 8));
    f.insert(f.end(), c.key.begin(), c.key.end());
    f.push_back(uint8_t(c.deviceNumber & 0xFF));
    f.push_back(uint8_t(c.deviceNumber >> 8));
    f.push_back(c.deviceType);
    f.push_back(c.transmissionType);
}

AirChannel getChannel(const uint8_t* p)
{
    AirChannel c;
    c.type = p[0];
    c.rf = p[1];
    c.period = uint16_t(p[2] | (p[3] << 8));
    std::copy(p + 4, p + 12, c.key.begin());
    c.deviceNumber = uint16_t(p[12] | (p[13] << 8));
    c.deviceType = p[14];
    c.transmissionType = p[15];
    return c;
}

bool fail(std::string* error, const char* why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

std::vector<uint8_t> airChannelsFrame(const std::vector<AirChannel>& channels)
{
    std::vector<uint8_t> f = header(AirFrame::Kind::Channels);
    size_t n = std::min(channels.size(), kAirChannelsMax);
    f.push_back(uint8_t(n));
    for (size_t i = 0; i < n; ++i)
        putChannel(f, channels[i]);
    return f;
}

std::vector<uint8_t> airTransmissionFrame(const AirTransmission& t)
{
    std::vector<uint8_t> f = header(AirFrame::Kind::Transmission);
    putChannel(f, t.sender);
    f.push_back(t.id);
    f.insert(f.end(), t.data.begin(), t.data.end());
    return f;
}

std::vector<uint8_t> airLeavingFrame()
{
    return header(AirFrame::Kind::Leaving);
}

bool parseAirFrame(const uint8_t* b, size_t size, AirFrame* frame, std::string* error)
{
    if (!b || size < kHeader)
        return fail(error, "shorter than a header");
    if (!std::equal(kMagic, kMagic + 4, b))
        return fail(error, "not an air frame");
    if (b[4] != kVersion)
        return fail(error, "unknown version");
    AirFrame f;
    switch (b[5]) {
    case uint8_t(AirFrame::Kind::Channels): {
        if (size < kHeader + 1)
            return fail(error, "no channel count");
        size_t n = b[kHeader];
        if (n > kAirChannelsMax)
            return fail(error, "more channels than a radio has");
        if (size != kHeader + 1 + n * kRecord)
            return fail(error, "channel records of the wrong length");
        f.kind = AirFrame::Kind::Channels;
        for (size_t i = 0; i < n; ++i)
            f.channels.push_back(getChannel(b + kHeader + 1 + i * kRecord));
        break;
    }
    case uint8_t(AirFrame::Kind::Transmission): {
        if (size != kHeader + kRecord + 1 + 9)
            return fail(error, "a transmission of the wrong length");
        const uint8_t id = b[kHeader + kRecord];
        if (id != 0x4E && id != 0x4F && id != 0x50)
            return fail(error, "not a data message");
        f.kind = AirFrame::Kind::Transmission;
        f.transmission.sender = getChannel(b + kHeader);
        f.transmission.id = id;
        std::copy(b + kHeader + kRecord + 1, b + size, f.transmission.data.begin());
        break;
    }
    case uint8_t(AirFrame::Kind::Leaving):
        if (size != kHeader)
            return fail(error, "a leaving frame with a body");
        f.kind = AirFrame::Kind::Leaving;
        break;
    default:
        return fail(error, "unknown kind");
    }
    if (frame)
        *frame = std::move(f);
    return true;
}

} // namespace kivo::sim
