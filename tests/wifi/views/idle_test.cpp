// KivoWiFi left alone on the network list: over a minute it wakes only for
// the flow's status poll, which the test steps itself, and a list hidden
// behind another screen does not go on animating.
#include "controls/core/LibraryInternal.h"
#include "platform/paths.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/views/WiFiMainView.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMap>
#include <QTest>

#include <gtest/gtest.h>

namespace {

namespace sim = kivo::sim::wzc;
using kivo::test::pumpUntil;

const char kWorld[] = R"({ "adapter": { "name": "WLAN1" }, "scanDelayMs": 0, "networks": [
  { "ssid": "Home", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -48 },
  { "ssid": "Cafe", "privacy": "none", "authentication": "Open", "rssi": -70 } ] })";

// The screens' timers run a hundred times faster than in the program, so
// that a minute of theirs passes in 0.6 s.
constexpr double kTimeScale = 0.01;

// Counts the timed wake-ups the application delivers, by the receiver's
// class: events of timers with an interval. A zero timer only defers work
// to the next turn of the event loop, within the wake-up that started it.
class TimerWakes : public QObject {
public:
    TimerWakes() { qApp->installEventFilter(this); }
    ~TimerWakes() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && interval(watched, static_cast<QTimerEvent*>(event)->timerId()) > 0)
            ++byClass[QString::fromLatin1(watched->metaObject()->className()) + " " + watched->objectName()
                + (watched->parent() ? " in " + QString::fromLatin1(watched->parent()->metaObject()->className())
                                     : QString())];
        return false;
    }
    static int interval(QObject* object, int id)
    {
        for (const QAbstractEventDispatcher::TimerInfo& timer :
            QAbstractEventDispatcher::instance()->registeredTimers(object))
            if (timer.timerId == id)
                return timer.interval;
        return -1;
    }
    int total() const
    {
        int n = 0;
        for (int count : byClass)
            n += count;
        return n;
    }
    QMap<QString, int> byClass;
};

class IdleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { views_test::prepareFlowScreens(); }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        ZyrelleControls::Internal::SetTimeScale(kTimeScale);
    }

    void TearDown() override
    {
        WiFiChechZk::stopActiveProbe();
        views_test::endFlow(flow);
    }

    // The network list of the world's two networks, its refresh still
    // running, the status poll stopped so that the test steps it.
    WiFiMainView* showList()
    {
        root.writeFile(sim::kWorldFile, kWorld);
        sim::reload();
        flow = views_test::showFlow();
        EXPECT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == 2;
        }));
        flow->switchView(MAIN_VIEW_ID, 0);
        flow->stopStatusTimer();
        auto* view = qobject_cast<WiFiMainView*>(flow->view(MAIN_VIEW_ID));
        QApplication::processEvents();
        return view;
    }

    // A minute of the program's time: twenty status polls three seconds
    // apart on the screens' scaled clock.
    void idleOneMinute(bool poll)
    {
        for (int i = 0; i < 20; ++i) {
            if (poll)
                flow->refreshStatus();
            QTest::qWait(int(3000 * kTimeScale));
        }
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(IdleTest, ListShowingItsNetworksWakesForNothingButTheStatusPoll)
{
    WiFiMainView* view = showList();
    ASSERT_TRUE(view);
    flow->refreshStatus();
    view->grab();
    ASSERT_FALSE(view->isRefreshing());
    ASSERT_FALSE(view->isLoadingAnimated());

    TimerWakes wakes;
    idleOneMinute(true);
    EXPECT_EQ(wakes.total(), 0) << wakes.byClass.keys().join(", ").toStdString();
    EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
    EXPECT_EQ(flow->getAPCount(), 2);
}

TEST_F(IdleTest, HiddenListPausesItsSpinnerUntilShownAgain)
{
    WiFiMainView* view = showList();
    ASSERT_TRUE(view);
    view->grab(); // paints the one empty row of the refresh
    ASSERT_TRUE(view->isLoadingAnimated());
    ASSERT_TRUE(pumpUntil([&] { return view->loadingFrame() > 2; }));

    view->onJoinBtnClick();
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    const int frame = view->loadingFrame();
    TimerWakes wakes;
    idleOneMinute(false);
    EXPECT_EQ(view->loadingFrame(), frame);
    EXPECT_EQ(wakes.byClass.value("QTimer  in WiFiMainView") + wakes.byClass.value("QTimer "), 0)
        << wakes.byClass.keys().join(", ").toStdString();

    // Back on the list, still refreshing: the spinner goes on.
    flow->switchView(MAIN_VIEW_ID, 0);
    flow->stopStatusTimer();
    EXPECT_TRUE(view->isLoadingAnimated());
    EXPECT_TRUE(pumpUntil([&] { return view->loadingFrame() != frame; }));
}

// With no network found the list paints no row, so nothing but the pause
// itself can bring the spinner back after another screen was shown.
TEST_F(IdleTest, EmptyListSearchesOnAfterAnotherScreen)
{
    root.writeFile(sim::kWorldFile, R"({ "adapter": { "name": "WLAN1" }, "scanDelayMs": 0, "networks": [] })");
    sim::reload();
    flow = views_test::showFlow();
    flow->configWiFi().refreshVisibleList();
    flow->switchView(MAIN_VIEW_ID, 0);
    flow->stopStatusTimer();
    auto* view = qobject_cast<WiFiMainView*>(flow->view(MAIN_VIEW_ID));
    ASSERT_TRUE(view);
    view->grab(); // paints the one empty row of the refresh
    flow->refreshStatus();
    view->grab();
    ASSERT_FALSE(view->isRefreshing());
    ASSERT_EQ(flow->getAPCount(), 0);
    ASSERT_TRUE(view->isLoadingAnimated());

    view->onJoinBtnClick();
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_FALSE(view->isLoadingAnimated());
    flow->switchView(MAIN_VIEW_ID, 0);
    flow->stopStatusTimer();
    view->grab();
    EXPECT_TRUE(view->isLoadingAnimated());
    const int frame = view->loadingFrame();
    EXPECT_TRUE(pumpUntil([&] { return view->loadingFrame() != frame; }));
}

} // namespace
