// The server's action list (temp.json) as the sync run reads it: any text
// gives either a refusal with a reason and nothing read, or every element
// of the array, in order.
// fuzz-links: kivo_wifi_sync

#include "wifi/sync/actionlist.h"
#include "fuzz/support/fuzz_input.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<kivo::sync::ActionItem> items = { { "keep", "", "", "" } };
    std::string error;
    if (kivo::sync::readActionList(text, &items, &error)) {
        FUZZ_CHECK(!items.empty() && items.front().action == "keep");
    } else {
        FUZZ_CHECK(items.size() == 1);
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
