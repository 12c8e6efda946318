// The call screens, from the simulated phone through the controller: a
// script on its own thread drives the phone and taps the screens while this
// thread runs the modal screens' loops.
#include "bt/core/dlg_kivobt.h"
#include "bt/ui/call_screens.h"
#include "bt/ui/phone_connection.h"
#include "bt/ui/screen_hooks.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QTest>

#include <atomic>
#include <thread>

namespace kivo::bt::test {
namespace {

CallRecord callRecord(const std::u16string& name, const std::u16string& number)
{
    CallRecord r {};
    setField(r.name, 32, name);
    setField(r.number, 41, number);
    return r;
}

class CallScreens : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
        UnregisterInternalWindow(internal.hwnd());
    }
    void TearDown() override
    {
        window.destroyWindow();
        CoreFixture::TearDown();
    }
    void linkPhone()
    {
        setWorld({ phone(2) });
        ASSERT_EQ(BtManagerStart(), 1);
        ASSERT_TRUE(pumpUntil([] { return GetManagerState().phoneLinked != 0; }));
        settle();
    }
    void startLinked()
    {
        linkPhone();
        ASSERT_TRUE(window.create());
    }
    PhoneConnection window;
};

TEST_F(CallScreens, NameRule)
{
    EXPECT_EQ(CallNameShown(u"Eighteen character"), u"Eighteen character");
    EXPECT_EQ(CallNameShown(u"Nineteen characters"), u"Nineteen charac...");
    EXPECT_EQ(CallNameShown(u""), u"");
    // Whole characters: a pair that the cut would split goes as a whole.
    EXPECT_EQ(CallNameShown(u"Fourteen chars\U0001F600 and more"), u"Fourteen chars...");
}

TEST_F(CallScreens, RingUpdateAnswerWaitingCallAndHangUp)
{
    startLinked();
    std::atomic<int> opened { 0 };
    auto open = Screens().openIncomingCall;
    Screens().openIncomingCall = [&](const CallRecord& r) {
        ++opened;
        open(r);
    };
    runScript([&] {
        sim::bt::handsFreeEvent(8, u"", u"");
        sim::bt::handsFreeEvent(10, u"Ann Example", u"5550100");
        ASSERT_TRUE(waitFor([] { return TheCallScreen() != nullptr; }));
        CALL& call = *TheCallScreen();
        EXPECT_TRUE(waitFor([&] { return call.Name().Caption() == u"Ann Example"; }));
        EXPECT_EQ(caption(call.Number()), u"5550100");
        onGui([&] {
            savePng(call.widget()->grab().toImage(), "call_ringing");
            return 0;
        });
        // A second ring with a new name updates the open screen.
        sim::bt::handsFreeEvent(10, u"Bea Second", u"5550111");
        EXPECT_TRUE(waitFor([&] { return TheCallScreen() && TheCallScreen()->Name().Caption() == u"Bea Second"; }));

        tap(call.Answer());
        ASSERT_TRUE(waitFor([] { return TheInCallScreen() != nullptr && TheCallScreen() == nullptr; }));
        InCallN& inCall = *TheInCallScreen();
        EXPECT_EQ(caption(inCall.Name()), u"Bea Second");
        EXPECT_FALSE(onGui([&] { return inCall.VolumeUp().isVisible(); })) << "no call volume on the stack";
        onGui([&] {
            savePng(inCall.widget()->grab().toImage(), "incall_stack");
            return 0;
        });

        // A waiting call rings over it; ignoring it keeps the call.
        sim::bt::handsFreeEvent(16, u"Cid Waiting", u"5550122");
        ASSERT_TRUE(waitFor([] { return TheCallScreen() != nullptr; }));
        EXPECT_TRUE(waitFor([] { return TheCallScreen()->Name().Caption() == u"Cid Waiting"; }));
        tap(TheCallScreen()->Ignore());
        EXPECT_TRUE(waitFor([] { return TheCallScreen() == nullptr; }));
        EXPECT_EQ(TheInCallScreen(), &inCall);

        // The phone hangs up.
        sim::bt::handsFreeEvent(5, u"", u"");
        EXPECT_TRUE(waitFor([] { return TheInCallScreen() == nullptr; }));
    });
    EXPECT_EQ(opened, 2) << "one screen per ringing call, the second ring updated it";
    Screens().openIncomingCall = open;
}

TEST_F(CallScreens, DialThroughOutCallToInCallAndSaveOn9001BehindAnotherWindow)
{
    startLinked();
    const ce::HWND other = ce::createWindow("BtUiTest", "in front", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) {
        return ce::LRESULT(0);
    });
    runScript([&] {
        sim::bt::handsFreeEvent(7, u"", u"");
        sim::bt::handsFreeEvent(10, u"Bob Dialled", u"5550133");
        ASSERT_TRUE(waitFor([] { return TheOutCallScreen() != nullptr; }));
        OutCall& out = *TheOutCallScreen();
        EXPECT_TRUE(onGui([&] { return out.widget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }))
            << "above the ordinary windows";
        EXPECT_EQ(caption(out.Name()), u"Bob Dialled");
        EXPECT_EQ(caption(out.Header()), LangString(10062) + u"(0)");
        EXPECT_FALSE(onGui([&] { return out.VolumeDown().isVisible(); }));
        onGui([&] {
            savePng(out.widget()->grab().toImage(), "outcall_stack");
            return 0;
        });
        sim::bt::handsFreeEvent(6, u"Bob Dialled", u"5550133");
        ASSERT_TRUE(waitFor([] { return TheInCallScreen() != nullptr; }));
        InCallN& inCall = *TheInCallScreen();
        EXPECT_EQ(caption(inCall.Number()), u"5550133");

        // 9001 while another window is in front: saved, still open.
        onGui([&] { return ce::setForegroundWindow(other); });
        onGui([&] { return ce::sendMessage(inCall.hwnd(), kMsgCloseScreens, 0, 0); });
        EXPECT_TRUE(GetManagerState().callMinimised);
        EXPECT_EQ(fieldText(SavedCallRecord().name, 32), u"Bob Dialled");
        EXPECT_EQ(TheInCallScreen(), &inCall);
        EXPECT_TRUE(onGui([&] { return inCall.isVisible(); }));

        sim::bt::handsFreeEvent(5, u"", u"");
        EXPECT_TRUE(waitFor([] { return TheInCallScreen() == nullptr && TheOutCallScreen() == nullptr; }));
    });
    ce::destroyWindow(other);
}

TEST_F(CallScreens, LongNamesAreCutAndTheMinimisedCallIsKept)
{
    CALL call(callRecord(u"Nineteen characters", u"5550100"));
    ASSERT_TRUE(call.create());
    EXPECT_EQ(call.Name().Caption(), u"Nineteen charac...");
    const QImage shot = call.widget()->grab().toImage();
    savePng(shot, "call_19");
    EXPECT_EQ(shot.size(), QSize(240, 400));
    call.destroyWindow();

    InCallN inCall(callRecord(u"Eighteen character", u"5550100"));
    ASSERT_TRUE(inCall.create());
    EXPECT_EQ(inCall.Name().Caption(), u"Eighteen character");
    SavedCallRecord() = CallRecord {};
    QTest::mouseClick(inCall.Minimise().widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(GetManagerState().callMinimised);
    EXPECT_TRUE(SavedCallPresent());
    EXPECT_EQ(fieldText(SavedCallRecord().number, 41), u"5550100");
    inCall.destroyWindow();
    SavedCallRecord() = CallRecord {};
}

TEST_F(CallScreens, NamesAndNumbersShowWholeOrEndInDotsAndNumbersKeepTheirStart)
{
    struct Record {
        const char* what;
        std::u16string name;
        std::u16string number;
    };
    const Record records[] = {
        { "short", u"Ann Example", u"5550100" },
        // The longest name the rule keeps whole, the longest number.
        { "long", std::u16string(18, u'W'), u"+44 (0) 5550 100 123 456 789 000 111" },
    };
    for (const Record& r : records) {
        const CallRecord record = callRecord(r.name, r.number);
        CALL call(record);
        OutCall out(record);
        InCallN inCall(record);
        struct Screen {
            const char* what;
            BtScreen& screen;
            CBmpBtn& name;
            CBmpBtn& number;
            CBmpBtn* header;
        };
        for (const Screen& s : { Screen { "CALL", call, call.Name(), call.Number(), nullptr },
                 Screen { "OutCall", out, out.Name(), out.Number(), &out.Header() },
                 Screen { "InCallN", inCall, inCall.Name(), inCall.Number(), &inCall.Header() } }) {
            const std::string what = std::string(s.what) + " " + r.what;
            SCOPED_TRACE(what);
            ASSERT_TRUE(s.screen.create());
            savePng(s.screen.widget()->grab().toImage(), s.what + std::string("_") + r.what);
            expectTextShown(s.name, "name");
            expectTextShown(s.number, "number");
            if (s.header)
                expectTextShown(*s.header, "header");
            ASSERT_EQ(s.number.Drawn().size(), 1u);
            const CBmpBtn::DrawnLine& number = s.number.Drawn()[0];
            EXPECT_EQ(number.text.compare(0, 7, r.number.substr(0, 7)), 0) << "the start of the number shows";
            if (r.name.size() < 12) {
                // Short texts in the screens' own font.
                EXPECT_EQ(s.name.Drawn()[0].font.pixelSize(), 20);
                EXPECT_EQ(number.font.pixelSize(), 20);
            }
            s.screen.destroyWindow();
        }
    }
}

TEST_F(CallScreens, AnswerAnswersAndIgnoreRejectsAndCloses)
{
    linkPhone();
    struct Case {
        const char* button;
        const char* sent;
        const char* notSent;
        bool closes;
    };
    for (const Case c : { Case { "Answer", "HFAP_AnswerCall", "HFAP_CancelCall", false },
             Case { "Ignore", "HFAP_CancelCall", "HFAP_AnswerCall", true } }) {
        SCOPED_TRACE(c.button);
        const size_t sent = callsTo(c.sent).size();
        const size_t notSent = callsTo(c.notSent).size();
        CALL call(callRecord(u"Ann Example", u"5550100"));
        ASSERT_TRUE(call.create());
        QTest::mouseClick((c.closes ? call.Ignore() : call.Answer()).widget(), Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(callsTo(c.sent).size(), sent + 1);
        EXPECT_EQ(callsTo(c.notSent).size(), notSent);
        EXPECT_EQ(call.isVisible(), !c.closes);
        call.destroyWindow();
        settle();
    }
}

TEST_F(CallScreens, InCallClosesOnActiveOnlyForAWaitingCallTakenAfterItWasLeft)
{
    linkPhone();
    struct Case {
        bool twoCallsHeld;
        bool minimised;
        bool closes;
    };
    const CallRecord record = callRecord(u"Ann Example", u"5550100");
    for (const Case c : { Case { false, false, false }, Case { true, false, false }, Case { false, true, false },
             Case { true, true, true } }) {
        SCOPED_TRACE(std::to_string(c.twoCallsHeld) + " " + std::to_string(c.minimised));
        if (c.twoCallsHeld) {
            // A waiting call taken: the first one is held.
            sim::bt::handsFreeEvent(16, u"Cid Waiting", u"5550122");
            ASSERT_TRUE(pumpUntil([] { return GetManagerState().waitingCall != 0; }));
            AnswerCall();
            settle();
        }
        ASSERT_EQ(GetManagerState().twoCallsHeld != 0, c.twoCallsHeld);
        SetCallMinimised(c.minimised);
        InCallN inCall(record);
        ASSERT_TRUE(inCall.create());
        ce::sendMessage(inCall.hwnd(), WM_STKOUTMSG_DIALERINFO, 6, ce::LPARAM(new CallRecord(record)));
        EXPECT_EQ(inCall.isVisible(), !c.closes);
        inCall.destroyWindow();
        if (c.twoCallsHeld)
            RejectOrHangUp();
        SetCallMinimised(false);
        settle();
    }
}

TEST_F(CallScreens, OnTheSerialLinkTheVolumeKeysShowAndSendTheirCommands)
{
    setWorld({ phone(3) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([] { return GetManagerState().mode == kModeSerial && sim::bt::companionReading(); }));
    settle();
    const CallRecord record = callRecord(u"Dee Serial", u"5550144");
    OutCall out(record);
    InCallN inCall(record);
    struct Case {
        const char* what;
        ActiveCallScreen& screen;
    };
    for (const Case c : { Case { "OutCall", out }, Case { "InCallN", inCall } }) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.screen.create());
        EXPECT_TRUE(c.screen.VolumeDown().isVisible());
        EXPECT_TRUE(c.screen.VolumeUp().isVisible());
        const QImage shot = c.screen.widget()->grab().toImage();
        savePng(shot, std::string(c.what) + "_serial");
        // The keys' faces under their minus and plus.
        EXPECT_EQ(shot.pixelColor(16, 280), QColor(46, 120, 200));
        EXPECT_EQ(shot.pixelColor(131, 280), QColor(46, 120, 200));
        sim::bt::clearCompanionFrames();
        QTest::mouseClick(c.screen.VolumeDown().widget(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseClick(c.screen.VolumeUp().widget(), Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(sim::bt::companionFrames(),
            (std::vector<std::vector<uint8_t>> { sim::bt::companionFrame(0xC9), sim::bt::companionFrame(0xC8) }));
        EXPECT_TRUE(c.screen.isVisible()) << "the volume keys leave the call on screen";
        c.screen.destroyWindow();
    }
}

} // namespace
} // namespace kivo::bt::test
