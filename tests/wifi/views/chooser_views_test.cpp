// The security screen and the option chooser on a real flow: which row is
// marked for the stored choice, what a tap stores, where it leads, and a
// look at each by day and by night.
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/core/saved_networks.h"
#include "wifi/views/WiFiListView.h"
#include "wifi/views/WiFiSecurityView.h"
#include "wifi/views/register_views.h"

#include "controls/core/phxVirtualList.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList marked(const QVector<SecurityItem>& items, bool values = true)
{
    QStringList out;
    for (const SecurityItem& i : items)
        if (i.mark == 1)
            out << (values ? i.value : i.text);
    return out;
}

class ChooserViewTest : public ::testing::Test {
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

    WiFiSecurityView* showSecurity(const QString& choice)
    {
        flow->setSecurityChoice(choice);
        flow->switchView(SECURITY_VIEW_ID, 0);
        return qobject_cast<WiFiSecurityView*>(flow->view(SECURITY_VIEW_ID));
    }

    WiFiListView* showList(int mode, const WiFiSettings& record)
    {
        flow->setWiFiSettings(record);
        flow->switchView(SECURITY_VIEW_ID, 0);
        flow->switchView(LIST_VIEW_ID, mode);
        return qobject_cast<WiFiListView*>(flow->view(LIST_VIEW_ID));
    }

    static void tapRow(QWidget* view, int row)
    {
        auto* list = view->findChild<phxVirtualList*>(QStringLiteral("virtuallist"));
        ASSERT_TRUE(list);
        QApplication::processEvents();
        const QRect r = list->visualRect(list->model()->index(row, 0));
        ASSERT_TRUE(r.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QApplication::processEvents();
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
};

TEST_F(ChooserViewTest, SecurityMarksTheStoredChoiceAndATapMakesItTheChoice)
{
    WiFiSecurityView* view = showSecurity(QStringLiteral("Open"));
    ASSERT_TRUE(view);
    EXPECT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    QStringList values;
    for (const SecurityItem& i : view->entries()) {
        values << i.value;
        EXPECT_EQ(i.text, "Authentication");
    }
    EXPECT_EQ(values,
        QStringList({ "Open", "Auto switch", "WPAPSK(TKIP)", "WPAPSK(AES)", "WPA2 PSK(TKIP)", "WPA2 PSK(AES)" }));
    EXPECT_EQ(marked(view->entries()), QStringList { "Open" });

    // A tap marks that row alone and stays on the screen.
    tapRow(view, 3);
    EXPECT_EQ(flow->securityChoice(), "WPAPSK(AES)");
    EXPECT_EQ(marked(view->entries()), QStringList { "WPAPSK(AES)" });
    EXPECT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);

    // Shown again with no choice, nothing is marked.
    view = showSecurity(QString());
    EXPECT_TRUE(marked(view->entries()).isEmpty());
}

struct ListCase {
    int mode;
    QString title;
    QStringList values;
    QStringList texts;
};

TEST_F(ChooserViewTest, ChooserOffersEachFieldsValuesAndMarksTheRecords)
{
    const ListCase cases[] = {
        { 7, "Encryption",
            { "WEP enabled", "WEP disabled", "WEP key absent", "WEP not support", "Encryption 2 enabled",
                "Encryption 2 key absent", "Encryption 3 enabled", "Encryption 3 key absent" },
            {} },
        { 8, "Authentication", { "Open", "Shared", "Auto switch", "WPA", "WPAPSK", "WPA none", "WPA2", "WPA2 PSK", "Max" },
            { "Open", "Shared", "Auto switch", "WPA", "WPAPSK(AES)", "WPA none", "WPA2", "WPA2 PSK(AES)", "Max" } },
        { 9, "Key index", { "Key index 1", "Key index 2", "Key index 3", "Key index 4" }, {} },
    };
    WiFiSettings record;
    record.encryption = "Encryption 3 enabled";
    record.authentication = "WPA2 PSK";
    record.keyIndex = "Key index 2";
    const QString expectedMark[] = { "Encryption 3 enabled", "WPA2 PSK", "Key index 2" };
    int n = 0;
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.mode);
        WiFiListView* view = showList(c.mode, record);
        ASSERT_TRUE(view);
        QStringList values, texts;
        for (const SecurityItem& i : view->entries()) {
            values << i.value;
            texts << i.text;
        }
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(texts, c.texts.isEmpty() ? c.values : c.texts);
        EXPECT_EQ(view->findChild<QLabel*>("lblTitleText")->text(), c.title);
        EXPECT_EQ(marked(view->entries()), QStringList { expectedMark[n++] });
    }

    // A record holding a value the chooser does not offer shows no mark.
    record.encryption = "WEP not supported";
    EXPECT_TRUE(marked(showList(7, record)->entries()).isEmpty());
    // Any other kind empties the list.
    EXPECT_TRUE(showList(5, record)->entries().isEmpty());
}

TEST_F(ChooserViewTest, ChooserPickStoresTheValueNotTheShownTextAndGoesBack)
{
    const struct {
        int mode;
        int row;
        QString WiFiSettings::*field;
        QString stored;
    } picks[] = {
        { 8, 4, &WiFiSettings::authentication, "WPAPSK" },
        { 7, 3, &WiFiSettings::encryption, "WEP not support" },
        { 9, 3, &WiFiSettings::keyIndex, "Key index 4" },
    };
    for (const auto& p : picks) {
        SCOPED_TRACE(p.mode);
        WiFiListView* view = showList(p.mode, WiFiSettings {});
        tapRow(view, p.row);
        EXPECT_EQ(flow->getWiFiSettings().*p.field, p.stored);
        EXPECT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    }
}

// Shots of both screens: the title's text inside its label and each row's
// text inside its row, by day (dark text) and by night (white text).
TEST_F(ChooserViewTest, ScreensLookRightByDayAndNight)
{
    for (const char* mode : { "Day", "Night" }) {
        SCOPED_TRACE(mode);
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        WiFiSecurityView* security = showSecurity(QStringLiteral("Auto switch"));
        security->setStyleSheets(QLatin1String(mode));
        QApplication::processEvents();
        const QImage s = views_test::shot(*security, QStringLiteral("security_%1").arg(mode));
        auto* title = security->findChild<QLabel*>("lblTitleText");
        EXPECT_EQ(title->text(), "Security");
        const QRect textBox = views_test::boundsOf(s, title->geometry(), views_test::isWhite);
        EXPECT_FALSE(textBox.isEmpty());
        EXPECT_TRUE(title->geometry().contains(textBox));

        auto* list = security->findChild<phxVirtualList*>("virtuallist");
        const bool day = QLatin1String(mode) == QLatin1String("Day");
        for (int row = 0; row < 6; ++row) {
            QRect r = list->visualRect(list->model()->index(row, 0)).translated(list->mapTo(security, QPoint()));
            r = r.intersected(list->geometry());
            if (r.height() < 20)
                continue;
            const QRect text = views_test::boundsOf(s, r.adjusted(0, 4, -60, -4), day ? views_test::isDark : views_test::isWhite);
            EXPECT_FALSE(text.isEmpty()) << "row " << row;
        }

        WiFiListView* chooser = showList(8, WiFiSettings { "WEP disabled", "Open", "Key index 1", "Net", "User", "" });
        chooser->setStyleSheets(QLatin1String(mode));
        QApplication::processEvents();
        const QImage c = views_test::shot(*chooser, QStringLiteral("chooser_%1").arg(mode));
        auto* chooserTitle = chooser->findChild<QLabel*>("lblTitleText");
        EXPECT_FALSE(views_test::boundsOf(c, chooserTitle->geometry(), views_test::isWhite).isEmpty());
        // Each row draws its radio ring; only the record's value ("Open",
        // the first row) has the dot.
        auto* rows = chooser->findChild<phxVirtualList*>("virtuallist");
        for (int row = 0; row < 3; ++row) {
            const QRect r = rows->visualRect(rows->model()->index(row, 0)).translated(rows->mapTo(chooser, QPoint()));
            const QRect mark(r.left(), r.top() + 10, 32, 32);
            const QRgb centre = c.pixel(mark.center());
            const bool dot = qBlue(centre) > 150 && qRed(centre) < 100;
            EXPECT_EQ(dot, row == 0) << "row " << row;
            EXPECT_FALSE(views_test::boundsOf(c, mark, views_test::isDark).isEmpty()) << "row " << row;
        }
    }
    SystemHelper::instance()->setDayNight(QStringLiteral("Day"));
}

// At night the rows lie on the dark list, their white text readable; a
// list with focus marks no row of its own accord (only keypad navigation
// moves a highlight).
TEST_F(ChooserViewTest, NightRowsAreReadableAndFocusHighlightsNoRow)
{
    SystemHelper::instance()->setDayNight(QStringLiteral("Night"));
    views_test::registerSkins("Night");
    QApplication::setActiveWindow(flow.get());
    auto rowArea = [](QWidget* view, int row) {
        auto* list = view->findChild<phxVirtualList*>("virtuallist");
        list->setFocus();
        QApplication::processEvents();
        return list->visualRect(list->model()->index(row, 0)).translated(list->mapTo(view, QPoint()));
    };

    WiFiListView* chooser = showList(8, WiFiSettings {});
    for (int row = 0; row < 4; ++row) {
        const QRect r = rowArea(chooser, row);
        const QImage c = views_test::shot(*chooser, QStringLiteral("chooser_night_rows"));
        EXPECT_FALSE(views_test::boundsOf(c, r.adjusted(40, 4, -100, -4), views_test::isWhite).isEmpty()) << row;
        // Beside the text, inside the screen (the row is wider than it).
        EXPECT_TRUE(views_test::isDark(c.pixel(chooser->width() - 10, r.center().y()))) << row;
    }

    WiFiSecurityView* security = showSecurity(QStringLiteral("Auto switch"));
    const QRect first = rowArea(security, 0);
    const QRect third = rowArea(security, 2);
    const QImage s = views_test::shot(*security, QStringLiteral("security_night_focus"));
    EXPECT_EQ(s.pixel(first.left() + 150, first.center().y()), s.pixel(third.left() + 150, third.center().y()));
    SystemHelper::instance()->setDayNight(QStringLiteral("Day"));
}

} // namespace
