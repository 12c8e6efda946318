#include "bt/core/phone_link.h"

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_sdk.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/sync.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace kivo::bt {

// ---- parser -------------------------------------------------------------------------------------

void FrameParser::SetHandler(Handler handler)
{
    m_handler = std::move(handler);
    Reset();
}

void FrameParser::Reset()
{
    m_state = 1;
    m_command = 0;
    m_expected = 0;
    m_received = 0;
}

void FrameParser::Feed(const uint8_t* bytes, size_t size)
{
    size_t i = 0;
    while (i < size || (m_state == 6 && m_received == m_expected)) {
        switch (m_state) {
        case 1:
            if (bytes[i++] == kFrameStart1)
                m_state = 2;
            break;
        case 2:
            if (bytes[i] == kFrameStart2) {
                ++i;
                m_state = 3;
            } else {
                m_state = 1; // looked at again: it may start a frame itself
            }
            break;
        case 3:
            m_command = bytes[i++];
            m_expected = 0;
            m_state = 4;
            break;
        case 4:
            m_expected = bytes[i++];
            m_state = 5;
            break;
        case 5:
            m_expected |= size_t(bytes[i++]) << 8;
            m_received = 0;
            m_state = 6;
            break;
        case 6: {
            const size_t n = std::min(m_expected - m_received, size - i);
            std::memcpy(m_payload.data() + m_received, bytes + i, n);
            m_received += n;
            i += n;
            if (m_received < m_expected)
                break;
            m_state = 1;
            if (m_handler) {
                std::string line;
                line.reserve(32 + m_expected * 5);
                char head[48];
                std::snprintf(head, sizeof head, "\r\n UpData:[length:%d][", int(m_expected));
                line += head;
                for (size_t k = 0; k < m_expected; ++k) {
                    char b[8];
                    std::snprintf(b, sizeof b, "0x%02x,", m_payload[k]);
                    line += b;
                }
                line += "\b]\r\n";
                ce::debugOutput(line);
                m_handler(m_command, m_payload.data(), m_expected);
            }
            break;
        }
        default:
            m_state = 1;
            break;
        }
    }
}

// ---- frames and text ----------------------------------------------------------------------------

std::vector<uint8_t> BuildFrame(uint8_t command, const std::vector<uint8_t>& payload)
{
    const size_t n = std::min(payload.size(), kMaxFramePayload);
    std::vector<uint8_t> frame;
    frame.reserve(kFrameHeaderBytes + n);
    frame.push_back(kFrameStart1);
    frame.push_back(kFrameStart2);
    frame.push_back(command);
    frame.push_back(uint8_t(n & 0xFF));
    frame.push_back(uint8_t(n >> 8));
    frame.insert(frame.end(), payload.begin(), payload.begin() + long(n));
    return frame;
}

std::string Utf8Prefix(const std::u16string& text, size_t maxBytes)
{
    const QByteArray bytes = QString::fromStdU16String(text).toUtf8();
    size_t n = std::min(size_t(bytes.size()), maxBytes);
    // Back up over continuation bytes to the start of the cut character.
    if (n < size_t(bytes.size()))
        while (n > 0 && (uint8_t(bytes[int(n)]) & 0xC0) == 0x80)
            --n;
    return std::string(bytes.constData(), n);
}

std::u16string Utf16Prefix(const std::u16string& text, size_t maxUnits)
{
    if (text.size() <= maxUnits)
        return text;
    size_t n = maxUnits;
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
        --n; // the high half of a pair whose low half is cut off
    return text.substr(0, n);
}

std::u16string WithoutCountryCode(const std::u16string& number)
{
    return number.rfind(u"+86", 0) == 0 ? number.substr(3) : number;
}

namespace {

void append(std::vector<uint8_t>& out, const std::string& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace

std::vector<uint8_t> SmsPayload(const std::u16string& number, const std::u16string& text)
{
    const std::string n = Utf8Prefix(WithoutCountryCode(number), 255);
    const std::string t = Utf8Prefix(text, 2047);
    std::vector<uint8_t> p;
    p.reserve(3 + n.size() + t.size());
    p.push_back(uint8_t(n.size()));
    append(p, n);
    p.push_back(uint8_t(t.size() & 0xFF));
    p.push_back(uint8_t(t.size() >> 8));
    append(p, t);
    return p;
}

std::vector<uint8_t> DialPayload(const std::u16string& number)
{
    std::vector<uint8_t> p;
    append(p, Utf8Prefix(WithoutCountryCode(number), kMaxFramePayload));
    return p;
}

std::vector<uint8_t> VoiceLanguagePayload(int languageId)
{
    return { uint8_t((languageId >> 8) & 0xFF), uint8_t(languageId & 0xFF) };
}

std::vector<uint8_t> VoiceTextPayload(const std::u16string& text)
{
    std::vector<uint8_t> p;
    append(p, Utf8Prefix(text, 1024));
    return p;
}

std::vector<size_t> AudioFrameSizes(size_t count)
{
    std::vector<size_t> sizes;
    while (count > kAudioFrameBytes) {
        sizes.push_back(kAudioFrameBytes);
        count -= kAudioFrameBytes;
    }
    if (count)
        sizes.push_back(count);
    return sizes;
}

std::optional<uint8_t> PayloadReader::Byte()
{
    if (m_at >= m_n)
        return std::nullopt;
    return m_p[m_at++];
}

std::optional<std::u16string> PayloadReader::String(size_t maxUnits)
{
    // A payload that ends before a string leaves it empty; one that ends
    // inside its count, or before its last byte, is malformed.
    if (m_at == m_n)
        return std::u16string();
    if (m_n - m_at < 2)
        return std::nullopt;
    const size_t count = size_t(m_p[m_at]) | size_t(m_p[m_at + 1]) << 8;
    if (count > m_n - m_at - 2)
        return std::nullopt;
    const char* bytes = reinterpret_cast<const char*>(m_p + m_at + 2);
    m_at += 2 + count;
    return Utf16Prefix(QString::fromUtf8(bytes, int(count)).toStdU16String(), maxUnits);
}

// ---- the port -------------------------------------------------------------------------------------

namespace {

// The port handle, the reader that serves it and the parser it feeds. The
// handle is read and written under the lock; the parser belongs to the one
// reader that runs.
struct Link {
    std::mutex m;
    ce::HANDLE port = ce::INVALID_HANDLE_VALUE;
    std::thread reader;
    FrameParser parser;
};

Link& link()
{
    static Link* l = new Link; // never destroyed: a reader may still be ending at exit
    return *l;
}

void log(const char* text)
{
    ce::debugOutput(text);
}

void readPort(ce::HANDLE port)
{
    ce::setCommMask(port, ce::EV_RXCHAR);
    ce::purgeComm(port, ce::PURGE_RXCLEAR | ce::PURGE_RXABORT);
    std::vector<uint8_t> buffer(kPortReadBytes);
    while (GetManagerState().serialLink) {
        ce::DWORD mask = 0;
        // A closed port fails the wait: that ends this reader.
        if (!ce::waitCommEvent(port, &mask))
            break;
        if (mask & ce::EV_RXCHAR) {
            ce::DWORD got = 0;
            if (ce::readDevice(port, buffer.data(), kPortReadBytes, &got) && got)
                link().parser.Feed(buffer.data(), got);
        } else {
            ce::debugPrintf("[Demo]Error CommStatut (0x%0x)\r\n", unsigned(mask));
        }
    }
}

// Closes the port and waits for its reader, unless this is the reader.
void closeLocked(std::unique_lock<std::mutex>& l)
{
    Link& k = link();
    if (k.port != ce::INVALID_HANDLE_VALUE) {
        ce::closeHandle(k.port);
        k.port = ce::INVALID_HANDLE_VALUE;
    }
    if (k.reader.joinable()) {
        if (k.reader.get_id() == std::this_thread::get_id()) {
            k.reader.detach();
        } else {
            std::thread reader = std::move(k.reader);
            l.unlock();
            reader.join();
            l.lock();
        }
    }
}

} // namespace

void OpenPhoneLinkPort()
{
    uint16_t number = 0;
    const int asked = BtSdk::GetClientPort(&number);
    char name[16];
    std::snprintf(name, sizeof name, "COM%d:", int(number));
    Link& k = link();
    std::unique_lock<std::mutex> l(k.m);
    closeLocked(l);
    ce::HANDLE port = ce::INVALID_HANDLE_VALUE;
    if (asked == 0)
        port = ce::openDevice(name, ce::GENERIC_READ | ce::GENERIC_WRITE);
    else
        ce::setLastError(ce::ERROR_DEV_NOT_EXIST);
    ce::debugPrintf("[BTManager] Open com%d,\r\n", int(number));
    ce::COMMTIMEOUTS t;
    if (port == ce::INVALID_HANDLE_VALUE || !ce::getCommTimeouts(port, &t)) {
        ce::debugPrintf("*** Config Com Fail error= 0x%x!\r\n", unsigned(ce::getLastError()));
        log("!\r\n!\r\n!\r\n!\r\n");
        if (port != ce::INVALID_HANDLE_VALUE)
            ce::closeHandle(port);
        return;
    }
    t.ReadIntervalTimeout = 1;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 50;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 50;
    ce::setCommTimeouts(port, &t);
    log("*** Config Com Ok!\r\n");
    k.port = port;
    k.parser.SetHandler(&OnPhoneLinkFrame);
    k.reader = std::thread([port] { readPort(port); });
}

void ClosePhoneLinkPort()
{
    std::unique_lock<std::mutex> l(link().m);
    closeLocked(l);
}

bool PhoneLinkPortOpen()
{
    std::lock_guard<std::mutex> l(link().m);
    return link().port != ce::INVALID_HANDLE_VALUE;
}

bool WritePhoneLinkFrame(uint8_t command, const std::vector<uint8_t>& payload)
{
    const std::vector<uint8_t> frame = BuildFrame(command, payload);
    std::lock_guard<std::mutex> l(link().m);
    if (link().port == ce::INVALID_HANDLE_VALUE)
        return false;
    ce::DWORD written = 0;
    return ce::writeDevice(link().port, frame.data(), ce::DWORD(frame.size()), &written) && written == frame.size();
}

// ---- voice instructions ----------------------------------------------------------------------------

int SendVoiceInstructionText(const std::u16string& text)
{
    return WritePhoneLinkFrame(kLinkVoiceText, VoiceTextPayload(text)) ? 1 : 0;
}

int SendVoiceInstructionAudio(const uint8_t* audio, size_t count)
{
    if (!audio || !count)
        return 0;
    bool any = false;
    size_t at = 0;
    for (size_t n : AudioFrameSizes(count)) {
        any = WritePhoneLinkFrame(kLinkVoiceAudio, std::vector<uint8_t>(audio + at, audio + at + n)) || any;
        at += n;
    }
    if (!WritePhoneLinkFrame(kLinkVoiceAudioEnd))
        log("mp3 data send end: Write Com failed!\r\n");
    return any ? 1 : 0;
}

// ---- received frames -------------------------------------------------------------------------------

namespace {

void refused(uint8_t command, size_t length)
{
    ce::debugPrintf("***[BTManager] frame 0x%02x refused: its %u bytes do not hold what it names\r\n",
        unsigned(command), unsigned(length));
}

void onSms(const uint8_t* payload, size_t length)
{
    PayloadReader r(payload, length);
    const auto number = r.String(40);
    const auto name = number ? r.String(31) : std::nullopt;
    const auto text = name ? r.String(1023) : std::nullopt;
    if (!text)
        return refused(kLinkSms, length);
    SmsRecord sms {};
    setField(sms.number, 41, *number);
    setField(sms.name, 32, *name);
    setField(sms.text, 1024, *text);
    OnNewMessage(1, &sms);
}

void onCall(const uint8_t* payload, size_t length)
{
    PayloadReader r(payload, length);
    const auto status = r.Byte();
    const auto number = status ? r.String(40) : std::nullopt;
    const auto name = number ? r.String(31) : std::nullopt;
    if (!name)
        return refused(kLinkDial, length);
    static const int kEvents[] = { 0, 8, 7, 6, 5 };
    if (*status < 1 || *status > 4)
        return;
    OnHandsFreeEvent(kEvents[*status], nullptr);
    if (*status == 1 || *status == 2) {
        CallRecord call {};
        setField(call.name, 32, *name);
        setField(call.number, 41, *number);
        OnHandsFreeEvent(10, &call);
    }
}

void onMusic(const uint8_t* payload, size_t length)
{
    if (length == 1 && payload[0] == 0) {
        SetLinkTrack(-1, nullptr);
        return;
    }
    PayloadReader r(payload, length);
    const auto status = r.Byte();
    const auto title = status ? r.String(64) : std::nullopt;
    const auto artist = title ? r.String(64) : std::nullopt;
    const auto album = artist ? r.String(64) : std::nullopt;
    if (!album)
        return refused(kLinkMusicInfo, length);
    TrackBlock block {};
    setFullField(block.title, 64, *title);
    setFullField(block.artist, 64, *artist);
    setFullField(block.album, 64, *album);
    SetLinkTrack(*status, &block);
}

} // namespace

void OnPhoneLinkFrame(uint8_t command, const uint8_t* payload, size_t length)
{
    switch (command) {
    case kLinkSms:
        onSms(payload, length);
        break;
    case kLinkDial:
        onCall(payload, length);
        break;
    case kLinkMusicInfo:
        onMusic(payload, length);
        break;
    case kLinkSmsResult:
        if (!length)
            return refused(command, length);
        PostInternal(WM_STKOUTMSG_SENDMSGRESULT, payload[0] == 0 ? 1 : 0, 0);
        break;
    case kLinkVoiceLanguage:
        if (!length)
            return refused(command, length);
        if (payload[0])
            ExternalPostMessage(WM_BTOUT_VOICEINSTR_LANGUAGE_NOTSUPP, 0, 0);
        break;
    case kLinkPhoneBusy:
        log("***[Btmanager] Remote phone is Busy\r\n");
        SetReconnectAllowed(false);
        DisconnectPhone();
        break;
    case kLinkPairedElsewhere:
        log("***[Btmanager] Remote phone Pair another pedara500\r\n");
        SetReconnectAllowed(false);
        BtSdk::SetPairable(0, 0, 1);
        DisconnectPhone();
        break;
    default:
        break;
    }
}

} // namespace kivo::bt
