// The serial link to a phone's companion application: frames (AF FA,
// command, 16-bit little-endian length, payload) written to and read from
// the serial port the stack names, the parser of the received byte stream,
// the frames each operation sends and what each received frame does.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kivo::bt {

constexpr uint8_t kFrameStart1 = 0xAF;
constexpr uint8_t kFrameStart2 = 0xFA;
constexpr size_t kFrameHeaderBytes = 5;
constexpr size_t kMaxFramePayload = 65535;
// Bytes the reader takes from the port at a time.
constexpr ce::DWORD kPortReadBytes = 1024;
// Voice-instruction audio goes out in frames of this size.
constexpr size_t kAudioFrameBytes = 1000;

// Commands sent to the phone.
enum LinkCommand : uint8_t {
    kLinkSms = 0x81, // also received: a new SMS
    kLinkDial = 0x82, // also received: a call's status
    kLinkMusicInfo = 0x83, // received
    kLinkSmsResult = 0x84, // received
    kLinkAnswer = 0xC1,
    kLinkReject = 0xC2,
    kLinkPlay = 0xC3,
    kLinkPrevious = 0xC5,
    kLinkNext = 0xC6,
    kLinkPause = 0xC7,
    kLinkCallVolumeUp = 0xC8,
    kLinkCallVolumeDown = 0xC9,
    kLinkMusicVolumeUp = 0xCA,
    kLinkMusicVolumeDown = 0xCB,
    kLinkVoiceLanguage = 0xCE, // also received: the phone's answer
    kLinkVoiceText = 0xCF,
    kLinkVoiceAudio = 0xD1,
    kLinkVoiceAudioEnd = 0xD2,
    kLinkPhoneBusy = 0xD3, // received
    kLinkPairedElsewhere = 0xD4, // received
};

// Turns the received byte stream into frames, in order across calls. One
// reader feeds it at a time.
class FrameParser {
public:
    using Handler = std::function<void(uint8_t command, const uint8_t* payload, size_t length)>;

    // Installs the handler and starts over in state 1.
    void SetHandler(Handler handler);
    void Reset();
    void Feed(const uint8_t* bytes, size_t size);
    int State() const { return m_state; }

private:
    int m_state = 1;
    uint8_t m_command = 0;
    size_t m_expected = 0;
    size_t m_received = 0;
    std::vector<uint8_t> m_payload = std::vector<uint8_t>(kMaxFramePayload + 1);
    Handler m_handler;
};

// One whole frame.
std::vector<uint8_t> BuildFrame(uint8_t command, const std::vector<uint8_t>& payload = {});

// Text cut at whole characters: UTF-8 of at most maxBytes bytes, UTF-16 of
// at most maxUnits code units (a surrogate pair is never split).
std::string Utf8Prefix(const std::u16string& text, size_t maxBytes);
std::u16string Utf16Prefix(const std::u16string& text, size_t maxUnits);
// A leading "+86" taken off a phone number.
std::u16string WithoutCountryCode(const std::u16string& number);

// The payloads of the frames that carry data.
std::vector<uint8_t> SmsPayload(const std::u16string& number, const std::u16string& text);
std::vector<uint8_t> DialPayload(const std::u16string& number);
std::vector<uint8_t> VoiceLanguagePayload(int languageId);
std::vector<uint8_t> VoiceTextPayload(const std::u16string& text);
// The sizes of the 0xD1 frames that carry count audio bytes.
std::vector<size_t> AudioFrameSizes(size_t count);

// Reads the strings of a received payload: a 16-bit little-endian byte
// count, then that many bytes of UTF-8. A count that runs past the payload
// makes the read fail.
class PayloadReader {
public:
    PayloadReader(const uint8_t* payload, size_t length)
        : m_p(payload)
        , m_n(length)
    {
    }
    std::optional<uint8_t> Byte();
    // The string cut at whole characters to maxUnits UTF-16 code units.
    std::optional<std::u16string> String(size_t maxUnits);

private:
    const uint8_t* m_p;
    size_t m_n;
    size_t m_at = 0;
};

// ---- the port ---------------------------------------------------------------------------------

// Asks the stack for the port, opens "COM<n>:", sets its time-outs, installs
// the frame handler and starts the reader; a port still open is closed (and
// its reader ended) first. The thread body started on a serial-link
// connection.
void OpenPhoneLinkPort();
// Closes the port; its reader ends.
void ClosePhoneLinkPort();
bool PhoneLinkPortOpen();
// Writes one frame in one write; false (and nothing written) while the port
// is closed.
bool WritePhoneLinkFrame(uint8_t command, const std::vector<uint8_t>& payload = {});

// What a received frame does.
void OnPhoneLinkFrame(uint8_t command, const uint8_t* payload, size_t length);

// The voice instructions for the phone: the text in the 8-bit code page
// (at most 1024 bytes), the audio in 1000-byte frames followed by the end
// frame. 1 when the text, or any audio frame, was written.
int SendVoiceInstructionText(const std::u16string& text);
int SendVoiceInstructionAudio(const uint8_t* audio, size_t count);

} // namespace kivo::bt
