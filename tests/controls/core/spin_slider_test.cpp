#include "zyr_widget_test.h"

#include "controls/core/ZyrHorizontalSlider.h"
#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrSpinBox.h"
#include "controls/core/ZyrTextBox.h"
#include "controls/core/ZyrelleControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

QString shown(ZyrAbstractSpinBox& box)
{
    return box.findChild<ZyrTextBox*>()->text();
}

QList<int> values(const QSignalSpy& spy)
{
    QList<int> list;
    for (const QList<QVariant>& call : spy)
        list << call.first().toInt();
    return list;
}

TEST(SpinBox, StepsWrapOnlyWhenCyclicAndEmitAlsoAtABound)
{
    struct Case {
        int start;
        bool up, cyclic;
        int expected;
    };
    const Case cases[] = {
        { 12, true, false, 12 },
        { 12, true, true, 1 },
        { 1, false, true, 12 },
        { 1, false, false, 1 },
        { 5, true, false, 6 },
        { 5, false, true, 4 },
        { 20, true, false, 20 }, // started above the bounds
        { 20, true, true, 1 },
        { -3, false, false, -3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << (c.up ? " up" : " down") << (c.cyclic ? " cyclic" : ""));
        ZyrVerticalSpinBox box;
        box.setMinValue(1);
        box.setMaxValue(12);
        box.setCyclic(c.cyclic);
        box.setInitValue(c.start);
        EXPECT_EQ(shown(box), QString::number(c.start));
        QSignalSpy changing(&box, SIGNAL(valueChanging(int)));
        if (c.up)
            box.OnUpArrow();
        else
            box.OnDownArrow();
        EXPECT_EQ(values(changing), QList<int> { c.expected });
        EXPECT_EQ(box.initValue(), c.expected);
        EXPECT_EQ(shown(box), QString::number(c.expected));
    }
}

TEST(SpinBox, BlockingTakesOneStepUntilUnlocked)
{
    ZyrVerticalSpinBox box;
    box.setMaxValue(10);
    box.setBlocking(true);
    QSignalSpy changing(&box, SIGNAL(valueChanging(int)));
    box.OnUpArrow();
    box.OnUpArrow();
    box.OnDownArrow();
    EXPECT_EQ(values(changing), QList<int> { 1 });
    box.unlock();
    box.OnUpArrow();
    EXPECT_EQ(values(changing), QList<int>({ 1, 2 }));
    EXPECT_EQ(shown(box), QStringLiteral("2"));
}

TEST(SpinBox, StringSpinBoxShowsTheStringAtTheValue)
{
    ZyrStringVerticalSpinBox box;
    EXPECT_EQ(shown(box), QString());
    box.setValues({ "a", "b", "c" });
    EXPECT_EQ(shown(box), QStringLiteral("a"));
    box.setCyclic(true);
    box.OnDownArrow();
    EXPECT_EQ(shown(box), QStringLiteral("c")) << "bounds 0 and 2";
    box.OnUpArrow();
    EXPECT_EQ(shown(box), QStringLiteral("a"));
    box.setInitValue(7);
    EXPECT_EQ(shown(box), QString()) << "a value outside the list shows nothing";
}

TEST(SpinBox, LayoutAndFocusHighlight)
{
    QWidget window;
    window.resize(120, 120);
    auto* box = new ZyrVerticalSpinBox(&window);
    box->setContentMargin(2);
    box->setUpArrowNormal(QPixmap(":/ZyrSpin/up.png")); // 44 x 26
    box->setUpArrowPressed(QPixmap(":/ZyrSpin/up_p.png"));
    box->setDownArrowNormal(QPixmap(":/ZyrSpin/down.png"));
    box->setDownArrowPressed(QPixmap(":/ZyrSpin/down_p.png"));
    box->setBackground(QPixmap(":/ZyrSpin/background.png")); // 44 x 30
    box->setFontSize(16);
    box->setMaxValue(99);
    box->setInitValue(42);
    box->setHighlightColor(QColor(255, 0, 0));
    box->setHighlightSize(QSize(44, 3));
    box->setHighlightPosition(QPoint(0, 27));
    box->move(10, 10);
    window.show();
    QApplication::setActiveWindow(&window);

    QImage image = shot(box, "spin_box");
    EXPECT_EQ(box->size(), QSize(44, 30 + 2 * 26 + 2 * 2));
    EXPECT_EQ(box->sizeHint(), box->size());
    auto* background = box->findChild<ZyrIcon*>();
    EXPECT_EQ(background->pos(), QPoint(0, 28));
    const QList<ZyrPushButton*> arrows = box->findChildren<ZyrPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(arrows.size(), 2);
    EXPECT_EQ(arrows[0]->pos(), QPoint(0, 0));
    EXPECT_EQ(arrows[1]->pos(), QPoint(0, 60));
    EXPECT_EQ(box->findChild<ZyrTextBox*>()->size(), QSize(44, 30));
    EXPECT_EQ(box->findChild<ZyrTextBox*>()->text(), QStringLiteral("42"));
    EXPECT_NE(at(image, 20, 28 + 28), QColor(255, 0, 0)) << "no highlight without focus";

    // A tap on an arrow gives the box the focus, which shows the highlight.
    QTest::mouseClick(arrows[0], Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->initValue(), 43);
    shot(box, "spin_box_focused"); // the paint shows the highlight
    image = shot(box, "spin_box_focused");
    EXPECT_EQ(at(image, 20, 28 + 28), QColor(255, 0, 0));
    EXPECT_EQ(box->property("hightlightPosition").toPoint(), QPoint(0, 27));
}

const QColor kFiller(0, 170, 0);

// A 220 x 40 slider: bar at (31, 12), fillers of 30 x 12 from (35, 14).
struct SliderFixture {
    ZyrHorizontalSlider slider;
    SliderFixture()
    {
        slider.setObjectName(QStringLiteral("volume"));
        slider.setGrad(solid(158, 16, QColor(200, 200, 200)));
        slider.setFiller(solid(30, 12, kFiller));
        slider.setSlider(solid(12, 28, QColor(250, 250, 250)));
        slider.setMinus(solid(28, 28, QColor(200, 0, 0)));
        slider.setPlus(solid(28, 28, QColor(0, 0, 200)));
        slider.resize(220, 40);
        slider.show();
        shot(&slider, "slider_fixture");
    }
    void release(QPoint at, QPoint pressAt)
    {
        QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, pressAt);
        QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, at);
    }
};

TEST(Slider, SetValueRoundsToMultiplesOfTwenty)
{
    ZyrHorizontalSlider slider;
    EXPECT_EQ(slider.value(), 60);
    QSignalSpy changed(&slider, SIGNAL(valuechanged(int)));
    struct Case {
        int set, stored;
        bool emitted;
    };
    const Case cases[] = {
        { 30, 40, true },
        { 29, 20, true },
        { 95, 100, true },
        { 101, 100, false },
        { -1, 100, false },
        { 100, 100, false },
        { 40, 40, true },
        { 45, 40, true }, // rounds to the stored value: emitted again
        { 10, 20, true },
        { 0, 0, true },
    };
    for (const Case& c : cases) {
        changed.clear();
        slider.setValue(c.set);
        EXPECT_EQ(slider.value(), c.stored) << c.set;
        EXPECT_EQ(values(changed), c.emitted ? QList<int> { c.stored } : QList<int> {}) << c.set;
    }
}

TEST(Slider, FillersAndPointerFollowTheValueInBothOrientations)
{
    SliderFixture f;
    f.slider.setValue(0);
    QImage empty = shot(&f.slider, "slider_0");
    EXPECT_NE(at(empty, 40, 20), kFiller);
    f.slider.setValue(100);
    QImage full = shot(&f.slider, "slider_100");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(at(full, 35 + 30 * i + 3, 15), kFiller) << i;
    EXPECT_NE(at(full, 35 + 150 + 2, 15), kFiller);
    // The pointer (12 wide) centred on the end of the last filler.
    EXPECT_EQ(at(full, 35 + 150, 6), QColor(250, 250, 250));
    EXPECT_EQ(at(full, 2, 2), QColor(200, 0, 0));
    EXPECT_EQ(at(full, 217, 2), QColor(0, 0, 200));

    ZyrHorizontalSlider vertical;
    vertical.SetHoriz(false);
    vertical.setGrad(solid(16, 158, QColor(200, 200, 200)));
    vertical.setFiller(solid(12, 30, kFiller));
    vertical.setSlider(solid(28, 12, QColor(250, 250, 250)));
    vertical.resize(40, 220);
    vertical.setValue(40);
    // Bar at (12, 31), origin (16, 191): fillers upward at 161 and 131.
    QImage image = shot(&vertical, "slider_vertical_40");
    EXPECT_EQ(at(image, 20, 188), kFiller);
    EXPECT_EQ(at(image, 20, 145), kFiller);
    EXPECT_NE(at(image, 20, 124), kFiller);
    EXPECT_EQ(at(image, 8, 131), QColor(250, 250, 250)) << "pointer at the top of the fillers";
}

TEST(Slider, PlusMinusTapsAndKeys)
{
    SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    SliderFixture f;
    QSignalSpy changed(&f.slider, SIGNAL(valuechanged(int)));
    f.release(QPoint(205, 10), QPoint(205, 10));
    EXPECT_EQ(f.slider.value(), 80);
    f.release(QPoint(205, 10), QPoint(205, 10));
    f.release(QPoint(205, 10), QPoint(205, 10));
    EXPECT_EQ(f.slider.value(), 100);
    EXPECT_EQ(values(changed), QList<int>({ 80, 100 })) << "plus at 100 changes nothing";
    EXPECT_EQ(recorder.played.size(), 3) << "but still sounds";
    EXPECT_EQ(recorder.played.value(0), QStringLiteral("volume"));
    f.release(QPoint(10, 10), QPoint(10, 10));
    EXPECT_EQ(f.slider.value(), 80);

    QKeyEvent left(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(&f.slider, &left);
    EXPECT_EQ(f.slider.value(), 60);
    QKeyEvent right(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&f.slider, &right);
    EXPECT_EQ(f.slider.value(), 80);
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(Slider, TapWithinFourPixelsJumpsToTheSegment)
{
    SliderFixture f; // value 60
    // 44 pixels from the origin: one segment and 14 pixels, so two.
    f.release(QPoint(35 + 44, 20), QPoint(35 + 40, 20));
    EXPECT_EQ(f.slider.value(), 40);
    f.release(QPoint(35 + 100, 20), QPoint(35 + 105, 20));
    EXPECT_EQ(f.slider.value(), 40) << "5 pixels away: no jump";
    f.release(QPoint(35 + 121, 20), QPoint(35 + 121, 20));
    EXPECT_EQ(f.slider.value(), 80) << "one pixel past a segment does not count";
    f.release(QPoint(35 + 122, 20), QPoint(35 + 122, 20));
    EXPECT_EQ(f.slider.value(), 100);
}

TEST(Slider, DragMovesThePointerAndLeavesCrossAxisMovesToTheParent)
{
    SliderFixture f; // value 60: pointer at 35 - 6 + 90 = 119
    QTest::mousePress(&f.slider, Qt::LeftButton, Qt::NoModifier, QPoint(124, 20));
    auto move = [&](QPoint to) {
        QMouseEvent event(QEvent::MouseMove, to, f.slider.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(&f.slider, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(move(QPoint(145, 22)));
    EXPECT_EQ(f.slider.value(), 80);
    EXPECT_FALSE(move(QPoint(147, 40))) << "mostly across the axis";
    EXPECT_EQ(f.slider.value(), 80);
    EXPECT_TRUE(move(QPoint(60, 45)));
    EXPECT_EQ(f.slider.value(), 20);
    // Beyond twice the height below the widget the drag ends.
    move(QPoint(60, 40 + 81));
    move(QPoint(190, 20));
    EXPECT_EQ(f.slider.value(), 20);
    QTest::mouseRelease(&f.slider, Qt::LeftButton, Qt::NoModifier, QPoint(190, 20));
}

} // namespace
