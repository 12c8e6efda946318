// The music records the stack hands KivoBT's manager: track texts of 64
// UTF-16 code units (title, artist, album), now-playing entries of 138 bytes
// (an 8-byte identifier, then the title to the end of the entry), play
// statuses; any bytes, any order, or no record at all. The music screens
// then read the list's titles and the current track's place in it.
//
// Checked: a missing record changes nothing; the list keeps at most 100
// distinct entries; every title read is the entry's text up to its first
// zero or its end, never more than 65 code units; the current title is the
// reported one, up to 64 code units; the place is the first
// entry titled as the current track (0 for an empty title or none), and
// asking to play an entry outside the list is refused.
// fuzz-links: kivo_bt

#include "bt/core/bt_manager.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

using kivo::fuzz::FuzzInput;

namespace {

constexpr size_t kEntry = kBtNowPlayingEntrySize;
constexpr size_t kMaxEvents = 160;

std::u16string titleOf(const std::vector<uint8_t>& entry)
{
    return kivo::fuzz::utf16Field(entry.data() + 8, kEntry - 8);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivo::bt;
    ResetManagerForTests();
    FuzzInput in(data, size);
    // The model: the entries as given, their titles (read once, as each
    // entry comes), the current title and its place.
    std::vector<std::vector<uint8_t>> entries;
    std::vector<std::u16string> titles;
    std::u16string title;
    int place = 0;
    // The whole of what the screens read, at the end. After every event the
    // current title and the list's length; the place after each new title.
    // The list only grows, so a title gone wrong stays wrong to the end:
    // reading all hundred titles back after every event found no more and
    // kept the target at a few hundred inputs a second.
    auto checkAll = [&] {
        const std::vector<std::u16string> read = NowPlayingTitles();
        FUZZ_CHECK(read == titles);
        for (const std::u16string& t : read)
            FUZZ_CHECK(t.size() <= 65);
        FUZZ_CHECK(CurrentTrackPlace() == place);
        FUZZ_CHECK(PlayNowPlayingEntry(int(entries.size())) == 0);
        FUZZ_CHECK(PlayNowPlayingEntry(-1) == 0);
    };
    // Events with a record: title, artist, album, entry, play status and
    // the playing state (3 and 11 leave the list alone).
    static const int kEvents[] = { 0, 6, 7, 9, 3, 11 };
    for (size_t n = 0; n < kMaxEvents && !in.empty(); ++n) {
        const int event = kEvents[in.byte() % 6];
        const bool none = in.byte() == 0xFF;
        const size_t length = event == 9 ? kEntry : event == 3 ? 16 : event == 11 ? 4 : 128;
        std::vector<uint8_t> record = in.bytes(length);
        record.resize(length, 0);
        OnMusicEvent(event, none ? nullptr : record.data());
        if (!none && event == 0) {
            // The track block's field holds all 64 code units.
            title = kivo::fuzz::utf16Field(record.data(), record.size()).substr(0, 64);
            place = 0;
            for (size_t i = 0; i < titles.size() && !place && !title.empty(); ++i)
                if (titles[i].substr(0, 64) == title)
                    place = int(i) + 1;
        }
        const bool added = !none && event == 9 && entries.size() < 100
            && std::find(entries.begin(), entries.end(), record) == entries.end();
        if (added) {
            entries.push_back(record);
            titles.push_back(titleOf(record));
            if (!place && !title.empty() && titles.back().substr(0, 64) == title)
                place = int(titles.size());
        }
        // After every event: the current title and the list's length.
        FUZZ_CHECK(fieldText(CurrentTrack().title, 64) == title);
        FUZZ_CHECK(GetManagerState().nowPlayingCount == int(entries.size()));
        if (!none && event == 0)
            FUZZ_CHECK(CurrentTrackPlace() == place);
    }
    checkAll();
    return 0;
}
