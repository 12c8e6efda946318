// The Zero Config service's event records as KivoWiFi's wireless layer reads
// them from the queue "WzcEventLoggingQueue": the input is cut into messages
// of any length (the whole record is 584 bytes), written to the queue by a
// writer that takes messages larger than the reader's end does, and read
// back one by one the way the layer's event thread reads them.
//
// Checked: a message is taken as an event only when it is exactly one record
// long, and then holds the bytes written; any other message is dropped with a
// reason; no message is lost or read twice; the
// SSID an event names is at most 32 characters and never empty.
// fuzz-links: kivo_wifi_wireless

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/msgqueue.h"
#include "platform/wzc/wzc_types.h"
#include "wifi/core/wireless_rules.h"

#include <cstring>
#include <vector>

using kivo::fuzz::FuzzInput;

namespace {

constexpr ce::DWORD kRecord = sizeof(ce::WZC_EVENT_MESSAGE);

ce::HANDLE openEnd(bool read)
{
    ce::MSGQUEUEOPTIONS o {};
    o.dwSize = sizeof o;
    o.dwFlags = ce::MSGQUEUE_ALLOW_BROKEN;
    o.dwMaxMessages = ce::WZC_EVENT_QUEUE_MAX_MESSAGES;
    // The layer's end takes one record; this writer takes more, so that an
    // oversized message reaches the reader.
    o.cbMaxMessage = read ? kRecord : 2 * kRecord;
    o.bReadAccess = read;
    return ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &o);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ce::HANDLE reader = openEnd(true);
    static ce::HANDLE writer = openEnd(false);
    FUZZ_CHECK(reader != nullptr && writer != nullptr);

    FuzzInput in(data, size);
    std::vector<std::vector<uint8_t>> sent;
    while (!in.empty() && sent.size() < ce::WZC_EVENT_QUEUE_MAX_MESSAGES) {
        // Mostly whole records, some short or long ones.
        const uint8_t pick = in.byte();
        const size_t length = pick < 160 ? kRecord : pick < 240 ? in.below(kRecord) : kRecord + 1 + in.below(kRecord);
        std::vector<uint8_t> message = in.bytes(length);
        if (message.size() < length && length == kRecord)
            message.resize(kRecord); // a record the input ran short of: zero-filled
        if (ce::writeMsgQueue(writer, message.data(), ce::DWORD(message.size()), 0, 0))
            sent.push_back(std::move(message));
    }

    size_t taken = 0;
    ce::WZC_EVENT_MESSAGE event;
    bool valid = false;
    QString dropped;
    while (kivo::wireless::readEventMessage(reader, &event, 0, &valid, &dropped)) {
        FUZZ_CHECK(taken < sent.size());
        const std::vector<uint8_t>& expected = sent[taken++];
        if (valid) {
            FUZZ_CHECK(expected.size() == kRecord && dropped.isEmpty());
            FUZZ_CHECK(std::memcmp(&event, expected.data(), kRecord) == 0);
            const QString ssid = kivo::wireless::eventSsid(event);
            FUZZ_CHECK(!ssid.isEmpty() && ssid.size() <= 32);
            FUZZ_CHECK(!kivo::wireless::eventName(event.dwEventCode).isEmpty());
        } else {
            FUZZ_CHECK(expected.size() != kRecord && !dropped.isEmpty());
        }
        dropped.clear();
    }
    FUZZ_CHECK(taken == sent.size());
    return 0;
}
