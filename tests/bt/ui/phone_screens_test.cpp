// The phone controller window and the service settings screen on the
// simulated stack: what they show for each link state, what closing the
// settings stores and tells the clients, the language switch and message
// 9001.
#include "bt/core/dlg_kivobt.h"
#include "bt/ui/dlg_settings.h"
#include "bt/ui/phone_connection.h"
#include "bt/ui/screen_hooks.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QTest>

namespace kivo::bt::test {
namespace {

class PhoneScreens : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
        // The window under test runs the phone rows.
        UnregisterInternalWindow(internal.hwnd());
    }
    void TearDown() override
    {
        ce::dlg::setScreenSize(240, 400);
        CoreFixture::TearDown();
    }
    void startWith(const std::vector<sim::bt::Shortcut>& phones, bool linked)
    {
        setWorld(phones);
        ASSERT_EQ(BtManagerStart(), 1);
        if (linked) {
            ASSERT_TRUE(pumpUntil([] { return GetManagerState().phoneLinked != 0; }));
        }
        settle();
        QCoreApplication::processEvents();
    }
    static void click(CBmpBtn& b)
    {
        QTest::mouseClick(b.widget(), Qt::LeftButton, {}, b.clientRect().center());
    }
};

// The normal bitmap a toggle shows.
int toggleBitmap(const CBmpBtn& b)
{
    return b.NormalId();
}

TEST_F(PhoneScreens, SettingsWithoutPhoneDisableEveryToggleAndClosingStoresAndPostsFour)
{
    startWith({}, false);
    CDlgSettings settings;
    ASSERT_TRUE(settings.create());
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(settings.Toggle(i).isEnabled()) << i;
        EXPECT_EQ(toggleBitmap(settings.Toggle(i)), 294) << "on and not linked, " << i;
    }
    savePng(settings.widget()->grab().toImage(), "settings_no_phone");
    client.notes.clear();
    click(settings.BackButton());
    ce::pumpMessages();
    EXPECT_EQ(client.names("WM_BTOUT_SERVICE_"),
        (std::vector<std::string> { "WM_BTOUT_SERVICE_CALL_AVAILABILITY(1)", "WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY(1)",
            "WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY(1)", "WM_BTOUT_SERVICE_VOICEINSTRUCTION_AVAILABILITY(1)" }));
    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    EXPECT_EQ(cfg.call, 1);
    EXPECT_EQ(cfg.bluetoothOn, 1);
    settings.destroyWindow();
}

TEST_F(PhoneScreens, SettingsFollowTheLinksAndStoreAFlippedToggle)
{
    startWith({ phone(2) }, true);
    CDlgSettings settings;
    ASSERT_TRUE(settings.create());
    CBmpBtn& call = settings.Toggle(0);
    EXPECT_TRUE(call.isEnabled());
    EXPECT_EQ(toggleBitmap(call), 290);
    EXPECT_FALSE(settings.Toggle(3).isEnabled()) << "no serial link";
    click(call);
    EXPECT_EQ(toggleBitmap(call), 292);
    EXPECT_EQ(call.PressedId(), 293);
    EXPECT_EQ(SettingsCallCopy(), 0) << "the process-wide copy follows";

    // The phone's link report as a whole, down.
    ce::sendMessage(settings.hwnd(), WM_STKOUTMSG_CONNECT_RESULT, 0, 5);
    EXPECT_EQ(toggleBitmap(call), 295);
    EXPECT_EQ(toggleBitmap(settings.Toggle(2)), 294);
    savePng(settings.widget()->grab().toImage(), "settings_linked_call_off");

    client.notes.clear();
    click(settings.BackButton());
    ce::pumpMessages();
    EXPECT_EQ(client.names("WM_BTOUT_SERVICE_CALL")[0], "WM_BTOUT_SERVICE_CALL_AVAILABILITY(0)");
    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    EXPECT_EQ(cfg.call, 0);
    settings.destroyWindow();
}

TEST_F(PhoneScreens, SettingsLayOutFromTheLandscapeTemplateOnAWideScreen)
{
    ce::dlg::setScreenSize(400, 240);
    CDlgSettings settings;
    ASSERT_TRUE(settings.create());
    EXPECT_EQ(settings.Toggle(1).windowRect(), QRect(205, 40, 185, 45));
    settings.destroyWindow();
}

class PhonePage : public PhoneScreens {
protected:
    void open()
    {
        ASSERT_TRUE(window.create());
        ce::sendMessage(window.hwnd(), WM_BTIN_PHONEWND_SHOW, 0, 0);
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        window.destroyWindow();
        PhoneScreens::TearDown();
    }
    // Waits for the refresh that follows the manager's state.
    void waitForPair(bool shown)
    {
        EXPECT_TRUE(pumpUntil([&] {
            QCoreApplication::processEvents();
            return window.Control(1071).isVisible() == shown;
        }));
        settle();
        QCoreApplication::processEvents();
    }
    QImage shot(const std::string& name)
    {
        const QImage image = window.widget()->grab().toImage();
        savePng(image, name);
        return image;
    }
    PhoneConnection window;
};

TEST_F(PhonePage, OffShowsOnlyOnOffAndBack)
{
    open();
    EXPECT_EQ(window.widget()->geometry(), QRect(0, 0, 240, 400));
    EXPECT_TRUE(window.Control(1048).isEnabled());
    EXPECT_EQ(window.Control(1048).NormalId(), 283);
    EXPECT_FALSE(window.Control(1093).isEnabled());
    EXPECT_EQ(window.Control(1093).NormalId(), 282);
    for (int id : { 1073, 1098, 1076, 1071 })
        EXPECT_FALSE(window.Control(id).isVisible()) << id;
    EXPECT_EQ(window.Control(1052).Caption(), LangString(10001));
    const QImage image = shot("phone_off");
    EXPECT_EQ(image.pixelColor(4, 10), QColor(46, 92, 150)) << "the title bar";
}

TEST_F(PhonePage, OnWithoutPhoneShowsTheHintAndPairButton)
{
    open();
    startWith({}, false);
    waitForPair(true);
    EXPECT_TRUE(window.Control(1076).isVisible());
    EXPECT_FALSE(window.Control(1073).isVisible());
    EXPECT_FALSE(window.Control(1048).isEnabled());
    EXPECT_EQ(window.Control(1048).NormalId(), 284);
    EXPECT_TRUE(window.Control(1093).isEnabled());
    shot("phone_on_no_phone");
}

TEST_F(PhonePage, LinkedShowsTheNameCutAfter22)
{
    open();
    startWith({ phone(2, u"A phone with a long name here") }, true);
    waitForPair(true);
    EXPECT_TRUE(pumpUntil([&] {
        QCoreApplication::processEvents();
        return window.Control(1098).isEnabled();
    }));
    EXPECT_EQ(window.Control(1098).Caption(), u"A phone with a long na...");
    EXPECT_EQ(window.Control(1098).NormalId(), 233);
    EXPECT_TRUE(window.Control(1073).isVisible());
    EXPECT_FALSE(window.Control(1076).isVisible());
    shot("phone_linked");
    EXPECT_EQ(PhoneNameShown(u"exactly twenty-two ch."), u"exactly twenty-two ch.");
}

TEST_F(PhonePage, AKnownPhoneThatIsNotLinkedShowsItsNameGreyedOut)
{
    open();
    startWith({ phone(2, u"Known phone") }, true);
    EXPECT_TRUE(pumpUntil([&] {
        QCoreApplication::processEvents();
        return window.Control(1098).isEnabled();
    }));
    // As before pairing a new phone: the link goes, the phone stays known.
    SetReconnectAllowed(false);
    DisconnectPhone();
    EXPECT_TRUE(pumpUntil([&] {
        QCoreApplication::processEvents();
        return GetManagerState().phoneLinked == 0 && !window.Control(1098).isEnabled();
    }));
    settle();
    QCoreApplication::processEvents();
    CBmpBtn& name = window.Control(1098);
    EXPECT_TRUE(window.Control(1073).isVisible());
    EXPECT_TRUE(name.isVisible());
    EXPECT_EQ(name.Caption(), u"Known phone");
    EXPECT_EQ(name.NormalId(), 297);
    EXPECT_EQ(name.PressedId(), 297);
    EXPECT_FALSE(window.Control(1076).isVisible()) << "no hint while a phone is known";
    EXPECT_TRUE(window.Control(1071).isVisible());
    shot("phone_known_not_linked");
    expectTextShown(name, "name");
}

// A refresh that found the last phone without a name waits for it and ends
// after a later refresh that found the phone linked: the page keeps the
// later, linked state.
TEST_F(PhonePage, ARefreshWaitingForTheNameNeverHidesALaterLink)
{
    open();
    startWith({}, false);
    waitForPair(true);
    setWorld({ phone(2, u"") });
    // Each wait for the name lasts a second, long beside what follows.
    SetTimeScale(1.0);
    sim::bt::clearCalls();
    ce::sendMessage(window.hwnd(), WM_STKOUTMSG_BTSTATUS, 1, 0);
    // The first refresh has read the manager's state (known, not linked) once
    // it asks the stack for the last phone.
    ASSERT_TRUE(pumpUntil([] { return sim::bt::countCalls("GetAllShortCuts") >= 2; }));

    sim::bt::connectionEvent(1, kBtKindMessages);
    ASSERT_TRUE(pumpUntil([] { return GetManagerState().phoneLinked != 0; }));
    setWorld({ phone(2, u"Linked phone") });
    ce::sendMessage(window.hwnd(), WM_STKOUTMSG_BTSTATUS, 2, 0);
    settle();
    QCoreApplication::processEvents();
    SetTimeScale(0.01);

    EXPECT_GE(sim::bt::countCalls("GetAllShortCuts"), 6) << "the first refresh read the name again after waiting";
    CBmpBtn& name = window.Control(1098);
    EXPECT_TRUE(name.isVisible());
    EXPECT_TRUE(name.isEnabled());
    EXPECT_EQ(name.NormalId(), 233);
    EXPECT_EQ(name.Caption(), u"Linked phone");
}

TEST_F(PhonePage, ANotificationRequestWithNothingToShowOpensNothing)
{
    open();
    int opened = 0;
    const auto keep = Screens().openNotifications;
    Screens().openNotifications = [&] { ++opened; };
    ce::sendMessage(window.hwnd(), WM_BTIN_NOTIWND_SHOW, 0, 0);
    EXPECT_EQ(opened, 0);
    CallRecord missed {};
    setField(missed.number, 41, u"5550100");
    ASSERT_NE(AddNotification(kNotificationMissedCall, &missed), nullptr);
    ce::sendMessage(window.hwnd(), WM_BTIN_NOTIWND_SHOW, 0, 0);
    EXPECT_EQ(opened, 1);
    Screens().openNotifications = keep;
}

TEST_F(PhonePage, ALanguageRequestReCaptions)
{
    writeDeviceFile(std::string(kProgramDir) + "\\Language\\de.txt",
        utf16File(u"10001;Telefon\n10002;Aus\n10003;Ein\n10004;Telefon:\n10005;Hinweis\n10006;Koppeln\n"));
    CeConfigFileManager::Instance()->SetValue(u"RES_FILE_LOCATION", u"GER_LANG_FILE", u"Language\\de.txt");
    open();
    ce::sendMessage(window.hwnd(), WM_BTIN_LANGUGE_SETTING, 0, 1031);
    EXPECT_EQ(window.Control(1052).Caption(), u"Telefon");
    EXPECT_EQ(window.Control(1071).Caption(), u"Koppeln");
    EXPECT_EQ(CeLangStringFileResMgr::Instance().GetLanguage(), 1031);
}

TEST_F(PhonePage, Message9001MovesItBehindOnlyWhenInFront)
{
    open();
    const ce::HWND other = ce::createWindow("BtUiTest", "in front", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) {
        return ce::LRESULT(0);
    });
    ce::setForegroundWindow(other);
    client.notes.clear();
    ce::sendMessage(window.hwnd(), kMsgCloseScreens, 0, 0);
    ce::pumpMessages();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(client.count("WM_BTOUT_TO_BACKGROUND"), 0);

    ce::setForegroundWindow(window.hwnd());
    ce::sendMessage(window.hwnd(), kMsgCloseScreens, 3, 4);
    ce::pumpMessages();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(client.names("WM_BTOUT_TO_BACKGROUND"), std::vector<std::string> { "WM_BTOUT_TO_BACKGROUND(3)" });
    ce::destroyWindow(other);
}

} // namespace
} // namespace kivo::bt::test
