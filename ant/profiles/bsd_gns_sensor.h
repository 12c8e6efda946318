// Two device profiles on the public network (network 0, the zero key, RF
// channel 60, 8 messages a second) that move the fields of their pages into
// records (110 for BSD, 111 for GNS) and send command pages to the device.
#pragma once

#include "ant/core/ant_sensor_profile.h"

#include <cstdint>

namespace senvoy {

constexpr uint32_t ANT_BSD_RECORD_SIZE = 64;
constexpr uint32_t ANT_GNS_RECORD_SIZE = 52;

// Where one field of a page goes in a record: the page (and sub-page in
// byte 1, 0 for none), its first byte and size (big-endian on the air),
// the record offset (little-endian there).
struct PageField {
    uint8_t page;
    uint8_t subPage;
    uint8_t byte;
    uint8_t size;
    uint8_t offset;
};

// What BSD and GNS share: a channel on network 0 whose pages are copied
// field by field, and a command page sent once.
class PageCopyProfile : public ANTSensorProfile {
public:
    static constexpr uint8_t kRf = 60;
    static constexpr uint16_t kPeriod = 4096;
    static constexpr uint8_t kNetwork = 0;

    int configureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
    // Sends the command page once, without waiting: 1 when it was written,
    // 0 for another channel, no command or a channel not tracking.
    int setCommand(uint8_t channel, const uint8_t* command);

    const uint8_t* record() const { return m_record; }
    void receivePage(const uint8_t payload[8])
    {
        decode(payload);
        report();
    }

protected:
    PageCopyProfile(uint8_t kind, uint8_t deviceType, uint32_t code, uint32_t size, const PageField* fields,
        size_t fieldCount);
    void resetDecoder() override;
    void decode(const uint8_t payload[8]) override;
    void report() override;
    void reportClosed() override;
    // The command page of a caller's command record.
    virtual void buildCommand(const uint8_t* command, uint8_t page[8]) const = 0;
    // Whether a field is copied into the record on this page.
    virtual bool copiesOn(const PageField& f, const uint8_t page[8]) const;

    const uint32_t m_code;
    const uint32_t m_size;
    const PageField* const m_fields;
    const size_t m_fieldCount;
    uint8_t m_values[ANT_BSD_RECORD_SIZE] = {}; // the decoded fields, as in the record
    uint8_t m_record[ANT_BSD_RECORD_SIZE] = {};
    uint8_t m_page[8] = {};
};

class BSDSensor : public PageCopyProfile {
public:
    static constexpr uint8_t kDeviceType = 81;
    BSDSensor();
    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;

protected:
    void buildCommand(const uint8_t* command, uint8_t page[8]) const override;
};

class GNSSensor : public PageCopyProfile {
public:
    static constexpr uint8_t kDeviceType = 83;
    GNSSensor();
    int open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout) override;

protected:
    void buildCommand(const uint8_t* command, uint8_t page[8]) const override;
    // Any page 221 brings the fields of all four of its sub-pages.
    bool copiesOn(const PageField& f, const uint8_t page[8]) const override;
};

} // namespace senvoy
