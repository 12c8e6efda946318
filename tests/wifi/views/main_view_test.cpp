// The network list on a real flow and the simulated adapter: the lock and
// signal icons, the scroll buttons, the refresh, what a tap opens, the
// connected and connecting marks, and a look at it by day and by night.
#include "controls/core/LibraryInternal.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "platform/paths.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/views/WiFiMainView.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

namespace sim = kivo::sim::wzc;
using kivo::test::pumpUntil;

const char* const kDir = "\\SystemDrive\\Falmo\\program\\wifi\\";

// Sorted by name as the list shows them. One secured and one open network
// per signal level; the privacy values cover every secured and open state.
const char* const kWorld = R"({
  "adapter": { "name": "WLAN1", "description": "Sim adapter" },
  "scanDelayMs": 0, "associationDelayMs": 10, "addressDelayMs": 10,
  "networks": [
    { "ssid": "L1-69", "privacy": "WEP", "authentication": "Open", "rssi": -69 },
    { "ssid": "L2-70", "privacy": "TKIP", "authentication": "WPAPSK", "rssi": -70 },
    { "ssid": "L3-81", "privacy": "TKIPKeyAbsent", "authentication": "WPAPSK", "rssi": -81 },
    { "ssid": "L4-82", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -82 },
    { "ssid": "L5-87", "privacy": "AESKeyAbsent", "authentication": "WPA2PSK", "rssi": -87 },
    { "ssid": "L6-88", "privacy": "WEP", "authentication": "Shared", "rssi": -88 },
    { "ssid": "U1-69", "privacy": "none", "authentication": "Open", "rssi": -69, "address": "10.0.0.9",
      "mask": "255.255.255.0", "gateway": "10.0.0.1", "dhcpServer": "10.0.0.1" },
    { "ssid": "U2-70", "privacy": "WEPKeyAbsent", "authentication": "Open", "rssi": -70 },
    { "ssid": "U3-81", "privacy": "WEPNotSupported", "authentication": "Open", "rssi": -81 },
    { "ssid": "U4-82", "privacy": "none", "authentication": "Open", "rssi": -82 },
    { "ssid": "U5-87", "privacy": "WEPKeyAbsent", "authentication": "Open", "rssi": -87 },
    { "ssid": "U6-88", "privacy": "WEPNotSupported", "authentication": "Open", "rssi": -95 }
  ]
})";

std::string worldOf(int count)
{
    std::string networks;
    for (int i = 0; i < count; ++i)
        networks += std::string(i ? "," : "") + R"({ "ssid": "Net)" + std::to_string(i)
            + R"(", "privacy": "none", "authentication": "Open", "rssi": -50 })";
    return R"({ "adapter": { "name": "WLAN1" }, "scanDelayMs": 0, "networks": [)" + networks + "] }";
}

class TapSounds : public QObject {
    Q_OBJECT
public:
    int taps = 0;
public slots:
    void onPlayTapSound() { ++taps; }
    void onPlayWidgetSound(const QString&) { }
};

class MainViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens();
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        root.writeFile(std::string(kDir) + "DebugSetting.ini", "EnableLog=true\n");
    }

    void TearDown() override
    {
        WiFiChechZk::stopActiveProbe();
        views_test::endFlow(flow);
    }

    // A flow that sees the world's networks, on the network list (still
    // refreshing: the flow's poll has not run since).
    WiFiMainView* showList(const std::string& world, int expected)
    {
        root.writeFile(sim::kWorldFile, world);
        sim::reload();
        flow = views_test::showFlow();
        EXPECT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == expected;
        }));
        flow->switchView(MAIN_VIEW_ID, 0);
        return qobject_cast<WiFiMainView*>(flow->view(MAIN_VIEW_ID));
    }

    int rowOf(const QString& name)
    {
        for (int i = 0; i < flow->getAPCount(); ++i)
            if (flow->getAPName(i) == name)
                return i;
        return -1;
    }

    // Fills the list's row widget for one row, as painting does.
    WiFiVLItemMainStyle* fill(WiFiMainView* view, int row)
    {
        auto* item = qobject_cast<WiFiVLItemMainStyle*>(view->itemCtrl());
        QStyleOptionViewItem option;
        view->updateItemCtrl(view->listBinding()->model()->index(row, 0), item, option);
        return item;
    }

    static QImage pixmapOf(QWidget* item, const char* label)
    {
        return item->findChild<QLabel*>(label)->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
    }
    static QImage image(const QString& path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); }

    static void tapRow(WiFiMainView* view, int row)
    {
        auto* list = view->findChild<phxVirtualList*>(QStringLiteral("virtuallist"));
        list->scrollTo(list->model()->index(row, 0));
        QApplication::processEvents();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        ASSERT_TRUE(r.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    }

    // Joins an open network of the world and lets the flow's poll see it.
    void connectTo(const QString& name)
    {
        flow->connectWithKey(rowOf(name), QString());
        ASSERT_TRUE(pumpUntil([&] { return flow->isConnectStatus(); }));
        flow->refreshStatus();
        ASSERT_TRUE(flow->isWiFiConnected());
        ASSERT_EQ(flow->currentNetworkIndex(), rowOf(name));
    }

    std::string connectLog() const { return root.readFile(std::string(kDir) + "Log\\WifiConnectLog.txt"); }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(MainViewTest, LockAndSignalIconsFollowPrivacyAndRssi)
{
    WiFiMainView* view = showList(kWorld, 12);
    ASSERT_TRUE(view);
    flow->refreshStatus();
    const struct {
        const char* name;
        const char* icon;
    } cases[] = {
        { "L1-69", "i_list_wifilock" }, { "L2-70", "i_list_wifilock_1" }, { "L3-81", "i_list_wifilock_1" },
        { "L4-82", "i_list_wifilock_2" }, { "L5-87", "i_list_wifilock_2" }, { "L6-88", "i_list_wifilock_3" },
        { "U1-69", "i_list_wifiunlock" }, { "U2-70", "i_list_wifiunlock_1" }, { "U3-81", "i_list_wifiunlock_1" },
        { "U4-82", "i_list_wifiunlock_2" }, { "U5-87", "i_list_wifiunlock_2" }, { "U6-88", "i_list_wifiunlock_3" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QStringLiteral(":/Icon/%1.png").arg(QLatin1String(c.icon));
        EXPECT_EQ(WiFiMainView::lockIconPath(c.name[0] == 'L', flow->getAPSignalStrength(rowOf(c.name))), path);
        WiFiVLItemMainStyle* item = fill(view, rowOf(c.name));
        EXPECT_EQ(pixmapOf(item, "StrLB"), image(path));
        EXPECT_EQ(item->findChild<QLabel*>("SSIDLB")->text(), QLatin1String(c.name));
        EXPECT_FALSE(item->findChild<QLabel*>("conLB")->isVisibleTo(item)) << "not the current network";
    }
}

TEST_F(MainViewTest, ScrollButtonsNeedFourRows)
{
    for (int count : { 3, 4 }) {
        SCOPED_TRACE(count);
        WiFiMainView* view = showList(worldOf(count), count);
        flow->refreshStatus();
        fill(view, 0);
        EXPECT_EQ(view->findChild<QPushButton*>("UpBtn")->isEnabled(), count == 4);
        EXPECT_EQ(view->findChild<QPushButton*>("DownBtn")->isEnabled(), count == 4);
        flow.reset();
    }
}

TEST_F(MainViewTest, RefreshShowsSearchingUntilThePollAndIgnoresTaps)
{
    ZyrelleControls::Internal::SetTimeScale(0.02);
    WiFiMainView* view = showList(worldOf(4), 4);
    auto* status = view->findChild<QLabel*>("WiFiSituation");
    auto* loading = view->findChild<phxIcon*>("Loading");
    EXPECT_TRUE(view->isRefreshing());
    EXPECT_EQ(view->getRowCount(QModelIndex()), 1);
    QApplication::processEvents();
    view->grab(); // paints the one empty row
    EXPECT_EQ(status->text(), "Searching...");
    EXPECT_TRUE(view->isLoadingAnimated());
    EXPECT_TRUE(loading->isVisibleTo(view));
    // The little spinner runs through its eight frames and starts again.
    QVector<int> frames;
    ASSERT_TRUE(pumpUntil([&] {
        if (frames.isEmpty() || frames.last() != view->loadingFrame())
            frames << view->loadingFrame();
        return frames.size() >= 10;
    }));
    EXPECT_EQ(frames.mid(frames.indexOf(8), 2), QVector<int>({ 8, 1 }));
    EXPECT_EQ(loading->image().toImage().convertToFormat(QImage::Format_ARGB32), image(QStringLiteral(":/Loading_little/i_loading_%1.png").arg(
                                              frames.last() == 1 ? 8 : frames.last() - 1)));

    tapRow(view, 0);
    EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);

    flow->refreshStatus(); // the poll ends the refresh
    EXPECT_FALSE(view->isRefreshing());
    EXPECT_EQ(view->getRowCount(QModelIndex()), 4);
    view->grab();
    EXPECT_EQ(status->text(), "Select a Network");
    EXPECT_FALSE(view->isLoadingAnimated());
    EXPECT_FALSE(loading->isVisibleTo(view));

    // The refresh button rescans and shows the empty row again: nothing
    // of the network the shared row widget showed last.
    WiFiVLItemMainStyle* item = fill(view, 3);
    ASSERT_EQ(item->findChild<QLabel*>("SSIDLB")->text(), "Net3");
    QTest::mouseClick(view->findChild<QPushButton*>("RefBtn"), Qt::LeftButton);
    EXPECT_TRUE(view->isRefreshing());
    EXPECT_EQ(view->getRowCount(QModelIndex()), 1);
    EXPECT_TRUE(flow->isStatusTimerActive());
    fill(view, 0);
    EXPECT_EQ(item->findChild<QLabel*>("SSIDLB")->text(), "");
    EXPECT_FALSE(item->findChild<QLabel*>("StrLB")->isVisibleTo(item));
}

TEST_F(MainViewTest, TapsOpenTheInformationOfTheConnectedNetworkOrAddNetwork)
{
    WiFiMainView* view = showList(kWorld, 12);
    connectTo("U1-69");
    flow->refreshStatus();

    tapRow(view, rowOf("U1-69"));
    EXPECT_EQ(flow->currentViewId(), INFO_VIEW_ID);
    EXPECT_TRUE(flow->isStatusTimerActive());

    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
    flow->refreshStatus();
    tapRow(view, rowOf("L2-70"));
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(flow->joinText(), "L2-70");
    EXPECT_EQ(flow->inputType(), WiFiMainView::SELECT_LISTED);
    EXPECT_EQ(flow->rowIndex(), rowOf("L2-70"));
    EXPECT_FALSE(flow->isStatusTimerActive()) << "the poll waits for the add-network screen";
    EXPECT_NE(connectLog().find("[In WifiMainView - onAPListItemSelected()] go to KEYBOARD_VIEW_ID"), std::string::npos);
}

TEST_F(MainViewTest, ConnectedRowShowsCheckAndPendingLoginKeepsConnecting)
{
    ZyrelleControls::Internal::SetTimeScale(0.02);
    WiFiMainView* view = showList(kWorld, 12);
    connectTo("U1-69");
    const int row = rowOf("U1-69");

    WiFiVLItemMainStyle* item = fill(view, row);
    EXPECT_EQ(pixmapOf(item, "conLB"), image(QStringLiteral(":/Icon/Check_icon.png")));
    EXPECT_FALSE(view->isIconAnimated());

    // A captive-portal login pending: the row keeps the connecting icon
    // and the list keeps refilling it, until the login succeeds.
    flow->setLoginPending(true);
    item->setConnected(false);
    fill(view, row);
    EXPECT_TRUE(view->isIconAnimated());
    QVector<QImage> frames;
    ASSERT_TRUE(pumpUntil([&] {
        QImage shown = pixmapOf(item, "conLB");
        if (frames.isEmpty() || frames.last() != shown)
            frames << shown;
        return frames.size() >= 3;
    }));
    EXPECT_TRUE(frames.contains(image(QStringLiteral(":/Icon/i_connecting1.png"))));
    EXPECT_TRUE(frames.contains(image(QStringLiteral(":/Icon/i_connecting2.png"))));
    EXPECT_TRUE(view->isIconAnimated());

    // Showing the list again during the login stops the poll, no rescan.
    flow->restartStatusTimer();
    flow->switchView(MAIN_VIEW_ID, 0);
    EXPECT_FALSE(flow->isStatusTimerActive());
    EXPECT_NE(connectLog().find("[In WifiMainView - RefreshList()] m_Need_Pop_Browser = true"), std::string::npos);

    flow->setLoginResult(1);
    view->UpdateIcon();
    EXPECT_FALSE(view->isIconAnimated());
    fill(view, row);
    EXPECT_EQ(pixmapOf(item, "conLB"), image(QStringLiteral(":/Icon/Check_icon.png")));
}

TEST_F(MainViewTest, AddDisableAndTapSounds)
{
    TapSounds sounds;
    ZyrelleControls::SetSoundManager(&sounds);
    WiFiMainView* view = showList(worldOf(2), 2);
    auto* add = view->findChild<QPushButton*>("JoinBtn");
    EXPECT_EQ(add->text(), "Add Network");
    EXPECT_EQ(view->findChild<QPushButton*>("RefBtn")->text(), "Refresh");
    EXPECT_EQ(view->findChild<QLabel*>("lblTitleText")->text(), "WIFI Settings");

    flow->setSecurityChoice(QStringLiteral("WPA2 PSK(AES)"));
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(flow->inputType(), WiFiMainView::SELECT_NEW);
    EXPECT_EQ(flow->securityChoice(), "Open");
    EXPECT_EQ(sounds.taps, 1);

    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
    QTest::mouseClick(view->findChild<QPushButton*>("RefBtn"), Qt::LeftButton);
    EXPECT_EQ(sounds.taps, 2);
    // The small form's disable button has no size: it is only clicked.
    view->findChild<QPushButton*>("DisBtn")->click();
    EXPECT_EQ(sounds.taps, 3);
    EXPECT_EQ(flow->currentViewId(), DISABLED_VIEW_ID);
    EXPECT_TRUE(pumpUntil([] { return !sim::status().zeroConfigEnabled; }));
    // The back button is a picture button: no tap sound of its own.
    ZyrelleControls::SetSoundManager(nullptr);
}

// The large form lacks the status line, the spinner and the scroll state:
// the screen works without them.
TEST_F(MainViewTest, LargeFormWorksWithoutTheSmallFormsExtras)
{
    showList(worldOf(4), 4);
    WiFiMainView big(QStringLiteral("800x480"), flow.get());
    EXPECT_EQ(big.findChild<QPushButton*>("JoinBtn")->text(), "Join NetWork");
    fill(&big, 0);
    big.endRefresh();
    WiFiVLItemMainStyle* item = fill(&big, 1);
    EXPECT_EQ(item->findChild<QLabel*>("SSIDLB")->text(), "Net1");
    big.LoadingIcon();
    QTest::mouseClick(big.findChild<QPushButton*>("DisBtn"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), DISABLED_VIEW_ID);
}

// Scrolled to the end, the last network's row lies whole above the opaque
// footer, its name readable, and a tap on it reaches it.
TEST_F(MainViewTest, LastNetworkIsWholeAboveTheFooterAtFullScroll)
{
    for (int count : { 4, 5 }) {
        SCOPED_TRACE(count);
        WiFiMainView* view = showList(worldOf(count), count);
        view->endRefresh();
        auto* list = view->findChild<phxVirtualList*>(QStringLiteral("virtuallist"));
        list->scrollToBottom();
        QApplication::processEvents();
        const QModelIndex last = list->model()->index(count - 1, 0);
        const QRect inList = list->visualRect(last);
        ASSERT_TRUE(inList.isValid());
        const QRect row(list->viewport()->mapTo(view, inList.topLeft()), inList.size());
        const int footerTop = view->findChild<QWidget*>(QStringLiteral("wgEnd"))->y();
        EXPECT_LE(row.bottom(), footerTop - 1);
        EXPECT_TRUE(list->viewport()->rect().contains(inList));
        const QImage shot = views_test::shot(*view, QStringLiteral("main_full_scroll_%1").arg(count));
        const QRect name = views_test::boundsOf(shot, QRect(row.left() + 25, row.top(), 150, row.height()), views_test::isDark);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_LT(name.bottom(), footerTop);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, inList.center());
        EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
        EXPECT_EQ(view->selectedName(), QStringLiteral("Net%1").arg(count - 1));
    }
}

TEST_F(MainViewTest, LooksRightByDayAndNight)
{
    WiFiMainView* view = showList(R"({
      "adapter": { "name": "WLAN1" }, "scanDelayMs": 0, "associationDelayMs": 10, "addressDelayMs": 10,
      "networks": [
        { "ssid": "CafeGuest", "privacy": "none", "authentication": "Open", "rssi": -60, "address": "10.0.0.9" },
        { "ssid": "HomeNet", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -75 },
        { "ssid": "Old", "privacy": "WEP", "authentication": "Open", "rssi": -90 }
      ] })",
        3);
    connectTo("CafeGuest");
    for (const char* mode : { "Day", "Night" }) {
        SCOPED_TRACE(mode);
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        view->setStyleSheets(QLatin1String(mode));
        view->endRefresh();
        QApplication::processEvents();
        const QImage shot = views_test::shot(*view, QStringLiteral("main_%1").arg(mode));
        auto inside = [&](QWidget* w, bool (*test)(QRgb)) {
            const QRect r(w->mapTo(view, QPoint()), w->size());
            const QRect text = views_test::boundsOf(shot, r, test);
            EXPECT_FALSE(text.isEmpty()) << w->objectName().toStdString();
            EXPECT_TRUE(r.contains(text)) << w->objectName().toStdString();
        };
        inside(view->findChild<QLabel*>("lblTitleText"), views_test::isWhite);
        inside(view->findChild<QLabel*>("WiFiSituation"), views_test::isDark);
        inside(view->findChild<QPushButton*>("JoinBtn"), views_test::isDark);
        inside(view->findChild<QPushButton*>("RefBtn"), views_test::isDark);

        // The first row: its name in the row's text colour, the green check
        // of the connected network on the left, the lock icon on the right.
        auto* list = view->findChild<phxVirtualList*>("virtuallist");
        const QRect row(list->mapTo(view, list->visualRect(list->model()->index(0, 0)).topLeft()), QSize(240, 47));
        const bool night = QLatin1String(mode) == QLatin1String("Night");
        const QRect nameArea(row.left() + 25, row.top() + 10, 150, 30);
        EXPECT_FALSE(views_test::boundsOf(shot, nameArea, night ? views_test::isWhite : views_test::isDark).isEmpty());
        const QRect check = views_test::boundsOf(shot, QRect(row.left(), row.top() + 10, 28, 28),
            [](QRgb c) { return qGreen(c) > 140 && qRed(c) < 110 && qBlue(c) < 120; });
        EXPECT_GT(check.width(), 8);
        // Signal bars (blue) on each row, a red lock on the secured one.
        const QRect bars = views_test::boundsOf(shot, QRect(row.left() + 204, row.top() + 9, 36, 30),
            [](QRgb c) { return qBlue(c) - qRed(c) > 80; });
        EXPECT_GT(bars.height(), 8);
        const QRect lock = views_test::boundsOf(shot, QRect(row.left() + 204, row.top() + 47 + 9, 36, 30),
            [](QRgb c) { return qRed(c) > 180 && qGreen(c) < 120 && qBlue(c) < 120; });
        EXPECT_GT(lock.height(), 8);
    }
}

} // namespace

#include "main_view_test.moc"
