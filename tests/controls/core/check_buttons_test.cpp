#include "zyr_widget_test.h"

#include "controls/core/ZyrCheckButton.h"
#include "controls/core/ZyrPanels.h"
#include "controls/core/ZyrelleControls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

const QColor kUnchecked(10, 20, 200);
const QColor kChecked(20, 200, 20);
const QColor kGrayed(128, 128, 128);
const QColor kNormal(200, 200, 200);
const QColor kPressed(250, 150, 0);
const QColor kFocused(120, 0, 200);
const QColor kDisabled(60, 60, 60);
const QColor kChild(255, 0, 0);

// A parent that records the keys that reach it.
class KeyParent : public QWidget {
public:
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys << event->key(); }
};

void giveMarks(ZyrAbstractCheckButton* button)
{
    button->setUncheckedImg(solid(10, 10, kUnchecked));
    button->setCheckedImg(solid(10, 10, kChecked));
}

TEST(CheckButtons, MarkShowsTheCheckedImageOnlyWhenThereIsOne)
{
    ZyrRadioButton radio;
    radio.resize(30, 30);
    radio.setMarkPosition(QPoint(5, 8));
    radio.setUncheckedImg(solid(10, 10, kUnchecked));
    radio.setChecked(true);
    EXPECT_EQ(at(shot(&radio, "radio_checked_without_image"), 6, 9), kUnchecked);

    radio.setCheckedImg(solid(10, 10, kChecked));
    QImage image = shot(&radio, "radio_checked");
    EXPECT_EQ(at(image, 6, 9), kChecked);
    EXPECT_NE(at(image, 4, 9), kChecked) << "nothing drawn beside the mark";

    // While down the mark moves by its shift on press.
    radio.SetShiftCheckboxOnPress(QPoint(10, 0));
    radio.setDown(true);
    image = shot(&radio, "radio_down");
    EXPECT_EQ(at(image, 16, 9), kChecked);
    EXPECT_NE(at(image, 6, 9), kChecked);
}

TEST(CheckButtons, GrayedCheckBoxShowsItsImageUntilTheNextClick)
{
    ZyrCheckBox box; // no sound manager: the grayed state still ends on a click
    box.resize(10, 10);
    giveMarks(&box);
    box.setChecked(true);
    box.SetGrayed(true);
    EXPECT_EQ(at(shot(&box, "checkbox_grayed_without_image"), 5, 5), kUnchecked);

    box.setCheckedGrayedImg(solid(10, 10, kGrayed));
    EXPECT_EQ(at(shot(&box, "checkbox_grayed"), 5, 5), kGrayed);

    QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(box.GetGrayed());
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(at(shot(&box, "checkbox_after_click"), 5, 5), kUnchecked);
    QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(at(shot(&box, "checkbox_checked"), 5, 5), kChecked);
}

using Factory = std::function<ZyrAbstractCheckButton*(QWidget*)>;
struct KindCase {
    const char* name;
    Factory make;
    bool exclusive;
};

const KindCase kKinds[] = {
    { "ZyrCheckBox", [](QWidget* p) { return new ZyrCheckBox(p); }, false },
    { "ZyrRadioButton", [](QWidget* p) { return new ZyrRadioButton(p); }, true },
    { "phxCheckBox", [](QWidget* p) { return new phxCheckBox(p); }, false },
    { "phxRadioButton", [](QWidget* p) { return new phxRadioButton(p); }, true },
    { "ZyrPushCheckBox", [](QWidget* p) { return new ZyrPushCheckBox(p); }, false },
    { "ZyrPushRadioButton", [](QWidget* p) { return new ZyrPushRadioButton(p); }, true },
};

TEST(CheckButtons, RadiosUnderOneParentUncheckEachOtherChecksNever)
{
    for (const KindCase& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        QWidget parent;
        ZyrAbstractCheckButton* a = kind.make(&parent);
        ZyrAbstractCheckButton* b = kind.make(&parent);
        a->setGeometry(0, 0, 20, 20);
        b->setGeometry(30, 0, 20, 20);
        parent.show();
        QTest::mouseClick(a, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_TRUE(b->isChecked());
        EXPECT_EQ(a->isChecked(), !kind.exclusive);
        EXPECT_EQ(a->metaObject()->className(), QByteArray(kind.name));
    }
}

TEST(CheckButtons, ArrowKeysChangeNeitherCheckNorFocusAndReachTheParentOnlyWithPropagation)
{
    for (bool propagation : { false, true }) {
        SCOPED_TRACE(propagation);
        KeyParent parent;
        auto* first = new phxRadioButton(&parent);
        auto* second = new phxRadioButton(&parent);
        first->setGeometry(0, 0, 20, 20);
        second->setGeometry(0, 30, 20, 20);
        first->setFocusPolicy(Qt::StrongFocus);
        second->setFocusPolicy(Qt::StrongFocus);
        first->setEventPropagation(propagation);
        parent.show();
        QApplication::setActiveWindow(&parent);
        first->setFocus();
        first->setChecked(true);
        ASSERT_TRUE(first->hasFocus());

        const int arrows[] = { Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down };
        for (int key : arrows)
            QTest::keyClick(first, Qt::Key(key));
        EXPECT_TRUE(first->isChecked());
        EXPECT_FALSE(second->isChecked());
        EXPECT_TRUE(first->hasFocus());
        if (propagation)
            EXPECT_EQ(parent.keys, QList<int>({ Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down }));
        else
            EXPECT_TRUE(parent.keys.isEmpty());

        // Other keys still work the button: Space toggles the other radio.
        second->setFocus();
        QTest::keyClick(second, Qt::Key_Space);
        EXPECT_TRUE(second->isChecked());
        EXPECT_FALSE(first->isChecked());
    }
}

// A push check box with a face per state, a mark and a child label.
struct PushFixture {
    QWidget parent;
    ZyrPushCheckBox* button = new ZyrPushCheckBox(&parent);
    ZyrWidget* child = new ZyrWidget(button);

    PushFixture()
    {
        button->setNormal(solid(60, 40, kNormal));
        button->setPressed(solid(60, 40, kPressed));
        button->setUncheckedImg(solid(6, 6, kUnchecked));
        button->setCheckedImg(solid(6, 6, kChecked));
        button->setMarkPosition(QPoint(40, 5));
        button->setShiftOnPress(QPoint(3, 2));
        child->setGeometry(10, 20, 8, 8);
        child->setBackground(solid(8, 8, kChild));
        parent.resize(80, 60);
        parent.show();
    }
};

TEST(CheckButtons, HeldPushLookShiftsFaceChildAndMarkOnceAndReturnsExactly)
{
    PushFixture f;
    EXPECT_EQ(f.button->size(), QSize(60, 40)) << "setNormal fixes the size to the image";

    QTest::mousePress(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
    QImage held = shot(f.button, "push_check_held");
    EXPECT_EQ(at(held, 1, 1), kPressed);
    EXPECT_EQ(f.child->pos(), QPoint(13, 22));
    EXPECT_EQ(at(held, 13, 22), kChild);
    EXPECT_EQ(at(held, 43, 7), kUnchecked) << "mark moved with the children";
    EXPECT_EQ(at(held, 41, 6), kPressed);
    // Repaints while held move nothing further.
    shot(f.button, "push_check_held_again");
    EXPECT_EQ(f.child->pos(), QPoint(13, 22));

    QTest::mouseRelease(f.button, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
    QImage released = shot(f.button, "push_check_released");
    EXPECT_TRUE(f.button->isChecked());
    EXPECT_EQ(f.child->pos(), QPoint(10, 20));
    EXPECT_EQ(at(released, 1, 1), kNormal);
    EXPECT_EQ(at(released, 41, 6), kChecked);
}

TEST(CheckButtons, ForcedStateAndDisabledLooks)
{
    PushFixture f;
    f.button->SetState(QStyle::State_Selected);
    QImage image = shot(f.button, "push_check_selected");
    EXPECT_EQ(at(image, 1, 1), kPressed);
    EXPECT_EQ(f.child->pos(), QPoint(13, 22));
    f.button->SetState({});
    shot(f.button, "push_check_unselected");
    EXPECT_EQ(f.child->pos(), QPoint(10, 20));

    // Focus forced without a focused image: the normal face.
    f.button->SetState(QStyle::State_HasFocus);
    EXPECT_EQ(at(shot(f.button, "push_check_focus_no_image"), 1, 1), kNormal);
    f.button->setFocused(solid(60, 40, kFocused));
    EXPECT_EQ(at(shot(f.button, "push_check_focus"), 1, 1), kFocused);

    // Disabled: the disabled face, or the normal one, never the focused one.
    f.button->setEnabled(false);
    EXPECT_EQ(at(shot(f.button, "push_check_disabled_no_image"), 1, 1), kNormal);
    f.button->setDisabled(solid(60, 40, kDisabled));
    EXPECT_EQ(at(shot(f.button, "push_check_disabled"), 1, 1), kDisabled);
}

TEST(CheckButtons, PressedDoublesAsFocusedUnderKeypadNavigation)
{
    ZyrelleControls::SetKeypadNavigation(true);
    ZyrPushRadioButton plain;
    plain.setPressed(solid(4, 4, kPressed));
    EXPECT_EQ(plain.getFocused().toImage().pixelColor(0, 0), kPressed);
    ZyrPushRadioButton focusedFirst;
    focusedFirst.setFocused(solid(4, 4, kFocused));
    focusedFirst.setPressed(solid(4, 4, kPressed));
    EXPECT_EQ(focusedFirst.getFocused().toImage().pixelColor(0, 0), kFocused);
    ZyrelleControls::SetKeypadNavigation(false);
    ZyrPushRadioButton offline;
    offline.setPressed(solid(4, 4, kPressed));
    EXPECT_TRUE(offline.getFocused().isNull());

    offline.setNormal(QPixmap());
    EXPECT_EQ(offline.size(), QSize(0, 0));
    EXPECT_EQ(offline.maximumSize(), QSize(0, 0));
}

TEST(CheckButtons, MinimumSizeHintCountsMarksAndChildren)
{
    ZyrCheckBox box;
    box.setMarkPosition(QPoint(2, 3));
    box.setUncheckedImg(solid(10, 10, kUnchecked));
    box.setCheckedImg(solid(12, 8, kChecked));
    EXPECT_FALSE(box.minimumSizeHint().isValid()) << "no child: no minimum";
    auto* label = new QLabel(&box);
    label->setGeometry(20, 0, 30, 5);
    EXPECT_EQ(box.minimumSizeHint(), QSize(48, 13)); // x 2..49, y 0..12

    PushFixture f;
    EXPECT_EQ(f.button->minimumSizeHint(), f.button->QWidget::minimumSizeHint());
}

TEST(CheckButtons, EachKindSoundsOncePerClickWithItsNameUnlessBuiltBeforeTheManager)
{
    SoundRecorder recorder;
    std::vector<std::unique_ptr<ZyrAbstractCheckButton>> silent;
    for (const KindCase& kind : kKinds)
        silent.emplace_back(kind.make(nullptr));
    ZyrelleControls::SetSoundManager(&recorder);
    for (const KindCase& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        recorder.played.clear();
        std::unique_ptr<ZyrAbstractCheckButton> button(kind.make(nullptr));
        button->setObjectName(QString::fromLatin1(kind.name));
        button->resize(20, 20);
        QTest::mouseClick(button.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        EXPECT_EQ(recorder.played, QStringList { QString::fromLatin1(kind.name) });
    }
    recorder.played.clear();
    for (auto& button : silent) {
        button->resize(20, 20);
        QTest::mouseClick(button.get(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }
    EXPECT_TRUE(recorder.played.isEmpty());

    // With a manager the grayed state still ends at the click.
    ZyrCheckBox box;
    box.resize(20, 20);
    box.SetGrayed(true);
    QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(box.GetGrayed());
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(CheckButtons, SkinnedButtonsInAForm)
{
    QWidget form;
    form.resize(300, 120);
    auto* check = new ZyrCheckBox(&form);
    check->setUncheckedImg(QPixmap(":/ZyrCheck/unchecked.png"));
    check->setCheckedImg(QPixmap(":/ZyrCheck/checked.png"));
    check->setCheckedGrayedImg(QPixmap(":/ZyrCheck/checked_grayed.png"));
    auto* label = new QLabel(QStringLiteral("Auto sync"), check);
    label->move(30, 3);
    check->setGeometry(10, 10, 130, 24);
    check->setChecked(true);
    auto* radio = new ZyrRadioButton(&form);
    radio->setUncheckedImg(QPixmap(":/ZyrRadio/unchecked.png"));
    radio->setCheckedImg(QPixmap(":/ZyrRadio/checked.png"));
    radio->setGeometry(10, 50, 24, 24);
    auto* push = new ZyrPushRadioButton(&form);
    push->setNormal(QPixmap(":/ZyrPush/normal.png"));
    push->setPressed(QPixmap(":/ZyrPush/pressed.png"));
    push->setUncheckedImg(QPixmap(":/ZyrRadio/unchecked.png"));
    push->setCheckedImg(QPixmap(":/ZyrRadio/checked.png"));
    push->setMarkPosition(QPoint(8, 8));
    push->move(150, 10);
    push->setChecked(true);
    form.show();
    EXPECT_EQ(push->size(), QSize(120, 40));
    for (const ZyrAbstractCheckButton* b : std::initializer_list<const ZyrAbstractCheckButton*> { check, radio, push }) {
        EXPECT_EQ(b->getCheckedImg().size(), QSize(24, 24));
        EXPECT_EQ(b->getUncheckedImg().size(), QSize(24, 24));
    }
    QImage image = shot(&form, "skinned_form");
    EXPECT_EQ(at(image, 14, 14), at(check->getCheckedImg().toImage(), 4, 4));
    EXPECT_EQ(at(image, 150 + 60, 10 + 38), at(push->getNormal().toImage(), 60, 38));
}

} // namespace
