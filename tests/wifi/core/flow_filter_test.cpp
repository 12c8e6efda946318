#include "wifi/core/flow_filter.h"
#include "wifi/core/flow_ids.h"

#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using kivowifi::SystemMessageFilter;

namespace {

class FakeTarget : public kivowifi::MessageFilterTarget {
public:
    bool exists = true;
    int view = MAIN_VIEW_ID;
    bool shown = false;
    bool pending = false;
    std::vector<std::string> calls;
    std::vector<QString> texts;
    std::vector<ce::UINT> broadcasts;

    bool flowExists() const override { return exists; }
    int currentView() const override { return view; }
    bool screenShown() const override { return shown; }
    bool loginPending() const override { return pending; }
    void exitPressed() override { calls.push_back("exit"); }
    void backPressed() override { calls.push_back("back"); }
    void keyboardText(const QString& text) override { texts.push_back(text); }
    void browserLoginFinished() override { calls.push_back("login-ok"); }
    void browserLoginUnfinished() override { calls.push_back("login-unfinished"); }
    void activated() override { calls.push_back("activated"); }
    void broadcast(ce::UINT message) override { broadcasts.push_back(message); }
    void log(const QString& text) override { calls.push_back("log:" + text.toStdString()); }
};

ce::MSG message(ce::UINT id, ce::WPARAM w = 0, ce::LPARAM l = 0)
{
    return ce::MSG { nullptr, id, w, l, 0 };
}

class FilterTest : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;
    FakeTarget target;
    SystemMessageFilter filter { target };

    void pressKey(int times)
    {
        for (int i = 0; i < times; ++i)
            EXPECT_TRUE(filter.filter(message(kivowifi::WM_HARDWARE_KEY)));
    }
};

TEST_F(FilterTest, EveryFourthHardwareKeyActs)
{
    target.view = MAIN_VIEW_ID;
    pressKey(3);
    EXPECT_TRUE(target.calls.empty());
    EXPECT_TRUE(target.broadcasts.empty());
    EXPECT_EQ(filter.keyCount(), 3);

    pressKey(1);
    EXPECT_EQ(target.calls, (std::vector<std::string> { "back" }));
    ASSERT_EQ(target.broadcasts.size(), 1u);
    EXPECT_EQ(target.broadcasts[0], filter.touchMessage());
    EXPECT_EQ(filter.keyCount(), 0);

    // The count goes on across screens: the eighth acts again.
    target.view = SYNC_VIEW_ID;
    pressKey(4);
    EXPECT_EQ(target.calls, (std::vector<std::string> { "back", "exit" }));
    EXPECT_EQ(target.broadcasts.size(), 2u);
}

TEST_F(FilterTest, FourthKeyActionByScreenState)
{
    struct Case {
        int view;
        bool shown, pending;
        std::string call;
    } cases[] = {
        { SEARCHING_VIEW_ID, true, true, "exit" },
        { SYNC_VIEW_ID, false, false, "exit" },
        { ALERT_VIEW_ID, true, false, "log:[In WifiApplication - kivowifi->m_AlertSign == true] HW press!" },
        { CONNECTING_VIEW_ID, true, true, "log:[In WifiApplication - kivowifi->m_AlertSign == true] HW press!" },
        { MAIN_VIEW_ID, false, true, "log:[In WifiApplication - kivowifi->m_Need_Pop_Browser = true] HW press!" },
        { JOIN_VIEW_ID, false, false, "back" },
    };
    for (const Case& c : cases) {
        target.calls.clear();
        target.view = c.view;
        target.shown = c.shown;
        target.pending = c.pending;
        pressKey(4);
        EXPECT_EQ(target.calls, (std::vector<std::string> { c.call })) << "view " << c.view;
    }
    EXPECT_EQ(target.broadcasts.size(), std::size(cases));
}

TEST_F(FilterTest, LeftButtonBroadcastsAndPassesOn)
{
    EXPECT_FALSE(filter.filter(message(ce::WM_LBUTTONDOWN)));
    EXPECT_FALSE(filter.filter(message(ce::WM_LBUTTONUP)));
    ASSERT_EQ(target.broadcasts.size(), 1u);
    EXPECT_EQ(target.broadcasts[0], ce::registerWindowMessage("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"));
}

TEST_F(FilterTest, ActivationReloadsOnlyWhenActive)
{
    EXPECT_FALSE(filter.filter(message(ce::WM_ACTIVATE, ce::WA_INACTIVE)));
    EXPECT_TRUE(target.calls.empty());
    EXPECT_FALSE(filter.filter(message(ce::WM_ACTIVATE, ce::WA_ACTIVE)));
    EXPECT_EQ(target.calls, (std::vector<std::string> { "activated" }));
}

TEST_F(FilterTest, BrowserMessagesNeedTheFlow)
{
    EXPECT_TRUE(filter.filter(message(ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_SUCESSFULLY"))));
    EXPECT_TRUE(filter.filter(message(ce::registerWindowMessage("WM_BROWSER_EXIT_LOGIN_UNFINISHED"))));
    EXPECT_EQ(target.calls, (std::vector<std::string> { "login-ok", "login-unfinished" }));

    target.exists = false;
    EXPECT_FALSE(filter.filter(message(filter.loginSuccessMessage())));
    EXPECT_FALSE(filter.filter(message(ce::registerWindowMessage("SOME_OTHER_MESSAGE"))));
    EXPECT_EQ(target.calls.size(), 2u);
}

// A keyboard answer record: the text at byte 1048, then whatever fills the
// record to size.
std::vector<unsigned char> keyboardRecord(const std::u16string& text, size_t size, bool terminate = true)
{
    std::vector<unsigned char> rec(size, 0xAB);
    size_t at = kivowifi::KEYBOARD_TEXT_OFFSET;
    for (char16_t c : text) {
        if (at + 2 > size)
            break;
        std::memcpy(&rec[at], &c, 2);
        at += 2;
    }
    if (terminate && at + 2 <= size)
        std::memset(&rec[at], 0, 2);
    return rec;
}

TEST(KeyboardRecord, ReadsWithinTheRecordOnly)
{
    struct Case {
        const char* name;
        std::vector<unsigned char> record;
        bool accepted;
        QString text;
    } cases[] = {
        { "full record", keyboardRecord(u"Pässwörd", 1560), true, QString::fromUtf8("Pässwörd") },
        { "empty text", keyboardRecord(u"", 1560), true, QString() },
        { "too short", keyboardRecord(u"", 1049), false, QString() },
        { "header only", keyboardRecord(u"", 1048), false, QString() },
        // No NUL before the end: the text stops at the record's end.
        { "unterminated", keyboardRecord(u"abc", 1054, false), true, QStringLiteral("abc") },
        { "odd tail byte ignored", keyboardRecord(u"ab", 1053, false), true, QStringLiteral("ab") },
        { "minimum size", keyboardRecord(u"x", 1050, false), true, QStringLiteral("x") },
    };
    for (const Case& c : cases) {
        auto text = kivowifi::keyboardTextFromRecord(c.record.data(), c.record.size());
        EXPECT_EQ(text.has_value(), c.accepted) << c.name;
        if (text) {
            EXPECT_EQ(*text, c.text) << c.name;
        }
    }
    EXPECT_FALSE(kivowifi::keyboardTextFromRecord(nullptr, 2000));
}

TEST_F(FilterTest, CopyDataByKind)
{
    auto rec = keyboardRecord(u"MyNet", 1560);
    ce::COPYDATASTRUCT cds { filter.keyboardDataMessage(), ce::DWORD(rec.size()), rec.data() };
    EXPECT_TRUE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds))));
    ASSERT_EQ(target.texts.size(), 1u);
    EXPECT_EQ(target.texts[0], QStringLiteral("MyNet"));

    // A short keyboard record is refused and logged; nothing reaches the flow.
    auto shortRec = keyboardRecord(u"", 64);
    ce::COPYDATASTRUCT bad { filter.keyboardDataMessage(), ce::DWORD(shortRec.size()), shortRec.data() };
    EXPECT_TRUE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&bad))));
    EXPECT_EQ(target.texts.size(), 1u);
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_NE(target.calls[0].find("refused"), std::string::npos);

    // The status query is swallowed without any reply.
    int dummy = 0;
    ce::COPYDATASTRUCT query { filter.statusQueryMessage(), sizeof dummy, &dummy };
    EXPECT_TRUE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&query))));
    EXPECT_TRUE(target.broadcasts.empty());

    // Other kinds and records without data pass on.
    ce::COPYDATASTRUCT other { 12345, sizeof dummy, &dummy };
    EXPECT_FALSE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&other))));
    ce::COPYDATASTRUCT empty { filter.keyboardDataMessage(), 0, nullptr };
    EXPECT_FALSE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&empty))));
    EXPECT_FALSE(filter.filter(message(ce::WM_COPYDATA, 0, 0)));

    // Without the flow, the keyboard answer passes on.
    target.exists = false;
    EXPECT_FALSE(filter.filter(message(ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds))));
    EXPECT_EQ(target.texts.size(), 1u);
}

} // namespace
