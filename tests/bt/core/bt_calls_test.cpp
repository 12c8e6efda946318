// Calls and the phone controller's rows: hands-free sequences as call
// states, notifications and dialer information; the availability answers;
// messages, the emergency SMS and the phone book.
#include "tests/bt/bt_test_support.h"

#include "bt/core/bt_copydata.h"

using namespace kivo::bt;
using namespace kivo::bt::test;
namespace sim = kivo::sim::bt;

namespace {

class Calls : public CoreFixture {
protected:
    void SetUp() override
    {
        CoreFixture::SetUp();
        setWorld({ phone(2) });
        ASSERT_EQ(BtManagerStart(), 1);
        ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2; }));
        settle();
        client.notes.clear();
        internal.notes.clear();
    }
};

// One step: a hands-free event from the phone (with a caller), or a
// button of the call screens.
struct Step {
    int event; // 0: an action
    const char16_t* caller = u"";
    enum Action { None, Answer, Reject } action = None;
};

Step ev(int e, const char16_t* caller = u"")
{
    return Step { e, caller, Step::None };
}
const Step kAnswer { 0, u"", Step::Answer };
const Step kReject { 0, u"", Step::Reject };

} // namespace

TEST_F(Calls, HandsFreeSequencesGiveCallStatesNotificationsAndDialerInfo)
{
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<int> callStates; // WM_BTOUT_CALL_STATE to the clients
        std::vector<std::string> dialer; // event:caller of each DIALERINFO
        int missed;
    };
    const Case cases[] = {
        { "incoming answered", { ev(8), ev(10, u"Ann"), kAnswer, ev(5) }, { 0, 0, 2, 3 },
            { "8:", "10:Ann", "6:Ann", "5:" }, 0 },
        { "incoming ignored", { ev(8), ev(10, u"Ann"), ev(5) }, { 0, 0, 3 }, { "8:", "10:Ann", "5:Ann" }, 1 },
        { "outgoing", { ev(7), ev(10, u"Bob"), ev(6), ev(5) }, { 1, 1, 2, 3 },
            { "7:Ann", "10:Bob", "6:Bob", "5:" }, 0 },
        // The mark of an answered outgoing call does not hide the next missed one.
        { "outgoing, then incoming ignored",
            { ev(7), ev(10, u"Bob"), ev(6), ev(5), ev(8), ev(10, u"Ann"), ev(5) }, { 1, 1, 2, 3, 0, 0, 3 },
            { "7:", "10:Bob", "6:Bob", "5:", "8:", "10:Ann", "5:Ann" }, 1 },
        // The record of a ringing call is the last caller's until the phone names the new one.
        { "waiting call rejected", { ev(8), ev(10, u"Ann"), kAnswer, ev(16, u"Cid"), kReject, ev(5) },
            { 0, 0, 2, 2, 2, 3 }, { "8:Ann", "10:Ann", "6:Ann", "16:Cid", "17:Ann", "5:" }, 1 },
        { "waiting call taken", { ev(8), ev(10, u"Ann"), kAnswer, ev(16, u"Cid"), kAnswer, ev(5) },
            { 0, 0, 2, 2, 2, 3 }, { "8:", "10:Ann", "6:Ann", "16:Cid", "6:Ann", "5:" }, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        client.notes.clear();
        internal.notes.clear();
        for (const Step& s : c.steps) {
            if (s.action == Step::Answer)
                EXPECT_EQ(AnswerCall(), 1);
            else if (s.action == Step::Reject)
                EXPECT_EQ(RejectOrHangUp(), 1);
            else
                sim::handsFreeEvent(s.event, s.caller, s.caller[0] ? u"5550100" : u"");
            settle();
        }
        std::vector<int> states;
        for (const Note& n : client.notes)
            if (n.name == "WM_BTOUT_CALL_STATE")
                states.push_back(int(n.w));
        EXPECT_EQ(states, c.callStates);
        std::vector<std::string> dialer;
        for (const Note& n : internal.notes)
            if (n.name == "WM_STKOUTMSG_DIALERINFO") {
                CallRecord r {};
                std::memcpy(&r, n.data.data(), std::min(n.data.size(), sizeof r));
                dialer.push_back(std::to_string(n.w) + ":" + Utf8(fieldText(r.name, 32)));
            }
        EXPECT_EQ(dialer, c.dialer);
        EXPECT_EQ(MissedCallCount(), c.missed);
        // Each case starts from no notifications.
        while (NotificationRecord* r = FindMissedCall(u"5550100"))
            RemoveNotification(r);
        settle();
    }
}

TEST_F(Calls, AvailabilityFollowsTheLinkAndTheConfigurationFlags)
{
    struct Case {
        const char* what;
        int connected, kind;
        BtConfigRecord cfg;
        std::vector<std::string> posts;
    };
    const BtConfigRecord all { 1, 1, 1, 1, 1, 0 };
    const Case cases[] = {
        { "serial link, all flags", 1, 5, all,
            { "WM_BTOUT_SERVICE_CALL_AVAILABILITY(1)", "WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY(1)",
                "WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY(1)", "WM_BTOUT_SERVICE_VOICEINSTRUCTION_AVAILABILITY(1)",
                "WM_BTOUT_SERVICE_SYNCMKIVOSHARE_AVAILABILITY(1)", "WM_BTOUT_SERVICE_SENDMESSAGE_AVAILABILITY(1)" } },
        { "serial link, no flags", 1, 5, { 0, 0, 0, 0, 0, 0 },
            { "WM_BTOUT_SERVICE_CALL_AVAILABILITY(0)", "WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY(0)",
                "WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY(0)", "WM_BTOUT_SERVICE_VOICEINSTRUCTION_AVAILABILITY(0)",
                "WM_BTOUT_SERVICE_SYNCMKIVOSHARE_AVAILABILITY(0)", "WM_BTOUT_SERVICE_SENDMESSAGE_AVAILABILITY(1)" } },
        { "hands-free, call off", 1, 1, { 0, 1, 1, 1, 1, 0 }, { "WM_BTOUT_SERVICE_CALL_AVAILABILITY(0)" } },
        { "audio down", 0, 2, all, { "WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY(0)" } },
        { "messages", 1, 8, all, { "WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY(1)" } },
        { "heart rate, 1", 1, 10, all, {} },
        { "heart rate, failed", 3, 10, all, { "WM_BTOUT_HRS_STATE(3)" } },
        { "speed and cadence, connected", 2, 11, all, { "WM_BTOUT_SACS_STATE(2)" } },
        { "other kind", 1, 13, all, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        client.notes.clear();
        SaveConfiguration(&c.cfg);
        ce::postMessage(internal.hwnd(), WM_STKOUTMSG_CONNECT_RESULT, ce::WPARAM(c.connected), c.kind);
        settle();
        std::vector<std::string> posts = client.names("WM_BTOUT_SERVICE");
        for (const std::string& s : client.names("WM_BTOUT_HRS"))
            posts.push_back(s);
        for (const std::string& s : client.names("WM_BTOUT_SACS"))
            posts.push_back(s);
        EXPECT_EQ(posts, c.posts);
    }
}

TEST_F(Calls, EmergencySmsGoesToThePhoneAndItsResultToTheClients)
{
    std::vector<uint8_t> record(60 + 2 * 6, 0);
    std::memcpy(record.data(), u"112", 6);
    std::memcpy(record.data() + 60, u"help!", 10);
    ce::COPYDATASTRUCT cds { WM_BTIN_SEND_EMERGENCYMSG, ce::DWORD(record.size()), record.data() };
    EXPECT_EQ(ce::sendMessage(internal.hwnd(), ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds)), 1);
    settle();
    EXPECT_EQ(sim::calls().back().text, "112:help!");
    EXPECT_EQ(client.names("WM_BTOUT_SEND_EMERGENCYMSG_RESULT"),
        std::vector<std::string> { "WM_BTOUT_SEND_EMERGENCYMSG_RESULT(1)" });

    // A record that stops inside the number is refused.
    sim::clearCalls();
    cds.cbData = 40;
    ce::sendMessage(internal.hwnd(), ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds));
    settle();
    EXPECT_EQ(sim::countCalls("PIMSendSMS"), 0);
}

TEST_F(Calls, NewSmsBecomesAMessageNotificationWithADate)
{
    sim::newSms(u"Ann", u"555", u"see you");
    settle();
    EXPECT_EQ(MessageCount(), 1);
    ASSERT_EQ(internal.count("WM_STKMAPMSG_NEWMSG"), 1);
    EXPECT_EQ(client.last("WM_BTOUT_COUNT_NOTIFICATIONS")->w, 1u);
    // No alert sound or touch broadcast until the settings screen turns alerts on.
    EXPECT_EQ(client.count("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 0);
    SetSettingsCopies(1, 1, 1, 1, 1);
    sim::newSms(u"Ann", u"555", u"again", u"01/02/2026 10:00");
    settle();
    EXPECT_EQ(client.count("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 1);
    EXPECT_EQ(MessageCount(), 2);
}

TEST_F(Calls, PhoneBookComesWholeOrEmpty)
{
    for (int contacts : { 0, 3 }) {
        SCOPED_TRACE(contacts);
        ResetManagerForTests(); // the cached phone book goes with the link
        sim::World w = sim::world();
        w.contacts = contacts;
        sim::setWorld(w);
        client.notes.clear();
        ce::postMessage(internal.hwnd(), WM_BTIN_PHONEBOOK_LIST, 0, 0);
        settle();
        const Note* n = client.last("copydata WM_BTOUT_PHONEBOOK_LIST");
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->w, ce::WPARAM(contacts * 2614));
        EXPECT_EQ(n->l, contacts ? 1 : 0); // lpData given or null
        if (contacts) {
            EXPECT_EQ(std::vector<uint8_t>(n->data.end() - 2614, n->data.end()), sim::phonebookEntry(2));
        }
    }
}

TEST(CopyDataRecords, ReadsStayInsideTheRecord)
{
    // Unterminated text of 3 code units in a buffer of exactly 6 bytes.
    std::vector<char16_t> text { u'a', u'b', u'c' };
    ce::COPYDATASTRUCT cds { 0, 6, text.data() };
    EXPECT_EQ(CopyDataText(&cds), std::u16string(u"abc"));
    cds.cbData = 5;
    EXPECT_EQ(CopyDataText(&cds), std::u16string(u"ab"));
    cds.cbData = 1;
    EXPECT_FALSE(CopyDataText(&cds));
    cds = { 0, 6, nullptr };
    EXPECT_FALSE(CopyDataText(&cds));

    // An emergency record with no terminators anywhere.
    std::vector<char16_t> record(30 + 4, u'9');
    cds = { 0, ce::DWORD(record.size() * 2), record.data() };
    auto m = ParseEmergencyMessage(&cds);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->number, std::u16string(29, u'9'));
    EXPECT_EQ(m->text, std::u16string(4, u'9'));
    cds.cbData = 61;
    EXPECT_FALSE(ParseEmergencyMessage(&cds));
}

TEST(ClientTable, DenseInOrderWithoutDuplicatesAndRefusesATwentyFirst)
{
    ClearClientWindows();
    std::vector<ce::HWND> windows;
    for (int i = 0; i < 21; ++i)
        windows.push_back(ce::createWindow("BtTest", "client " + std::to_string(i), nullptr));
    EXPECT_TRUE(RegisterClientWindow(windows[0]));
    EXPECT_TRUE(RegisterClientWindow(windows[1]));
    EXPECT_TRUE(RegisterClientWindow(windows[1]));
    EXPECT_TRUE(RegisterClientWindow(windows[2]));
    EXPECT_EQ(ClientWindows(), (std::vector<ce::HWND> { windows[0], windows[1], windows[2] }));
    EXPECT_TRUE(UnregisterClientWindow(windows[1]));
    EXPECT_EQ(ClientWindows(), (std::vector<ce::HWND> { windows[0], windows[2] }));
    EXPECT_FALSE(UnregisterClientWindow(windows[1]));

    ClearClientWindows();
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(RegisterClientWindow(windows[size_t(i)]));
    EXPECT_FALSE(RegisterClientWindow(windows[20]));
    EXPECT_EQ(ClientWindows().size(), 20u);
    EXPECT_EQ(ClientWindows().back(), windows[19]);
    ClearClientWindows();
    for (ce::HWND w : windows)
        ce::destroyWindow(w);
}
