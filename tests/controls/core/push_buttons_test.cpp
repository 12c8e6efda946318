#include "zyr_widget_test.h"

#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/core/zyrIconButton.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

const QColor kLeft(200, 30, 30);
const QColor kRight(30, 30, 200);
const QColor kNormal(200, 200, 200);
const QColor kPressed(250, 150, 0);
const QColor kFocused(120, 0, 200);
const QColor kIcon(0, 180, 0);
const QColor kChild(255, 0, 0);

// Left half one colour, right half another: shows where an image lies.
QPixmap halves(int width, int height)
{
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    painter.fillRect(0, 0, width / 2, height, kLeft);
    painter.fillRect(width / 2, 0, width - width / 2, height, kRight);
    return pixmap;
}

TEST(PushButton, ReleaseAfterTheButtonMovedFifteenPixelsDoesNotClick)
{
    struct Case {
        QPoint moved;
        bool clicks;
    };
    const Case cases[] = {
        { { 0, 0 }, true },
        { { 14, 0 }, true },
        { { 0, -14 }, true },
        { { 15, 0 }, false },
        { { 0, 15 }, false },
        { { -15, 3 }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.moved.x() << "," << c.moved.y());
        QWidget parent;
        parent.resize(200, 200);
        ZyrPushButton* button = new ZyrPushButton(&parent);
        button->setGeometry(50, 50, 40, 30);
        parent.show();
        QSignalSpy clicked(button, SIGNAL(clicked()));
        QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        button->move(button->pos() + c.moved);
        QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(clicked.count(), c.clicks ? 1 : 0);
        EXPECT_FALSE(button->isDown());
    }
}

TEST(PushButton, CentredByArithmeticShiftAndHeldLookShiftsChildren)
{
    QWidget parent;
    ZyrPushButton* button = new ZyrPushButton(&parent);
    button->setGeometry(0, 0, 41, 30);
    button->setNormal(halves(60, 40)); // no pressed image
    button->setShiftOnPress(QPoint(4, 3));
    QLabel* child = new QLabel(button);
    child->setGeometry(2, 2, 5, 5);
    parent.show();

    // (41 - 60) >> 1 = -10: the halves meet at x = 20 (a truncating division
    // would put the seam at 21).
    QImage image = shot(button, "push_centred");
    EXPECT_EQ(at(image, 19, 10), kLeft);
    EXPECT_EQ(at(image, 20, 10), kRight);

    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    image = shot(button, "push_held_without_pressed_image");
    EXPECT_EQ(at(image, 20, 10), kRight) << "the normal image while held";
    EXPECT_EQ(child->pos(), QPoint(6, 5));
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    shot(button, "push_released");
    EXPECT_EQ(child->pos(), QPoint(2, 2));
}

TEST(PushButton, DisabledShowsDisabledOrNormalNeverFocused)
{
    ZyrPushButton button;
    button.resize(20, 20);
    button.setNormal(solid(20, 20, kNormal));
    button.setFocused(solid(20, 20, kFocused));
    button.SetState(QStyle::State_HasFocus);
    EXPECT_EQ(at(shot(&button, "push_forced_focus"), 5, 5), kFocused);
    button.setEnabled(false);
    EXPECT_EQ(at(shot(&button, "push_disabled"), 5, 5), kNormal);
    button.setDisabled(solid(20, 20, kLeft));
    EXPECT_EQ(at(shot(&button, "push_disabled_image"), 5, 5), kLeft);
    button.SetState(QStyle::State_Selected);
    button.setPressed(solid(20, 20, kPressed));
    EXPECT_EQ(at(shot(&button, "push_disabled_selected"), 5, 5), kPressed);
}

TEST(PushButton, ResizeToImageTakesTheLargestWidthAndHeight)
{
    struct Case {
        QSize normal, pressed, focused, disabled;
        QSize expected;
    };
    const Case cases[] = {
        { {}, {}, {}, {}, { 33, 22 } }, // nothing set: size left alone
        { { 40, 10 }, {}, {}, {}, { 40, 10 } },
        { { 40, 10 }, { 30, 25 }, {}, { 12, 12 }, { 40, 25 } },
        { {}, {}, { 5, 50 }, {}, { 5, 50 } },
    };
    for (const Case& c : cases) {
        ZyrPushButton button;
        button.resize(33, 22);
        auto image = [](QSize s) { return s.isValid() ? solid(s.width(), s.height(), kNormal) : QPixmap(); };
        button.setNormal(image(c.normal));
        button.setPressed(image(c.pressed));
        button.setFocused(image(c.focused));
        button.setDisabled(image(c.disabled));
        button.resizeToImage();
        EXPECT_EQ(button.size(), c.expected);
        if (c.normal.isValid() || c.pressed.isValid() || c.focused.isValid()) {
            EXPECT_EQ(button.minimumSize(), c.expected);
        }
        EXPECT_EQ(button.sizeHint(), c.normal.isValid() ? c.normal : button.QWidget::sizeHint());
    }
}

// A list of 40-pixel rows with a list button on the first, scrolling by
// pixel when it has more rows than it shows.
struct ListFixture {
    QListWidget list;
    ZyrListButton* button;

    explicit ListFixture(int rows)
    {
        list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        list.resize(120, 130);
        for (int i = 0; i < rows; ++i) {
            auto* item = new QListWidgetItem(QStringLiteral("row %1").arg(i), &list);
            item->setSizeHint(QSize(100, 40));
        }
        button = new ZyrListButton(list.viewport());
        button->setObjectName(QStringLiteral("rowButton"));
        button->setNormal(solid(100, 40, kNormal));
        button->setPressed(solid(100, 40, kPressed));
        button->setFocused(solid(100, 40, kFocused));
        list.setItemWidget(list.item(0), button);
        list.show();
        pump();
    }
    bool scrolls() const { return list.verticalScrollBar()->maximum() > list.verticalScrollBar()->minimum(); }
    // Lets the delayed press come due (or not, when it was cancelled).
    void waitForTheDelay()
    {
        QTimer* delay = button->findChild<QTimer*>();
        ASSERT_NE(delay, nullptr);
        EXPECT_TRUE(pumpUntil([&] { return !delay->isActive(); }));
        pump();
    }
};

TEST(ListButton, InAScrollingListThePressWaitsForAStillFinger)
{
    {
        SCOPED_TRACE("released before the delay");
        ListFixture f(20);
        ASSERT_TRUE(f.scrolls());
        QSignalSpy pressed(f.button, SIGNAL(pressed()));
        QTest::mousePress(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_FALSE(f.button->isDown());
        EXPECT_EQ(at(shot(f.button, "list_button_touched"), 50, 20), kPressed) << "pressed look at once";
        QTest::mouseRelease(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        f.waitForTheDelay();
        EXPECT_EQ(pressed.count(), 0);
        EXPECT_FALSE(f.button->isDown());
    }
    {
        SCOPED_TRACE("held still");
        ListFixture f(20);
        QSignalSpy pressed(f.button, SIGNAL(pressed()));
        QSignalSpy clicked(f.button, SIGNAL(clicked()));
        QTest::mousePress(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_TRUE(pumpUntil([&] { return pressed.count() == 1; }));
        EXPECT_TRUE(f.button->isDown());
        QTest::mouseRelease(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(clicked.count(), 0) << "a release never clicks";
        EXPECT_FALSE(f.button->isDown());
        EXPECT_EQ(at(shot(f.button, "list_button_after_release"), 50, 20), kFocused) << "keeps the focused look";
    }
    for (int moved : { 14, 15 }) {
        SCOPED_TRACE(moved);
        ListFixture f(20);
        QSignalSpy pressed(f.button, SIGNAL(pressed()));
        QTest::mousePress(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        const QPoint before = f.button->pos();
        f.list.verticalScrollBar()->setValue(moved);
        ASSERT_EQ(f.button->pos(), before - QPoint(0, moved));
        f.waitForTheDelay();
        EXPECT_EQ(pressed.count(), moved < 15 ? 1 : 0);
        QTest::mouseRelease(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }
}

TEST(ListButton, WithoutScrollRangeItIsPressedAtOnceButStillNeverClicksOnRelease)
{
    ListFixture f(2);
    ASSERT_FALSE(f.scrolls());
    QSignalSpy clicked(f.button, SIGNAL(clicked()));
    QTest::mousePress(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(f.button->isDown());
    QTest::mouseRelease(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(f.button->isDown());
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(f.button->focusProxy(), f.list.viewport());
}

TEST(ListButton, TheListClicksItWithSound)
{
    SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    ListFixture f(20);
    QSignalSpy clicked(f.button, SIGNAL(clicked()));
    QMetaObject::invokeMethod(f.button, "onListItemClicked");
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(recorder.played, QStringList { QStringLiteral("rowButton") });
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(PushButton, SoundsOncePerClickUnlessBuiltBeforeTheManager)
{
    ZyrPushButton before;
    SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    ZyrPushButton after;
    before.setObjectName(QStringLiteral("before"));
    after.setObjectName(QStringLiteral("after"));
    for (ZyrPushButton* b : { &before, &after }) {
        b->resize(20, 20);
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }
    EXPECT_EQ(recorder.played, QStringList { QStringLiteral("after") });
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(IconButton, DrawsEverythingMovedByTheClickedOffsetWhileDown)
{
    zyrIconButton button;
    button.setNormalBmp(solid(20, 20, kNormal)); // scaled up to 40 x 40
    button.setIconBmp(solid(10, 10, kIcon)); // scaled by 40 / 20
    button.resize(40, 40);
    button.show();
    pump();
    QImage up = shot(&button, "icon_button_up");
    EXPECT_EQ(at(up, 0, 0), kNormal);
    EXPECT_EQ(at(up, 39, 39), kNormal);
    EXPECT_EQ(at(up, 10, 10), kIcon);
    EXPECT_EQ(at(up, 9, 9), kNormal);
    EXPECT_EQ(at(up, 29, 29), kIcon);

    button.setDown(true);
    QImage down = shot(&button, "icon_button_down");
    EXPECT_NE(at(down, 1, 1), kNormal);
    EXPECT_EQ(at(down, 2, 2), kNormal);
    EXPECT_EQ(at(down, 11, 11), kNormal);
    EXPECT_EQ(at(down, 12, 12), kIcon);
    EXPECT_EQ(at(down, 31, 31), kIcon);

    button.setDown(false);
    EXPECT_EQ(shot(&button, "icon_button_released"), up);
}

TEST(IconButton, CaptionShrinksOnlyWhenWiderAndOnlyAtResizeOrSetFont)
{
    zyrIconButton button;
    QFont font = button.font();
    font.setPointSize(20);
    button.setFont(font);
    button.setText(QStringLiteral("Hi"));
    button.resize(200, 60);
    button.show();
    pump();
    EXPECT_EQ(button.fittedFont().pointSize(), 20) << "a caption that fits keeps its size";

    button.setText(QStringLiteral("A caption far too long for this button"));
    EXPECT_EQ(button.fittedFont().pointSize(), 20) << "no refit before a resize";
    button.resize(100, 60);
    pump();
    const int fitted = button.fittedFont().pointSize();
    EXPECT_LT(fitted, 20);
    EXPECT_GE(fitted, 1);
    EXPECT_LE(QFontMetrics(button.fittedFont()).boundingRect(button.text()).width(), 100 + 10);

    // A font set in pixels scales its pixel size instead.
    QFont pixels = button.font();
    pixels.setPixelSize(30);
    button.setFont(pixels);
    EXPECT_GT(button.fittedFont().pixelSize(), 0);
    EXPECT_LT(button.fittedFont().pixelSize(), 30);
}

} // namespace
