// The list row styles rendered offscreen by day and by night: texts as
// filled, long names elided to fit, the connecting animation's frames.
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/views/KivoWiFiBaseVirtualList.h"
#include "wifi/views/WiFiVLItemStyles.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using views_test::boundsOf;

class RowStyleTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() { views_test::ensureApplication(); }
    void SetUp() override { ASSERT_TRUE(views_test::registerSkins(GetParam())); }
    QString mode() const { return QLatin1String(GetParam()); }
    bool day() const { return mode() == QLatin1String("Day"); }
    // Text pixels of the mode's colour inside a label.
    bool textIn(const QImage& image, QLabel* label) const
    {
        auto isText = day() ? views_test::isDark : views_test::isWhite;
        return boundsOf(image, label->geometry(), isText).isValid();
    }
};

TEST_P(RowStyleTest, MainRowElidesLongNamesAndHidesWhatIsNotShown)
{
    WiFiVLItemMainStyle row("480x272");
    row.setStyleSheets(mode());
    auto* name = row.findChild<QLabel*>("SSIDLB");
    const QPixmap lock(":/Icon/i_list_wifilock.png");
    ASSERT_FALSE(lock.isNull());

    struct Case {
        QString name;
        bool elided;
    };
    const Case cases[] = {
        { "HomeNet", false },
        { "A network with a very long name that cannot fit in the row", true },
        { QString(60, QLatin1Char('W')), true },
    };
    for (const Case& c : cases) {
        row.fill(QStyle::State_None, c.name, QPixmap(), QPixmap(), lock, QString(), "-60");
        const QString shown = name->text();
        if (c.elided) {
            EXPECT_TRUE(shown.endsWith("...")) << shown.toStdString();
            EXPECT_TRUE(c.name.startsWith(shown.chopped(3)));
            EXPECT_LT(name->fontMetrics().horizontalAdvance(shown), name->width());
            // One character more would not fit.
            const QString longer = c.name.left(shown.length() - 2) + "...";
            EXPECT_GE(name->fontMetrics().horizontalAdvance(longer), name->width());
        } else {
            EXPECT_EQ(shown, c.name);
        }
        const QImage image = views_test::shot(row, QStringLiteral("row_main_%1_%2").arg(mode()).arg(c.elided));
        EXPECT_TRUE(textIn(image, name));
    }
    EXPECT_FALSE(row.findChild<QLabel*>("Strength")->isVisibleTo(&row));
    EXPECT_EQ(row.findChild<QLabel*>("Strength")->text(), "-60");
    EXPECT_FALSE(row.findChild<QLabel*>("EnLB")->isVisibleTo(&row));
    EXPECT_TRUE(row.findChild<QLabel*>("StrLB")->isVisibleTo(&row));
    EXPECT_FALSE(row.findChild<QLabel*>("conLB")->isVisibleTo(&row));
    row.fill(QStyle::State_None, "Open", QPixmap(), QPixmap(), QPixmap(), QString(), "-90");
    EXPECT_FALSE(row.findChild<QLabel*>("StrLB")->isVisibleTo(&row));
}

TEST_P(RowStyleTest, MainRowShowsTheElidedNameOfEveryFillAfterResizesAndFontChanges)
{
    WiFiVLItemMainStyle row("480x272");
    row.setStyleSheets(mode());
    auto* name = row.findChild<QLabel*>("SSIDLB");
    QStringList names;
    for (int length : { 0, 1, 5, 12, 20, 24, 28, 32, 40, 64 }) {
        names << QString(length, QLatin1Char('W')) << QString(length, QLatin1Char('i'))
              << QStringLiteral("Network number %1 nearby and far away").arg(length).left(length);
    }
    const auto fillAll = [&](const char* when) {
        // Twice: the second time the names are ones the row has shown.
        for (int pass = 0; pass < 2; ++pass)
            for (const QString& n : names) {
                row.fill(QStyle::State_None, n, QPixmap(), QPixmap(), QPixmap(), QString(), QString());
                EXPECT_EQ(name->text(), WiFiVLItemMainStyle::elided(name->fontMetrics(), n, name->width()))
                    << when << ": " << n.toStdString();
            }
    };
    fillAll("as made");
    name->resize(100, name->height());
    fillAll("narrower");
    QFont bigger = name->font();
    bigger.setPointSize(bigger.pointSize() + 6);
    name->setFont(bigger);
    fillAll("bigger font");
}

TEST_P(RowStyleTest, ConnectingIconAlternatesUntilAnotherIcon)
{
    WiFiVLItemMainStyle row("480x272");
    row.setStyleSheets(mode());
    auto* state = row.findChild<QLabel*>("conLB");
    auto* timer = row.findChild<QTimer*>();
    ASSERT_TRUE(timer);
    const QPixmap connecting(WiFiVLItemMainStyle::CONNECTING_ICON);
    row.fill(QStyle::State_None, "Office", connecting, QPixmap(), QPixmap(), WiFiVLItemMainStyle::CONNECTING_ICON, "-50");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 150);
    EXPECT_TRUE(state->isVisibleTo(&row));
    const QImage frame1 = QImage(":/Icon/i_connecting1.png").convertToFormat(QImage::Format_ARGB32);
    const QImage frame2 = QImage(":/Icon/i_connecting2.png").convertToFormat(QImage::Format_ARGB32);
    ASSERT_NE(frame1, frame2);
    std::vector<int> shown;
    for (int tick = 0; tick < 4; ++tick) {
        row.ConnectingIcon();
        const QImage now = state->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
        shown.push_back(now == frame1 ? 1 : now == frame2 ? 2 : 0);
    }
    EXPECT_EQ(shown, (std::vector<int> { 1, 2, 1, 2 }));
    views_test::shot(row, QStringLiteral("row_connecting_%1").arg(mode()));

    const QPixmap check(":/Icon/Check_icon.png");
    row.fill(QStyle::State_None, "Office", check, QPixmap(), QPixmap(), ":/Icon/Check_icon.png", "-50");
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(state->pixmap(Qt::ReturnByValue).toImage(), check.toImage());

    // Once connected, fills keep the animation off.
    row.fill(QStyle::State_None, "Office", connecting, QPixmap(), QPixmap(), WiFiVLItemMainStyle::CONNECTING_ICON, "");
    EXPECT_TRUE(timer->isActive());
    row.setConnected(true);
    row.fill(QStyle::State_None, "Office", check, QPixmap(), QPixmap(), ":/Icon/Check_icon.png", "");
    EXPECT_FALSE(timer->isActive());
}

// A network list whose rows can change between repaints.
class NetworkList : public KivoWiFiBaseVirtualList {
public:
    struct Network {
        QString name;
        QString lock;
        QString stateIcon;
        QStyle::State state = QStyle::State_None;
    };

    NetworkList(const QString& mode, const std::vector<Network>& networks)
        : KivoWiFiBaseVirtualList(nullptr)
        , networks(networks)
        , m_mode(mode)
    {
        resize(240, 167);
        list = new phxVirtualList(this);
        list->setObjectName(QStringLiteral("virtuallist"));
        list->setGeometry(0, 0, 240, 167);
        row = new WiFiVLItemMainStyle(QStringLiteral("480x272"));
        setListProvider(list, row);
    }
    int getRowCount(const QModelIndex&) override { return int(networks.size()); }
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem*, const QStyleOptionViewItem&) override
    {
        const Network& n = networks[size_t(index.row())];
        row->setStyleSheets(m_mode);
        row->fill(n.state, n.name, n.stateIcon.isEmpty() ? QPixmap() : QPixmap(n.stateIcon), QPixmap(), QPixmap(n.lock),
            n.stateIcon, QStringLiteral("-60"));
    }
    void setStyleSheets(const QString&) override { }

    std::vector<Network> networks;
    phxVirtualList* list;
    WiFiVLItemMainStyle* row;

private:
    QString m_mode;
};

// The list keeps the rows it rendered: every change of what a row shows must
// still reach the screen, picture for picture as a list that never drew the
// rows before draws them.
TEST_P(RowStyleTest, KeptRowPicturesFollowEveryChangeOfTheRow)
{
    const QString lock = QStringLiteral(":/Icon/i_list_wifilock_1.png");
    const QString weak = QStringLiteral(":/Icon/i_list_wifilock_3.png");
    ASSERT_FALSE(QPixmap(lock).isNull());
    ASSERT_FALSE(QPixmap(weak).isNull());
    NetworkList shown(mode(), { { "Office", lock, {}, {} }, { "Home", lock, {}, {} }, { "Cafe", lock, {}, {} } });
    QImage before = views_test::shot(shown, QStringLiteral("kept_rows_%1").arg(mode()));

    using Change = std::function<void(std::vector<NetworkList::Network>&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        { "name", [](auto& n) { n[1].name = "Home 5G"; } },
        { "signal", [&](auto& n) { n[1].lock = weak; } },
        { "state icon", [](auto& n) { n[0].stateIcon = ":/Icon/Check_icon.png"; } },
        { "focus", [](auto& n) { n[2].state = QStyle::State_HasFocus; } },
        { "two rows swapped", [](auto& n) { std::swap(n[0], n[2]); } },
    };
    for (const auto& [what, change] : changes) {
        change(shown.networks);
        shown.resetModel();
        const QImage after = views_test::shot(shown, QStringLiteral("kept_rows_%1").arg(mode()));
        NetworkList fresh(mode(), shown.networks);
        EXPECT_EQ(after, views_test::shot(fresh, QStringLiteral("fresh_rows_%1").arg(mode()))) << what;
        EXPECT_NE(after, before) << what;
        before = after;
    }

    // The connecting animation changes the row's icon between repaints.
    shown.networks[1].stateIcon = WiFiVLItemMainStyle::CONNECTING_ICON;
    shown.row->ConnectingIcon();
    const QImage frame1 = views_test::shot(shown, QStringLiteral("kept_rows_%1").arg(mode()));
    shown.row->ConnectingIcon();
    const QImage frame2 = views_test::shot(shown, QStringLiteral("kept_rows_%1").arg(mode()));
    EXPECT_NE(frame1, frame2);
    shown.row->ConnectingIcon();
    EXPECT_EQ(views_test::shot(shown, QStringLiteral("kept_rows_%1").arg(mode())), frame1);
}

TEST_P(RowStyleTest, JoinRowShowsSecurityNamesAndItsMark)
{
    WiFiVLItemJoinStyle row("480x272");
    row.setStyleSheets(mode());
    auto* value = row.findChild<QLabel*>("sndLB");
    auto* mark = row.findChild<phxIcon*>("Select_Icon");
    const std::pair<const char*, const char*> names[] = {
        { "Open", "None" },
        { "Auto switch", "WEP" },
        { "WPAPSK(TKIP)", "WPA-PSK(TKIP)" },
        { "WPAPSK(AES)", "WPA-PSK(AES)" },
        { "WPA2 PSK(TKIP)", "WPA2-PSK(TKIP)" },
        { "WPA2 PSK(AES)", "WPA2-PSK(AES)" },
        { "Shared", "Shared" },
    };
    for (const auto& [given, shown] : names) {
        row.fill(QStyle::State_None, "ignored", given, true);
        EXPECT_EQ(value->text(), shown);
    }
    EXPECT_TRUE(mark->isVisibleTo(&row));
    const QImage image = views_test::shot(row, QStringLiteral("row_join_%1").arg(mode()));
    EXPECT_TRUE(textIn(image, value));
    row.fill(QStyle::State_None, "ignored", "Open", false);
    EXPECT_FALSE(mark->isVisibleTo(&row));

    WiFiVLItemJoinStyle large("800x480");
    large.fill(QStyle::State_None, "ignored", "Open", true); // no mark to show there
    EXPECT_EQ(large.findChild<QLabel*>("sndLB")->text(), "None");
}

TEST_P(RowStyleTest, InfoRowShowsBothTextsAndTheRowState)
{
    for (const char* resolution : { "480x272", "800x480" }) {
        WiFiVLItemInfoStyle row(resolution);
        row.setStyleSheets(mode());
        row.fill(QStyle::State_Selected, "IP address", "192.168.1.20");
        auto* first = row.findChild<QLabel*>("fstLB");
        auto* second = row.findChild<QLabel*>("sndLB");
        EXPECT_EQ(first->text(), "IP address");
        EXPECT_EQ(second->text(), "192.168.1.20");
        const QImage image = views_test::shot(row, QStringLiteral("row_info_%1_%2").arg(resolution, mode()));
        EXPECT_TRUE(textIn(image, first)) << resolution;
        EXPECT_TRUE(textIn(image, second)) << resolution;
    }
}

TEST_P(RowStyleTest, ListRowChecksItsRadioOnlyForMarkOne)
{
    for (const char* resolution : { "480x272", "800x480" }) {
        WiFiVLItemListStyle row(resolution);
        row.setStyleSheets(mode());
        auto* radio = row.findChild<QAbstractButton*>("RadioBtn");
        auto* text = row.findChild<QLabel*>("fstLB");
        ASSERT_TRUE(radio);
        for (int mark : { 1, 0, 2, -1, 1 }) {
            row.fill(QStyle::State_None, "WPA2", mark);
            EXPECT_EQ(radio->isChecked(), mark == 1) << resolution << " mark " << mark;
        }
        EXPECT_EQ(text->text(), "WPA2");
        const QImage image = views_test::shot(row, QStringLiteral("row_list_%1_%2").arg(resolution, mode()));
        EXPECT_TRUE(textIn(image, text)) << resolution;
    }
}

INSTANTIATE_TEST_SUITE_P(DayAndNight, RowStyleTest, ::testing::Values("Day", "Night"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace

int main(int argc, char** argv)
{
    views_test::ensureApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
