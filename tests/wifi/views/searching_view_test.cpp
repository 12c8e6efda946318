// The searching screen on a real flow and the simulated adapter: which saved
// networks it joins and in what order, the probe's verdicts, the portal
// browser and its login results, the auto-sync start mode, the "Sync at
// Start-up" switch, and a look at each state.
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "tests/wifi/views/join_screens_support.h"
#include "wifi/views/WiFiSearchingView.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

using namespace join_test;
using Access = WiFiSearchingViewTestAccess;

class SearchingView : public JoinScreens {
protected:
    // Switches to the searching screen as the flow's start does and runs its
    // auto-connect step as the status poll would.
    WiFiSearchingView* search(bool autoConnect = true)
    {
        flow->switchView(SEARCHING_VIEW_ID, 0);
        auto* view = qobject_cast<WiFiSearchingView*>(flow->view(SEARCHING_VIEW_ID));
        if (view && autoConnect && flow->currentViewId() == SEARCHING_VIEW_ID) {
            EXPECT_FALSE(flow->isBrowserLaunched());
            flow->refreshStatus();
            EXPECT_TRUE(flow->isBrowserLaunched());
        }
        return view;
    }
    QString status(WiFiSearchingView* v) const { return v->findChild<QLabel*>("SearchInfo")->text(); }
    QString joining() const { return flow->getWiFiSettings().network; }

    // Ticks until the network in use is connected and probed, then once more
    // for the verdict.
    void connectAndProbe(WiFiSearchingView* v, const char* ssid, const char* value)
    {
        ASSERT_TRUE(waitConnectedTo(ssid));
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_EQ(Access::probeState(*v), 100);
        ASSERT_TRUE(waitForVerdict(value));
        ASSERT_TRUE(Access::tick(*v));
    }

    // The status text lies inside its label, below the title and above the
    // animation, which shows a loading frame.
    void checkLook(WiFiSearchingView* v, const QString& name)
    {
        const QImage image = views_test::shot(*v, name);
        auto* label = v->findChild<QLabel*>("SearchInfo");
        const QRect box(label->mapTo(v, QPoint(0, 0)), label->size());
        const QRect text = views_test::boundsOf(image, QRect(0, 30, 240, 138), views_test::isDark);
        ASSERT_TRUE(text.isValid()) << qPrintable(name);
        EXPECT_TRUE(box.contains(text)) << qPrintable(name);
        auto* loading = v->findChild<phxIcon*>("Shade_2");
        EXPECT_TRUE(loading->isVisible());
        EXPECT_GT(views_test::pictureShown(image, loading->image().toImage(), loading->geometry().topLeft()), 0.95)
            << qPrintable(name);
        // The buttons carry their texts within their own boxes.
        for (const char* b : { "RefBtn", "AutoSyncBtn" }) {
            auto* button = v->findChild<QPushButton*>(b);
            if (!button->isVisible())
                continue;
            const QRect inView(button->mapTo(v, QPoint(0, 0)), button->size());
            const QRect dark = views_test::boundsOf(image, inView.adjusted(-2, -2, 2, 2), views_test::isDark);
            EXPECT_TRUE(dark.isValid()) << b;
            EXPECT_TRUE(inView.contains(dark)) << b;
        }
    }
};

TEST_F(SearchingView, NothingSavedOpensTheNetworkListOrEndsTheProgram)
{
    for (int mode : { 0, 100 }) {
        SCOPED_TRACE(mode);
        TearDown();
        SetUp();
        makeFlow({}, mode);
        WiFiSearchingView* v = search(false);
        ASSERT_TRUE(v);
        // The switch the setup made stands: the searching screen stays hidden.
        EXPECT_FALSE(v->isVisible());
        EXPECT_FALSE(Access::animating(*v));
        if (mode == 0) {
            EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
            EXPECT_TRUE(flow->view(MAIN_VIEW_ID)->isVisible());
        } else {
            EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
            EXPECT_EQ(flow->alertType(), ALERT_TYPE_EXIT);
            EXPECT_TRUE(flow->view(ALERT_VIEW_ID)->isVisible());
            EXPECT_FALSE(flow->isStatusTimerActive());
            // The exit hides the buttons of the settings.
            EXPECT_FALSE(v->findChild<QPushButton*>("RefBtn")->isVisibleTo(v));
            EXPECT_FALSE(v->findChild<QPushButton*>("AutoSyncBtn")->isVisibleTo(v));
        }
    }
}

TEST_F(SearchingView, SavedNetworkWithInternetOpensTheSyncScreen)
{
    makeFlow({ saved("HomeNet") });
    flow->setSavedAPIndex(-1);
    WiFiSearchingView* v = search(false);
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(status(v), "Searching networks...");
    EXPECT_EQ(verdict(), "LaunchBrowser=999");
    EXPECT_EQ(v->findChild<QLabel*>("lblTitleText")->text(), "WIFI Sync");
    EXPECT_EQ(v->findChild<QPushButton*>("RefBtn")->text(), "WIFI Settings");
    checkLook(v, "searching_searching");

    flow->refreshStatus();
    EXPECT_EQ(status(v), "Connecting With \nHomeNet");
    EXPECT_EQ(joining(), "HomeNet");
    EXPECT_EQ(Access::autoConnectMs(*v), 4000);
    checkLook(v, "searching_connecting");

    connectAndProbe(v, "HomeNet", "1");
    EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    EXPECT_EQ(flow->savedNetworkCursor(), 0);
    EXPECT_EQ(flow->savedAPIndex(), 1); // the scan's order: CafeGuest, HomeNet, ...
    EXPECT_EQ(savedNames()[0], "HomeNet");
    EXPECT_FALSE(Access::autoConnectActive(*v));
    EXPECT_FALSE(flow->isStatusTimerActive());
    EXPECT_TRUE(logged("[In WifiSearching - onCheckZKStatusSlot()] test_zk() > 0 go to Sync view"));

    // Back on the searching screen with the adapter connected: straight to
    // the sync screen, without a join.
    v = search();
    EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    EXPECT_FALSE(Access::autoConnectActive(*v));
}

TEST_F(SearchingView, CandidatesAreJoinedInSlotOrderThreeTicksEach)
{
    struct Case {
        const char* name;
        std::vector<WiFiSettings> saved;
        int mode;
        std::vector<const char*> joins; // in order, one per three ticks
        int endView; // after the last candidate failed (-1: the last one connects)
    } cases[] = {
        { "first fails, second joins", { saved("Office"), saved("HomeNet") }, 0, { "Office", "HomeNet" }, -1 },
        { "both fail", { saved("Office"), saved("OldRouter") }, 0, { "Office", "OldRouter" }, ALERT_VIEW_ID },
        { "out of range is no candidate", { saved("Nowhere"), saved("Office") }, 0, { "Office" }, ALERT_VIEW_ID },
        // A network saved while hidden is a candidate, and the visible name
        // it was checked against (the first in the scan) still reaches its
        // own later slot.
        { "hidden before visible", { saved("Secret", "Hidden"), saved("CafeGuest") }, 0, { "Secret", "CafeGuest" },
            -1 },
        { "auto-sync start ends", { saved("Office") }, 100, { "Office" }, ALERT_VIEW_ID },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        makeFlow(c.saved, c.mode);
        WiFiSearchingView* v = search();
        for (size_t i = 0; i < c.joins.size(); ++i) {
            EXPECT_EQ(joining(), c.joins[i]);
            EXPECT_EQ(status(v), QStringLiteral("Connecting With \n%1").arg(QLatin1String(c.joins[i])));
            if (c.endView == -1 && i + 1 == c.joins.size())
                break;
            for (int tick = 0; tick < 3; ++tick) {
                ASSERT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID) << "tick " << tick;
                if (tick < 2) {
                    EXPECT_EQ(joining(), c.joins[i]);
                }
                ASSERT_TRUE(Access::tick(*v));
            }
        }
        if (c.endView == -1) {
            connectAndProbe(v, c.joins.back(), "1");
            EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
            EXPECT_EQ(savedNames()[0], c.joins.back());
            continue;
        }
        EXPECT_EQ(flow->currentViewId(), c.endView) << file("Log\\WifiConnectLog.txt");
        EXPECT_EQ(flow->alertType(), c.mode == 100 ? ALERT_TYPE_EXIT : 0);
        EXPECT_FALSE(Access::autoConnectActive(*v));
        EXPECT_FALSE(flow->isStatusTimerActive());
    }
}

TEST_F(SearchingView, AnotherNetworksAssociationIsNotTakenForTheJoin)
{
    makeFlow({ saved("Office") });
    WiFiSearchingView* v = search();
    ASSERT_TRUE(v);
    EXPECT_EQ(joining(), "Office");
    // While Office (whose key is wrong) is tried, the adapter ends up on
    // HomeNet, joined from the list: a join that took any association for
    // success would probe HomeNet and go on as if Office were connected.
    int home = -1;
    for (int i = 0; i < flow->getAPCount(); ++i)
        if (flow->getAPName(i) == "HomeNet")
            home = i;
    ASSERT_GE(home, 0);
    flow->connectWithKey(home, "ridebikes");
    ASSERT_TRUE(waitConnectedTo("HomeNet"));
    EXPECT_EQ(joining(), "Office");

    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID) << tick;
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_TRUE(flow->isConnectStatus()) << tick;
        EXPECT_EQ(Access::probeState(*v), 0) << tick;
    }
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), 0);
    EXPECT_EQ(verdict(), "LaunchBrowser=999"); // no probe was started
    EXPECT_EQ(kivowifi::livePortalProbes(), 0);
    EXPECT_FALSE(Access::autoConnectActive(*v));
}

TEST_F(SearchingView, NoCandidateInRangeAlwaysShowsTheAlert)
{
    for (int mode : { 0, 100 }) {
        SCOPED_TRACE(mode);
        TearDown();
        SetUp();
        makeFlow({ saved("Nowhere"), saved("Far away") }, mode);
        search();
        EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
        EXPECT_EQ(flow->alertType(), 0);
    }
}

TEST_F(SearchingView, NoInternetShowsTheAlertAndResetsTheVerdict)
{
    route(kivo::test::closedLoopbackPort());
    makeFlow({ saved("HomeNet") });
    WiFiSearchingView* v = search();
    connectAndProbe(v, "HomeNet", "2");
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), 0);
    EXPECT_EQ(verdict(), "LaunchBrowser=999");
    EXPECT_FALSE(wzc::hasPreferredList() && !wzc::preferredList().empty());
    EXPECT_EQ(savedNames()[0], "HomeNet");
}

TEST_F(SearchingView, PortalStartsTheBrowserOnceAndFollowsItsLogin)
{
    server.setAnswer(LocalHttpServer::status(200, "OK", "<html>Sign in to the hotspot</html>"));
    for (const char* result : { "success", "unfinished" }) {
        SCOPED_TRACE(result);
        TearDown();
        SetUp();
        server.setAnswer(LocalHttpServer::status(200, "OK", "<html>Sign in to the hotspot</html>"));
        browserResult("none");
        makeFlow({ saved("HomeNet") });
        WiFiSearchingView* v = search();
        connectAndProbe(v, "HomeNet", "0");
        EXPECT_TRUE(pumpUntil([&] { return browserStarts() == 1; }));
        EXPECT_TRUE(flow->isLoginPending());
        EXPECT_EQ(Access::autoConnectMs(*v), 2000);
        EXPECT_FALSE(flow->isStatusTimerActive());
        // Waiting for the login: further ticks start nothing more.
        for (int tick = 0; tick < 3; ++tick)
            ASSERT_TRUE(Access::tick(*v));
        EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
        checkLook(v, QStringLiteral("searching_portal_%1").arg(QLatin1String(result)));

        // The browser reports its login by window message.
        browserResult(result);
        ASSERT_TRUE(kivowifi::launchPortalBrowser());
        if (std::string(result) == "success") {
            ASSERT_TRUE(pumpUntil([&] { return flow->currentViewId() == SYNC_VIEW_ID; }));
            EXPECT_EQ(savedNames()[0], "HomeNet");
            EXPECT_FALSE(flow->isLoginPending());
        } else {
            ASSERT_TRUE(pumpUntil([&] { return !flow->isLoginPending(); }));
            EXPECT_TRUE(wzc::preferredList().empty()); // the EAP settings are cleared
            EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
            ASSERT_TRUE(pumpUntil([&] { return !flow->isConnectStatus(); }));
            for (int tick = 0; tick < 3; ++tick)
                ASSERT_TRUE(Access::tick(*v));
            EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
            EXPECT_EQ(flow->alertType(), 0);
        }
        EXPECT_EQ(browserStarts(), 2); // the screen's and the test's
    }
}

TEST_F(SearchingView, LongNamesAreShortenedFromSixteenCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        { "Riverside Cafe1", "Connecting With \nRiverside Cafe1" },
        { "Riverside Cafe12", "Connecting With \nRiverside Ca..." },
    };
    for (const auto& [name, shown] : cases) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        makeFlow({ saved(name) });
        WiFiSearchingView* v = search();
        EXPECT_EQ(status(v), shown);
        checkLook(v, QStringLiteral("searching_name_%1").arg(QString::fromLatin1(name).size()));
    }
}

TEST_F(SearchingView, SyncAtStartUpFollowsTheVerdictFile)
{
    makeFlow({ saved("HomeNet") });
    WiFiSearchingView* v = search(false);
    auto* button = v->findChild<phxPushButton*>("AutoSyncBtn");
    auto* tick = v->findChild<phxIcon*>("icon");
    EXPECT_EQ(button->text(), "Sync at Start-up            ");
    EXPECT_FALSE(tick->isVisibleTo(v));
    struct Case {
        const char* verdict;
        const char* written;
        bool tickShown;
        bool enabled;
    } cases[] = {
        { "0", "WifiSyncOnOff=1", true, true },
        { "1", "WifiSyncOnOff=0", false, true },
        { "999", "WifiSyncOnOff=0", false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verdict);
        button->setEnabled(true);
        kivowifi::writeLaunchBrowser(std::stoi(c.verdict));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(file("AutoSync.ini"), c.written);
        EXPECT_EQ(tick->isVisibleTo(v), c.tickShown);
        EXPECT_EQ(button->isEnabled(), c.enabled);
        const QImage image = views_test::shot(*v, QStringLiteral("searching_autosync_%1").arg(c.verdict));
        // The tick is drawn beside the button only when it is shown.
        const QRect row(button->parentWidget()->mapTo(v, QPoint(0, 0)), button->parentWidget()->size());
        const QRect tickArea(tick->mapTo(v, QPoint(0, 0)), tick->size());
        const QRect green = views_test::boundsOf(image, row,
            [](QRgb p) { return qGreen(p) > 140 && qRed(p) < 110 && qBlue(p) < 110; });
        EXPECT_EQ(green.isValid(), c.tickShown);
        if (green.isValid()) {
            EXPECT_TRUE(tickArea.contains(green));
        }
    }
}

TEST_F(SearchingView, ButtonsLeaveForTheNetworkListOrTheExit)
{
    makeFlow({ saved("HomeNet") });
    WiFiSearchingView* v = search();
    QTest::mouseClick(v->findChild<QPushButton*>("RefBtn"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
    EXPECT_FALSE(Access::autoConnectActive(*v));
    EXPECT_TRUE(wzc::preferredList().empty());

    v = search();
    QTest::mouseClick(v->findChild<phxPushButton*>("btnBack"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), ALERT_TYPE_EXIT);
}

TEST_F(SearchingView, LoadingFramesRunFromTwoToNineOnTheSharedCounter)
{
    makeFlow({ saved("HomeNet") });
    WiFiSearchingView* v = search(false);
    auto* icon = v->findChild<phxIcon*>("Shade_2");
    flow->setLoadingFrame(1);
    std::vector<int> frames;
    for (int i = 0; i < 10; ++i) {
        v->loadpic();
        frames.push_back(views_test::loadingFrameOf(icon->image().toImage()));
    }
    EXPECT_EQ(frames, (std::vector<int> { 2, 3, 4, 5, 6, 7, 8, 9, 2, 3 }));
}

// With logging on, the flow's label reports Zero Config events below the
// title band, readable on the light searching screen and the dark alert.
TEST_F(SearchingView, EventNamesLeaveTheTitleReadable)
{
    makeFlow({ saved("HomeNet") });
    ASSERT_TRUE(flow->isLogEnabled());
    for (int id : { SEARCHING_VIEW_ID, ALERT_VIEW_ID }) {
        SCOPED_TRACE(id);
        if (id == SEARCHING_VIEW_ID) {
            search(false);
        } else {
            flow->setAlertType(4);
            flow->switchView(ALERT_VIEW_ID, 0);
        }
        flow->statusLabel()->clear();
        const QImage before = flow->grab().toImage();
        flow->ShowWiFiConnectingStatus(QStringLiteral("WZC_ASSOCIATING"));
        const QImage after = flow->grab().toImage();
        after.save(QStringLiteral("kivowifi_event_name_%1.png").arg(id));
        const QRect title(0, 0, 240, 27);
        EXPECT_EQ(before.copy(title), after.copy(title));
        // The name itself: light text on the dark band just below.
        const QRect band(40, 27, 200, 11);
        int light = 0;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x)
                light += qGray(after.pixel(x, y)) > 200;
        EXPECT_GT(light, 20);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return join_test::runTests(argc, argv);
}
