// The ANT+ common data pages a sensor may send beside its own: request (70),
// manufacturer (80), product (81), battery (82), time and date (83), memory
// (85) and paired devices (86).
#pragma once

#include <cstdint>

namespace senvoy {

struct CommonPageRecord {
    uint8_t page70[5] = {};
    uint8_t hardwareRevision = 0;
    uint16_t manufacturerId = 0;
    uint16_t modelNumber = 0;
    uint8_t softwareRevision = 0;
    uint32_t serialNumber = 0;
    uint32_t operatingTime = 0; // cumulative, in units of the resolution
    uint16_t batteryVoltage = 0; // whole volts in bits 8-11, 1/256 V in bits 0-7
    uint8_t batteryStatus = 0; // 0-7
    uint8_t operatingTimeResolution = 0; // seconds per unit: 2 or 16
    uint8_t seconds = 0;
    uint8_t minutes = 0;
    uint8_t hours = 0;
    uint8_t day = 0; // 1-31
    uint8_t month = 0;
    uint8_t year = 0;
    uint8_t dayOfWeek = 0; // 0-7
    uint8_t memory[3] = {};
    uint8_t pairedIndex = 0;
    uint8_t pairedTotal = 0;
    uint8_t paired = 0;
    uint8_t connectionState = 0; // 4 bits
    uint8_t networkKey = 0; // 3 bits
    uint32_t pairedChannelId = 0;
};

// Writes payload bytes 0-7 of page from the record; another page writes
// nothing.
void CommonPage_Encode(const CommonPageRecord* record, uint8_t page, uint8_t out[8]);
// Reads the page in payload byte 0 into the record; another page changes
// nothing.
void CommonPage_Decode(CommonPageRecord* record, const uint8_t payload[8]);

} // namespace senvoy
