// Adding a network through the screens as a user would: a tap on the network
// list, the key typed on the keyboard screen's keys, Join, the connecting
// screen's polls and the probe's verdict, and the sync against the local
// service that follows.
#include "controls/core/LibraryInternal.h"
#include "platform/paths.h"
#include "sim/httptest/httptest_sim.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/sim/httptest/local_http_server.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/sync/sync_service_fixture.h"
#include "tests/wifi/views/join_user.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/views/WiFiConnectView.h"
#include "wifi/views/WiFiSyncView.h"
#include "wifi/views/portal_steps.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QSettings>
#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

namespace {

namespace wzc = kivo::sim::wzc;
using Connect = WiFiConnectViewTestAccess;
using kivo::test::LocalHttpServer;
using kivo::test::pumpUntil;
using namespace join_user;

const QString kWepKey = QStringLiteral("cyclingclub13"); // 13 characters
const QString kHexKey = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

const std::string kWorld = R"({ "adapter": { "name": "WLAN1" },
  "scanDelayMs": 10, "associationDelayMs": 20, "addressDelayMs": 20, "networks": [
    { "ssid": "CafeGuest", "privacy": "none", "authentication": "Open", "rssi": -67, "address": "10.20.0.31",
      "dhcpServer": "10.20.0.1" },
    { "ssid": "Clubhouse", "privacy": "WEP", "authentication": "Open", "rssi": -72, "key": "cyclingclub13",
      "address": "192.168.7.5", "dhcpServer": "192.168.7.1" },
    { "ssid": "Workshop", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -55,
      "key": "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", "address": "10.5.0.9",
      "dhcpServer": "10.5.0.1" },
    { "ssid": "Office", "privacy": "TKIP", "authentication": "WPAPSK", "rssi": -74, "key": "not-your-key",
      "address": "10.1.0.4", "dhcpServer": "10.1.0.1" } ] })";
constexpr int kVisibleCount = 4;

class JoinThroughScreens : public kivo::test::SyncServiceFixture {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens(0.01);
        WiFiChechZk::setRoundIntervalForTesting(30);
    }
    static void TearDownTestSuite() { WiFiChechZk::setRoundIntervalForTesting(0); }

    void SetUp() override
    {
        SyncServiceFixture::SetUp();
        // The screens' timers wait for the test's ticks, until the sync.
        ZyrelleControls::Internal::SetTimeScale(10000);
        writeDebugSetting("EnableLog=true\nenablelog=true\n");
        m_root.writeFile(wzc::kWorldFile, kWorld);
        wzc::reload();
        probe.setAnswer(LocalHttpServer::status(204, "No Content"));
        m_root.writeFile(kivo::sim::HTTPTEST_CONFIG,
            "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(probe.port()) + "\n");
        flow = views_test::showFlow();
        ASSERT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == kVisibleCount;
        }));
    }

    void TearDown() override
    {
        WiFiChechZk::stopActiveProbe();
        EXPECT_TRUE(pumpUntil([] { return kivowifi::livePortalProbes() == 0; }));
        views_test::endFlow(flow);
        SyncServiceFixture::TearDown();
    }

    // From the network list to the connecting screen: the listed network,
    // its key typed when it needs one, Join.
    WiFiConnectView* join(const QString& name, const QString& key, const char* label)
    {
        WiFiJoinNetworkView* view = chooseFromList(flow.get(), name);
        EXPECT_EQ(nameShown(view), name);
        EXPECT_EQ(labelShown(view), label);
        EXPECT_EQ(passwordVisible(view), QLatin1String(label) != QLatin1String("None"));
        if (!key.isEmpty()) {
            tap(child(view, "PasswordEdit"));
            typeOnKeyboard(flow.get(), key);
            EXPECT_EQ(passwordShown(view), key);
        }
        EXPECT_TRUE(joinEnabled(view));
        tap(child(view, "JoinBtn"));
        EXPECT_EQ(flow->currentViewId(), CONNECTING_VIEW_ID);
        return qobject_cast<WiFiConnectView*>(flow->view(CONNECTING_VIEW_ID));
    }

    // The connecting screen sees the connection, probes, and on the verdict
    // "internet" saves the network and opens the sync screen.
    void connectAndProbe(WiFiConnectView* v, const char* ssid)
    {
        ASSERT_TRUE(pumpUntil([&] { return flow->isConnectedTo(QLatin1String(ssid)); }));
        ASSERT_TRUE(Connect::tick(*v));
        ASSERT_TRUE(pumpUntil([&] { return verdict() == "LaunchBrowser=1"; }));
        ASSERT_TRUE(Connect::tick(*v));
        EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    }

    std::string verdict() const { return read("\\SystemDrive\\Falmo\\program\\wifi\\CheckBrowserStatus.ini"); }
    WiFiSettings savedFirst() const
    {
        QSettings ini(QString::fromStdString(ce::resolvePath("\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettings.ini")),
            QSettings::IniFormat);
        return kivowifi::readSlot(ini, 0);
    }

    LocalHttpServer probe;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(JoinThroughScreens, AListedOpenNetworkJoinsAndSyncs)
{
    m_service->setActions(
        kivo::test::kUuid, { { "download", "Alps", m_service->addDownload("<gpx>alps</gpx>"), "" } });
    WiFiConnectView* connecting = join(QStringLiteral("CafeGuest"), QString(), "None");
    ASSERT_TRUE(connecting);
    ASSERT_TRUE(pumpUntil([&] { return flow->isConnectedTo(QStringLiteral("CafeGuest")); }));
    ASSERT_TRUE(Connect::tick(*connecting));
    ASSERT_TRUE(pumpUntil([&] { return verdict() == "LaunchBrowser=1"; }));
    // From here the screens' own timers run, quickly.
    ZyrelleControls::Internal::SetTimeScale(0.02);
    ASSERT_TRUE(Connect::tick(*connecting));
    EXPECT_EQ(flow->currentViewId(), SYNC_VIEW_ID);
    EXPECT_EQ(savedFirst().network, "CafeGuest");

    ASSERT_TRUE(pumpUntil([&] { return flow->currentViewId() == ALERT_VIEW_ID; }, 20000));
    EXPECT_EQ(flow->alertType(), 6); // synced
    EXPECT_EQ(flow->uploadedCount(), 0);
    EXPECT_EQ(flow->downloadedCount(), 1);
}

// A WEP key of 13 characters and a WPA key of 64 hexadecimal digits, typed
// on the keys, join and are saved as typed; a WPA key of 7 characters is
// handed on as well, and the network refuses it.
TEST_F(JoinThroughScreens, TypedKeysJoinWhenTheNetworkTakesThem)
{
    const struct {
        const char* ssid;
        QString key;
        const char* label;
    } joins[] = {
        { "Clubhouse", kWepKey, "WEP" },
        { "Workshop", kHexKey, "WPA2-PSK(AES)" },
    };
    for (const auto& j : joins) {
        SCOPED_TRACE(j.ssid);
        WiFiConnectView* connecting = join(QLatin1String(j.ssid), j.key, j.label);
        ASSERT_TRUE(connecting);
        connectAndProbe(connecting, j.ssid);
        const WiFiSettings saved = savedFirst();
        EXPECT_EQ(saved.network, j.ssid);
        EXPECT_EQ(saved.password, j.key);
    }

    WiFiConnectView* connecting = join(QStringLiteral("Office"), QStringLiteral("notyour"), "WPA-PSK(TKIP)");
    ASSERT_TRUE(connecting);
    EXPECT_EQ(flow->getWiFiSettings().password, "notyour");
    // The join leaves Workshop and is refused; the screen gives up after its
    // polls.
    ASSERT_TRUE(pumpUntil([] { return !wzc::status().associated; }));
    auto* message = connecting->findChild<QLabel*>("lblConnectMsg");
    const QString failed = QStringLiteral("Unable to connect to\n the network\n \"Office\"");
    for (int poll = 0; poll < 6 && message->text() != failed; ++poll)
        ASSERT_TRUE(Connect::tick(*connecting));
    EXPECT_EQ(message->text(), failed);
    EXPECT_FALSE(flow->isConnectedTo(QStringLiteral("Office")));
    EXPECT_EQ(savedFirst().network, "Workshop");
}

// A build whose catalog translates the screen texts (context QObject):
// the texts reach the screens, and a security type chosen on the security
// screen, shown by its translated name, still joins with what it names.
class TranslatedScreens : public JoinThroughScreens {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_translator.load(QStringLiteral(KIVO_TEST_SCREENS_QM)));
        QCoreApplication::installTranslator(&m_translator);
        JoinThroughScreens::SetUp();
    }
    void TearDown() override
    {
        JoinThroughScreens::TearDown();
        QCoreApplication::removeTranslator(&m_translator);
    }
    QTranslator m_translator;
};

TEST_F(TranslatedScreens, TextsAreTranslatedAndTheChosenSecurityJoins)
{
    WiFiMainView* list = showList(flow.get());
    EXPECT_EQ(child<QLabel>(list, "lblTitleText")->text(), "«WIFI Settings»");

    WiFiJoinNetworkView* view = addNewNetwork(flow.get());
    EXPECT_EQ(nameShown(view), "   «Enter network name»");
    EXPECT_EQ(labelShown(view), "«None»");
    QTest::mousePress(child(view, "NameEdit"), Qt::LeftButton);
    typeOnKeyboard(flow.get(), QStringLiteral("Workshop"));
    tap(child(view, "SecurityBtn"));
    ASSERT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    auto* security = flow->view(SECURITY_VIEW_ID);
    auto* rows = child<phxVirtualList>(security, "virtuallist");
    const QModelIndex wpa2Aes = rows->model()->index(5, 0);
    rows->scrollTo(wpa2Aes);
    QApplication::processEvents();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualRect(wpa2Aes).center());
    EXPECT_EQ(flow->securityChoice(), "WPA2 PSK(AES)");
    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(labelShown(view), "«WPA2-PSK(AES)»");

    tap(child(view, "PasswordEdit"));
    typeOnKeyboard(flow.get(), kHexKey);
    ASSERT_TRUE(joinEnabled(view));
    tap(child(view, "JoinBtn"));
    ASSERT_EQ(flow->currentViewId(), CONNECTING_VIEW_ID);
    EXPECT_EQ(flow->getWiFiSettings(),
        (WiFiSettings { "Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Workshop", "User", kHexKey }));
    auto* connecting = qobject_cast<WiFiConnectView*>(flow->view(CONNECTING_VIEW_ID));
    ASSERT_TRUE(connecting);
    ASSERT_TRUE(pumpUntil([&] { return flow->isConnectedTo(QStringLiteral("Workshop")); }));

    // An alert of the same build.
    flow->setAlertType(4);
    flow->switchView(ALERT_VIEW_ID, 0);
    EXPECT_EQ(child<QLabel>(flow->view(ALERT_VIEW_ID), "AlertInfo")->text(), "«No new recordings»");
}

// Every text the screens show is looked up in context QObject, the one the
// build's catalogs translate: one looked up in a screen class's own context
// (or not looked up at all) stays English in a translated build. A catalog
// that knows every text records the lookups while the screens are visited.
class RecordingCatalog : public QTranslator {
public:
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        const QByteArray c(context), s(source);
        lookups.insert({ c, s });
        return c == "QObject" ? QStringLiteral("«") + QString::fromUtf8(s) + QStringLiteral("»") : QString();
    }
    mutable std::set<std::pair<QByteArray, QByteArray>> lookups;
};

class ScreenTextContexts : public JoinThroughScreens {
protected:
    void SetUp() override
    {
        QCoreApplication::installTranslator(&catalog);
        JoinThroughScreens::SetUp();
    }
    void TearDown() override
    {
        JoinThroughScreens::TearDown();
        QCoreApplication::removeTranslator(&catalog);
    }
    // Shows the screen and paints it (rows are filled as they are painted).
    QWidget* visit(int id, int mode)
    {
        flow->switchView(id, mode);
        QWidget* v = flow->view(id);
        if (v)
            v->grab();
        QApplication::processEvents();
        return v;
    }
    RecordingCatalog catalog;
};

TEST_F(ScreenTextContexts, EveryScreenTextIsLookedUpInContextQObject)
{
    // All but two: the exit alert's "Please wait..." ends the program, and
    // the sync's "Detecting your device..." waits for its internet check.
    const char* const texts[] = {
        // network list
        "WIFI Settings", "Add Network", "Refresh", "Searching...", "Select a Network",
        // add network
        "Network", "Security", "Password", "   Enter network name", "   Enter password", "Enter username",
        // security screen and its rows
        "Authentication", "None", "WEP", "WPA-PSK(TKIP)", "WPA-PSK(AES)", "WPA2-PSK(TKIP)", "WPA2-PSK(AES)",
        // option chooser
        "Encryption", "Key index", "WPAPSK(AES)", "WPA2 PSK(AES)",
        // keyboard
        "Must Input",
        // network information
        "Forget this Network", "Network Name", "IP Address:", "Subnet Mask:", "Gateway:",
        // connecting
        "Cancel", "OK", "Connecting", "Unable to connect to\n the network\n",
        // sync start and sync
        "WIFI Sync", "Sync at Start-up            ", "Searching networks...", "Connecting With \n%1",
        "Updating %1 recording(s),\nsyncing %2 saved\n tracks ... %3/%4",
        // alerts
        "      Yes", "     No", "Select a network from WIFI Settings.", "The network %1 is not in range.",
        "Unable to connect\n to server.\nPlease try again later.",
        "No new recordings or\n saved tracks are available for sync.",
        "Insufficient space,\n extra 5MB required.\n Please delete some files first.",
        "%1 recording(s)\n updated and %2\nsaved track(s) synced\n successfully.",
        "Failed to sync due to connection problems.\n Please try again later.",
        "Are you sure you want to forget the network?",
        "Failed to detect your device. Please check if device.xml is available on your device.",
        "Insufficient space on your device. Please delete some files to get more space.",
    };

    WiFiMainView* list = showList(flow.get());
    list->grab();
    WiFiJoinNetworkView* join = addNewNetwork(flow.get());
    join->grab();
    QTest::mousePress(child(join, "NameEdit"), Qt::LeftButton);
    typeOnKeyboard(flow.get(), QStringLiteral("Workshop"));
    tap(child(join, "SecurityBtn"));
    ASSERT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    auto* rows = child<phxVirtualList>(flow->view(SECURITY_VIEW_ID), "virtuallist");
    for (int row = 0; row < rows->model()->rowCount(); ++row) {
        rows->scrollTo(rows->model()->index(row, 0));
        flow->view(SECURITY_VIEW_ID)->grab();
    }
    QMetaObject::invokeMethod(join, "OnUserNameClicked");
    for (int mode : { 7, 8, 9 })
        visit(LIST_VIEW_ID, mode);
    visit(INFO_VIEW_ID, 0);
    // A join that fails: a network that is nowhere.
    flow->setWiFiSettings(WiFiSettings { "WEP disabled", "Open", "Key index 1", "Nowhere", "User", "" });
    auto* connecting = qobject_cast<WiFiConnectView*>(visit(CONNECTING_VIEW_ID, 0));
    ASSERT_TRUE(connecting);
    const std::pair<QByteArray, QByteArray> failed { "QObject", "Unable to connect to\n the network\n" };
    for (int poll = 0; poll < 20 && !catalog.lookups.count(failed) && Connect::tick(*connecting); ++poll) { }
    flow->setWiFiSettings(WiFiSettings { "Encryption 3 enabled", "WPA2 PSK", "Key index 1", "Workshop", "User", kHexKey });
    visit(SEARCHING_VIEW_ID, 0);
    auto* sync = qobject_cast<WiFiSyncView*>(visit(SYNC_VIEW_ID, 0));
    ASSERT_TRUE(sync);
    sync->onWiFiSyncFinishSlot(1, 2, 1, 3, QString());
    for (int type = 0; type <= 13; ++type) {
        flow->setAlertType(type);
        visit(ALERT_VIEW_ID, 0);
    }

    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(catalog.lookups.count({ "QObject", text })) << "never looked up in context QObject";
        for (const auto& [context, source] : catalog.lookups)
            // Forms set placeholders in their own context; the screens replace them.
            if (source == text && context != "QObject" && !context.endsWith("Class"))
                ADD_FAILURE() << "looked up in context " << context.constData();
    }
}

} // namespace
