#include "sim/kivomap/kivomap_peer.h"

#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using kivo::sim::KivoMapPeer;
using kivo::sim::KivoMapPeerOptions;

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A keyboard request as KivoWiFi builds it.
std::vector<uint8_t> request(const std::u16string& title, uint32_t type)
{
    std::vector<uint8_t> b(1560, 0);
    auto put = [&](size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[offset + i] = uint8_t(v >> (8 * i));
    };
    put(0, 3);
    for (size_t i = 0; i < title.size(); ++i) {
        b[4 + 2 * i] = uint8_t(title[i]);
        b[5 + 2 * i] = uint8_t(title[i] >> 8);
    }
    put(1032, 1);
    put(1036, type);
    return b;
}

// A window on the test thread that collects KivoMap's keyboard answers.
struct Receiver {
    Receiver()
    {
        data = ce::registerWindowMessage("WM_KEYBD_OUT_GETKEYBDDATA");
        window = ce::createWindow("TestFlow", "TestFlow", [this](ce::HWND, ce::UINT m, ce::WPARAM, ce::LPARAM l) {
            if (m != ce::WM_COPYDATA)
                return ce::LRESULT(0);
            auto* cds = reinterpret_cast<const ce::COPYDATASTRUCT*>(l);
            if (cds->dwData != data)
                return ce::LRESULT(0);
            sizes.push_back(cds->cbData);
            const auto* bytes = static_cast<const uint8_t*>(cds->lpData);
            std::u16string text;
            for (size_t at = 1048; at + 1 < cds->cbData; at += 2) {
                char16_t unit = char16_t(bytes[at] | bytes[at + 1] << 8);
                if (!unit)
                    break;
                text += unit;
            }
            texts.push_back(text);
            return ce::LRESULT(1);
        });
    }
    ~Receiver() { ce::destroyWindow(window); }
    ce::UINT data = 0;
    ce::HWND window = nullptr;
    std::vector<std::u16string> texts;
    std::vector<ce::DWORD> sizes;
};

ce::LRESULT send(ce::HWND to, ce::HWND from, ce::UINT dwData, std::vector<uint8_t>* bytes)
{
    ce::COPYDATASTRUCT cds;
    cds.dwData = dwData;
    cds.cbData = bytes ? ce::DWORD(bytes->size()) : 0;
    cds.lpData = bytes ? bytes->data() : nullptr;
    return ce::sendMessage(to, ce::WM_COPYDATA, reinterpret_cast<ce::WPARAM>(from), reinterpret_cast<ce::LPARAM>(&cds));
}

template <typename Cond> bool pumpUntil(Cond cond)
{
    for (int i = 0; i < 1500 && !cond(); ++i) {
        ce::pumpMessages();
        ce::sleep(10);
    }
    return cond();
}

class KivoMapPeerTest : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot m_root;
};

TEST_F(KivoMapPeerTest, RecordsStatusPostsInMemoryAndInItsLog)
{
    KivoMapPeer peer;
    ASSERT_TRUE(peer.start());
    EXPECT_EQ(ce::findWindow("KivoMap", nullptr), peer.window());
    EXPECT_EQ(ce::findWindow(nullptr, "KivoMap"), peer.window());

    const ce::UINT status = ce::registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    ce::postMessage(peer.window(), status, 4, 0);
    ce::postMessage(peer.window(), status, ce::WPARAM(-1), 0);
    ASSERT_TRUE(peer.waitForEvents(3, 10000));
    EXPECT_EQ(peer.events(), std::vector<std::string>({ "ready", "status 4", "status -1" }));
    EXPECT_EQ(m_root.readFile("\\SystemDrive\\Falmo\\KivoMap\\kivomap_peer.log"), "ready\nstatus 4\nstatus -1\n");

    peer.stop();
    EXPECT_EQ(ce::findWindow("KivoMap", nullptr), nullptr);
}

TEST_F(KivoMapPeerTest, AnswersAKeyboardRequestWithTheTypedText)
{
    KivoMapPeerOptions options;
    options.replyText = "caf\xc3\xa9 \xf0\x9f\x9a\xb2";
    options.haveReplyText = true;
    KivoMapPeer peer(options);
    ASSERT_TRUE(peer.start());
    Receiver flow;

    std::vector<uint8_t> r = request(u"Password", 2);
    EXPECT_EQ(send(peer.window(), flow.window, ce::registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD"), &r), 1);
    ASSERT_TRUE(pumpUntil([&] { return !flow.texts.empty(); }));
    EXPECT_EQ(flow.texts[0], u"caf\u00e9 \U0001F6B2");
    EXPECT_EQ(flow.sizes[0], 1560u);
    ASSERT_TRUE(peer.waitForEvents(3, 10000));
    EXPECT_TRUE(contains(peer.events(), "keyboard kind=3 one=1 type=2 title=Password"));
    EXPECT_TRUE(contains(peer.events(), "reply caf\xc3\xa9 \xf0\x9f\x9a\xb2"));
}

TEST_F(KivoMapPeerTest, LongRepliesGrowTheRecordAndTheTextFileIsReadPerRequest)
{
    const std::string file = m_root.writeFile("\\typed.txt", std::string(400, 'k') + "\n");
    KivoMapPeerOptions options;
    options.textFile = file;
    KivoMapPeer peer(options);
    ASSERT_TRUE(peer.start());
    Receiver flow;
    const ce::UINT keyboard = ce::registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");

    std::vector<uint8_t> r = request(u"Name", 0);
    send(peer.window(), flow.window, keyboard, &r);
    ASSERT_TRUE(pumpUntil([&] { return flow.texts.size() == 1; }));
    EXPECT_EQ(flow.texts[0], std::u16string(400, u'k'));
    EXPECT_EQ(flow.sizes[0], 1048u + 401u * 2u);

    m_root.writeFile("\\typed.txt", "second");
    send(peer.window(), flow.window, keyboard, &r);
    ASSERT_TRUE(pumpUntil([&] { return flow.texts.size() == 2; }));
    EXPECT_EQ(flow.texts[1], u"second");

    // A text too long for one record is not sent, and the peer says so.
    m_root.writeFile("\\typed.txt", std::string(600000, 'x'));
    send(peer.window(), flow.window, keyboard, &r);
    ASSERT_TRUE(pumpUntil([&] { return contains(peer.events(), "reply-failed"); }));
    EXPECT_EQ(flow.texts.size(), 2u);
}

TEST_F(KivoMapPeerTest, RefusesMalformedRecordsAndKeepsRunning)
{
    KivoMapPeer peer; // no text to type
    ASSERT_TRUE(peer.start());
    Receiver flow;
    const ce::UINT keyboard = ce::registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");

    std::vector<uint8_t> shortRecord(100, 0xFF);
    send(peer.window(), flow.window, keyboard, &shortRecord);
    send(peer.window(), flow.window, keyboard, nullptr);
    std::vector<uint8_t> r = request(u"x", 0);
    send(peer.window(), flow.window, keyboard + 1, &r);
    // A title without its NUL is read only up to the end of its field.
    std::vector<uint8_t> unterminated = request(std::u16string(514, u'z'), 0);
    send(peer.window(), flow.window, keyboard, &unterminated);

    ASSERT_TRUE(pumpUntil([&] { return peer.events().size() >= 6; }));
    const std::vector<std::string> events = peer.events();
    EXPECT_TRUE(contains(events, "refused keyboard request of 100 bytes"));
    EXPECT_TRUE(contains(events, "refused copydata without data"));
    EXPECT_TRUE(contains(events, "keyboard kind=3 one=1 type=0 title=" + std::string(514, 'z')));
    EXPECT_TRUE(contains(events, "no-reply"));
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                  [](const std::string& e) { return e.rfind("refused copydata 0x", 0) == 0; }),
        1);
    EXPECT_TRUE(flow.texts.empty());
}

} // namespace
