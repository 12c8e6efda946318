#include "ant/core/common_page.h"

#include <cstring>

namespace senvoy {

void CommonPage_Encode(const CommonPageRecord* r, uint8_t page, uint8_t out[8])
{
    if (!r || !out)
        return;
    uint8_t p[8];
    p[0] = page;
    switch (page) {
    case 70:
        p[1] = p[2] = 0xFF;
        std::memcpy(p + 3, r->page70, 5);
        break;
    case 80:
        p[1] = p[2] = 0xFF;
        p[3] = r->hardwareRevision;
        p[4] = uint8_t(r->manufacturerId);
        p[5] = uint8_t(r->manufacturerId >> 8);
        p[6] = uint8_t(r->modelNumber);
        p[7] = uint8_t(r->modelNumber >> 8);
        break;
    case 81:
        p[1] = p[2] = 0xFF;
        p[3] = r->softwareRevision;
        for (int i = 0; i < 4; ++i)
            p[4 + i] = uint8_t(r->serialNumber >> (8 * i));
        break;
    case 82:
        p[1] = p[2] = 0xFF;
        p[3] = uint8_t(r->operatingTime);
        p[4] = uint8_t(r->operatingTime >> 8);
        p[5] = uint8_t(r->operatingTime >> 16);
        p[6] = uint8_t(r->batteryVoltage);
        p[7] = uint8_t(((r->batteryVoltage >> 8) & 0x0F) | ((r->batteryStatus & 7) << 4)
            | (r->operatingTimeResolution == 2 ? 0x80 : 0));
        break;
    case 83:
        p[1] = 0xFF;
        p[2] = r->seconds;
        p[3] = r->minutes;
        p[4] = r->hours;
        p[5] = uint8_t((r->day & 0x1F) | (r->dayOfWeek << 5));
        p[6] = r->month;
        p[7] = r->year;
        break;
    case 85:
        p[1] = p[2] = p[3] = p[4] = 0xFF;
        std::memcpy(p + 5, r->memory, 3);
        break;
    case 86:
        p[1] = r->pairedIndex;
        p[2] = r->pairedTotal;
        p[3] = uint8_t((r->paired ? 0x80 : 0) | ((r->connectionState & 0x0F) << 3) | (r->networkKey & 7));
        for (int i = 0; i < 4; ++i)
            p[4 + i] = uint8_t(r->pairedChannelId >> (8 * i));
        break;
    default:
        return;
    }
    std::memcpy(out, p, 8);
}

void CommonPage_Decode(CommonPageRecord* r, const uint8_t p[8])
{
    if (!r || !p)
        return;
    switch (p[0]) {
    case 70:
        std::memcpy(r->page70, p + 3, 5);
        break;
    case 80:
        r->hardwareRevision = p[3];
        r->manufacturerId = uint16_t(p[4] | (p[5] << 8));
        r->modelNumber = uint16_t(p[6] | (p[7] << 8));
        break;
    case 81:
        r->softwareRevision = p[3];
        r->serialNumber = uint32_t(p[4]) | (uint32_t(p[5]) << 8) | (uint32_t(p[6]) << 16) | (uint32_t(p[7]) << 24);
        break;
    case 82:
        r->operatingTime = uint32_t(p[3]) | (uint32_t(p[4]) << 8) | (uint32_t(p[5]) << 16);
        r->batteryVoltage = uint16_t(p[6] | ((p[7] & 0x0F) << 8));
        r->batteryStatus = (p[7] >> 4) & 7;
        r->operatingTimeResolution = (p[7] & 0x80) ? 2 : 16;
        break;
    case 83:
        r->seconds = p[2];
        r->minutes = p[3];
        r->hours = p[4];
        r->day = p[5] & 0x1F;
        r->dayOfWeek = p[5] >> 5;
        r->month = p[6];
        r->year = p[7];
        break;
    case 85:
        std::memcpy(r->memory, p + 5, 3);
        break;
    case 86:
        r->pairedIndex = p[1];
        r->pairedTotal = p[2];
        r->paired = (p[3] >> 7) & 1;
        r->connectionState = (p[3] >> 3) & 0x0F;
        r->networkKey = p[3] & 7;
        r->pairedChannelId
            = uint32_t(p[4]) | (uint32_t(p[5]) << 8) | (uint32_t(p[6]) << 16) | (uint32_t(p[7]) << 24);
        break;
    default:
        break;
    }
}

} // namespace senvoy
