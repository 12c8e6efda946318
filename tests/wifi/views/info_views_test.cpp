// The Wi-Fi off and information screens on a real flow: what their buttons
// do, the addresses shown without a connection, and a look at each by day
// and by night.
#include "controls/core/phxPushButton.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/views/WiFiAlertView.h"
#include "wifi/views/WiFiDisabledView.h"
#include "wifi/views/WiFiNetworkInfoView.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class InfoViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens();
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        flow = views_test::showFlow();
    }

    void TearDown() override
    {
        views_test::endFlow(flow);
    }

    QString label(QWidget* view, const char* name) { return view->findChild<QLabel*>(name)->text(); }

    // The text's pixels lie inside the widget (white text on the dark
    // buttons and title, dark or white on the background by day or night).
    static void expectTextInside(const QImage& image, QWidget* view, QWidget* w, bool (*test)(QRgb))
    {
        const QRect r(w->mapTo(view, QPoint()), w->size());
        const QRect text = views_test::boundsOf(image, r, test);
        EXPECT_FALSE(text.isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(r.contains(text)) << w->objectName().toStdString();
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(InfoViewTest, WithoutConnectionTheAdapterNameAndNoAddressesShow)
{
    flow->switchView(INFO_VIEW_ID, 0);
    auto* info = qobject_cast<WiFiNetworkInfoView*>(flow->view(INFO_VIEW_ID));
    ASSERT_TRUE(info);
    ASSERT_FALSE(flow->isWiFiConnected());
    bool usable = false;
    QString adapter, description, dhcp, ip, gateway, mask, dhcp2;
    flow->getAdapterInfo(&usable, &adapter, &description, &dhcp, &ip, &gateway, &mask, &dhcp2);
    EXPECT_EQ(label(info, "lblTitleText"), adapter);
    EXPECT_EQ(label(info, "IP_Address_title"), "IP Address:");
    EXPECT_EQ(label(info, "Subnet_Mask_title"), "Subnet Mask:");
    EXPECT_EQ(label(info, "Gateway_title"), "Gateway:");
    for (const char* value : { "IP_Address", "Subnet_Mask", "Gateway" })
        EXPECT_EQ(label(info, value), "0.0.0.0") << value;
    EXPECT_EQ(info->findChild<phxPushButton*>("lefBtn")->text(), "Forget this Network");
}

TEST_F(InfoViewTest, ForgetAsksFirst)
{
    flow->switchView(INFO_VIEW_ID, 0);
    auto* info = flow->view(INFO_VIEW_ID);
    QTest::mouseClick(info->findChild<phxPushButton*>("lefBtn"), Qt::LeftButton);
    EXPECT_EQ(flow->alertType(), 8);
    EXPECT_EQ(flow->currentViewId(), ALERT_VIEW_ID);
    EXPECT_EQ(label(flow->view(ALERT_VIEW_ID), "AlertInfo"), "Are you sure you want to forget the network?");
}

TEST_F(InfoViewTest, EnableSwitchesWiFiOnAndOpensTheNetworkList)
{
    flow->enableWiFi(false);
    flow->switchView(DISABLED_VIEW_ID, 0);
    auto* disabled = qobject_cast<WiFiDisabledView*>(flow->view(DISABLED_VIEW_ID));
    ASSERT_TRUE(disabled);
    auto* enable = disabled->findChild<QPushButton*>("enBtn");
    EXPECT_EQ(enable->text(), "Enable WiFi");
    QTest::mouseClick(enable, Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
}

TEST_F(InfoViewTest, ScreensLookRightByDayAndNight)
{
    for (const char* mode : { "Day", "Night" }) {
        SCOPED_TRACE(mode);
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        flow->switchView(INFO_VIEW_ID, 0);
        auto* info = qobject_cast<WiFiNetworkInfoView*>(flow->view(INFO_VIEW_ID));
        info->setStyleSheets(QLatin1String(mode));
        QApplication::processEvents();
        const QImage i = views_test::shot(*info, QStringLiteral("info_%1").arg(mode));
        // The labels keep their dark text on the light background in
        // either mode; the button's text lies on the button.
        expectTextInside(i, info, info->findChild<phxPushButton*>("lefBtn"), views_test::isDark);
        for (const char* name : { "IP_Address_title", "IP_Address", "Gateway" })
            expectTextInside(i, info, info->findChild<QLabel*>(name), views_test::isDark);

        flow->switchView(DISABLED_VIEW_ID, 0);
        auto* disabled = flow->view(DISABLED_VIEW_ID);
        QApplication::processEvents();
        const QImage d = views_test::shot(*disabled, QStringLiteral("disabled_%1").arg(mode));
        expectTextInside(d, disabled, disabled->findChild<QPushButton*>("enBtn"), views_test::isDark);
        expectTextInside(d, disabled, disabled->findChild<QLabel*>("lblDisabledMsg"), views_test::isDark);
        expectTextInside(d, disabled, disabled->findChild<QLabel*>("lblTitleText"), views_test::isWhite);
    }
}

} // namespace
