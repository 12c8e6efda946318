// What a sensor sends, as the sensor profiles and the common-page decoder
// read it: a script of messages of any length handed to a profile of each
// kind on one channel (data pages, channel events, messages of other
// channels, cut short), each also read as a common page, and the input as a
// network key text. Records that reach the callback must be whole, of the
// kind's length and of this channel.
// fuzz-links: senvoy_objects

#include "ant/core/ant_sensor_profile.h"
#include "ant/core/common_page.h"
#include "ant/profiles/bsd_gns_sensor.h"
#include "ant/profiles/device_sensors.h"
#include "ant/profiles/hrm_sensor.h"
#include "ant/profiles/lev_sensor.h"
#include "ant/profiles/pwr_sensor.h"
#include "ant/profiles/sac_sensor.h"
#include "fuzz/support/fuzz_input.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace senvoy;

namespace {

constexpr uint8_t kChannel = 3;

const std::map<uint32_t, uint32_t> kRecordSizes {
    { ANTSENSOR_CODE_HRM, ANT_HRM_RECORD_SIZE },
    { ANTSENSOR_CODE_SAC, ANT_SAC_RECORD_SIZE },
    { ANTSENSOR_CODE_PWR, ANT_PWR_RECORD_SIZE },
    { ANTSENSOR_CODE_LEV, ANT_LEV_RECORD_SIZE },
    { ANTSENSOR_CODE_TRN, ANT_TRN_RECORD_SIZE },
    { ANTSENSOR_CODE_SMANO, ANT_SMANO_RECORD_SIZE },
    { ANTSENSOR_CODE_BSD, ANT_BSD_RECORD_SIZE },
    { ANTSENSOR_CODE_GNS, ANT_GNS_RECORD_SIZE },
    { ANTSENSOR_CODE_VTX, ANT_VTX_RECORD_SIZE },
};

void check(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void*)
{
    auto size = kRecordSizes.find(code);
    if (size == kRecordSizes.end() || length != size->second || !record || record[0] != kChannel || record[1] > 1)
        std::abort();
}

std::vector<std::unique_ptr<ANTSensorProfile>> makeProfiles()
{
    std::vector<std::unique_ptr<ANTSensorProfile>> all;
    all.emplace_back(new HRMSensor);
    all.emplace_back(new SACSensor);
    all.emplace_back(new PWRSensor);
    all.emplace_back(new LEVSensor);
    all.emplace_back(new BSDSensor);
    all.emplace_back(new GNSSensor);
    all.emplace_back(new SMANOSensor);
    all.emplace_back(new TRNSensor);
    all.emplace_back(new VTXSensor);
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // attach() clears the decoder and the state, so one input leaves nothing
    // for the next.
    static auto* profiles = new std::vector<std::unique_ptr<ANTSensorProfile>>(makeProfiles());
    ANTSensor_SetCallback(&check, nullptr);
    for (auto& p : *profiles)
        p->attach(nullptr, kChannel);
    // The power meter's reserved-field checks read the pages too.
    static_cast<PWRSensor*>((*profiles)[2].get())->setVerbose(true);

    kivo::fuzz::FuzzInput in(data, size);
    while (!in.empty()) {
        uint8_t length = uint8_t(in.below(ANT_MAX_DATA + 1));
        std::vector<uint8_t> message = in.bytes(size_t(length) + 1);
        if (message.empty())
            break;
        // The profile reads exactly the bytes it is given.
        for (auto& p : *profiles)
            p->onMessage(message.data(), uint16_t(message.size() - 1));
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
