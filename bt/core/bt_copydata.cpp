#include "bt/core/bt_copydata.h"

#include "bt/core/bt_records.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace kivo::bt {

namespace {

std::u16string boundedText(const uint8_t* bytes, size_t size, size_t maxUnits)
{
    std::u16string out;
    const size_t units = std::min(size / 2, maxUnits);
    for (size_t i = 0; i < units; ++i) {
        char16_t c;
        std::memcpy(&c, bytes + i * 2, 2);
        if (!c)
            return out;
        out += c;
    }
    // Cut by the limit or the record's end: never half a surrogate pair.
    if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF)
        out.pop_back();
    return out;
}

} // namespace

std::optional<std::u16string> CopyDataText(const ce::COPYDATASTRUCT* cds, size_t maxUnits)
{
    if (!cds || !cds->lpData || cds->cbData < 2)
        return std::nullopt;
    return boundedText(static_cast<const uint8_t*>(cds->lpData), cds->cbData, maxUnits);
}

std::optional<EmergencyMessage> ParseEmergencyMessage(const ce::COPYDATASTRUCT* cds)
{
    if (!cds || !cds->lpData || cds->cbData < kEmergencyNumberBytes + 2)
        return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(cds->lpData);
    EmergencyMessage m;
    m.number = boundedText(bytes, kEmergencyNumberBytes, 29);
    m.text = boundedText(bytes + kEmergencyNumberBytes, cds->cbData - kEmergencyNumberBytes, 1023);
    return m;
}

std::string Utf8(const std::u16string& text)
{
    return QString::fromStdU16String(text).toStdString();
}

} // namespace kivo::bt
