#include "sim/kivomap/kivomap_peer.h"

#include "platform/paths.h"
#include "platform/sync.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kivo::sim {
namespace {

// The keyboard request KivoWiFi sends: 1560 bytes, a 32-bit 3, the title
// (514 UTF-16 units with its NUL), a 32-bit 1, the input type, 520 zeros.
constexpr std::size_t kRequestSize = 1560;
constexpr std::size_t kTitleOffset = 4;
constexpr std::size_t kTitleUnits = 514;
constexpr std::size_t kOneOffset = 1032;
constexpr std::size_t kTypeOffset = 1036;
// KivoMap's answer carries the typed text, NUL-terminated UTF-16, here.
constexpr std::size_t kReplyTextOffset = 1048;
constexpr std::size_t kReplyMinimumSize = 1560;

constexpr ce::UINT kSendReply = ce::WM_USER + 1;

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16 units (unaligned, little-endian bytes) up to the first NUL or the
// limit, as UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const uint8_t* bytes, std::size_t maxUnits)
{
    std::string out;
    for (std::size_t i = 0; i < maxUnits; ++i) {
        uint32_t u = uint32_t(bytes[2 * i]) | uint32_t(bytes[2 * i + 1]) << 8;
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < maxUnits) {
            uint32_t v = uint32_t(bytes[2 * i + 2]) | uint32_t(bytes[2 * i + 3]) << 8;
            if (v >= 0xDC00 && v < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& in)
{
    std::u16string out;
    for (std::size_t i = 0; i < in.size();) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            len = 2;
        } else if ((c >> 4) == 0xE) {
            len = 3;
        } else if ((c >> 3) == 0x1E) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > in.size()) {
                len = 1;
            } else {
                cp = c & (0xFF >> (len + 1));
                for (std::size_t k = 1; k < len; ++k) {
                    const unsigned char cc = static_cast<unsigned char>(in[i + k]);
                    if ((cc >> 6) != 0x2) {
                        cp = 0xFFFD;
                        len = k;
                        break;
                    }
                    cp = (cp << 6) | (cc & 0x3F);
                }
            }
        }
        i += len;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t((cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return out;
}

} // namespace

KivoMapPeer::KivoMapPeer(KivoMapPeerOptions options)
    : m_options(std::move(options))
{
}

KivoMapPeer::~KivoMapPeer()
{
    stop();
}

bool KivoMapPeer::start()
{
    if (m_thread)
        return m_window != nullptr;
    m_statusMessage = ce::registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    m_keyboardRequest = ce::registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");
    m_keyboardData = ce::registerWindowMessage("WM_KEYBD_OUT_GETKEYBDDATA");
    m_thread = ce::createThread([this]() -> ce::DWORD {
        run();
        return 0;
    });
    if (!m_thread)
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_ready || m_startFailed; });
    return m_ready;
}

void KivoMapPeer::stop()
{
    if (!m_thread)
        return;
    if (m_window)
        ce::postMessage(m_window, ce::WM_CLOSE, 0, 0);
    ce::joinThread(m_thread, 10000, "KivoMap peer");
    ce::closeHandle(m_thread);
    m_thread = nullptr;
    m_window = nullptr;
}

std::vector<std::string> KivoMapPeer::events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

bool KivoMapPeer::waitForEvents(std::size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_events.size() >= count; });
}

void KivoMapPeer::run()
{
    ce::HWND window = ce::createWindow(m_options.className, m_options.title,
        [this](ce::HWND w, ce::UINT m, ce::WPARAM wp, ce::LPARAM lp) { return handle(w, m, wp, lp); });
    if (!window) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_startFailed = true;
        m_changed.notify_all();
        return;
    }
    m_window = window;
    record("ready");
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready = true;
        m_changed.notify_all();
    }
    ce::MSG msg;
    while (ce::getMessage(&msg, nullptr, 0, 0) > 0) {
        ce::translateMessage(&msg);
        ce::dispatchMessage(&msg);
    }
    if (ce::isWindow(window))
        ce::destroyWindow(window);
}

ce::LRESULT KivoMapPeer::handle(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam)
{
    if (message == ce::WM_COPYDATA) {
        onCopyData(wParam, reinterpret_cast<const ce::COPYDATASTRUCT*>(lParam));
        return 1;
    }
    if (message == m_statusMessage && m_statusMessage != 0) {
        record("status " + std::to_string(static_cast<int32_t>(wParam)));
        return 0;
    }
    if (message == kSendReply) {
        sendReply(reinterpret_cast<ce::HWND>(wParam));
        return 0;
    }
    if (message == ce::WM_CLOSE) {
        ce::destroyWindow(window);
        ce::postQuitMessage(0);
        return 0;
    }
    return 0;
}

void KivoMapPeer::onCopyData(ce::WPARAM from, const ce::COPYDATASTRUCT* data)
{
    if (!data || !data->lpData || data->cbData == 0) {
        record("refused copydata without data");
        return;
    }
    if (data->dwData != m_keyboardRequest) {
        std::ostringstream line;
        line << "refused copydata 0x" << std::hex << data->dwData;
        record(line.str());
        return;
    }
    if (data->cbData != kRequestSize) {
        record("refused keyboard request of " + std::to_string(data->cbData) + " bytes");
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(data->lpData);
    std::ostringstream line;
    line << "keyboard kind=" << readU32(bytes) << " one=" << readU32(bytes + kOneOffset)
         << " type=" << readU32(bytes + kTypeOffset) << " title=" << utf16ToUtf8(bytes + kTitleOffset, kTitleUnits);
    record(line.str());
    // Answer once the sender's call has returned, as a keyboard would after
    // the user typed.
    if (from)
        ce::postMessage(m_window, kSendReply, from, 0);
    else
        record("no-reply");
}

bool KivoMapPeer::replyText(std::string* text) const
{
    if (!m_options.textFile.empty()) {
        std::ifstream file(m_options.textFile, std::ios::binary);
        if (!file)
            return false;
        std::stringstream content;
        content << file.rdbuf();
        *text = content.str();
        while (!text->empty() && (text->back() == '\n' || text->back() == '\r'))
            text->pop_back();
        return true;
    }
    if (!m_options.haveReplyText)
        return false;
    *text = m_options.replyText;
    return true;
}

void KivoMapPeer::sendReply(ce::HWND target)
{
    std::string text;
    if (!replyText(&text)) {
        record("no-reply");
        return;
    }
    if (!ce::isWindow(target)) {
        record("reply-failed");
        return;
    }
    const std::u16string units = utf8ToUtf16(text);
    const std::size_t size = std::max(kReplyMinimumSize, kReplyTextOffset + (units.size() + 1) * sizeof(char16_t));
    if (size > ce::MAX_COPYDATA_BYTES) {
        // Too long for one record: nothing would arrive.
        record("reply-failed");
        return;
    }
    std::vector<uint8_t> reply(size, 0);
    for (std::size_t i = 0; i < units.size(); ++i) {
        reply[kReplyTextOffset + 2 * i] = uint8_t(units[i] & 0xFF);
        reply[kReplyTextOffset + 2 * i + 1] = uint8_t(units[i] >> 8);
    }
    ce::COPYDATASTRUCT data;
    data.dwData = m_keyboardData;
    data.cbData = ce::DWORD(reply.size());
    data.lpData = reply.data();
    ce::sendMessage(
        target, ce::WM_COPYDATA, reinterpret_cast<ce::WPARAM>(m_window), reinterpret_cast<ce::LPARAM>(&data));
    record("reply " + text);
}

void KivoMapPeer::record(const std::string& line)
{
    if (!m_options.logFile.empty()) {
        std::ofstream log(ce::resolvePath(m_options.logFile, true), std::ios::app | std::ios::binary);
        log << line << '\n';
        log.flush();
    }
    if (m_options.echoToStdout) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(line);
    m_changed.notify_all();
}

} // namespace kivo::sim
