// The wmsg command-line tool against windows of this test process.
#include "platform/sync.h"
#include "platform/wm.h"
#include "platform/wm_state.h"
#include "tests/platform/wm_test_util.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ce;
using kivo::test::Child;

namespace {

class WmTool : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;

    // Runs wmsg to its end while this thread keeps pumping (so sends to our
    // windows are answered); returns its output and exit code.
    std::pair<std::string, int> run(const std::vector<std::string>& args)
    {
        Child c("wmsg", args);
        std::string out;
        std::atomic<bool> done { false };
        int code = -1;
        std::thread reader([&] {
            for (std::string l = c.readLine(20000); !l.empty(); l = c.readLine(20000))
                out += l + "\n";
            code = c.wait();
            done = true;
        });
        kivo::test::pumpUntil([&] { return done.load(); }, 30000);
        reader.join();
        return { out, code };
    }
};

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    uintptr_t dwData = 0;
    std::vector<unsigned char> data;
};

TEST_F(WmTool, ListIdPostSendAndCopyData)
{
    std::vector<Seen> seen;
    HWND h = createWindow("KivoMap", "Map \"main\"", [&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        Seen s { m, w, l, 0, {} };
        if (m == WM_COPYDATA && l) {
            auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
            s.dwData = cds->dwData;
            auto* p = static_cast<const unsigned char*>(cds->lpData);
            s.data.assign(p, p + cds->cbData);
            s.lParam = 0;
        }
        seen.push_back(s);
        return m == WM_COPYDATA ? 1 : LRESULT(w) - l;
    });

    auto [list, listCode] = run({ "list" });
    EXPECT_EQ(0, listCode);
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    EXPECT_NE(std::string::npos,
        list.find(std::string(hex) + " pid=" + std::to_string(getCurrentProcessId())
            + " top=1 class=\"KivoMap\" title=\"Map \\\"main\\\"\""))
        << list;

    UINT status = registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    auto [ids, idCode] = run({ "id", "WM_KIVOWIFI_NOTIFY_STATUS" });
    EXPECT_EQ(0, idCode);
    char idLine[80];
    std::snprintf(idLine, sizeof idLine, "%u 0x%04X WM_KIVOWIFI_NOTIFY_STATUS\n", status, status);
    EXPECT_EQ(idLine, ids);

    EXPECT_EQ(0, run({ "post", "--class", "KivoMap", "WM_KIVOWIFI_NOTIFY_STATUS", "2" }).second);
    auto [sent, sendCode] = run({ "send", "--hwnd", hex, "0x500", "10", "-3" });
    EXPECT_EQ(0, sendCode);
    EXPECT_EQ("result 13\n", sent);
    kivo::test::pumpUntil([&] { return seen.size() >= 2; });

    // The keyboard request record: the title as UTF-16 at offset 4 of 1560 bytes.
    auto [copied, copyCode] = run({ "copydata", "--title", "Map \"main\"", "WM_KEYBD_IN_CREATEKEYBOARD", "--text",
        "Pässword", "--offset", "4", "--size", "1560" });
    EXPECT_EQ(0, copyCode);
    EXPECT_EQ("result 1\n", copied);
    auto [hexed, hexCode] = run({ "copydata", "--hwnd", hex, "77", "--hex", "01 02 ff" });
    EXPECT_EQ(0, hexCode);

    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(status, seen[0].message);
    EXPECT_EQ(2u, seen[0].wParam);
    EXPECT_EQ(0x500u, seen[1].message);
    EXPECT_EQ(-3, seen[1].lParam);
    EXPECT_EQ(WM_COPYDATA, seen[2].message);
    EXPECT_EQ(registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD"), seen[2].dwData);
    ASSERT_EQ(1560u, seen[2].data.size());
    const std::u16string expected = u"Pässword";
    for (size_t i = 0; i <= expected.size(); ++i) {
        char16_t c = char16_t(seen[2].data[4 + 2 * i] | seen[2].data[5 + 2 * i] << 8);
        EXPECT_EQ(i < expected.size() ? expected[i] : u'\0', c) << i;
    }
    EXPECT_EQ(0, seen[2].data[0]);
    EXPECT_EQ(0, seen[2].data[1559]);
    EXPECT_EQ((std::vector<unsigned char> { 1, 2, 0xff }), seen[3].data);
    EXPECT_EQ(77u, seen[3].dwData);

    // Errors: no such window, a record that does not fit, bad numbers and
    // bytes; none of them reaches the window.
    struct Bad {
        std::vector<std::string> args;
        int code;
    } bad[] = {
        { { "post", "--class", "Nobody", "5" }, 1 },
        { { "copydata", "--hwnd", hex, "1", "--hex", "0102", "--size", "1" }, 2 },
        { { "copydata", "--hwnd", hex, "1", "--hex", "01", "--offset", "9223372036854775807" }, 2 },
        { { "copydata", "--hwnd", hex, "1", "--hex", "+1" }, 2 },
        { { "send", "--hwnd", hex, "0x10000" }, 2 },
        { { "front" }, 2 },
        { { "bogus" }, 2 },
    };
    for (const Bad& b : bad)
        EXPECT_EQ(b.code, run(b.args).second) << b.args[0] << " " << b.args.back();
    EXPECT_EQ(4u, seen.size());
    destroyWindow(h);
}

TEST_F(WmTool, ListenPrintsEveryMessageItGets)
{
    Child listener("wmsg", { "listen", "--class", "Listener", "--reply", "9", "--count", "3" });
    std::string first = listener.readLine();
    ASSERT_EQ(0u, first.rfind("listening hwnd=0x", 0)) << first;
    HWND h = reinterpret_cast<HWND>(uintptr_t(std::stoull(first.substr(17), nullptr, 16)));
    EXPECT_EQ(h, findWindow("Listener", nullptr));

    UINT touch = registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN");
    EXPECT_TRUE(postMessage(HWND_BROADCAST, touch, 0, 0));
    char line[200];
    std::snprintf(line, sizeof line, "posted hwnd=%s msg=0x%04X name=WM_TOUCHEVENT_MOUSE_LBUTTONDOWN wparam=0 lparam=0",
        first.substr(15).c_str(), touch);
    EXPECT_EQ(line, listener.readLine());

    EXPECT_EQ(9, sendMessage(h, 0x46F, 0, 0));
    std::snprintf(line, sizeof line, "sent hwnd=%s msg=0x046F wparam=0 lparam=0", first.substr(15).c_str());
    EXPECT_EQ(line, listener.readLine());

    unsigned char rec[3] = { 0xAB, 0x00, 0x10 };
    COPYDATASTRUCT cds { touch, 3, rec };
    EXPECT_EQ(9, sendMessage(h, WM_COPYDATA, 5, reinterpret_cast<LPARAM>(&cds)));
    std::snprintf(line, sizeof line,
        "sent hwnd=%s msg=0x004A name=WM_COPYDATA wparam=5 dwdata=0x%X "
        "dwname=WM_TOUCHEVENT_MOUSE_LBUTTONDOWN cbdata=3 data=ab0010",
        first.substr(15).c_str(), touch);
    EXPECT_EQ(line, listener.readLine());
    EXPECT_EQ(0, listener.wait()); // three messages, as asked
}

// Messages a window keeps in its process: another process's posts and
// sends of them are refused, whatever they carry; its own threads and other
// messages still reach it.
TEST_F(WmTool, MessagesKeptInProcessAreRefusedFromAnother)
{
    std::vector<Seen> seen;
    HWND h = createWindow("Keeper", "keeper", [&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        seen.push_back(Seen { m, w, l, 0, {} });
        return 5;
    });
    EXPECT_TRUE(keepMessagesInProcess(h, { 0x501, 0x503 }));
    EXPECT_FALSE(keepMessagesInProcess(nullptr, { 0x501 }));
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));

    EXPECT_EQ(1, run({ "post", "--hwnd", hex, "0x501", "1", "0x41414141" }).second);
    EXPECT_EQ(1, run({ "send", "--hwnd", hex, "0x503", "0x41414141", "2" }).second);
    EXPECT_EQ(0, run({ "post", "--hwnd", hex, "0x502", "3" }).second);
    EXPECT_TRUE(postMessage(h, 0x501, 4, 0));
    kivo::test::pumpUntil([&] { return seen.size() >= 2; });
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(0x502u, seen[0].message);
    EXPECT_EQ(0x501u, seen[1].message);
    EXPECT_EQ(4u, seen[1].wParam);
    destroyWindow(h);
}

// Messages named at the window's creation are kept from the instant it can
// be found and reached, not from some moment after.
TEST_F(WmTool, MessagesNamedAtCreationAreKeptFromTheStart)
{
    std::vector<UINT> seen;
    int checked = 0;
    setWindowCreatedHookForTests([&](HWND h) {
        EXPECT_EQ(h, findWindow("Born", nullptr));
        auto w = wm::localWindow(h);
        ASSERT_NE(nullptr, w);
        EXPECT_FALSE(wm::takesFromOtherProcesses(*w, 0x501));
        EXPECT_TRUE(wm::takesFromOtherProcesses(*w, 0x502));
        ++checked;
    });
    HWND h = createWindow(
        "Born", "born",
        [&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            seen.push_back(m);
            return 0;
        },
        true, { 0x501 });
    setWindowCreatedHookForTests(nullptr);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, checked);
    EXPECT_EQ(1, run({ "post", "--class", "Born", "0x501", "1", "0x41414141" }).second);
    EXPECT_EQ(0, run({ "post", "--class", "Born", "0x502", "2" }).second);
    kivo::test::pumpUntil([&] { return !seen.empty(); });
    EXPECT_EQ(std::vector<UINT> { 0x502 }, seen);
    destroyWindow(h);
}

} // namespace
