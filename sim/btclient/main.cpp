// btclient: a client program of the Bluetooth manager. It makes a window
// with the title given, registers it with the manager (the window titled
// "KivoBT"), prints every notification it receives as one line, and takes
// requests, one per line, on its standard input:
//
//   register | unregister           (again) by WM_COPYDATA with its title
//   post NAME [WPARAM [LPARAM]]     posts the registered message NAME
//   emergency NUMBER TEXT...        WM_BTIN_SEND_EMERGENCYMSG by WM_COPYDATA
//   voice TEXT...                   WM_BTIN_VOICEINSTR_DATA by WM_COPYDATA
//   quit                            unregisters and ends
//
// Output lines: "ready", "no manager", "NAME WPARAM LPARAM" for posted
// notifications, "copydata NAME cb=N" followed by what the record holds
// (" state=S name=TEXT" for a phone state, " entries=N" for a phone book,
// " text=TEXT" for the version), and "done" for each request handled.
//
// Usage: btclient TITLE

#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"

#include <QString>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace ce;

namespace {

constexpr UINT WM_CLIENT_COMMAND = WM_USER + 1;

std::u16string utf16(const std::string& s)
{
    return QString::fromStdString(s).toStdU16String();
}

std::string utf8(const char16_t* s, size_t maxUnits)
{
    size_t n = 0;
    while (n < maxUnits && s[n])
        ++n;
    return QString::fromUtf16(s, int(n)).toStdString();
}

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string g_title;

bool sendToManager(const std::string& name, const std::vector<uint8_t>& record)
{
    HWND manager = findWindow(nullptr, "KivoBT");
    if (!manager) {
        say("no manager");
        return false;
    }
    COPYDATASTRUCT cds { registerWindowMessage(name), DWORD(record.size()),
        record.empty() ? nullptr : const_cast<uint8_t*>(record.data()) };
    sendMessage(manager, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    return true;
}

std::vector<uint8_t> textRecord(const std::u16string& text)
{
    std::vector<uint8_t> r((text.size() + 1) * 2, 0);
    std::memcpy(r.data(), text.data(), text.size() * 2);
    return r;
}

void runCommand(const std::string& line)
{
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (verb == "register" || verb == "unregister") {
        sendToManager(verb == "register" ? "WM_BTIN_REGISTER" : "WM_BTIN_UNREGISTER", textRecord(utf16(g_title)));
    } else if (verb == "post") {
        std::istringstream args(rest);
        std::string name;
        long long w = 0, l = 0;
        args >> name >> w >> l;
        HWND manager = findWindow(nullptr, "KivoBT");
        if (!manager)
            say("no manager");
        else
            postMessage(manager, registerWindowMessage(name), WPARAM(w), LPARAM(l));
    } else if (verb == "emergency") {
        std::istringstream args(rest);
        std::string number;
        args >> number;
        std::string text;
        std::getline(args >> std::ws, text);
        const std::u16string n = utf16(number).substr(0, 29);
        const std::u16string t = utf16(text);
        std::vector<uint8_t> r(60 + (t.size() + 1) * 2, 0);
        std::memcpy(r.data(), n.data(), n.size() * 2);
        std::memcpy(r.data() + 60, t.data(), t.size() * 2);
        sendToManager("WM_BTIN_SEND_EMERGENCYMSG", r);
    } else if (verb == "voice") {
        sendToManager("WM_BTIN_VOICEINSTR_DATA", textRecord(utf16(rest)));
    } else if (verb == "quit") {
        sendToManager("WM_BTIN_UNREGISTER", textRecord(utf16(g_title)));
        postQuitMessage(0);
        return;
    } else if (!verb.empty()) {
        say("unknown request: " + verb);
        return;
    }
    say("done");
}

std::string describeCopyData(const COPYDATASTRUCT* cds)
{
    const std::string name = getRegisteredMessageName(UINT(cds->dwData));
    std::string line = "copydata " + (name.empty() ? std::to_string(cds->dwData) : name)
        + " cb=" + std::to_string(cds->cbData) + (cds->lpData ? "" : " null");
    const auto* bytes = static_cast<const uint8_t*>(cds->lpData);
    if (name == "WM_BTOUT_PHONE_STATE" && bytes && cds->cbData >= 132) {
        int32_t state = 0;
        std::memcpy(&state, bytes, 4);
        char16_t text[64];
        std::memcpy(text, bytes + 4, sizeof text);
        line += " state=" + std::to_string(state) + " name=" + utf8(text, 64);
    } else if (name == "WM_BTOUT_PHONEBOOK_LIST") {
        line += " entries=" + std::to_string(cds->cbData / 2614);
    } else if (name == "WM_BTOUT_BT_VERSION" && bytes) {
        std::vector<char16_t> text(cds->cbData / 2 + 1, 0);
        std::memcpy(text.data(), bytes, cds->cbData / 2 * 2);
        line += " text=" + utf8(text.data(), text.size());
    }
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: btclient TITLE\n");
        return 2;
    }
    g_title = argv[1];
    const DWORD mainThread = getCurrentThreadId();
    HWND window = createWindow("BtClient", g_title, [](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_CLIENT_COMMAND) {
            std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(l));
            runCommand(*line);
            return 0;
        }
        if (message == WM_COPYDATA) {
            if (l)
                say(describeCopyData(reinterpret_cast<const COPYDATASTRUCT*>(l)));
            return 1;
        }
        const std::string name = getRegisteredMessageName(message);
        if (!name.empty())
            say(name + " " + std::to_string(w) + " " + std::to_string(l));
        return 0;
    });
    if (!window) {
        std::fprintf(stderr, "btclient: no window\n");
        return 1;
    }
    sendToManager("WM_BTIN_REGISTER", textRecord(utf16(g_title)));
    say("ready");

    // Requests come in on their own thread and run on the window's.
    std::thread([window, mainThread] {
        std::string line;
        while (std::getline(std::cin, line)) {
            auto* copy = new std::string(line);
            if (!postMessage(window, WM_CLIENT_COMMAND, 0, reinterpret_cast<LPARAM>(copy)))
                delete copy;
        }
        postThreadMessage(mainThread, WM_QUIT, 0, 0);
    }).detach();

    MSG msg;
    while (getMessage(&msg, nullptr, 0, 0) > 0)
        dispatchMessage(&msg);
    destroyWindow(window);
    std::fflush(stdout);
    std::_Exit(0); // the input thread may still be blocked in a read
}
