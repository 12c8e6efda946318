// wmsg: window messages from the command line, within one device root
// (KIVO_DEVICE_ROOT).
#include "platform/power.h"
#include "platform/wm.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace ce;

namespace {

const char* const kUsage
    = "usage:\n"
      "  wmsg list                           every top-level window: handle, process, class, title\n"
      "  wmsg id NAME...                     the registered id of each name\n"
      "  wmsg post TARGET MSG [W [L]]        post MSG with wParam W and lParam L\n"
      "  wmsg send TARGET MSG [W [L]]        send MSG and print the result\n"
      "  wmsg copydata TARGET DWDATA [--hex HEX | --text TEXT] [--offset N] [--size N] [--wparam W]\n"
      "                                      send WM_COPYDATA: a record of --size bytes (zero-filled) with\n"
      "                                      the bytes, or TEXT as NUL-terminated UTF-16, at --offset\n"
      "  wmsg front TARGET                   bring a window to the front\n"
      "  wmsg listen [--class C] [--title T] [--reply N] [--count N]\n"
      "                                      create a top-level window and print every message it gets,\n"
      "                                      one line each; ends on WM_CLOSE or after N messages\n"
      "  wmsg power STATE [EVENT]             notify every registered power queue: STATE a number or on,\n"
      "                                      off, suspend, idle, critical, boot, reset; EVENT a number\n"
      "                                      (default 1, a transition)\n"
      "TARGET: --class C and/or --title T, --hwnd H, or (post only) --broadcast\n"
      "MSG, DWDATA: a number (decimal or 0x hex) or a registered message name\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseInt(const std::string& s, long long* out)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno == ERANGE) {
        unsigned long long u = std::strtoull(s.c_str(), &end, 0); // full 64-bit hex handles
        if (errno != 0 || *end)
            return false;
        v = static_cast<long long>(u);
    }
    if (*end)
        return false;
    *out = v;
    return true;
}

// A number, or a name to register.
bool parseMessage(const std::string& s, UINT* out)
{
    long long v;
    if (parseInt(s, &v)) {
        if (v < 0 || v > 0xFFFF)
            return false;
        *out = UINT(v);
        return true;
    }
    *out = registerWindowMessage(s);
    return *out != 0;
}

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool broadcast = false;
};

bool parseArgs(int argc, char** argv, int first, Args* a)
{
    for (int i = first; i < argc; ++i) {
        std::string s = argv[i];
        if (s == "--broadcast") {
            a->broadcast = true;
        } else if (s.rfind("--", 0) == 0 && s.size() > 2) {
            if (i + 1 >= argc)
                return false;
            a->options[s.substr(2)] = argv[++i];
        } else {
            a->positional.push_back(s);
        }
    }
    return true;
}

bool findTarget(const Args& a, HWND* out)
{
    auto hw = a.options.find("hwnd");
    if (hw != a.options.end()) {
        long long v;
        if (!parseInt(hw->second, &v))
            return false;
        *out = reinterpret_cast<HWND>(uintptr_t(v));
        return true;
    }
    auto cls = a.options.find("class");
    auto title = a.options.find("title");
    if (cls == a.options.end() && title == a.options.end())
        return false;
    *out = findWindow(cls != a.options.end() ? cls->second.c_str() : nullptr,
        title != a.options.end() ? title->second.c_str() : nullptr);
    if (!*out) {
        std::fprintf(stderr, "wmsg: no such window\n");
        return false;
    }
    return true;
}

std::string quoted(const std::string& s)
{
    std::string r = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            r += '\\';
            r += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            r += b;
        } else {
            r += char(c);
        }
    }
    return r + "\"";
}

std::string messageName(UINT m)
{
    static const std::map<UINT, const char*> known = { { WM_NULL, "WM_NULL" }, { WM_DESTROY, "WM_DESTROY" },
        { WM_ACTIVATE, "WM_ACTIVATE" }, { WM_CLOSE, "WM_CLOSE" }, { WM_QUIT, "WM_QUIT" },
        { WM_COPYDATA, "WM_COPYDATA" }, { WM_KEYDOWN, "WM_KEYDOWN" }, { WM_KEYUP, "WM_KEYUP" },
        { WM_LBUTTONDOWN, "WM_LBUTTONDOWN" }, { WM_LBUTTONUP, "WM_LBUTTONUP" } };
    auto it = known.find(m);
    if (it != known.end())
        return it->second;
    return getRegisteredMessageName(m);
}

// UTF-8 to UTF-16 code units (invalid bytes become U+FFFD).
std::u16string utf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 6 && i + 1 < s.size()) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        } else if ((c >> 4) == 14 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if ((c >> 3) == 30 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

bool parseHex(const std::string& s, std::vector<unsigned char>* out)
{
    std::string digits;
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c)))
            digits += c;
    if (digits.size() % 2)
        return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false; // strtol alone would take signs and "0x"
    for (size_t i = 0; i < digits.size(); i += 2)
        out->push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

int cmdList()
{
    for (HWND h : enumTopLevelWindows())
        std::printf("0x%llx pid=%u top=1 class=%s title=%s\n", static_cast<unsigned long long>(uintptr_t(h)),
            unsigned(getWindowProcessId(h)), quoted(getWindowClass(h)).c_str(), quoted(getWindowTitle(h)).c_str());
    return 0;
}

// Prints a send's result; the exit code.
int reportSend(LRESULT r)
{
    if (getLastError() != ERROR_SUCCESS) {
        std::fprintf(stderr, "wmsg: send failed (error %u)\n", unsigned(getLastError()));
        return 1;
    }
    std::printf("result %lld\n", static_cast<long long>(r));
    return 0;
}

// A target given but not found is a failure (1), none given a usage error.
int noTarget(const Args& a)
{
    return a.options.count("hwnd") || a.options.count("class") || a.options.count("title") ? 1 : usage();
}

int cmdPostOrSend(bool send, const Args& a)
{
    HWND target = nullptr;
    if (a.broadcast && !send)
        target = HWND_BROADCAST;
    else if (!findTarget(a, &target))
        return noTarget(a);
    if (a.positional.empty() || a.positional.size() > 3)
        return usage();
    UINT msg;
    long long w = 0, l = 0;
    if (!parseMessage(a.positional[0], &msg) || (a.positional.size() > 1 && !parseInt(a.positional[1], &w))
        || (a.positional.size() > 2 && !parseInt(a.positional[2], &l)))
        return usage();
    if (!send) {
        if (!postMessage(target, msg, WPARAM(w), LPARAM(l))) {
            std::fprintf(stderr, "wmsg: post failed (error %u)\n", unsigned(getLastError()));
            return 1;
        }
        return 0;
    }
    return reportSend(sendMessage(target, msg, WPARAM(w), LPARAM(l)));
}

int cmdCopyData(const Args& a)
{
    HWND target = nullptr;
    if (!findTarget(a, &target))
        return noTarget(a);
    if (a.positional.size() != 1)
        return usage();
    long long dw;
    UINT reg;
    uintptr_t dwData;
    if (parseInt(a.positional[0], &dw))
        dwData = uintptr_t(dw);
    else if (parseMessage(a.positional[0], &reg))
        dwData = reg;
    else
        return usage();

    std::vector<unsigned char> payload;
    auto hex = a.options.find("hex");
    auto text = a.options.find("text");
    if (hex != a.options.end() && text != a.options.end())
        return usage();
    if (hex != a.options.end() && !parseHex(hex->second, &payload)) {
        std::fprintf(stderr, "wmsg: bad hex\n");
        return 2;
    }
    if (text != a.options.end()) {
        std::u16string u = utf16(text->second);
        u += char16_t(0);
        for (char16_t c : u) {
            payload.push_back(static_cast<unsigned char>(c & 0xFF));
            payload.push_back(static_cast<unsigned char>(c >> 8));
        }
    }
    long long offset = 0, size = -1, w = 0;
    if ((a.options.count("offset") && (!parseInt(a.options.at("offset"), &offset) || offset < 0))
        || (a.options.count("size") && (!parseInt(a.options.at("size"), &size) || size < 0))
        || (a.options.count("wparam") && !parseInt(a.options.at("wparam"), &w)))
        return usage();
    const long long most = MAX_COPYDATA_BYTES;
    if (offset > most) // before any sum, which could overflow
        offset = most + 1;
    if (size < 0)
        size = offset + static_cast<long long>(payload.size());
    if (offset + static_cast<long long>(payload.size()) > size || size > most) {
        std::fprintf(stderr, "wmsg: the data does not fit a record of %lld bytes (at most %u)\n", size,
            unsigned(MAX_COPYDATA_BYTES));
        return 2;
    }
    std::vector<unsigned char> record(size_t(size), 0);
    std::copy(payload.begin(), payload.end(), record.begin() + offset);
    COPYDATASTRUCT cds { dwData, DWORD(record.size()), record.empty() ? nullptr : record.data() };
    return reportSend(sendMessage(target, WM_COPYDATA, WPARAM(w), reinterpret_cast<LPARAM>(&cds)));
}

int cmdFront(const Args& a)
{
    HWND target = nullptr;
    if (!findTarget(a, &target))
        return noTarget(a);
    return setForegroundWindow(target) ? 0 : 1;
}

void printMessage(bool sent, HWND h, UINT m, WPARAM w, LPARAM l)
{
    std::string name = messageName(m);
    std::printf(
        "%s hwnd=0x%llx msg=0x%04X", sent ? "sent" : "posted", static_cast<unsigned long long>(uintptr_t(h)), m);
    if (!name.empty())
        std::printf(" name=%s", name.c_str());
    std::printf(" wparam=%llu", static_cast<unsigned long long>(w));
    if (m == WM_COPYDATA) {
        auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
        if (!cds) {
            std::printf(" lparam=0\n");
        } else {
            std::string dwName = getRegisteredMessageName(UINT(cds->dwData));
            std::printf(" dwdata=0x%llX", static_cast<unsigned long long>(cds->dwData));
            if (!dwName.empty() && cds->dwData <= 0xFFFF)
                std::printf(" dwname=%s", dwName.c_str());
            std::printf(" cbdata=%u data=", unsigned(cds->cbData));
            auto* p = static_cast<const unsigned char*>(cds->lpData);
            for (DWORD i = 0; i < cds->cbData; ++i)
                std::printf("%02x", p[i]);
            std::printf("\n");
        }
    } else {
        std::printf(" lparam=%lld\n", static_cast<long long>(l));
    }
    std::fflush(stdout);
}

int cmdListen(const Args& a)
{
    long long reply = 0, count = -1;
    if ((a.options.count("reply") && !parseInt(a.options.at("reply"), &reply))
        || (a.options.count("count") && !parseInt(a.options.at("count"), &count)) || !a.positional.empty())
        return usage();
    std::string cls = a.options.count("class") ? a.options.at("class") : "wmsg";
    std::string title = a.options.count("title") ? a.options.at("title") : "wmsg";
    long long seen = 0;
    bool inDispatch = false;
    HWND self = createWindow(cls, title, [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_DESTROY)
            return 0;
        printMessage(!inDispatch, h, m, w, l);
        if (m == WM_CLOSE || (count >= 0 && ++seen >= count))
            postQuitMessage(0);
        return LRESULT(reply);
    });
    if (!self) {
        std::fprintf(stderr, "wmsg: cannot create a window\n");
        return 1;
    }
    std::printf("listening hwnd=0x%llx\n", static_cast<unsigned long long>(uintptr_t(self)));
    std::fflush(stdout);
    MSG msg;
    while (getMessage(&msg, nullptr, 0, 0) > 0) {
        translateMessage(&msg);
        inDispatch = true;
        dispatchMessage(&msg);
        inDispatch = false;
    }
    destroyWindow(self);
    return 0;
}

int cmdPower(const Args& a)
{
    if (a.positional.empty() || a.positional.size() > 2)
        return usage();
    static const std::map<std::string, DWORD> kStates = { { "on", POWER_STATE_ON }, { "off", POWER_STATE_OFF },
        { "suspend", POWER_STATE_SUSPEND }, { "idle", POWER_STATE_IDLE }, { "critical", POWER_STATE_CRITICAL },
        { "boot", POWER_STATE_BOOT }, { "reset", POWER_STATE_RESET } };
    std::string state = a.positional[0];
    std::transform(state.begin(), state.end(), state.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    long long flags = 0, event = PBT_TRANSITION;
    auto named = kStates.find(state);
    if (named != kStates.end())
        flags = named->second;
    else if (!parseInt(state, &flags))
        return usage();
    if (a.positional.size() == 2 && !parseInt(a.positional[1], &event))
        return usage();
    const int reached = notifyPower(DWORD(event), DWORD(flags), named != kStates.end() ? state : std::string());
    std::printf("power 0x%08llX to %d queue(s)\n", flags, reached);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string cmd = argv[1];
    Args a;
    if (!parseArgs(argc, argv, 2, &a))
        return usage();
    if (cmd == "list")
        return cmdList();
    if (cmd == "id") {
        if (a.positional.empty())
            return usage();
        for (auto& name : a.positional) {
            UINT id = registerWindowMessage(name);
            if (!id) {
                std::fprintf(stderr, "wmsg: cannot register %s\n", name.c_str());
                return 1;
            }
            std::printf("%u 0x%04X %s\n", id, id, name.c_str());
        }
        return 0;
    }
    if (cmd == "post" || cmd == "send")
        return cmdPostOrSend(cmd == "send", a);
    if (cmd == "copydata")
        return cmdCopyData(a);
    if (cmd == "front")
        return cmdFront(a);
    if (cmd == "listen")
        return cmdListen(a);
    if (cmd == "power")
        return cmdPower(a);
    return usage();
}
