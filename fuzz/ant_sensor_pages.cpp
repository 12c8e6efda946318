// What a sensor sends, as the heart-rate profile and the common-page decoder
// read it: a script of messages of any length handed to the profile of one
// channel (data pages, channel events, messages of other channels, cut
// short), each also read as a common page, and the input as a network key
// text. Records that reach the callback must be whole and of this channel.
// fuzz-links: senvoy_objects

#include "ant/core/ant_sensor_profile.h"
#include "ant/core/common_page.h"
#include "ant/profiles/hrm_sensor.h"
#include "fuzz/support/fuzz_input.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace senvoy;

namespace {

constexpr uint8_t kChannel = 3;

void check(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void*)
{
    if (code != ANTSENSOR_CODE_HRM || length != ANT_HRM_RECORD_SIZE || !record || record[0] != kChannel
        || record[1] > 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // attach() clears the decoder and the state, so one input leaves nothing
    // for the next.
    static HRMSensor* hrm = new HRMSensor();
    ANTSensor_SetCallback(&check, nullptr);
    hrm->attach(nullptr, kChannel);

    kivo::fuzz::FuzzInput in(data, size);
    while (!in.empty()) {
        uint8_t length = uint8_t(in.below(ANT_MAX_DATA + 1));
        std::vector<uint8_t> message = in.bytes(size_t(length) + 1);
        if (message.empty())
            break;
        // The profile reads exactly the bytes it is given.
        hrm->onMessage(message.data(), uint16_t(message.size() - 1));
        if (message.size() >= 9) {
            CommonPageRecord record;
            CommonPage_Decode(&record, message.data() + 1);
            uint8_t out[8];
            CommonPage_Encode(&record, message[1], out);
        }
    }
    uint8_t key[8];
    ANTSensor_ParseKey(std::string(reinterpret_cast<const char*>(data), size).c_str(), key);
    ANTSensor_SetCallback(nullptr, nullptr);
    return 0;
}
