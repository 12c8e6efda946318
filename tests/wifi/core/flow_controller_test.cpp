// The flow controller in the test process: placeholders and fake screens
// plugged in by id, the view stack and back rules, exit sequencing and the
// Wi-Fi state reports KivoMap receives.
#include "wifi/core/KivoWiFiFlow.h"

#include "platform/paths.h"
#include "platform/registry.h"
#include "sim/kivomap/kivomap_peer.h"
#include "sim/wifidkcore/WifiDKCoreSim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/flow_test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QThread>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ce::reg::Root;

std::vector<int> g_exitCodes;

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "flow_controller_test";
    static char* argv[] = { name, nullptr };
    if (!qApp)
        new QApplication(argc, argv);
}

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the fake screens saw.
struct ScreenLog {
    std::vector<std::string> calls;
    QString listText = QStringLiteral("HomeNet");
    int listKind = 3;
    int listRow = 4;
    QString joinFieldText = QStringLiteral("typed");
    int joinFieldType = 2;
    QString keyboardTyped = QStringLiteral("secret");
    int keyboardType = 2;
    WiFiSettings joinRecord { QStringLiteral("Encryption 3 enabled"), QStringLiteral("WPA2 PSK"),
        QStringLiteral("Key index 1"), QStringLiteral("HomeNet"), QStringLiteral("User"), QString() };
};

ScreenLog g_screens;

void record(const std::string& call)
{
    g_screens.calls.push_back(call);
}

QWidget* makeScreen(KivoWiFiFlow* flow, int id)
{
    auto* w = new QWidget(flow);
    w->setObjectName(QStringLiteral("screen%1").arg(id));
    return w;
}

// Fake screens for the ids whose hand-offs the flow drives.
void plugFakeScreens()
{
    FlowViewOps list;
    list.create = [](KivoWiFiFlow* f, const QString&) { return makeScreen(f, 0); };
    list.setup = [](QWidget*, int) { record("list.setup"); };
    list.text = [](QWidget*) { return g_screens.listText; };
    list.kind = [](QWidget*) { return g_screens.listKind; };
    list.row = [](QWidget*) { return g_screens.listRow; };
    list.poll = [](QWidget*) { record("list.poll"); };
    KivoWiFiFlow::setViewOps(MAIN_VIEW_ID, list);

    FlowViewOps join;
    join.create = [](KivoWiFiFlow* f, const QString&) { return makeScreen(f, 1); };
    join.handOff = [](QWidget*, const QString& text, int type, int row) {
        record("join.handOff " + text.toStdString() + " " + std::to_string(type) + " " + std::to_string(row));
    };
    join.text = [](QWidget*) { return g_screens.joinFieldText; };
    join.kind = [](QWidget*) { return g_screens.joinFieldType; };
    join.leave = [](QWidget*) { record("join.leave"); };
    join.joinRecord = [](QWidget*) { return g_screens.joinRecord; };
    KivoWiFiFlow::setViewOps(JOIN_VIEW_ID, join);

    FlowViewOps keyboard;
    keyboard.create = [](KivoWiFiFlow* f, const QString&) { return makeScreen(f, 14); };
    keyboard.handOff = [](QWidget*, const QString& text, int type, int row) {
        record("keyboard.handOff " + text.toStdString() + " " + std::to_string(type) + " " + std::to_string(row));
    };
    keyboard.text = [](QWidget*) { return g_screens.keyboardTyped; };
    keyboard.kind = [](QWidget*) { return g_screens.keyboardType; };
    KivoWiFiFlow::setViewOps(KEYBOARD_VIEW_ID, keyboard);

    FlowViewOps alert;
    alert.create = [](KivoWiFiFlow* f, const QString&) { return makeScreen(f, 12); };
    alert.applyAlert = [](QWidget*, int type) { record("alert.apply " + std::to_string(type)); };
    alert.stop = [](QWidget*) { record("alert.stop"); };
    KivoWiFiFlow::setViewOps(ALERT_VIEW_ID, alert);

    for (int id : { CONNECTING_VIEW_ID, SEARCHING_VIEW_ID, SYNC_VIEW_ID }) {
        FlowViewOps timed;
        timed.stop = [id](QWidget*) { record("stop " + std::to_string(id)); };
        KivoWiFiFlow::setViewOps(id, timed);
    }
}

void unplugScreens()
{
    for (int id = 0; id <= KEYBOARD_VIEW_ID; ++id)
        KivoWiFiFlow::setViewOps(id, FlowViewOps());
}

class FlowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureApplication();
        CMyConfigWiFi::setDelayScaleForTests(0.001);
        KivoWiFiFlow::setProcessExitHandler([](int code) { g_exitCodes.push_back(code); });
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        g_exitCodes.clear();
        g_screens = ScreenLog();
    }

    void TearDown() override
    {
        flow.reset();
        unplugScreens();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void makeFlow(bool fakeScreens = false)
    {
        if (fakeScreens)
            plugFakeScreens();
        flow.reset(new KivoWiFiFlow);
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
    }

    // The only visible screen, by object name ("" when none).
    QString shownScreen() const
    {
        QString shown;
        for (int id = 0; id <= KEYBOARD_VIEW_ID; ++id)
            if (QWidget* v = flow->view(id); v && v->isVisibleTo(flow.get())) {
                EXPECT_TRUE(shown.isEmpty()) << "two screens shown";
                shown = v->objectName();
            }
        return shown;
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(FlowTest, ConstructionEmptiesEapolAndBuildsThePortraitWindow)
{
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\Net", "Identity", "rider");
    ce::reg::setDword(Root::CurrentUser, "Comm\\EAPOL", "Flag", 1);
    ce::reg::setString(Root::CurrentUser, "Comm\\Keep", "Value", "kept");
    makeFlow();

    EXPECT_TRUE(ce::reg::valueNames(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "Comm\\Keep", "Value"), "kept");

    EXPECT_EQ(flow->size(), QSize(240, 400));
    EXPECT_TRUE(flow->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(flow->pos(), QPoint(0, 0));
    EXPECT_EQ(flow->statusLabel()->geometry(), QRect(40, 0, 200, 38));
    EXPECT_EQ(flow->currentViewId(), 0);
    EXPECT_EQ(flow->previousViewId(), 0);
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_STATE_UNKNOWN);
    EXPECT_EQ(flow->inputType(), -1);
    EXPECT_EQ(flow->rowIndex(), -1);
    EXPECT_EQ(flow->currentNetworkIndex(), -1);
    EXPECT_EQ(flow->loadingFrame(), 1);
    EXPECT_NE(ce::findWindow("KivoWiFi", nullptr), nullptr);
}

TEST_F(FlowTest, WindowSizeFollowsTheResolutionText)
{
    EXPECT_EQ(KivoWiFiFlow::windowSizeForResolution(QStringLiteral("480x272")), QSize(240, 400));
    EXPECT_EQ(KivoWiFiFlow::windowSizeForResolution(QStringLiteral("800x480")), QSize(800, 480));
    EXPECT_EQ(KivoWiFiFlow::windowSizeForResolution(QString()), QSize(480, 272));
    EXPECT_EQ(KivoWiFiFlow::windowSizeForResolution(QStringLiteral("320x240")), QSize(480, 272));
}

TEST_F(FlowTest, StartShowsSearchingPlaceholderAndReportsOnce)
{
    kivo::sim::KivoMapPeer kivoMap;
    ASSERT_TRUE(kivoMap.start());
    makeFlow();
    flow->Start();

    EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
    EXPECT_EQ(flow->viewStack(), QVector<int> { SEARCHING_VIEW_ID });
    QWidget* placeholder = flow->view(SEARCHING_VIEW_ID);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(placeholder->objectName(), QStringLiteral("11"));
    EXPECT_EQ(QString(placeholder->metaObject()->className()), QStringLiteral("QWidget"));
    EXPECT_TRUE(flow->isVisible());
    EXPECT_TRUE(placeholder->isVisible());

    // No Zero Config here: Wi-Fi is reported off, and the poll's "not
    // associated" is held back until Wi-Fi is reported on again.
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_DISABLEND);
    flow->refreshStatus();
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_DISABLEND);
    flow->notifyWiFiStatus(KIVOWIFI_ENABLEND);
    flow->refreshStatus();
    EXPECT_EQ(flow->wifiState(), KIVOWIFI_DISCONNECTED);
    flow->refreshStatus();

    ASSERT_TRUE(kivoMap.waitForEvents(4, 5000));
    auto events = kivoMap.events();
    EXPECT_EQ(std::vector<std::string>(events.begin() + 1, events.end()),
        (std::vector<std::string> { "status 1", "status 0", "status 4" }));

    // Screenshot for a look at the window.
    QPixmap shot = flow->grab();
    EXPECT_EQ(shot.size(), QSize(240, 400));
    shot.save(QStringLiteral("kivowifi_start.png"));
    kivoMap.stop();
}

struct SequenceCase {
    const char* name;
    std::vector<int> switches; // ids switched to with mode 0; -1 is a back press
    int current;
    QVector<int> stack;
    QString shown;
    std::vector<std::string> calls;
};

void PrintTo(const SequenceCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlowSequence : public FlowTest, public ::testing::WithParamInterface<SequenceCase> { };

TEST_P(FlowSequence, SwitchAndBack)
{
    const SequenceCase& c = GetParam();
    makeFlow(true);
    flow->setSavedNetworksPresent(true);
    for (int id : c.switches) {
        if (id < 0)
            flow->onBackBtnClick();
        else
            flow->switchView(id, 0);
    }
    EXPECT_EQ(flow->currentViewId(), c.current);
    EXPECT_EQ(flow->viewStack(), c.stack);
    EXPECT_EQ(shownScreen(), c.shown);
    EXPECT_EQ(g_screens.calls, c.calls);
    EXPECT_TRUE(flow->statusLabel()->isVisibleTo(flow.get()));
}

INSTANTIATE_TEST_SUITE_P(Table, FlowSequence,
    ::testing::Values(
        // A visible network chosen in the list: the add-network screen gets
        // its name and row.
        // Every switch stops the timers of the cached searching screen.
        SequenceCase { "ListToAddNetwork", { 11, 0, 1 }, 1, { 11, 0, 1 }, "screen1",
            { "stop 11", "list.setup", "stop 11", "join.handOff HomeNet 3 4" } },
        // Keyboard and back: the typed text returns to the add-network screen,
        // which is not pushed again.
        SequenceCase { "KeyboardRoundTrip", { 0, 1, 14, -1 }, 1, { 0, 1 }, "screen1",
            { "list.setup", "join.handOff HomeNet 3 4", "keyboard.handOff typed 2 -1", "join.handOff secret 2 -1" } },
        // Back on add network leaves its edit state and returns to the list.
        SequenceCase { "AddNetworkBack", { 0, 1, -1 }, 0, { 0, 1, 0 }, "screen0",
            { "list.setup", "join.handOff HomeNet 3 4", "join.leave", "list.setup" } },
        // Not connected, saved networks present: back to searching.
        SequenceCase {
            "ListBackToSearching", { 11, 0, -1 }, 11, { 11, 0, 11 }, "11", { "stop 11", "list.setup", "stop 11" } },
        SequenceCase { "GenericBackUnwinds", { 11, 4, 6, 3, -1, -1 }, 4, { 11, 4 }, "4",
            { "stop 11", "stop 11", "stop 11", "stop 11", "stop 11" } },
        // Information returns to the list by a normal switch.
        SequenceCase { "InfoBackToList", { 5, -1 }, 0, { 5, 0 }, "screen0", { "list.setup" } },
        SequenceCase { "IdWithoutScreenShowsNothing", { 11, 9 }, 9, { 11, 9 }, "", { "stop 11" } },
        SequenceCase { "BackFromIdWithoutScreen", { 11, 9, -1 }, 11, { 11 }, "11", { "stop 11", "stop 11" } },
        SequenceCase { "ConnectingStopsWhenHidden", { 2, 3 }, 3, { 2, 3 }, "3", { "stop 2" } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlowTest, ScreenShownFlagOnConnectingAndAlertOnly)
{
    makeFlow(true);
    flow->switchView(CONNECTING_VIEW_ID, 0);
    EXPECT_TRUE(flow->isScreenShown());
    flow->switchView(SECURITY_VIEW_ID, 0);
    EXPECT_FALSE(flow->isScreenShown());
    flow->setAlertType(3);
    flow->switchView(ALERT_VIEW_ID, 0);
    EXPECT_TRUE(flow->isScreenShown());
    EXPECT_EQ(g_screens.calls.back(), "alert.apply 3");
}

TEST_F(FlowTest, ConnectingFromAddNetworkTakesItsJoinRecord)
{
    makeFlow(true);
    // What the connecting screen finds when it starts the join.
    WiFiSettings seenBySetup;
    FlowViewOps connecting;
    connecting.setup = [&](QWidget*, int) { seenBySetup = flow->getWiFiSettings(); };
    KivoWiFiFlow::setViewOps(CONNECTING_VIEW_ID, connecting);

    struct Case {
        QString password;
        QString stored;
    } cases[] = {
        { QString(), QStringLiteral("0") }, // no key: stored as "0"
        { QStringLiteral("ridebikes"), QStringLiteral("ridebikes") },
    };
    for (const Case& c : cases) {
        g_screens.joinRecord.password = c.password;
        flow->setWiFiSettings({});
        flow->switchView(MAIN_VIEW_ID, 0);
        flow->switchView(JOIN_VIEW_ID, 0);
        flow->switchView(CONNECTING_VIEW_ID, 0);
        WiFiSettings expected = g_screens.joinRecord;
        expected.password = c.stored;
        EXPECT_EQ(flow->getWiFiSettings(), expected) << c.password.toStdString();
        EXPECT_EQ(seenBySetup, expected);
        EXPECT_EQ(flow->joiningName(), QStringLiteral("HomeNet"));
        EXPECT_TRUE(flow->isScreenShown());
    }

    // Entered from anywhere else, the record in use stays.
    WiFiSettings inUse { QStringLiteral("WEP enabled"), QStringLiteral("Open"), QStringLiteral("Key index 2"),
        QStringLiteral("Saved"), QStringLiteral("User"), QStringLiteral("abcde") };
    flow->setWiFiSettings(inUse);
    flow->setJoiningName(QStringLiteral("Saved"));
    flow->switchView(SEARCHING_VIEW_ID, 0);
    flow->switchView(CONNECTING_VIEW_ID, 0);
    EXPECT_EQ(flow->getWiFiSettings(), inUse);
    EXPECT_EQ(flow->joiningName(), QStringLiteral("Saved"));
}

TEST_F(FlowTest, ExitFromListShowsAlertThenEndsWithCodeZero)
{
    makeFlow(true);
    flow->switchView(JOIN_VIEW_ID, 0);
    flow->onExitBtnClick(); // nothing on the add-network screen
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);

    flow->switchView(MAIN_VIEW_ID, 0);
    flow->onExitBtnClick();
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), ALERT_TYPE_EXIT);
    EXPECT_EQ(g_screens.calls.back(), "alert.apply 14");

    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\Net", "Identity", "rider");
    flow->setLoginPending(true);
    flow->setLoginResult(2);
    flow->onExitBtnClick();
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_FALSE(flow->isLoginPending());
    EXPECT_EQ(flow->loginResult(), 0);
    EXPECT_EQ(readAll(kivo::sim::wifiDkCoreCallLog()), "135 0\n");
    EXPECT_TRUE(g_exitCodes.empty());

    ASSERT_TRUE(kivo::test::pumpEventsUntil([] { return !g_exitCodes.empty(); }, 10000));
    EXPECT_EQ(g_exitCodes, std::vector<int> { 0 });
    EXPECT_EQ(g_screens.calls.back(), "alert.stop");
    // The flow and its screens stay.
    EXPECT_NE(flow->view(ALERT_VIEW_ID), nullptr);
}

// Without a test's exit handler the program ends at the exit timer, also when
// the timer fires inside a wait that pumps events (as a sync waiting for its
// answer does): leaving the event loop would only end it after that wait.
TEST_F(FlowTest, ExitTimerEndsTheProcessInsideABlockingWait)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            KivoWiFiFlow::setProcessExitHandler(nullptr);
            makeFlow();
            flow->switchView(MAIN_VIEW_ID, 0);
            flow->onExitBtnClick(); // the placeholder alert goes on to the exit at once
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 30000) {
                QCoreApplication::processEvents();
                QThread::msleep(5);
            }
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FlowTest, BackOnListWithoutSavedNetworksShowsExitAlert)
{
    makeFlow(true);
    flow->switchView(MAIN_VIEW_ID, 0);
    flow->setSavedNetworkCursor(3);
    flow->onBackBtnClick();
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(flow->alertType(), ALERT_TYPE_EXIT);

    flow->switchView(MAIN_VIEW_ID, 0);
    flow->setSavedNetworksPresent(true);
    flow->onBackBtnClick();
    EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
    EXPECT_EQ(flow->savedNetworkCursor(), 0);
}

TEST_F(FlowTest, AlertReleasesSyncScreenAndReleaseViewsEmptiesAll)
{
    makeFlow(true);
    flow->switchView(SYNC_VIEW_ID, 0);
    QPointer<QWidget> sync = flow->view(SYNC_VIEW_ID);
    flow->switchView(ALERT_VIEW_ID, 0);
    EXPECT_EQ(flow->view(SYNC_VIEW_ID), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sync.isNull());

    flow->switchView(MAIN_VIEW_ID, 0);
    QPointer<QWidget> list = flow->view(MAIN_VIEW_ID);
    flow->switchView(DISABLED_VIEW_ID, 0);
    flow->releaseViews();
    EXPECT_TRUE(flow->viewStack().isEmpty());
    for (int id = 0; id <= KEYBOARD_VIEW_ID; ++id)
        EXPECT_EQ(flow->view(id), nullptr) << id;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(list.isNull());

    // Nothing to go back to: the flow stays where it is.
    flow->onBackBtnClick();
    EXPECT_EQ(flow->currentViewId(), DISABLED_VIEW_ID);
    EXPECT_TRUE(flow->viewStack().isEmpty());
    // A released screen is made again on its next use.
    flow->switchView(MAIN_VIEW_ID, 0);
    EXPECT_NE(flow->view(MAIN_VIEW_ID), nullptr);
}

TEST_F(FlowTest, PollDrivesTheShownListAndLogsWhenEnabled)
{
    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "[General]\nEnableLog=true\n");
    makeFlow(true);
    EXPECT_TRUE(flow->isLogEnabled());
    // The switch reaches the wireless layer's log too.
    flow->configWiFi().AddToPreferredNetworkList(ce::WZC_WLAN_CONFIG {});
    EXPECT_NE(root.readFile("/SystemDrive/Falmo/program/wifi/Log/MyConfigWiFiLog.txt")
                  .find("[In MyConfigWiFi - AddToPreferredNetworkList()]"),
        std::string::npos);
    flow->switchView(MAIN_VIEW_ID, 0);
    flow->setStatusGraceCount(2);
    flow->refreshStatus();
    EXPECT_EQ(g_screens.calls.back(), "list.poll");
    EXPECT_EQ(flow->statusGraceCount(), 1);
    EXPECT_FALSE(flow->isWiFiConnected());

    std::string log = root.readFile("/SystemDrive/Falmo/program/wifi/Log/WifiConnectLog.txt");
    EXPECT_NE(log.find(" - [In WifiFlow - switchView()] InsertView : WLAN Settings\r\n"), std::string::npos);
    EXPECT_NE(log.find("[In WifiFlow - switchView()] View stack : 1\r\n"), std::string::npos);

    flow->ShowWiFiConnectingStatus(QStringLiteral("WZC_ASSOCIATING"));
    EXPECT_EQ(flow->statusLabel()->text(), QStringLiteral("WZC_ASSOCIATING"));
    QPixmap shot = flow->grab();
    EXPECT_EQ(shot.size(), QSize(240, 400));
    shot.save(QStringLiteral("kivowifi_status_label.png"));
}

} // namespace
