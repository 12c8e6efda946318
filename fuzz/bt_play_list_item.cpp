// The now-playing entry the simulated stack is asked to play, as any bytes
// of any length (the export reads exactly one entry's worth).
//
// Checked: fewer bytes than an entry are refused and leave the item
// untouched; otherwise the identifier is the first 8 bytes and the title the
// UTF-16 text after them up to its first zero or the entry's end (at most 65
// code units), whatever follows the entry.
// fuzz-links: kivo_sim_bt

#include "fuzz/support/fuzz_input.h"
#include "sim/bt_stack/bt_stack_sim.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using kivo::sim::bt::NowPlayingItem;
    constexpr size_t kEntry = kBtNowPlayingEntrySize;
    NowPlayingItem item;
    item.id = 77;
    item.title = u"untouched";
    const bool read = kivo::sim::bt::readNowPlayingEntry(data, size, &item);
    if (size < kEntry) {
        FUZZ_CHECK(!read);
        FUZZ_CHECK(item.id == 77 && item.title == u"untouched");
        return 0;
    }
    FUZZ_CHECK(read);
    uint64_t id = 0;
    std::memcpy(&id, data, sizeof id);
    FUZZ_CHECK(item.id == id);
    FUZZ_CHECK(item.title == kivo::fuzz::utf16Field(data + 8, kEntry - 8));
    FUZZ_CHECK(item.title.size() <= 65);
    return 0;
}
