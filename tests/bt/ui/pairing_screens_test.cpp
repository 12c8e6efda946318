// The pairing, retry and waiting screens on the simulated stack, with the
// dialog layer's stepped clock.
#include "bt/ui/dlg_settings.h"
#include "bt/ui/pairing_screens.h"
#include "bt/ui/screen_hooks.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QTest>

namespace kivo::bt::test {
namespace {

class PairingScreens : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
        InstallPairingScreens();
        ce::dlg::useSteppedClock(true);
    }
    void TearDown() override
    {
        ce::dlg::useSteppedClock(false);
        CoreFixture::TearDown();
    }
    static bool pumpQt(const std::function<bool()>& done)
    {
        return pumpUntil([&] {
            QCoreApplication::processEvents();
            return done();
        });
    }
    static int pairableCalls(int connectable)
    {
        int n = 0;
        for (const auto& c : sim::bt::calls())
            n += c.name == "SetPairable" && c.args == std::vector<long> { 1, connectable, 1 };
        return n;
    }
};

TEST_F(PairingScreens, PairNewOffersOnlyOkAfter180Ticks)
{
    {
        PairNew pair;
        ASSERT_TRUE(pair.create());
        EXPECT_EQ(pairableCalls(1), 1);
        ce::dlg::stepClock(179 * 1000);
        EXPECT_TRUE(pair.Cancel().isVisible());
        EXPECT_FALSE(pair.Ok().isVisible());
        ce::dlg::stepClock(1000);
        EXPECT_FALSE(pair.Cancel().isVisible());
        EXPECT_FALSE(pair.Icon().isVisible());
        EXPECT_TRUE(pair.Ok().isVisible());
        EXPECT_EQ(pair.Ok().windowRect(), QRect(67, 320, 105, 50)) << "in Cancel's place";
        EXPECT_EQ(pair.Label().Caption(), LangString(10053));
        EXPECT_EQ(pair.Label().windowRect().size(), QSize(200, 60));
        savePng(pair.widget()->grab().toImage(), "pairnew_timeout");
        pair.destroyWindow();
    }
    EXPECT_EQ(pairableCalls(0), 1);
}

TEST_F(PairingScreens, AConnectionClosesPairingAndOpensNoSecondSettings)
{
    CDlgSettings settings;
    ASSERT_TRUE(settings.create());
    PairNew pair;
    ASSERT_TRUE(pair.create());
    ce::sendMessage(pair.hwnd(), WM_STKOUTMSG_CONNECT_RESULT, 1, 9);
    EXPECT_TRUE(pair.isVisible()) << "a BLE connection is not the phone";
    ce::sendMessage(pair.hwnd(), WM_STKOUTMSG_CONNECT_RESULT, 0, 1);
    EXPECT_TRUE(pair.isVisible()) << "a link that went down";
    ce::sendMessage(pair.hwnd(), WM_STKOUTMSG_CONNECT_RESULT, 1, 1);
    EXPECT_FALSE(pair.isVisible());
    EXPECT_TRUE(WaitForWorkers(0)) << "no settings screen was started";
    EXPECT_EQ(TheSettingsScreen(), &settings);
    pair.destroyWindow();
    settings.destroyWindow();
}

TEST_F(PairingScreens, WaitingTurnsItsFramesAndCloses)
{
    runScript([] {
        Screens().showWaiting();
        ASSERT_TRUE(waitFor([] { return TheWaitingScreen() != nullptr; }));
        CDlgWaiting& wait = *TheWaitingScreen();
        EXPECT_FALSE(onGui([&] { return wait.widget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }))
            << "at the top of the ordinary windows only";
        onGui([&] {
            savePng(wait.widget()->grab().toImage(), "waiting");
            return 0;
        });
        std::vector<int> shown;
        for (int i = 0; i < 9; ++i)
            shown.push_back(onGui([&] {
                ce::dlg::stepClock(200);
                return wait.Animation().Shown();
            }));
        EXPECT_EQ(shown, (std::vector<int> { 1, 2, 3, 4, 5, 6, 7, 0, 1 }));
        EXPECT_TRUE(Screens().closeWaiting());
        EXPECT_TRUE(waitFor([] { return TheWaitingScreen() == nullptr && WaitForWorkers(0); }));
    });
}

TEST_F(PairingScreens, AnEndBeforeTheWaitingScreenStartsClosesItAtItsStart)
{
    Screens().showWaiting();
    EXPECT_FALSE(Screens().closeWaiting()) << "not started yet";
    EXPECT_TRUE(pumpQt([] { return WaitForWorkers(0); }));
    EXPECT_EQ(TheWaitingScreen(), nullptr);
}

TEST_F(PairingScreens, RetryCloseBluetoothStopsIt)
{
    setWorld({});
    ASSERT_EQ(BtManagerStart(), 1);
    settle();
    ReTryConn retry;
    ASSERT_TRUE(retry.create());
    EXPECT_TRUE(retry.widget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "above the ordinary windows";
    QTest::mouseClick(retry.CloseBluetooth().widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(GetManagerState().started);
    EXPECT_FALSE(retry.isVisible());
    retry.destroyWindow();
}

TEST_F(PairingScreens, RetryShowsEveryTextWhole)
{
    ReTryConn retry;
    ASSERT_TRUE(retry.create());
    savePng(retry.widget()->grab().toImage(), "retry");
    expectTextShown(retry.Label(), "message");
    expectTextShown(retry.Retry(), "Retry");
    expectTextShown(retry.CloseBluetooth(), "Close Bluetooth");
    // Over two lines in the screen's font, beside Retry in the same one.
    std::u16string shown;
    for (const CBmpBtn::DrawnLine& line : retry.CloseBluetooth().Drawn()) {
        EXPECT_EQ(line.font.pixelSize(), 20);
        shown += (shown.empty() ? u"" : u" ") + line.text;
    }
    EXPECT_EQ(shown, LangString(10043));
    retry.destroyWindow();
}

} // namespace
} // namespace kivo::bt::test
