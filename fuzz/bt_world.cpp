// The simulated Bluetooth stack's world file (\SystemDrive\sim\bt.json), as
// any text.
//
// Checked: reading ends with a world or an error message; a world read has
// counts in range; an error leaves the world given untouched.
// fuzz-links: kivo_sim_bt

#include "fuzz/support/fuzz_input.h"
#include "sim/bt_stack/bt_stack_sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    kivo::sim::bt::World w;
    w.contacts = -7; // a value no world file can give
    std::string error;
    if (kivo::sim::bt::parseWorld(text, &w, &error)) {
        FUZZ_CHECK(w.contacts >= 0 && w.contacts <= 5000);
        FUZZ_CHECK(error.empty());
    } else {
        FUZZ_CHECK(w.contacts == -7);
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
