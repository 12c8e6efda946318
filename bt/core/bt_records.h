// Records that cross to clients, that travel between the core and its
// windows, and the configuration file's record. Little-endian, UTF-16 text
// in fixed fields, zero-terminated inside them.
#pragma once

#include "platform/bt/bcesdk.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kivo::bt {

// WM_BTOUT_PHONE_STATE.
struct PhoneStateRecord {
    int32_t state; // 0 off, 1 on without phone, 2 connected, 3 auto-connecting
    char16_t name[64];
};
static_assert(sizeof(PhoneStateRecord) == 132, "a phone state record is 132 bytes");

// The call record of WM_STKOUTMSG_DIALERINFO and of missed calls.
using CallRecord = BtCallRecord;
// The SMS record of WM_STKMAPMSG_NEWMSG.
using SmsRecord = BtSmsRecord;

// WM_BTIN_SEND_EMERGENCYMSG: the number in the first 60 bytes, the text after.
constexpr size_t kEmergencyNumberBytes = 60;

// One held notification: a missed call (type 1) or a message (type 2).
struct NotificationRecord {
    int32_t type;
    char16_t number[41];
    char16_t name[32];
    int32_t id;
    char16_t text[1024];
    char16_t date[32];
    int32_t read;
};
static_assert(offsetof(NotificationRecord, read) == 2268, "the compared part of a notification is 2268 bytes");
static_assert(sizeof(NotificationRecord) == 2272, "a notification record is 2272 bytes");
constexpr size_t kNotificationComparedBytes = offsetof(NotificationRecord, read);
constexpr int kNotificationMissedCall = 1;
constexpr int kNotificationMessage = 2;

// BravikConfig.dat: six int32 fields, no header.
struct BtConfigRecord {
    int32_t call = 1;
    int32_t messageAlerts = 1;
    int32_t musicControl = 1;
    int32_t voiceInstruction = 1;
    int32_t message = 1;
    int32_t bluetoothOn = 0;
};
static_assert(sizeof(BtConfigRecord) == 24, "the configuration record is 24 bytes");

// Track information: title, artist, album.
struct TrackBlock {
    char16_t title[64];
    char16_t artist[64];
    char16_t album[64];
};
static_assert(sizeof(TrackBlock) == 384, "the track block is 384 bytes");

// The play status of the music player; its fourth int32 is 1 while playing.
struct PlayStatus {
    uint8_t bytes[16];
};
static_assert(sizeof(PlayStatus) == 16, "the play status is 16 bytes");

// UTF-16 text of a fixed field, up to its terminator or its end.
std::u16string fieldText(const char16_t* field, size_t units);
// Copies text into a fixed field, cut to leave room for the terminator;
// the rest of the field is zeroed.
void setField(char16_t* field, size_t units, const std::u16string& text);
// Copies text into a fixed field that it may fill to the end (then with no
// terminator, as the track block's texts); the rest of the field is zeroed.
void setFullField(char16_t* field, size_t units, const std::u16string& text);

} // namespace kivo::bt
