// The ANT commands: one builder per message the library sends, and the
// procedures that write a message through the framer and, when given a
// time-out, wait for the radio's answer with response waiters.
//
// Every procedure takes the framer first. A time-out of 0 awaits nothing:
// the message is written and the result says whether that worked.
#pragma once

#include "ant/core/ant_framer.h"

#include <cstdint>

namespace senvoy {

// Results of the transfer procedures.
constexpr uint8_t ANT_RESULT_FAILED = 0; // write failed, transfer-failed event, or a channel response
constexpr uint8_t ANT_RESULT_OK = 1;
constexpr uint8_t ANT_RESULT_TIMEOUT = 2;
constexpr uint8_t ANT_RESULT_CANCELLED = 3; // the framer's cancel word read 1
constexpr uint8_t ANT_RESULT_NO_BUFFER = 4;

// Message ids.
constexpr uint8_t ANT_MSG_EVENT = 0x40; // channel response or channel event
constexpr uint8_t ANT_MSG_UNASSIGN_CHANNEL = 0x41;
constexpr uint8_t ANT_MSG_ASSIGN_CHANNEL = 0x42;
constexpr uint8_t ANT_MSG_CHANNEL_PERIOD = 0x43;
constexpr uint8_t ANT_MSG_SEARCH_TIMEOUT = 0x44;
constexpr uint8_t ANT_MSG_RF_FREQUENCY = 0x45;
constexpr uint8_t ANT_MSG_NETWORK_KEY = 0x46;
constexpr uint8_t ANT_MSG_TRANSMIT_POWER = 0x47;
constexpr uint8_t ANT_MSG_CW_TEST = 0x48;
constexpr uint8_t ANT_MSG_SEARCH_WAVEFORM = 0x49;
constexpr uint8_t ANT_MSG_RESET_SYSTEM = 0x4A;
constexpr uint8_t ANT_MSG_OPEN_CHANNEL = 0x4B;
constexpr uint8_t ANT_MSG_CLOSE_CHANNEL = 0x4C;
constexpr uint8_t ANT_MSG_REQUEST = 0x4D;
constexpr uint8_t ANT_MSG_BROADCAST_DATA = 0x4E;
constexpr uint8_t ANT_MSG_ACKNOWLEDGED_DATA = 0x4F;
constexpr uint8_t ANT_MSG_BURST_DATA = 0x50;
constexpr uint8_t ANT_MSG_CHANNEL_ID = 0x51;
constexpr uint8_t ANT_MSG_CHANNEL_STATUS = 0x52;
constexpr uint8_t ANT_MSG_CW_INIT = 0x53;
constexpr uint8_t ANT_MSG_CAPABILITIES = 0x54;
constexpr uint8_t ANT_MSG_ADD_TO_LIST = 0x59;
constexpr uint8_t ANT_MSG_CONFIG_LIST = 0x5A;
constexpr uint8_t ANT_MSG_CHANNEL_TX_POWER = 0x60;
constexpr uint8_t ANT_MSG_STARTUP = 0x6F;
constexpr uint8_t ANT_MSG_PROXIMITY_SEARCH = 0x71;
constexpr uint8_t ANT_MSG_SERIAL_ERROR = 0xAE;

// Channel event codes (0x40 [channel, 1, code]).
constexpr uint8_t ANT_EVENT_RX_SEARCH_TIMEOUT = 1;
constexpr uint8_t ANT_EVENT_RX_FAIL = 2;
constexpr uint8_t ANT_EVENT_TRANSFER_TX_COMPLETED = 5;
constexpr uint8_t ANT_EVENT_TRANSFER_TX_FAILED = 6;
constexpr uint8_t ANT_EVENT_CHANNEL_CLOSED = 7;
// The radio asks for an acknowledged page to be sent again: that attempt failed.
constexpr uint8_t ANT_EVENT_TRANSFER_RETRY = 170;

// Channel states in bits 0-1 of a channel status.
constexpr uint8_t ANT_STATE_UNASSIGNED = 0;
constexpr uint8_t ANT_STATE_ASSIGNED = 1;
constexpr uint8_t ANT_STATE_SEARCHING = 2;
constexpr uint8_t ANT_STATE_TRACKING = 3;

// A requested message as received: data length, id and data.
struct ANTMessageRecord {
    uint8_t length = 0;
    uint8_t id = 0;
    uint8_t data[ANT_MAX_DATA] = {};
};

// One part of a transfer (header, body or footer); a null pointer or a
// length of 0 skips it.
struct ANTTransferSegment {
    uint32_t length = 0;
    const uint8_t* data = nullptr;
};

// ---- Send procedures ------------------------------------------------------

// Writes message (id, then dataLength data bytes) and waits for its channel
// response: 1 when it came with code 0, 0 for another code, silence until
// the time-out, or a failed write.
int ANTCommand_SendAndWait(ANTFramer* framer, const uint8_t* message, uint8_t dataLength, uint32_t timeoutMs);

// Asks for message requestedId (0x4D [channel, requestedId]) and waits for
// it into *out: 1 when it came. Replies that carry a channel (all but the
// radio-wide capabilities, version, serial number and start-up messages)
// must be for this channel. Without a time-out or a record: 1 when written.
int ANTCommand_RequestMessage(ANTFramer* framer, uint8_t requestedId, uint8_t channel, ANTMessageRecord* out,
    uint32_t timeoutMs);

// Writes [id, channel, payload] (messageLength data bytes: the channel and
// messageLength - 1 payload bytes) and waits for the transfer's outcome.
uint8_t ANTCommand_SendDataAndWait(ANTFramer* framer, uint8_t id, uint8_t channel, const uint8_t* payload,
    uint8_t messageLength, uint32_t timeoutMs);

// Sends length bytes as burst packets (0x50 [sequence, 8 bytes]) and waits
// for the transfer-completed event.
uint8_t ANTCommand_SendBurst(ANTFramer* framer, uint8_t channel, const uint8_t* data, uint32_t length,
    uint32_t timeoutMs);

// A burst of an optional 8-byte header packet, the body and an optional
// 8-byte footer packet. Adds the payload bytes sent to *sentCount.
uint8_t ANTCommand_SendTransferAndWaitResponse(ANTFramer* framer, uint8_t channel, const uint8_t* header,
    const uint8_t* footer, const uint8_t* body, uint32_t bodyLength, uint32_t timeoutMs, uint32_t* sentCount);

// A burst of header, body and footer, each of any length and each starting
// in a packet of its own. Adds the payload bytes sent to *sentCount.
uint8_t ANTCommand_SendTransfer(ANTFramer* framer, uint8_t channel, ANTTransferSegment header,
    ANTTransferSegment footer, ANTTransferSegment body, uint32_t timeoutMs, uint32_t* sentCount);

// ---- Builders ---------------------------------------------------------------

int ANTCommand_UnassignChannel(ANTFramer* framer, uint8_t channel, uint32_t timeoutMs);
int ANTCommand_AssignChannel(ANTFramer* framer, uint8_t channel, uint8_t channelType, uint8_t network,
    uint32_t timeoutMs);
// period in 1/32768 s.
int ANTCommand_SetChannelPeriod(ANTFramer* framer, uint8_t channel, uint16_t period, uint32_t timeoutMs);
int ANTCommand_SetSearchTimeout(ANTFramer* framer, uint8_t channel, uint8_t searchTimeout, uint32_t timeoutMs);
// rf: MHz above 2400.
int ANTCommand_SetRfFrequency(ANTFramer* framer, uint8_t channel, uint8_t rf, uint32_t timeoutMs);
int ANTCommand_SetNetworkKey(ANTFramer* framer, uint8_t network, const uint8_t key[8], uint32_t timeoutMs);
int ANTCommand_SetTransmitPower(ANTFramer* framer, uint8_t power, uint32_t timeoutMs);
int ANTCommand_SetCWTestMode(ANTFramer* framer, uint8_t power, uint8_t rf, uint32_t timeoutMs);
int ANTCommand_SetSearchWaveform(ANTFramer* framer, uint8_t channel, uint32_t timeoutMs);
// Waits for the start-up message 0x6F.
int ANTCommand_ResetSystem(ANTFramer* framer, uint32_t timeoutMs);
int ANTCommand_OpenChannel(ANTFramer* framer, uint8_t channel, uint32_t timeoutMs);
// 1 when both the response and the channel-closed event came.
int ANTCommand_CloseChannel(ANTFramer* framer, uint8_t channel, uint32_t timeoutMs);
// Written at once; 1 when written.
int ANTCommand_SendBroadcastData(ANTFramer* framer, uint8_t channel, const uint8_t payload[8]);
uint8_t ANTCommand_SendAcknowledgedData(ANTFramer* framer, uint8_t channel, const uint8_t payload[8],
    uint32_t timeoutMs);
int ANTCommand_SetChannelId(ANTFramer* framer, uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint32_t timeoutMs);
int ANTCommand_InitCWTestMode(ANTFramer* framer, uint32_t timeoutMs);
int ANTCommand_AddChannelIdToList(ANTFramer* framer, uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint8_t listIndex, uint32_t timeoutMs);
int ANTCommand_ConfigList(ANTFramer* framer, uint8_t channel, uint8_t listSize, uint8_t exclude, uint32_t timeoutMs);
int ANTCommand_SetChannelTxPower(ANTFramer* framer, uint8_t channel, uint8_t power, uint32_t timeoutMs);
int ANTCommand_SetProximitySearch(ANTFramer* framer, uint8_t channel, uint8_t threshold, uint32_t timeoutMs);

// ---- Requests ---------------------------------------------------------------

// The outputs are written only when all three are given and a reply came.
int ANTCommand_RequestChannelId(ANTFramer* framer, uint8_t channel, uint16_t* deviceNumber, uint8_t* deviceType,
    uint8_t* transmissionType, uint32_t timeoutMs);
// *status: bits 0-1 the channel state, the rest as the radio sends it.
int ANTCommand_RequestChannelStatus(ANTFramer* framer, uint8_t channel, uint8_t* status, uint32_t timeoutMs);
// out: the first four bytes of the capabilities message (missing ones 0).
int ANTCommand_RequestCapabilities(ANTFramer* framer, uint8_t out[4], uint32_t timeoutMs);

} // namespace senvoy
