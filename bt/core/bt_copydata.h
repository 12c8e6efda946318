// Reading the records clients send by WM_COPYDATA. Every read stays inside
// cbData; a record too short for its fixed part is refused.
#pragma once

#include "platform/wm.h"

#include <optional>
#include <string>

namespace kivo::bt {

// UTF-16 text up to its terminator or the end of the data. Nothing for a
// null record or one shorter than one code unit.
std::optional<std::u16string> CopyDataText(const ce::COPYDATASTRUCT* cds, size_t maxUnits = 4096);

struct EmergencyMessage {
    std::u16string number; // at most 29 code units
    std::u16string text; // at most 1023 code units
};
// Nothing when the record does not reach past the number's 60 bytes.
std::optional<EmergencyMessage> ParseEmergencyMessage(const ce::COPYDATASTRUCT* cds);

std::string Utf8(const std::u16string& text);

} // namespace kivo::bt
