#include "ant/core/ant_command.h"

#include "platform/debug.h"

#include <chrono>
#include <cstring>

namespace senvoy {

namespace {

using Clock = std::chrono::steady_clock;

uint32_t elapsedMs(Clock::time_point since)
{
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Messages that belong to no channel: their data byte 0 is not a channel.
bool isRadioWide(uint8_t id)
{
    return id == ANT_MSG_CAPABILITIES || id == 0x3E /* version */ || id == 0x61 /* serial number */
        || id == ANT_MSG_STARTUP;
}

// The answers a data transfer waits for, on one condition. The radio's
// retry event ends an attempt as a failure: the page is sent again by the
// channel's user, not by this wait.
struct TransferWaiters {
    ANTResponseWaiter completed;
    ANTResponseWaiter failed;
    ANTResponseWaiter retry;
    ANTResponseWaiter response;
    bool armed = false;

    bool arm(ANTFramer* framer, uint8_t channel, uint8_t id)
    {
        const uint8_t done[] = { channel, 1, ANT_EVENT_TRANSFER_TX_COMPLETED };
        const uint8_t fail[] = { channel, 1, ANT_EVENT_TRANSFER_TX_FAILED };
        const uint8_t again[] = { channel, 1, ANT_EVENT_TRANSFER_RETRY };
        const uint8_t resp[] = { channel, id };
        armed = completed.arm(ANT_MSG_EVENT, done, 3, framer)
            && failed.arm(ANT_MSG_EVENT, fail, 3, framer, completed.ownCondition())
            && retry.arm(ANT_MSG_EVENT, again, 3, framer, completed.ownCondition())
            && response.arm(ANT_MSG_EVENT, resp, 2, framer, completed.ownCondition());
        return armed;
    }
    bool failedOrAnswered() const { return failed.done() || retry.done() || response.done(); }
    bool waitSlice(uint32_t ms)
    {
        ANTResponseWaiter* all[] = { &completed, &failed, &retry, &response };
        return ANTResponseWaiter::waitAny(all, 4, ms);
    }
};

// Waits in slices until the transfer ends one way or another, the cancel
// word is set or timeoutMs (counted from start) has passed.
uint8_t awaitTransferEnd(ANTFramer* framer, TransferWaiters& w, Clock::time_point start, uint32_t timeoutMs,
    uint32_t sliceMs)
{
    for (;;) {
        // A completion after the retry event is a resend's, not this attempt's.
        if (w.retry.done())
            return ANT_RESULT_FAILED;
        if (w.completed.done())
            return ANT_RESULT_OK;
        if (w.failedOrAnswered())
            return ANT_RESULT_FAILED;
        if (framer->cancelRequested())
            return ANT_RESULT_CANCELLED;
        uint32_t elapsed = elapsedMs(start);
        if (elapsed >= timeoutMs)
            return ANT_RESULT_TIMEOUT;
        uint32_t slice = timeoutMs - elapsed;
        w.waitSlice(slice < sliceMs ? slice : sliceMs);
    }
}

// Writes the segments as burst packets into message (10 bytes: id and 9
// data bytes), checking after each packet how the transfer stands.
uint8_t sendPackets(ANTFramer* framer, uint8_t channel, const ANTTransferSegment* segments, int count,
    uint32_t timeoutMs, uint32_t* sentCount, uint8_t* message, bool trace, TransferWaiters& w,
    Clock::time_point start)
{
    int last = -1;
    for (int i = 0; i < count; ++i)
        if (segments[i].data && segments[i].length > 0)
            last = i;
    if (last < 0)
        return ANT_RESULT_FAILED; // nothing to send
    uint32_t packet = 0;
    uint8_t result = ANT_RESULT_OK;
    for (int s = 0; s <= last && result == ANT_RESULT_OK; ++s) {
        const ANTTransferSegment& seg = segments[s];
        if (!seg.data || seg.length == 0)
            continue;
        for (uint32_t pos = 0; pos < seg.length && result == ANT_RESULT_OK; pos += 8) {
            uint32_t n = seg.length - pos < 8 ? seg.length - pos : 8;
            bool lastPacket = s == last && pos + n == seg.length;
            uint8_t sequence = packet == 0 ? 0 : uint8_t((packet - 1) % 3 + 1);
            message[0] = ANT_MSG_BURST_DATA;
            message[1] = uint8_t((channel & 0x1F) | (sequence << 5) | (lastPacket ? 0x80 : 0));
            std::memset(message + 2, 0, 8);
            std::memcpy(message + 2, seg.data + pos, n);
            ++packet;
            if (!framer->writeMessage(message, 9))
                result = ANT_RESULT_FAILED;
            else {
                *sentCount += n;
                if (framer->cancelRequested())
                    result = ANT_RESULT_CANCELLED;
                else if (w.armed && w.failedOrAnswered())
                    result = ANT_RESULT_FAILED;
                else if (timeoutMs != 0 && elapsedMs(start) >= timeoutMs)
                    result = ANT_RESULT_TIMEOUT;
            }
            if (trace)
                ce::debugPrintf("pbCancel_ %d, eReturn %d", framer->cancelRequested() ? 1 : 0, result);
        }
    }
    return result;
}

uint8_t transfer(ANTFramer* framer, uint8_t channel, const ANTTransferSegment* segments, int count,
    uint32_t timeoutMs, uint32_t* sentCount, uint8_t* message, bool trace, bool hasFooter)
{
    Clock::time_point start = Clock::now();
    uint32_t localCount = 0;
    if (!sentCount)
        sentCount = &localCount;
    TransferWaiters w;
    if (timeoutMs != 0 && !w.arm(framer, channel, ANT_MSG_BURST_DATA))
        return ANT_RESULT_FAILED;
    uint8_t result = sendPackets(framer, channel, segments, count, timeoutMs, sentCount, message, trace, w, start);
    if (result == ANT_RESULT_OK && timeoutMs != 0)
        result = awaitTransferEnd(framer, w, start, timeoutMs, 1000);
    if (trace)
        ce::debugPrintf("ulResponseTime_ %u, eReturn: %d, pucFooter_ %d", timeoutMs, result, hasFooter ? 1 : 0);
    return result;
}

int sendSimple(ANTFramer* framer, std::initializer_list<uint8_t> bytes, uint32_t timeoutMs)
{
    uint8_t message[ANT_MESSAGE_SIZE];
    uint8_t n = 0;
    for (uint8_t b : bytes)
        message[n++] = b;
    return ANTCommand_SendAndWait(framer, message, uint8_t(n - 1), timeoutMs);
}

} // namespace

int ANTCommand_SendAndWait(ANTFramer* framer, const uint8_t* message, uint8_t dataLength, uint32_t timeoutMs)
{
    if (!framer || !message || dataLength > ANT_MAX_DATA)
        return 0;
    if (timeoutMs == 0)
        return framer->writeMessage(message, dataLength) ? 1 : 0;
    uint8_t match[2] = { dataLength > 0 ? message[1] : uint8_t(0), message[0] };
    uint8_t matchLength = 2;
    if (message[0] == 0x56) {
        match[0] &= 31;
    } else if (message[0] == 0x57 && dataLength > 1 && message[2] == 1) {
        match[0] = 4;
        matchLength = 1;
    }
    ANTResponseWaiter waiter;
    if (!waiter.arm(ANT_MSG_EVENT, match, matchLength, framer))
        return 0;
    if (!framer->writeMessage(message, dataLength))
        return 0;
    if (!waiter.wait(timeoutMs))
        return 0;
    // The code follows the match bytes; a response cut short is no success.
    return waiter.dataLength() > matchLength && waiter.data()[matchLength] == 0 ? 1 : 0;
}

int ANTCommand_RequestMessage(ANTFramer* framer, uint8_t requestedId, uint8_t channel, ANTMessageRecord* out,
    uint32_t timeoutMs)
{
    if (!framer)
        return 0;
    const uint8_t request[] = { ANT_MSG_REQUEST, channel, requestedId };
    if (timeoutMs == 0 || !out)
        return framer->writeMessage(request, 2) ? 1 : 0;
    ANTResponseWaiter waiter;
    // A reply for another channel, asked for by another thread, is not ours.
    const uint8_t match[] = { channel };
    if (!waiter.arm(requestedId, match, isRadioWide(requestedId) ? 0 : 1, framer))
        return 0;
    if (!framer->writeMessage(request, 2))
        return 0;
    if (!waiter.wait(timeoutMs))
        return 0;
    out->length = waiter.dataLength() > ANT_MAX_DATA ? ANT_MAX_DATA : waiter.dataLength();
    out->id = requestedId;
    std::memset(out->data, 0, sizeof out->data);
    std::memcpy(out->data, waiter.data(), out->length);
    return 1;
}

uint8_t ANTCommand_SendDataAndWait(ANTFramer* framer, uint8_t id, uint8_t channel, const uint8_t* payload,
    uint8_t messageLength, uint32_t timeoutMs)
{
    if (!framer || messageLength < 1 || messageLength > ANT_MAX_DATA || (messageLength > 1 && !payload))
        return ANT_RESULT_FAILED;
    Clock::time_point start = Clock::now();
    uint8_t message[ANT_MESSAGE_SIZE];
    message[0] = id;
    message[1] = channel;
    if (messageLength > 1)
        std::memcpy(message + 2, payload, size_t(messageLength - 1));
    TransferWaiters w;
    if (timeoutMs != 0 && !w.arm(framer, channel, id))
        return ANT_RESULT_FAILED;
    if (!framer->writeMessage(message, messageLength))
        return ANT_RESULT_FAILED;
    if (timeoutMs == 0)
        return ANT_RESULT_OK;
    return awaitTransferEnd(framer, w, start, timeoutMs, 2000);
}

uint8_t ANTCommand_SendBurst(ANTFramer* framer, uint8_t channel, const uint8_t* data, uint32_t length,
    uint32_t timeoutMs)
{
    if (!framer)
        return ANT_RESULT_FAILED;
    uint8_t* message = nullptr;
    if (!framer->allocMessage(&message, 9) || !message)
        return ANT_RESULT_NO_BUFFER;
    ANTTransferSegment body { length, data };
    uint8_t result = transfer(framer, channel, &body, 1, timeoutMs, nullptr, message, false, false);
    ANTFramer::freeMessage(message);
    return result;
}

uint8_t ANTCommand_SendTransferAndWaitResponse(ANTFramer* framer, uint8_t channel, const uint8_t* header,
    const uint8_t* footer, const uint8_t* body, uint32_t bodyLength, uint32_t timeoutMs, uint32_t* sentCount)
{
    if (!framer)
        return ANT_RESULT_FAILED;
    uint8_t message[ANT_MESSAGE_SIZE];
    const ANTTransferSegment segments[] = { { header ? 8u : 0u, header }, { bodyLength, body },
        { footer ? 8u : 0u, footer } };
    return transfer(framer, channel, segments, 3, timeoutMs, sentCount, message, true, footer != nullptr);
}

uint8_t ANTCommand_SendTransfer(ANTFramer* framer, uint8_t channel, ANTTransferSegment header,
    ANTTransferSegment footer, ANTTransferSegment body, uint32_t timeoutMs, uint32_t* sentCount)
{
    if (!framer)
        return ANT_RESULT_FAILED;
    uint8_t message[ANT_MESSAGE_SIZE];
    const ANTTransferSegment segments[] = { header, body, footer };
    return transfer(framer, channel, segments, 3, timeoutMs, sentCount, message, false, false);
}

// ---- Builders ---------------------------------------------------------------

int ANTCommand_UnassignChannel(ANTFramer* f, uint8_t channel, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_UNASSIGN_CHANNEL, channel }, t);
}

int ANTCommand_AssignChannel(ANTFramer* f, uint8_t channel, uint8_t channelType, uint8_t network, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_ASSIGN_CHANNEL, channel, channelType, network }, t);
}

int ANTCommand_SetChannelPeriod(ANTFramer* f, uint8_t channel, uint16_t period, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_CHANNEL_PERIOD, channel, uint8_t(period & 0xFF), uint8_t(period >> 8) }, t);
}

int ANTCommand_SetSearchTimeout(ANTFramer* f, uint8_t channel, uint8_t searchTimeout, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_SEARCH_TIMEOUT, channel, searchTimeout }, t);
}

int ANTCommand_SetRfFrequency(ANTFramer* f, uint8_t channel, uint8_t rf, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_RF_FREQUENCY, channel, rf }, t);
}

int ANTCommand_SetNetworkKey(ANTFramer* f, uint8_t network, const uint8_t key[8], uint32_t t)
{
    if (!key)
        return 0;
    return sendSimple(
        f, { ANT_MSG_NETWORK_KEY, network, key[0], key[1], key[2], key[3], key[4], key[5], key[6], key[7] }, t);
}

int ANTCommand_SetTransmitPower(ANTFramer* f, uint8_t power, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_TRANSMIT_POWER, 0x00, power }, t);
}

int ANTCommand_SetCWTestMode(ANTFramer* f, uint8_t power, uint8_t rf, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_CW_TEST, 0x00, power, rf }, t);
}

int ANTCommand_SetSearchWaveform(ANTFramer* f, uint8_t channel, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_SEARCH_WAVEFORM, channel, 0x56, 0x00 }, t);
}

int ANTCommand_ResetSystem(ANTFramer* framer, uint32_t timeoutMs)
{
    if (!framer)
        return 0;
    const uint8_t reset[] = { ANT_MSG_RESET_SYSTEM, 0x00 };
    if (timeoutMs == 0)
        return framer->writeMessage(reset, 1) ? 1 : 0;
    ANTResponseWaiter startup;
    if (!startup.arm(ANT_MSG_STARTUP, nullptr, 0, framer))
        return 0;
    if (!framer->writeMessage(reset, 1))
        return 0;
    return startup.wait(timeoutMs) ? 1 : 0;
}

int ANTCommand_OpenChannel(ANTFramer* f, uint8_t channel, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_OPEN_CHANNEL, channel }, t);
}

int ANTCommand_CloseChannel(ANTFramer* framer, uint8_t channel, uint32_t timeoutMs)
{
    if (!framer)
        return 0;
    const uint8_t close[] = { ANT_MSG_CLOSE_CHANNEL, channel };
    if (timeoutMs == 0)
        return ANTCommand_SendAndWait(framer, close, 1, 0);
    ANTResponseWaiter closed;
    const uint8_t match[] = { channel, 1, ANT_EVENT_CHANNEL_CLOSED };
    if (!closed.arm(ANT_MSG_EVENT, match, 3, framer))
        return 0;
    if (!ANTCommand_SendAndWait(framer, close, 1, timeoutMs))
        return 0;
    return closed.wait(timeoutMs) ? 1 : 0;
}

int ANTCommand_SendBroadcastData(ANTFramer* framer, uint8_t channel, const uint8_t payload[8])
{
    if (!framer || !payload)
        return 0;
    uint8_t message[10] = { ANT_MSG_BROADCAST_DATA, channel };
    std::memcpy(message + 2, payload, 8);
    return framer->writeMessage(message, 9) ? 1 : 0;
}

uint8_t ANTCommand_SendAcknowledgedData(ANTFramer* framer, uint8_t channel, const uint8_t payload[8],
    uint32_t timeoutMs)
{
    if (!payload)
        return ANT_RESULT_FAILED;
    return ANTCommand_SendDataAndWait(framer, ANT_MSG_ACKNOWLEDGED_DATA, channel, payload, 9, timeoutMs);
}

int ANTCommand_SetChannelId(ANTFramer* f, uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint32_t t)
{
    return sendSimple(f,
        { ANT_MSG_CHANNEL_ID, channel, uint8_t(deviceNumber & 0xFF), uint8_t(deviceNumber >> 8), deviceType,
            transmissionType },
        t);
}

int ANTCommand_InitCWTestMode(ANTFramer* f, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_CW_INIT, 0x00 }, t);
}

int ANTCommand_AddChannelIdToList(ANTFramer* f, uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint8_t listIndex, uint32_t t)
{
    return sendSimple(f,
        { ANT_MSG_ADD_TO_LIST, channel, uint8_t(deviceNumber & 0xFF), uint8_t(deviceNumber >> 8), deviceType,
            transmissionType, listIndex },
        t);
}

int ANTCommand_ConfigList(ANTFramer* f, uint8_t channel, uint8_t listSize, uint8_t exclude, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_CONFIG_LIST, channel, listSize, exclude }, t);
}

int ANTCommand_SetChannelTxPower(ANTFramer* f, uint8_t channel, uint8_t power, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_CHANNEL_TX_POWER, channel, power }, t);
}

int ANTCommand_SetProximitySearch(ANTFramer* f, uint8_t channel, uint8_t threshold, uint32_t t)
{
    return sendSimple(f, { ANT_MSG_PROXIMITY_SEARCH, channel, threshold }, t);
}

// ---- Requests ---------------------------------------------------------------

int ANTCommand_RequestChannelId(ANTFramer* framer, uint8_t channel, uint16_t* deviceNumber, uint8_t* deviceType,
    uint8_t* transmissionType, uint32_t timeoutMs)
{
    if (timeoutMs == 0)
        return ANTCommand_RequestMessage(framer, ANT_MSG_CHANNEL_ID, channel, nullptr, 0);
    ANTMessageRecord reply;
    if (!ANTCommand_RequestMessage(framer, ANT_MSG_CHANNEL_ID, channel, &reply, timeoutMs))
        return 0;
    if (reply.length < 5) {
        ce::debugPrintf("ANTCommand: channel id reply of %u bytes is too short", reply.length);
        return 0;
    }
    if (deviceNumber && deviceType && transmissionType) {
        *deviceNumber = uint16_t(reply.data[1] | (reply.data[2] << 8));
        *deviceType = reply.data[3];
        *transmissionType = reply.data[4];
    }
    return 1;
}

int ANTCommand_RequestChannelStatus(ANTFramer* framer, uint8_t channel, uint8_t* status, uint32_t timeoutMs)
{
    if (timeoutMs == 0)
        return ANTCommand_RequestMessage(framer, ANT_MSG_CHANNEL_STATUS, channel, nullptr, 0);
    ANTMessageRecord reply;
    if (!ANTCommand_RequestMessage(framer, ANT_MSG_CHANNEL_STATUS, channel, &reply, timeoutMs))
        return 0;
    if (reply.length < 2) {
        ce::debugPrintf("ANTCommand: channel status reply of %u bytes is too short", reply.length);
        return 0;
    }
    if (status)
        *status = reply.data[1];
    return 1;
}

int ANTCommand_RequestCapabilities(ANTFramer* framer, uint8_t out[4], uint32_t timeoutMs)
{
    if (timeoutMs == 0)
        return ANTCommand_RequestMessage(framer, ANT_MSG_CAPABILITIES, 0, nullptr, 0);
    ANTMessageRecord reply;
    if (!ANTCommand_RequestMessage(framer, ANT_MSG_CAPABILITIES, 0, &reply, timeoutMs))
        return 0;
    if (out)
        std::memcpy(out, reply.data, 4); // bytes past the reply are 0
    return 1;
}

} // namespace senvoy
