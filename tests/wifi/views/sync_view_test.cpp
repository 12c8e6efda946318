// The sync screen on a real flow against the local sync service: the alert
// each outcome of the check and the run leads to, the progress text, the
// synced-at message and the re-sync, the screen released while it waits for
// an answer, and a look at each state.
#include "controls/core/LibraryInternal.h"
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "platform/paths.h"
#include "platform/wm.h"
#include "tests/wifi/core/flow_test_support.h"
#include "tests/wifi/sync/sync_service_fixture.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WifiApplication.h"
#include "wifi/core/flow_filter.h"
#include "wifi/views/WiFiSyncView.h"
#include "wifi/views/register_views.h"

#include <QCryptographicHash>
#include <QDate>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

using kivo::sim::HttpRequest;
using kivo::sim::HttpResponse;
using kivo::test::kUuid;

const std::string kTracks = "/DataDrive/Falmo/Tracks";
// The message label's box on the screen.
const QRect kMessageBox(0, 40, 241, 121);

std::string recordingGpx(const std::string& name)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\"><trk><type>Cycling</type><extensions>"
           "<profile>Profile1</profile><time>2013-05-04T17:03:21Z</time><length>12.5</length>"
           "<minlat>47.1</minlat><minlon>8.2</minlon><avgspeed>20.1</avgspeed></extensions>\n<trkseg>\n"
           "<trkpt lat=\"47.1\" lon=\"8.2\"><name>"
        + name + "</name></trkpt>\n</trkseg></trk></gpx>\n";
}

std::string hashOf(const std::string& content)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(content.substr(0, 1499)), QCryptographicHash::Sha512)
        .toHex()
        .toStdString();
}

bool isGreen(QRgb c)
{
    return qGreen(c) > 120 && qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 40;
}

template <typename Pred> bool pumpUntil(Pred pred)
{
    return kivo::test::pumpEventsUntil(pred, 10000);
}

int g_exits = 0;

class SyncViewTest : public kivo::test::SyncServiceFixture {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "sync_view_test";
        static char* argv[] = { name, nullptr };
        // The application's filter turns hardware keys into the exit.
        if (!qApp)
            new WifiApplication(argc, argv);
        views_test::registerSkins();
        CMyConfigWiFi::setDelayScaleForTests(0.001);
        ZyrelleControls::Internal::SetTimeScale(0.02);
        KivoWiFiFlow::setProcessExitHandler([](int) { ++g_exits; });
        kivowifi::registerViews();
    }

    void SetUp() override
    {
        SyncServiceFixture::SetUp();
        writeDebugSetting("EnableLog=true\nenablelog=true\n");
        newFlow();
    }

    void TearDown() override
    {
        flow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        WiFiSyncView::setRunForTests(nullptr);
        WiFiSyncView::setCheckForTests(nullptr);
        ce::setFreeSpaceOverride("DataDrive", std::nullopt);
        SyncServiceFixture::TearDown();
    }

    void newFlow(int mode = 0)
    {
        flow.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        flow = std::make_unique<KivoWiFiFlow>();
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
        flow->setStartMode(mode);
        WiFiSettings inUse = flow->getWiFiSettings();
        inUse.network = QStringLiteral("HomeNet");
        flow->setWiFiSettings(inUse);
        flow->show();
    }

    WiFiSyncView* openSync()
    {
        flow->switchView(SYNC_VIEW_ID, 0);
        return qobject_cast<WiFiSyncView*>(flow->view(SYNC_VIEW_ID));
    }

    // Opens the sync screen and waits for the alert it ends on; the alert
    // type, or -1 when none came.
    int syncToAlert()
    {
        QPointer<WiFiSyncView> sync = openSync();
        if (!sync)
            return -1;
        if (!pumpUntil([&] { return flow->currentViewId() == ALERT_VIEW_ID; }))
            return -1;
        return flow->alertType();
    }

    QString message(QWidget* screen) const { return screen->findChild<QLabel*>("SearchInfo")->text(); }
    QString alertMessage() const { return flow->view(ALERT_VIEW_ID)->findChild<QLabel*>("AlertInfo")->text(); }
    std::string connectLog() const { return read("/SystemDrive/Falmo/program/wifi/Log/WifiConnectLog.txt"); }

    std::string recording(const std::string& name)
    {
        const std::string base = kTracks + "/Profile1/" + name;
        m_root.writeFile(base + ".bin", "bin");
        m_root.writeFile(base + ".fit", "fit");
        const std::string content = recordingGpx(name);
        m_root.writeFile(base + ".gpx", content);
        return content;
    }

    std::unique_ptr<KivoWiFiFlow> flow;
};

// Time text then date, as the screen and the engine write a sync time.
bool isSyncTime(const QString& text)
{
    const QStringList parts = text.split(' ');
    return parts.size() == 2 && QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(parts[0]).hasMatch()
        && parts[1] == QDate::currentDate().toString("yyyy-MM-dd");
}

TEST_F(SyncViewTest, EachOutcomeOfTheCheckAndTheRunEndsOnItsAlert)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        int alert;
    };
    auto failingDownload = [this](std::optional<uint64_t> spaceAfterFailure) {
        m_server.addRoute("GET", "/broken/", [spaceAfterFailure](const HttpRequest&) {
            if (spaceAfterFailure)
                ce::setFreeSpaceOverride("DataDrive", *spaceAfterFailure);
            return HttpResponse::text(500, "oops");
        });
        m_service->setActions(kUuid, { { "download", "Bad", m_server.baseUrl() + "/broken/bad.gpx?x=1", "" } });
    };
    const Case cases[] = {
        { "server unreachable", [this] { m_server.stop(); }, 10 },
        { "device not registered", [this] { m_service->scriptReturn("getSessionID", "error: unknown device"); }, 3 },
        { "nothing to sync", [] {}, 4 },
        { "low space",
            [this] {
                m_service->setActions(kUuid, { { "download", "Alps", m_service->addDownload("<gpx/>"), "" } });
                ce::setFreeSpaceOverride("DataDrive", 3071 * 1024);
            },
            5 },
        { "device.xml missing", [this] { std::filesystem::remove(ce::resolvePath(kivo::test::kDeviceXml)); }, 11 },
        { "download without space", [&] { failingDownload(499 * 1024); }, 13 },
        { "download failed", [&] { failingDownload(std::nullopt); }, 12 },
        { "success",
            [this] {
                const std::string ride = recording("Ride");
                m_service->setActions(kUuid,
                    { { "download", "Alps", m_service->addDownload("<gpx>alps</gpx>"), "" },
                        { "download", "Dolomites", m_service->addDownload("<gpx>dolo</gpx>"), "" },
                        { "upload", "", "", hashOf(ride) } });
            },
            6 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.arrange();
        newFlow(); // reads device.xml as it now is
        EXPECT_EQ(syncToAlert(), c.alert);
        EXPECT_EQ(flow->view(SYNC_VIEW_ID), nullptr); // every alert lets the sync screen go
        switch (c.alert) {
        case 4:
            EXPECT_TRUE(isSyncTime(flow->lastSyncTime())) << flow->lastSyncTime().toStdString();
            break;
        case 6:
            EXPECT_EQ(alertMessage(), "1 recording(s)\n updated and 2\nsaved track(s) synced\n successfully.");
            EXPECT_TRUE(isSyncTime(flow->lastSyncTime())) << flow->lastSyncTime().toStdString();
            // One check and exactly one run: one session, one track list.
            EXPECT_EQ(m_service->events(),
                (std::vector<std::string> { std::string("session ") + kUuid, std::string("setting ") + kUuid,
                    std::string("tracklist ") + kUuid, "download track1.gpx", "download track2.gpx",
                    "upload " + hashOf(recordingGpx("Ride")) }));
            break;
        default:
            EXPECT_TRUE(flow->lastSyncTime().isEmpty());
            break;
        }
    }
}

// Runs that end in a way the service cannot produce: driven through the
// engine's own signals.
TEST_F(SyncViewTest, ASuccessWithoutTransfersAndARunWithoutOutcomeStillEndOnAnAlert)
{
    struct Case {
        const char* name;
        std::function<void(WiFiSync&)> run;
        int mode;
        int alert;
    };
    const Case cases[] = {
        { "0/0 success",
            [](WiFiSync& e) {
                emit e.wifiSyncStatusSignal(0, "0,0", "");
                emit e.wifiSyncAllGpxSyncFinishedSignal(0, 0, "10:11:12 2026-12-10");
            },
            0, 6 },
        { "no signal", [](WiFiSync&) {}, 0, 12 },
        { "no signal, auto-sync", [](WiFiSync&) {}, 100, 12 },
        { "progress only", [](WiFiSync& e) { emit e.wifiSyncFinishSignal(1, 1, 0, 2, ""); }, 0, 12 },
        { "status 4 with another text", [](WiFiSync& e) { emit e.wifiSyncStatusSignal(4, "", "E123999"); }, 0, 12 },
        { "exception", [](WiFiSync&) { throw std::runtime_error("broken"); }, 0, 12 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        newFlow(c.mode);
        int runs = 0;
        WiFiSyncView::setRunForTests([&](WiFiSync& engine, const QString&) {
            ++runs;
            c.run(engine);
        });
        EXPECT_EQ(syncToAlert(), c.alert);
        EXPECT_EQ(runs, 1);
        if (c.alert == 6) {
            EXPECT_EQ(alertMessage(), "0 recording(s)\n updated and 0\nsaved track(s) synced\n successfully.");
            EXPECT_EQ(flow->lastSyncTime(), "10:11:12 2026-12-10");
        }
    }
}

// Codes the check may give that the local service never gives at check time:
// each still ends on its alert, without a run.
TEST_F(SyncViewTest, CheckCodesTheServiceDoesNotGiveEndOnTheirAlertsWithoutARun)
{
    const struct {
        const char* code;
        int alert;
        const char* logLine;
    } cases[] = {
        { "E123003", 4, "[In WifiSyncView - timerEvent()] E123003" },
        { "E123004", 5,
            "[In WifiSyncView - timerEvent()] Lack of 5 MB space in device.Please delete some files in device." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        TearDown();
        SetUp();
        int checks = 0;
        int runs = 0;
        WiFiSyncView::setCheckForTests([&](QString&) {
            ++checks;
            return QString::fromLatin1(c.code);
        });
        WiFiSyncView::setRunForTests([&](WiFiSync&, const QString&) { ++runs; });
        EXPECT_EQ(syncToAlert(), c.alert);
        EXPECT_EQ(checks, 1);
        EXPECT_EQ(runs, 0);
        EXPECT_EQ(flow->view(SYNC_VIEW_ID), nullptr);
        EXPECT_NE(connectLog().find(c.logLine), std::string::npos) << connectLog();
        if (c.alert == 4) {
            EXPECT_TRUE(isSyncTime(flow->lastSyncTime())) << flow->lastSyncTime().toStdString();
        } else {
            EXPECT_TRUE(flow->lastSyncTime().isEmpty());
        }
    }
}

TEST_F(SyncViewTest, ProgressShowsOnlyWithATotalAndNoError)
{
    WiFiSyncView::setRunForTests([](WiFiSync&, const QString&) {});
    WiFiSyncView* sync = openSync();
    ASSERT_TRUE(sync);
    auto* settings = sync->findChild<QPushButton*>("RefBtn");
    const QString connecting = message(sync);
    EXPECT_EQ(connecting, "Connecting With \nHomeNet");
    EXPECT_EQ(WiFiSyncViewTestAccess::stepMs(*sync), 1000); // the check runs a second after the screen opens

    sync->onWiFiSyncFinishSlot(3, 12, 4, 15, "E123006");
    sync->onWiFiSyncFinishSlot(3, 12, 0, 0, "");
    EXPECT_EQ(message(sync), connecting);
    EXPECT_TRUE(settings->isEnabled());

    sync->onWiFiSyncFinishSlot(3, 12, 4, 15, "");
    EXPECT_EQ(message(sync), "Updating 3 recording(s),\nsyncing 12 saved\n tracks ... 4/15");
    EXPECT_FALSE(settings->isEnabled());
    const QImage image = views_test::shot(*sync, "sync_progress");
    const QRect text = views_test::boundsOf(image, QRect(0, 28, 240, 140), views_test::isDark);
    EXPECT_TRUE(text.isValid());
    EXPECT_TRUE(kMessageBox.contains(text));
    EXPECT_GT(text.height(), 40); // three lines
    EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
}

TEST_F(SyncViewTest, NetworkNamesFromSixteenCharactersAreShortened)
{
    const struct {
        QString network;
        QString shown;
    } cases[] = {
        { "HomeNet", "HomeNet" },
        { "ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO" },
        { "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKL..." },
    };
    WiFiSyncView::setRunForTests([](WiFiSync&, const QString&) {});
    for (const auto& c : cases) {
        WiFiSettings inUse = flow->getWiFiSettings();
        inUse.network = c.network;
        flow->setWiFiSettings(inUse);
        flow->releaseViews();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        WiFiSyncView* sync = openSync();
        EXPECT_EQ(message(sync), "Connecting With \n" + c.shown);
    }
}

TEST_F(SyncViewTest, NothingToSyncShowsTheSyncTimeAndSyncsAgainAMinuteLater)
{
    ASSERT_EQ(syncToAlert(), 4);
    const QString syncTime = flow->lastSyncTime();

    // The alert's OK opens a new sync screen that shows the time, no check.
    auto* ok = flow->view(ALERT_VIEW_ID)->findChild<phxPushButton*>("BlackView");
    QTest::mouseClick(ok, Qt::LeftButton);
    ASSERT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    QPointer<WiFiSyncView> sync = qobject_cast<WiFiSyncView*>(flow->view(SYNC_VIEW_ID));
    ASSERT_TRUE(sync);
    EXPECT_EQ(message(sync), flow->lastSyncedText().arg(syncTime));
    EXPECT_FALSE(WiFiSyncViewTestAccess::stepTimerActive(*sync));
    EXPECT_TRUE(WiFiSyncViewTestAccess::resyncTimerActive(*sync));
    EXPECT_EQ(WiFiSyncViewTestAccess::resyncInterval(*sync), ZyrelleControls::Internal::ScaledDuration(60000));
    EXPECT_FALSE(sync->findChild<phxIcon*>("Shade_2")->isVisible());
    const QImage image = views_test::shot(*sync, "sync_synced_at");
    const QRect text = views_test::boundsOf(image, QRect(0, 28, 240, 140), views_test::isDark);
    EXPECT_TRUE(kMessageBox.contains(text));
    EXPECT_GT(text.height(), 20); // two lines at least

    const size_t callsBefore = m_service->calls().size();
    // A minute later (on the tests' time scale) the searching screen takes
    // over (its own setup may move on at once).
    ASSERT_TRUE(pumpUntil([&] { return sync.isNull(); }));
    const std::string log = connectLog();
    const auto resync = log.find("[In WifiSyncView - GotoReSync()] every 3 min go to searching view");
    ASSERT_NE(resync, std::string::npos);
    EXPECT_NE(log.find(std::string("InsertView : ") + viewLogName(SEARCHING_VIEW_ID), resync), std::string::npos);
    EXPECT_EQ(m_service->calls().size(), callsBefore);
}

// Exit, "WIFI Settings", the fourth hardware key or a release of the screens
// while the check or the run waits for an answer the service holds: the
// screen waits for the call to return, then goes without a further switch.
TEST_F(SyncViewTest, ReleasedWhileWaitingForAnAnswerTheScreenDoesNothingMore)
{
    enum Action { Exit, Settings, HardwareKey, Release };
    const struct {
        Action action;
        int endView;
    } actions[] = {
        { Exit, ALERT_VIEW_ID },
        { Settings, MAIN_VIEW_ID },
        { HardwareKey, ALERT_VIEW_ID },
        { Release, SYNC_VIEW_ID },
    };
    for (const char* held : { "getSessionID", "getTrackList" }) {
        for (const auto& a : actions) {
            SCOPED_TRACE(testing::Message() << held << " action " << a.action);
            TearDown();
            SetUp();
            recording("Ride");
            HttpResponse stall;
            stall.stall = true;
            m_service->scriptHttp(held, stall);
            QPointer<WiFiSyncView> sync = openSync();
            ASSERT_TRUE(sync);

            bool acted = false;
            QTimer watcher;
            QObject::connect(&watcher, &QTimer::timeout, [&] {
                if (acted)
                    return;
                for (const auto& call : m_service->calls())
                    if (call.operation == held)
                        acted = true;
                if (!acted)
                    return;
                switch (a.action) {
                case Exit:
                    QTest::mouseClick(sync->findChild<phxPushButton*>("btnBack"), Qt::LeftButton);
                    break;
                case Settings:
                    QTest::mouseClick(sync->findChild<QPushButton*>("RefBtn"), Qt::LeftButton);
                    break;
                case HardwareKey:
                    for (int i = 0; i < kivowifi::HARDWARE_KEY_PRESSES_PER_ACTION; ++i)
                        ce::postMessage(flow->flowWindow(), kivowifi::WM_HARDWARE_KEY, 0, 0);
                    break;
                case Release:
                    flow->releaseViews();
                    break;
                }
            });
            watcher.start(2);
            const int alertBefore = flow->alertType();
            // The call returns once the held answer times out; the screen
            // is deleted only then.
            ASSERT_TRUE(pumpUntil([&] { return sync.isNull(); }));
            EXPECT_TRUE(acted);
            EXPECT_EQ(flow->currentViewId(), a.endView);
            EXPECT_EQ(flow->alertType(), a.endView == ALERT_VIEW_ID ? ALERT_TYPE_EXIT : alertBefore);
            EXPECT_EQ(connectLog().find("go alert"), std::string::npos);
        }
    }
}

TEST_F(SyncViewTest, EachStateLooksRight)
{
    WiFiSyncView::setRunForTests([](WiFiSync&, const QString&) {});
    for (int mode : { 0, 100 }) {
        for (const char* status : { "1", "0" }) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " portal " << status);
            m_root.writeFile("/SystemDrive/Falmo/program/wifi/CheckBrowserStatus.ini",
                std::string("[General]\nLaunchBrowser=") + status + "\n");
            newFlow(mode);
            WiFiSyncView* sync = openSync();
            ASSERT_TRUE(sync);
            const bool autoSync = mode == 100;
            auto* settings = sync->findChild<QPushButton*>("RefBtn");
            auto* autoSyncBtn = sync->findChild<phxPushButton*>("AutoSyncBtn");
            auto* tick = sync->findChild<phxIcon*>("icon");
            EXPECT_EQ(settings->text(), "WIFI Settings");
            EXPECT_EQ(autoSyncBtn->text(), "Sync at Start-up            ");
            EXPECT_EQ(sync->findChild<QLabel*>("lblTitleText")->text(), "WIFI Sync");
            EXPECT_EQ(settings->isVisible(), !autoSync);
            EXPECT_EQ(autoSyncBtn->isVisible(), !autoSync);
            const bool tickShown = !autoSync && std::string(status) == "1";
            EXPECT_EQ(tick->isVisible(), tickShown);

            const QImage image = views_test::shot(
                *sync, QStringLiteral("sync_connecting_mode%1_portal%2").arg(mode).arg(QLatin1String(status)));
            const QRect text = views_test::boundsOf(image, QRect(0, 28, 240, 140), views_test::isDark);
            EXPECT_TRUE(text.isValid());
            EXPECT_TRUE(kMessageBox.contains(text));
            const QRect tickBox(188, 260, 30, 30);
            EXPECT_EQ(views_test::boundsOf(image, tickBox, isGreen).isValid(), tickShown);
            // The buttons' frames where they are shown, the page where not.
            const QRect settingsBox = settings->geometry();
            EXPECT_EQ(image.pixel(settingsBox.center()) != image.pixel(settingsBox.left() + 2, settingsBox.top() - 2),
                !autoSync);

            // Detecting the device: its text, while the check waits.
            if (!autoSync && std::string(status) == "1") {
                HttpResponse stall;
                stall.stall = true;
                m_service->scriptHttp("getSessionID", stall);
                QImage detecting;
                QTimer watcher;
                QObject::connect(&watcher, &QTimer::timeout, [&] {
                    if (detecting.isNull() && !m_service->calls().empty())
                        detecting = views_test::shot(*sync, "sync_detecting");
                });
                watcher.start(2);
                ASSERT_TRUE(pumpUntil([&] { return flow->currentViewId() == ALERT_VIEW_ID; }));
                ASSERT_FALSE(detecting.isNull());
                EXPECT_TRUE(
                    kMessageBox.contains(views_test::boundsOf(detecting, QRect(0, 28, 240, 140), views_test::isDark)));
            }
        }
    }
}

TEST_F(SyncViewTest, SyncAtStartUpWritesTheSwitchByThePortalStatus)
{
    WiFiSyncView::setRunForTests([](WiFiSync&, const QString&) {});
    const struct {
        const char* status;
        const char* written;
        bool tick;
        bool enabledAfter;
    } cases[] = {
        { "0", "WifiSyncOnOff=1", true, true },
        { "1", "WifiSyncOnOff=0", false, true },
        { "999", "WifiSyncOnOff=0", false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        m_root.writeFile("/SystemDrive/Falmo/program/wifi/CheckBrowserStatus.ini",
            std::string("[General]\nLaunchBrowser=") + c.status + "\n");
        newFlow();
        WiFiSyncView* sync = openSync();
        auto* button = sync->findChild<phxPushButton*>("AutoSyncBtn");
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(read("/SystemDrive/Falmo/program/wifi/AutoSync.ini"), c.written);
        EXPECT_EQ(sync->findChild<phxIcon*>("icon")->isVisible(), c.tick);
        EXPECT_EQ(button->isEnabled(), c.enabledAfter);
    }
}

} // namespace
