// The new-message, message text and message box screens on the manager's
// notification store, with the dialog layer's stepped clock.
#include "bt/core/dlg_kivobt.h"
#include "bt/ui/message_screens.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QDate>
#include <QTest>

namespace kivo::bt::test {
namespace {

SmsRecord sms(int id, const std::u16string& name, const std::u16string& text, const std::u16string& date)
{
    SmsRecord r {};
    r.id = id;
    setField(r.name, 32, name);
    setField(r.number, 41, u"5550100");
    setField(r.text, 1024, text);
    setField(r.date, 33, date);
    return r;
}

class MessageScreens : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
        ce::dlg::useSteppedClock(true);
    }
    void TearDown() override
    {
        ce::dlg::useSteppedClock(false);
        CoreFixture::TearDown();
    }
    static void click(CBmpBtn& b) { QTest::mouseClick(b.widget(), Qt::LeftButton, {}, b.clientRect().center()); }
};

TEST_F(MessageScreens, SenderRule)
{
    EXPECT_EQ(SenderShown(u"Eighteen character", u"1"), u"Eighteen character");
    EXPECT_EQ(SenderShown(u"Nineteen characters", u"1"), u"Nineteen character...");
    EXPECT_EQ(SenderShown(u"", u"5550100"), u"5550100");
    EXPECT_EQ(SenderShown(u"Seventeen charact\U0001F600s", u"1"), u"Seventeen charact...") << "whole characters";
}

TEST_F(MessageScreens, ANewerMessageReplacesTheShownOneAndRestartsTheTenSeconds)
{
    SMS screen(sms(1, u"Ann", u"First message", u"12/11/2026 09:00"));
    ASSERT_TRUE(screen.create());
    EXPECT_EQ(TheSmsScreen(), &screen);
    EXPECT_EQ(screen.Sender().Caption(), u"Ann");
    ce::dlg::stepClock(9000);
    screen.Show(sms(2, u"", u"Second message", u"12/11/2026 09:01"));
    EXPECT_EQ(screen.Sender().Caption(), u"5550100");
    EXPECT_EQ(screen.Text().Caption(), u"Second message");
    savePng(screen.widget()->grab().toImage(), "sms");
    ce::dlg::stepClock(9999);
    EXPECT_TRUE(screen.isVisible());
    ce::dlg::stepClock(1);
    EXPECT_FALSE(screen.isVisible());
    screen.destroyWindow();
}

TEST_F(MessageScreens, StepsThroughThreeStoredMessages)
{
    const SmsRecord stored[3] = {
        sms(1, u"Ann", u"One", u"12/11/2026 09:00"),
        sms(2, u"Bob", u"Two", u"12/11/2026 09:01"),
        sms(3, u"Cid", u"Three: a longer text that the screen wraps over its lines, word by word.", u"12/11/2026 09:02"),
    };
    for (const SmsRecord& s : stored)
        ASSERT_NE(AddNotification(kNotificationMessage, &s), nullptr);
    {
        SMSNContent content(MessageRecord(stored[0]));
        ASSERT_TRUE(content.create());
        EXPECT_EQ(content.Position().Caption(), u"1/3");
        EXPECT_FALSE(content.Up().isEnabled());
        EXPECT_EQ(content.Up().NormalId(), 144);
        EXPECT_TRUE(content.Down().isEnabled());
        EXPECT_EQ(content.Down().NormalId(), 145);
        click(content.Down());
        click(content.Down());
        EXPECT_EQ(content.Position().Caption(), u"3/3");
        EXPECT_EQ(content.Sender().Caption(), u"Cid");
        EXPECT_FALSE(content.Down().isEnabled());
        EXPECT_EQ(content.Down().NormalId(), 147);
        EXPECT_EQ(content.Down().PressedId(), 147);
        EXPECT_TRUE(content.Up().isEnabled());
        savePng(content.widget()->grab().toImage(), "smsncontent_last");
        content.destroyWindow();
    }
    EXPECT_EQ(MessageCount(), 2) << "the message read last leaves the store";
}

TEST_F(MessageScreens, MessageOkStopsReconnectingAndDisconnects)
{
    setWorld({ phone(2) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([] { return GetManagerState().phoneLinked != 0; }));
    settle();
    const int before = sim::bt::countCalls("Disconnect");
    Message box;
    ASSERT_TRUE(box.create());
    // It waits for OK: a tap beside it is no touch for the clients, and a
    // request to close every screen leaves it.
    QTest::mouseClick(box.widget(), Qt::LeftButton, {}, QPoint(120, 5));
    ce::sendMessage(box.hwnd(), kMsgCloseScreens, 0, 0);
    settle();
    EXPECT_EQ(client.count("WM_TOUCHEVENT_MOUSE_LBUTTONDOWN"), 0);
    EXPECT_TRUE(box.isVisible());
    click(box.Ok());
    EXPECT_FALSE(GetManagerState().reconnectAllowed);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(sim::bt::countCalls("Disconnect"), before + 1);
    box.destroyWindow();
}

TEST_F(MessageScreens, RowNamesAndTimes)
{
    EXPECT_EQ(RowName(u"Ann", 10), u"Ann");
    EXPECT_EQ(RowName(u"Annabelle Lee", 10), u"Annabel...");
    EXPECT_EQ(RowName(u"Annabelle Lee", 14), u"Annabelle Lee");
    EXPECT_EQ(RowName(u"Annabe\U0001F600 Lee", 10), u"Annabe...") << "whole characters";
    EXPECT_EQ(RowWhen(u"12/11/2026 09:05", u"12/11/2026"), u"09:05");
    EXPECT_EQ(RowWhen(u"12/10/2026 09:05", u"12/11/2026"), u"12/10/2026");
    EXPECT_EQ(RowWhen(u"", u"12/11/2026"), u"");
}

TEST_F(MessageScreens, EightNotificationsMakeTwoPages)
{
    const CallRecord today = [] {
        CallRecord r {};
        setField(r.name, 32, u"Today caller");
        setField(r.number, 41, u"5550199");
        return r;
    }();
    ASSERT_NE(AddNotification(kNotificationMissedCall, &today), nullptr);
    for (int i = 0; i < 7; ++i) {
        const SmsRecord m = sms(10 + i, u"Sender " + QString::number(i).toStdU16String(), u"Message text " + QString::number(i).toStdU16String(), u"01/02/2020 10:0" + QString::number(i).toStdU16String());
        ASSERT_NE(AddNotification(kNotificationMessage, &m), nullptr);
    }
    Notification list;
    ASSERT_TRUE(list.create());
    EXPECT_EQ(list.Header().Caption(), LangString(10071) + u"(8)");
    EXPECT_EQ(list.Pages(), 2);
    EXPECT_FALSE(list.Up().isEnabled());
    EXPECT_TRUE(list.Down().isEnabled());
    const std::u16string time = list.Rows().Button(0)->BlockText(2);
    EXPECT_EQ(time.size(), 5u) << "today's missed call shows its time";
    EXPECT_EQ(time[2], u':');
    EXPECT_EQ(list.Rows().Button(1)->BlockText(2), u"01/02/2020") << "an older one its date";
    EXPECT_EQ(list.Rows().Button(1)->BlockText(1), u"Message text 0");
    click(list.Down());
    EXPECT_EQ(list.Page(), 2);
    EXPECT_EQ(list.Rows().First(), 7);
    EXPECT_EQ(list.Rows().Last(), 7);
    EXPECT_FALSE(list.Down().isEnabled());
    EXPECT_EQ(list.Down().NormalId(), 147);
    EXPECT_TRUE(list.Up().isEnabled());
    EXPECT_EQ(list.Up().NormalId(), 142);
    savePng(list.widget()->grab().toImage(), "notification_page2");
    list.destroyWindow();
}

TEST_F(MessageScreens, SendersShowWholeOrEndInDots)
{
    const std::u16string longest(32, u'W');
    for (const std::u16string& name : { std::u16string(u"Christopher Columbus-Jr"), longest }) {
        const std::string what = QString::fromStdU16String(name).toStdString();
        SCOPED_TRACE(what);
        const SmsRecord m = sms(1, name, std::u16string(1023, u'x'), u"01/02/2020 10:00");
        SMS screen(m);
        ASSERT_TRUE(screen.create());
        savePng(screen.widget()->grab().toImage(), "sms_" + what.substr(0, 5));
        expectTextShown(screen.Sender(), "SMS sender");
        expectTextShown(screen.Text(), "SMS text");
        screen.destroyWindow();

        SMSNContent content(MessageRecord(m));
        ASSERT_TRUE(content.create());
        savePng(content.widget()->grab().toImage(), "smsncontent_" + what.substr(0, 5));
        for (CBmpBtn* b : { &content.Header(), &content.Sender(), &content.Position(), &content.Text() })
            expectTextShown(*b, "SMSNContent " + std::to_string(b->id()));
        ASSERT_FALSE(content.Sender().Drawn().empty());
        const std::u16string& shown = content.Sender().Drawn()[0].text;
        EXPECT_EQ(shown.substr(shown.size() - 3), u"...") << "cut, and seen to be";
        content.destroyWindow();
    }
}

TEST_F(MessageScreens, RowNamesKeepClearOfTheirDateOrTime)
{
    const QDate now = QDate::currentDate();
    const std::u16string today = QStringLiteral("%1/%2/%3 09:05")
                                     .arg(now.month(), 2, 10, QLatin1Char('0'))
                                     .arg(now.day(), 2, 10, QLatin1Char('0'))
                                     .arg(now.year())
                                     .toStdU16String();
    const std::u16string number = u"+44 (0) 5550 100 123 456 789 000 111";
    // Letters as many as a row keeps beside a date and beside a time, wide
    // and narrow in turn, so that some fill the name's room to its last
    // pixel: shown whole or cut, they must still keep clear of it.
    std::vector<std::u16string> names = { {}, u"Christopher Columbus-Jr", std::u16string(32, u'W') };
    for (size_t kept : { 10, 14 })
        for (size_t wide = 0; wide <= kept; ++wide)
            names.push_back(std::u16string(wide, u'W') + std::u16string(kept - wide, u'i'));
    for (const std::u16string& date : { std::u16string(u"01/02/2020 10:00"), today }) {
        for (const std::u16string& name : names) {
            CallRecord call {};
            setField(call.name, 32, name);
            setField(call.number, 41, number); // missed now: today's time
            ASSERT_NE(AddNotification(kNotificationMissedCall, &call), nullptr);
            SmsRecord m = sms(1, name, std::u16string(40, u'W'), date);
            setField(m.number, 41, number);
            ASSERT_NE(AddNotification(kNotificationMessage, &m), nullptr);
        }
    }
    Notification list;
    ASSERT_TRUE(list.create());
    bool cutSeen[2] = {}; // a name cut to its room beside a time, beside a date
    for (int page = 1; page <= list.Pages(); ++page) {
        savePng(list.widget()->grab().toImage(), "notification_long_" + std::to_string(page));
        for (int i = list.Rows().First(); i <= list.Rows().Last(); ++i) {
            const CBmpBtn& row = *list.Rows().Button(i);
            const std::string what = "row " + std::to_string(i);
            expectTextShown(row, what);
            QRect name;
            QRect when;
            for (const CBmpBtn::DrawnLine& line : row.Drawn()) {
                if (line.block == 0)
                    name |= line.rect;
                else if (line.block == 2)
                    when |= line.rect;
            }
            EXPECT_FALSE(when.isEmpty()) << what;
            EXPECT_LT(name.right(), when.left()) << what << ": the name runs into the date";
            // Beside a date a name keeps to 10 characters, beside a time to
            // 14; a longer one is cut to them, its last three the dots.
            const size_t room = row.BlockText(2).size() == 5 ? 14 : 10;
            const std::u16string shown = row.BlockText(0);
            EXPECT_LE(shown.size(), room) << what;
            for (const CBmpBtn::DrawnLine& line : row.Drawn())
                if (line.block == 0) {
                    EXPECT_LE(line.text.size(), room) << what;
                }
            const bool whole = shown == number || std::find(names.begin(), names.end(), shown) != names.end();
            if (!whole) {
                ASSERT_EQ(shown.size(), room) << what;
                EXPECT_EQ(shown.substr(room - 3), u"...") << what;
                cutSeen[room == 10] = true;
            }
        }
        click(list.Down());
    }
    EXPECT_TRUE(cutSeen[0] && cutSeen[1]);
    list.destroyWindow();
}

TEST_F(MessageScreens, TappingTheOnlyMissedCallDialsRemovesAndCloses)
{
    setWorld({ phone(2) });
    ASSERT_EQ(BtManagerStart(), 1);
    ASSERT_TRUE(pumpUntil([] { return GetManagerState().phoneLinked != 0; }));
    settle();
    CallRecord r {};
    setField(r.number, 41, u"5550199");
    ASSERT_NE(AddNotification(kNotificationMissedCall, &r), nullptr);
    Notification list;
    ASSERT_TRUE(list.create());
    EXPECT_EQ(list.Rows().Button(0)->BlockText(0), u"5550199") << "no name: the number";
    click(*list.Rows().Button(0));
    EXPECT_EQ(sim::bt::countCalls("HFAP_Dial"), 1);
    EXPECT_EQ(MissedCallCount(), 0);
    EXPECT_FALSE(list.isVisible());
    list.destroyWindow();
}

TEST_F(MessageScreens, AMessageOpenedFromTheListIsFoundAndRemovedWhenRead)
{
    const SmsRecord m = sms(42, u"Ann", u"Read me", u"01/02/2020 10:00");
    ASSERT_NE(AddNotification(kNotificationMessage, &m), nullptr);
    Notification list;
    ASSERT_TRUE(list.create());
    runScript([&] {
        CBmpBtn* row = onGui([&] { return list.Rows().Button(0); });
        QMetaObject::invokeMethod(QCoreApplication::instance(), [row] {
            QTest::mouseClick(row->widget(), Qt::LeftButton, {}, QPoint(5, 5));
        }, Qt::QueuedConnection);
        ASSERT_TRUE(waitFor([] { return TheMessageTextScreen() != nullptr; }));
        SMSNContent& content = *TheMessageTextScreen();
        EXPECT_EQ(caption(content.Position()), u"1/1") << "found among the stored messages";
        ce::postMessage(content.hwnd(), ce::WM_CLOSE, 0, 0);
        EXPECT_TRUE(waitFor([] { return TheMessageTextScreen() == nullptr; }));
    });
    EXPECT_EQ(MessageCount(), 0) << "reading it removed it";
    EXPECT_FALSE(list.isVisible()) << "none left: the list closed";
    list.destroyWindow();
}

TEST_F(MessageScreens, ViewShowsTheMessageInTheOpenTextScreenOrInANewOne)
{
    const SmsRecord first = sms(1, u"Ann", u"Read already", u"01/02/2020 10:00");
    const SmsRecord arrived = sms(2, u"Bob", u"Just arrived", u"01/02/2020 10:05");
    for (const SmsRecord* m : { &first, &arrived })
        ASSERT_NE(AddNotification(kNotificationMessage, m), nullptr);
    // The tap runs later from the event loop: a screen it opens runs modal
    // there while the script looks at it.
    auto view = [](SMS& screen) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&screen] { screen.View().Click(); }, Qt::QueuedConnection);
    };
    auto closeTextScreens = [] {
        while (SMSNContent* open = onGui([] { return TheMessageTextScreen(); })) {
            onGui([open] { return ce::sendMessage(open->hwnd(), ce::WM_CLOSE, 0, 0); });
            waitFor([open] { return TheMessageTextScreen() != open; });
        }
    };

    // One is open: it shows the new message, and no second one opens.
    {
        SMSNContent content(MessageRecord(first));
        ASSERT_TRUE(content.create());
        SMS screen(arrived);
        ASSERT_TRUE(screen.create());
        runScript([&] {
            view(screen);
            EXPECT_TRUE(waitFor([&] { return !screen.isVisible(); }));
            EXPECT_EQ(TheMessageTextScreen(), &content);
            EXPECT_EQ(caption(content.Sender()), u"Bob");
            EXPECT_EQ(caption(content.Text()), u"Just arrived");
            EXPECT_EQ(caption(content.Position()), u"2/2");
            if (onGui([&] { return TheMessageTextScreen(); }) != &content)
                closeTextScreens();
        });
        screen.destroyWindow();
        content.destroyWindow();
    }

    // None is open: a new one shows it.
    {
        SMS screen(first);
        ASSERT_TRUE(screen.create());
        runScript([&] {
            view(screen);
            EXPECT_TRUE(waitFor([] { return TheMessageTextScreen() != nullptr; }));
            EXPECT_FALSE(onGui([&] { return screen.isVisible(); }));
            if (SMSNContent* opened = onGui([] { return TheMessageTextScreen(); })) {
                EXPECT_EQ(caption(opened->Sender()), u"Ann");
                EXPECT_EQ(caption(opened->Text()), u"Read already");
            }
            closeTextScreens();
        });
        screen.destroyWindow();
    }
}

} // namespace
} // namespace kivo::bt::test
