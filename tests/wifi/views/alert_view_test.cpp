// The alert screen on a real flow: each alert type's message and buttons in
// both start modes, what a click on its button does, and a look at each.
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "platform/paths.h"
#include "sim/wifidkcore/WifiDKCoreSim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiAlertView.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// What a click on the alert's button leads to.
enum Effect { None, Exit, NetworkList, Sync, Searching, Information };

struct AlertCase {
    int type;
    int mode;
    QString message;
    bool okShown;
    bool yesNoShown;
    Effect effect; // of OK, or of Yes for type 8
};

std::string readAll(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class AlertViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens();
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "[General]\nEnableLog=true\n");
        // A saved network keeps the searching screen shown once an alert
        // leads there (without one it passes on to the network list).
        root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettings.ini",
            "[Settings0]\nEncryption=WEP disabled\nAuthentication=Open\nNetwork=HomeNet\n");
        flow = views_test::showFlow();
    }

    void TearDown() override
    {
        views_test::endFlow(flow);
    }

    WiFiAlertView* showAlert(int type)
    {
        flow->setAlertType(type);
        flow->switchView(ALERT_VIEW_ID, 0);
        return qobject_cast<WiFiAlertView*>(flow->view(ALERT_VIEW_ID));
    }

    int exitCalls() const
    {
        const std::string log = readAll(kivo::sim::wifiDkCoreCallLog());
        int n = 0;
        for (std::string::size_type at = 0; (at = log.find("135 0", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

    std::string connectLog() const
    {
        return root.readFile("\\SystemDrive\\Falmo\\program\\wifi\\Log\\WifiConnectLog.txt");
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(AlertViewTest, EachTypeShowsItsMessageAndButtonsAndItsButtonActs)
{
    const QString noServer = "Unable to connect\n to server.\nPlease try again later.";
    const QString failedSync = "Failed to sync due to connection problems.\n Please try again later.";
    const QString counts = "3 recording(s)\n updated and 12\nsaved track(s) synced\n successfully.";
    std::vector<AlertCase> cases;
    for (int mode : { 0, 100 }) {
        const bool autoSync = mode == 100;
        auto orExit = [autoSync](Effect e) { return autoSync ? Exit : e; };
        cases.push_back({ 0, mode, "Select a network from WIFI Settings.", true, false, orExit(NetworkList) });
        cases.push_back({ 1, mode, "The network  is not in range.", true, false, orExit(NetworkList) });
        cases.push_back({ 2, mode, noServer, true, false, orExit(Searching) });
        cases.push_back({ 3, mode, "REGISTER", true, false, Exit });
        cases.push_back({ 4, mode, "No new recordings or\n saved tracks are available for sync.", true, false,
            orExit(Sync) });
        cases.push_back({ 5, mode, "Insufficient space,\n extra 5MB required.\n Please delete some files first.", true,
            false, Exit });
        cases.push_back({ 6, mode, counts, true, false, orExit(Sync) });
        cases.push_back({ 7, mode, failedSync, true, false, orExit(Searching) });
        cases.push_back({ 8, mode, "Are you sure you want to forget the network?", false, true, NetworkList });
        cases.push_back({ 9, mode, "UnKnow Error", true, false, Sync });
        cases.push_back({ 10, mode, noServer, true, false, orExit(Searching) });
        cases.push_back({ 11, mode,
            "Failed to detect your device. \nPlease check if device.xml is available on your device.", true, false,
            Exit });
        cases.push_back({ 12, mode, failedSync, true, false, orExit(Searching) });
        cases.push_back({ 13, mode,
            "Insufficient space on your device. \nPlease delete some files to get more space.", true, false, Exit });
    }
    for (const AlertCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " mode " << c.mode);
        TearDown();
        SetUp();
        flow->setStartMode(c.mode);
        flow->setSyncCounts(3, 12);
        WiFiSettings current = flow->getWiFiSettings();
        current.network.clear();
        flow->setWiFiSettings(current);
        WiFiAlertView* alert = showAlert(c.type);
        ASSERT_TRUE(alert);
        auto* message = alert->findChild<QLabel*>("AlertInfo");
        auto* ok = alert->findChild<phxPushButton*>("BlackView");
        auto* yes = alert->findChild<phxPushButton*>("Yes");
        auto* no = alert->findChild<phxPushButton*>("Nox");
        if (c.type == 3)
            EXPECT_EQ(message->text(), flow->registerDeviceText());
        else
            EXPECT_EQ(message->text(), c.message);
        EXPECT_EQ(ok->isVisibleTo(alert), c.okShown);
        EXPECT_EQ(yes->isVisibleTo(alert), c.yesNoShown);
        EXPECT_EQ(no->isVisibleTo(alert), c.yesNoShown);
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_EQ(yes->text(), "      Yes");
        EXPECT_EQ(no->text(), "     No");

        // A look: white text inside the message's box, buttons in place.
        const QImage image = views_test::shot(*alert, QStringLiteral("alert_type%1_mode%2").arg(c.type).arg(c.mode));
        const QRect white = views_test::boundsOf(image, image.rect(), views_test::isWhite);
        EXPECT_TRUE(white.isValid());
        EXPECT_TRUE(QRect(20, 105, 200, 131).contains(white)) << white.x() << "," << white.y() << " " << white.width()
                                                               << "x" << white.height();
        if (c.okShown) {
            EXPECT_EQ(ok->geometry(), QRect(26, 259, 186, 45));
        }
        if (c.yesNoShown) {
            EXPECT_EQ(yes->geometry(), QRect(26, 224, 88, 72));
            EXPECT_EQ(no->geometry(), QRect(124, 224, 88, 72));
        }

        const int exitsBefore = exitCalls();
        QTest::mouseClick(c.okShown ? ok : yes, Qt::LeftButton);
        switch (c.effect) {
        case Exit:
            EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
            EXPECT_EQ(exitCalls(), exitsBefore + 1);
            break;
        case NetworkList:
            EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
            break;
        case Sync:
            EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
            break;
        case Searching:
            EXPECT_EQ(flow->currentViewId(), SEARCHING_VIEW_ID);
            EXPECT_EQ(flow->viewStack(), QVector<int> { SEARCHING_VIEW_ID }); // the views were released
            break;
        default:
            break;
        }
        if (c.effect != Exit) {
            EXPECT_EQ(exitCalls(), exitsBefore);
        }
    }
}

TEST_F(AlertViewTest, NoOpensTheInformationScreenAndOtherTypesChangeNothing)
{
    WiFiAlertView* alert = showAlert(8);
    QTest::mouseClick(alert->findChild<phxPushButton*>("Nox"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), INFO_VIEW_ID);

    alert = showAlert(5);
    const QString shown = alert->findChild<QLabel*>("AlertInfo")->text();
    for (int type : { 15, -1 }) {
        alert = showAlert(type);
        EXPECT_EQ(alert->findChild<QLabel*>("AlertInfo")->text(), shown);
        EXPECT_TRUE(alert->findChild<phxPushButton*>("BlackView")->isVisibleTo(alert));
    }
}

TEST_F(AlertViewTest, ShownAgainTheOkButtonHasOneAction)
{
    flow->setSyncCounts(0, 0);
    showAlert(4);
    WiFiAlertView* alert = showAlert(6);
    EXPECT_EQ(alert->findChild<QLabel*>("AlertInfo")->text(),
        "0 recording(s)\n updated and 0\nsaved track(s) synced\n successfully.");
    QTest::mouseClick(alert->findChild<phxPushButton*>("BlackView"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    EXPECT_EQ(flow->viewStack().count(SYNC_VIEW_ID), 1);
    const std::string log = connectLog();
    EXPECT_NE(log.find("[In WifiAlertView - changeAlertType()] NO_NEWITEMS_SYNC"), std::string::npos);
    const auto first = log.find("onSyncBtnClick and final syc time is");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("onSyncBtnClick and final syc time is", first + 1), std::string::npos);
}

TEST_F(AlertViewTest, PleaseWaitAnimatesFramesTwoToNineAndExitsAtOnce)
{
    const int exitsBefore = exitCalls();
    WiFiAlertView* alert = showAlert(ALERT_TYPE_EXIT);
    EXPECT_EQ(exitCalls(), exitsBefore + 1);
    EXPECT_EQ(alert->findChild<QLabel*>("AlertInfo")->text(), "Please wait...");
    auto* icon = alert->findChild<phxIcon*>("LoadingIcon");
    EXPECT_TRUE(icon->isVisibleTo(alert));
    for (const char* b : { "BlackView", "Yes", "Nox" })
        EXPECT_FALSE(alert->findChild<phxPushButton*>(b)->isVisibleTo(alert)) << b;
    const QImage image = views_test::shot(*alert, "alert_please_wait");
    const QRect white = views_test::boundsOf(image, image.rect(), views_test::isWhite);
    EXPECT_TRUE(QRect(20, 105, 200, 131).united(icon->geometry()).contains(white));
    EXPECT_NE(connectLog().find("[In WifiAlertView - changeAlertType()] Ready to exit WLAN Sync."), std::string::npos);

    std::vector<int> frames;
    for (int tick = 0; tick < 10; ++tick) {
        alert->loadpic();
        frames.push_back(views_test::loadingFrameOf(icon->image().toImage()));
    }
    EXPECT_EQ(frames, (std::vector<int> { 2, 3, 4, 5, 6, 7, 8, 9, 2, 3 }));
}

} // namespace

int main(int argc, char** argv)
{
    views_test::ensureApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
