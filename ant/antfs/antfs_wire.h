// The ANT-FS wire as both ends read and write it: the first byte of a
// beacon and of every command or response, the command and response ids
// (the byte after it), and the codes their answers carry.
#pragma once

#include <cstdint>

namespace senvoy::antfs_wire {

constexpr uint8_t BEACON_ID = 0x43;
constexpr uint8_t ANTFS_ID = 0x44;

// Host to client.
constexpr uint8_t CMD_LINK = 0x02;
constexpr uint8_t CMD_DISCONNECT = 0x03;
constexpr uint8_t CMD_AUTHENTICATE = 0x04;
constexpr uint8_t CMD_PING = 0x05;
constexpr uint8_t CMD_DOWNLOAD_LEGACY = 0x06; // 16-bit offset and size
constexpr uint8_t CMD_DOWNLOAD = 0x09;
constexpr uint8_t CMD_UPLOAD = 0x0A;
constexpr uint8_t CMD_ERASE = 0x0B;
constexpr uint8_t CMD_UPLOAD_DATA = 0x0C;

// Client to host.
constexpr uint8_t RSP_AUTHENTICATE = 0x84;
constexpr uint8_t RSP_DOWNLOAD_LEGACY = 0x86;
constexpr uint8_t RSP_DOWNLOAD = 0x89;
constexpr uint8_t RSP_UPLOAD = 0x8A;
constexpr uint8_t RSP_ERASE = 0x8B;
constexpr uint8_t RSP_UPLOAD_DATA = 0x8C;

// The authentication request's types and the answer's.
constexpr uint8_t AUTH_PASS_THROUGH = 0;
constexpr uint8_t AUTH_SERIAL = 1; // the client's serial number and name
constexpr uint8_t AUTH_PAIRING = 2;
constexpr uint8_t AUTH_PASSKEY = 3;
constexpr uint8_t AUTH_ANSWER_SERIAL = 0;
constexpr uint8_t AUTH_ANSWER_ACCEPT = 1;
constexpr uint8_t AUTH_ANSWER_REJECT = 2;

// A download answer's code (0 takes the request; 1-3 refuse a file).
constexpr uint8_t DOWNLOAD_OK = 0;
constexpr uint8_t DOWNLOAD_NO_FILE = 1;
constexpr uint8_t DOWNLOAD_NOT_READABLE = 2;
constexpr uint8_t DOWNLOAD_NOT_READY = 3;
constexpr uint8_t DOWNLOAD_INVALID = 4;
constexpr uint8_t DOWNLOAD_CRC_MISMATCH = 5; // the host's CRC seed is not of what it holds

} // namespace senvoy::antfs_wire
