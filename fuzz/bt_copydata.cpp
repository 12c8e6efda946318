// Records clients send the Bluetooth manager by WM_COPYDATA: a client's
// window title (registration) and the emergency SMS record, of any length
// and content. The first byte picks the reader, the rest is the record, held
// in a buffer of exactly its size.
//
// Checked: no read leaves the record; text stops at its terminator, at the
// record's end or at its field's limit; a record too short for the number
// field is refused.
// fuzz-links: kivo_bt

#include "bt/core/bt_copydata.h"
#include "bt/core/bt_records.h"
#include "fuzz/support/fuzz_input.h"

#include <memory>

using kivo::fuzz::FuzzInput;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t which = in.byte();
    const std::vector<uint8_t> bytes = in.rest();
    std::unique_ptr<uint8_t[]> record(bytes.empty() ? nullptr : new uint8_t[bytes.size()]);
    if (record)
        std::copy(bytes.begin(), bytes.end(), record.get());
    ce::COPYDATASTRUCT cds { 0, ce::DWORD(bytes.size()), record.get() };

    if (which & 1) {
        const auto text = kivo::bt::CopyDataText(&cds, 256);
        FUZZ_CHECK(text.has_value() == (bytes.size() >= 2));
        if (text) {
            FUZZ_CHECK(text->size() <= bytes.size() / 2 && text->size() <= 256);
            FUZZ_CHECK(text->find(u'\0') == std::u16string::npos);
        }
    } else {
        const auto m = kivo::bt::ParseEmergencyMessage(&cds);
        FUZZ_CHECK(m.has_value() == (bytes.size() >= kivo::bt::kEmergencyNumberBytes + 2));
        if (m) {
            FUZZ_CHECK(m->number.size() <= 29 && m->text.size() <= 1023);
            FUZZ_CHECK(m->text.size() <= (bytes.size() - kivo::bt::kEmergencyNumberBytes) / 2);
        }
    }
    return 0;
}
