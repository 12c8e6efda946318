// The calendar widget.
#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrTextBox.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/instruments/zyrCalendarWidget.h"
#include "tests/controls/core/zyr_widget_test.h"

#include <QLayout>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVariant>

#include <gtest/gtest.h>

namespace {

using zyrtest::shot;
using zyrtest::solid;

class CalendarTest : public ::testing::Test {
protected:
    CalendarTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~CalendarTest() override { ZyrelleControls::SetSoundManager(nullptr); }

    static ZyrPushButton* button(zyrCalendarWidget& c, const char* name)
    {
        return c.findChild<ZyrPushButton*>(QLatin1String(name));
    }
    static QString label(zyrCalendarWidget& c) { return c.findChild<ZyrTextBox*>("MonthDisplay")->content(); }
    static QCalendarWidget* calendar(zyrCalendarWidget& c) { return c.findChild<QCalendarWidget*>("calendarWidget"); }
};

TEST_F(CalendarTest, TheFormLaidOut)
{
    zyrCalendarWidget c;
    EXPECT_EQ(c.objectName(), "zyrCalendarUI");
    EXPECT_EQ(c.windowTitle(), "Zyrelle Calendar");
    EXPECT_EQ(c.size(), QSize(231, 191));
    ASSERT_NE(button(c, "btnPrevMonth"), nullptr);
    ASSERT_NE(button(c, "btnNextMonth"), nullptr);
    ASSERT_NE(calendar(c), nullptr);
    EXPECT_FALSE(calendar(c)->isNavigationBarVisible());
    EXPECT_EQ(c.verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);
    EXPECT_EQ(c.layout()->spacing(), 3);
    EXPECT_EQ(c.layout()->contentsMargins(), QMargins(0, 0, 0, 0));
    EXPECT_EQ(c.findChild<ZyrTextBox*>("MonthDisplay")->fontPixelSize(), 18);
    EXPECT_EQ(c.findChild<ZyrTextBox*>("MonthDisplay")->alignment(), Qt::AlignCenter);

    // The skin's month buttons.
    for (const char* name : { "btnPrevMonth", "btnNextMonth" }) {
        ZyrPushButton* b = button(c, name);
        EXPECT_FALSE(b->normal().isNull()) << name;
        EXPECT_FALSE(b->pressed().isNull()) << name;
        EXPECT_FALSE(b->focused().isNull()) << name;
        EXPECT_EQ(b->disabled().cacheKey(), QPixmap(b == button(c, "btnPrevMonth") ? ":/Buttons/b_KB_MoveLeft.mif"
                                                                                   : ":/Buttons/b_KB_MoveRight.mif")
                                                .cacheKey());
        EXPECT_NE(b->normal().toImage(), b->pressed().toImage()) << name;
    }

    c.setSelectedDate(QDate(2014, 3, 12));
    c.setPalette(QPalette(Qt::white));
    c.setAutoFillBackground(true);
    c.show();
    const QImage image = shot(&c, "calendar");
    // The buttons in the top row, left and right; the calendar below.
    const QRect prev = button(c, "btnPrevMonth")->geometry();
    const QRect next = button(c, "btnNextMonth")->geometry();
    const QRect days = calendar(c)->geometry();
    EXPECT_LT(prev.right(), c.width() / 3);
    EXPECT_GT(next.left(), 2 * c.width() / 3);
    EXPECT_LE(prev.bottom(), days.top());
    EXPECT_NE(image.pixelColor(prev.left() + 4, prev.center().y()), QColor(Qt::white)); // the button's face
    EXPECT_NE(image.pixelColor(next.right() - 4, next.center().y()), QColor(Qt::white));
}

TEST_F(CalendarTest, LabelFollowsThePage)
{
    zyrCalendarWidget c;
    const QDate today = c.selectedDate();
    EXPECT_EQ(label(c), QStringLiteral("%1, %2").arg(QLocale().standaloneMonthName(today.month())).arg(today.year()));

    QSignalSpy pages(&c, SIGNAL(currentPageChanged(int, int)));
    QSignalSpy selections(&c, SIGNAL(selectionChanged()));
    c.setSelectedDate(QDate(2014, 1, 31));
    EXPECT_EQ(label(c), "January, 2014");
    QTest::mouseClick(button(c, "btnNextMonth"), Qt::LeftButton);
    EXPECT_EQ(c.selectedDate(), QDate(2014, 2, 28));
    EXPECT_EQ(label(c), "February, 2014");
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_EQ(pages.last().at(0).toInt(), 2014);
    EXPECT_EQ(pages.last().at(1).toInt(), 2);
    EXPECT_EQ(selections.count(), 2);

    QTest::mouseClick(button(c, "btnPrevMonth"), Qt::LeftButton);
    EXPECT_EQ(c.selectedDate(), QDate(2014, 1, 28));
    EXPECT_EQ(label(c), "January, 2014");

    // The calendar bounds a step past its maximum.
    c.setMaximumDate(QDate(2014, 2, 15));
    QTest::mouseClick(button(c, "btnNextMonth"), Qt::LeftButton);
    EXPECT_EQ(c.selectedDate(), QDate(2014, 2, 15));
    QTest::mouseClick(button(c, "btnNextMonth"), Qt::LeftButton);
    EXPECT_EQ(c.selectedDate(), QDate(2014, 2, 15));
    EXPECT_EQ(label(c), "February, 2014");

    // Another locale names the month its own way.
    zyrCalendarWidget german;
    german.setLocale(QLocale(QLocale::German, QLocale::Germany));
    german.setSelectedDate(QDate(2014, 1, 31));
    QTest::mouseClick(button(german, "btnNextMonth"), Qt::LeftButton);
    EXPECT_EQ(label(german), QStringLiteral("Februar, 2014"));
}

// A day picked on the calendar's grid by a tap.
void tapDay(zyrCalendarWidget& c)
{
    auto* view = c.findChild<QTableView*>("qt_calendar_calendarview");
    ASSERT_NE(view, nullptr);
    const QRect cell = view->visualRect(view->model()->index(3, 3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

TEST_F(CalendarTest, DaySelectionSoundsOnlyWithAManager)
{
    zyrtest::SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    zyrCalendarWidget withSound;
    withSound.setSelectedDate(QDate(2014, 3, 1));
    recorder.played.clear();
    withSound.show();
    QSignalSpy clicked(&withSound, SIGNAL(clicked(QString)));
    tapDay(withSound);
    EXPECT_NE(withSound.selectedDate(), QDate(2014, 3, 1));
    EXPECT_EQ(recorder.played, QStringList { "zyrCalendarUI" });
    EXPECT_EQ(clicked.count(), 1);

    ZyrelleControls::SetSoundManager(nullptr);
    zyrCalendarWidget silent;
    silent.setSelectedDate(QDate(2014, 3, 1));
    silent.show();
    QSignalSpy silentClicks(&silent, SIGNAL(clicked(QString)));
    QSignalSpy selections(&silent, SIGNAL(selectionChanged()));
    tapDay(silent);
    EXPECT_EQ(selections.count(), 1);
    EXPECT_EQ(silentClicks.count(), 0);
}

TEST_F(CalendarTest, PropertiesPassThrough)
{
    zyrCalendarWidget c;
    const char* images[] = { "prevMonthNormal", "prevMonthPressed", "prevMonthFocused", "prevMonthDisabled",
        "nextMonthNormal", "nextMonthPressed", "nextMonthFocused", "nextMonthDisabled" };
    int shade = 10;
    for (const char* name : images) {
        const QPixmap image = solid(8, 8, QColor(shade, 0, 0));
        shade += 20;
        ASSERT_TRUE(c.setProperty(name, image)) << name;
        EXPECT_EQ(c.property(name).value<QPixmap>().cacheKey(), image.cacheKey()) << name;
    }
    EXPECT_EQ(button(c, "btnPrevMonth")->pressed().toImage().pixelColor(0, 0), QColor(30, 0, 0));
    EXPECT_EQ(button(c, "btnNextMonth")->disabled().toImage().pixelColor(0, 0), QColor(150, 0, 0));

    c.setProperty("minimumDate", QDate(2010, 5, 6));
    EXPECT_EQ(calendar(c)->minimumDate(), QDate(2010, 5, 6));
    c.setProperty("firstDayOfWeek", QVariant::fromValue(Qt::Wednesday));
    EXPECT_EQ(calendar(c)->firstDayOfWeek(), Qt::Wednesday);
    c.setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    EXPECT_EQ(calendar(c)->horizontalHeaderFormat(), QCalendarWidget::SingleLetterDayNames);
    c.setDateEditEnabled(false);
    EXPECT_FALSE(c.property("dateEditEnabled").toBool());

    c.setFontPixelSize(15);
    EXPECT_EQ(c.fontPixelSize(), 15);
    EXPECT_EQ(calendar(c)->font().pixelSize(), 15);
    EXPECT_EQ(c.font().styleStrategy() & QFont::PreferAntialias, QFont::PreferAntialias);
}

} // namespace
