// A second (or third) process for the window-message tests.
//
//   wm_test_peer serve CLASS TITLE    one top-level window; prints "ready <hwnd>"
//                                      then one line per message it handles
//   wm_test_peer ids NAME...          prints the registered id of each name
//
// The served window answers a send with wParam + lParam, a WM_COPYDATA with
// cbData + the sum of its bytes; "peer-send-back" (wParam = a window) sends
// "peer-pong" to that window and answers its result + 1; "peer-hang" never
// returns; "peer-hold" returns once the file "release" appears in the device
// root; "peer-quit" ends the program.
#include "platform/paths.h"
#include "platform/wm.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

using namespace ce;

namespace {

void line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void line(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

int serve(const std::string& cls, const std::string& title)
{
    const UINT sendBack = registerWindowMessage("peer-send-back");
    const UINT pong = registerWindowMessage("peer-pong");
    const UINT hang = registerWindowMessage("peer-hang");
    const UINT hold = registerWindowMessage("peer-hold");
    const UINT quit = registerWindowMessage("peer-quit");
    HWND self = createWindow(cls, title, [&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_COPYDATA) {
            auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
            if (!cds) {
                line("copy none");
                return 0;
            }
            std::string hex;
            LRESULT sum = cds->cbData;
            auto* p = static_cast<const unsigned char*>(cds->lpData);
            for (DWORD i = 0; i < cds->cbData; ++i) {
                sum += p[i];
                if (i < 64) {
                    char b[3];
                    std::snprintf(b, sizeof b, "%02x", p[i]);
                    hex += b;
                }
            }
            line("copy %lu %u %s", static_cast<unsigned long>(cds->dwData), unsigned(cds->cbData),
                hex.empty() ? "-" : hex.c_str());
            return sum;
        }
        if (m == sendBack) {
            LRESULT r = sendMessage(reinterpret_cast<HWND>(w), pong, 7, 0);
            line("sent-back %ld", long(r));
            return r + 1;
        }
        if (m == hang) {
            line("hanging");
            for (;;)
                ::pause();
        }
        if (m == hold) {
            line("holding");
            while (::access((deviceRoot() + "/release").c_str(), F_OK) != 0)
                ::usleep(5000);
            line("released");
            return 0;
        }
        if (m == quit) {
            postQuitMessage(3);
            return 0;
        }
        line("msg %u %lu %ld", m, static_cast<unsigned long>(w), long(l));
        return LRESULT(w + WPARAM(l));
    });
    if (!self)
        return 2;
    line("ready %llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(self)));
    MSG msg;
    while (getMessage(&msg, nullptr, 0, 0) > 0) {
        translateMessage(&msg);
        dispatchMessage(&msg);
    }
    destroyWindow(self);
    line("bye %lu", static_cast<unsigned long>(msg.wParam));
    return int(msg.wParam);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "serve") == 0)
        return serve(argv[2], argv[3]);
    if (argc >= 2 && std::strcmp(argv[1], "ids") == 0) {
        for (int i = 2; i < argc; ++i)
            line("%u", registerWindowMessage(argv[i]));
        return 0;
    }
    std::fprintf(stderr, "usage: wm_test_peer serve CLASS TITLE | ids NAME...\n");
    return 2;
}
