#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/ZyrFlowLayout.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrKeyExtWidget.h"
#include "tests/controls/keyboard/keyboard_test_util.h"

#include <QSpacerItem>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QList<zyrKeyButton*> buttonsOf(zyrKeyExtWidget* popup)
{
    return popup->findChildren<zyrKeyButton*>(QString(), Qt::FindDirectChildrenOnly);
}

TEST(FlowLayout, PlacesItemsInLinesThatEndOnePixelShortOfTheWidth)
{
    struct Case {
        int margin;
        QList<QSize> items;
        int width;
        int height;
    };
    const Case cases[] = {
        { 5, {}, 100, 10 }, // no items: both margins
        { 0, { { 50, 20 }, { 50, 20 } }, 100, 40 }, // right() is the last column: two lines
        { 0, { { 50, 20 }, { 50, 20 } }, 101, 20 },
        { 0, { { 150, 20 }, { 10, 30 } }, 100, 50 }, // too wide stays first, the next breaks
        { 2, { { 10, 20 }, { 10, 30 }, { 10, 5 } }, 0, 59 }, // width 0: a line each
        { 0, { { 10, 0 }, { 500, 0 }, { 500, 8 } }, 100, 8 }, // zero-height lines never break
    };
    for (const Case& c : cases) {
        ZyrFlowLayout layout(c.margin, 0, 0);
        for (const QSize& s : c.items)
            layout.addItem(new QSpacerItem(s.width(), s.height()));
        EXPECT_EQ(layout.heightForWidth(c.width), c.height) << c.width << " " << c.items.size();
    }

    ZyrFlowLayout empty(5, 0, 0);
    EXPECT_EQ(empty.minimumSize(), QSize(9, 9));
    EXPECT_EQ(empty.sizeHint(), QSize(9, 9));
    EXPECT_EQ(empty.itemAt(0), nullptr);
    EXPECT_EQ(empty.takeAt(-1), nullptr);
    EXPECT_EQ(empty.expandingDirections(), Qt::Orientations());
}

TEST(FlowLayout, PlacesItemsTopAlignedAndHandsOverTakenItems)
{
    ZyrFlowLayout layout(0, 4, 6);
    layout.addItem(new QSpacerItem(50, 20));
    layout.addItem(new QSpacerItem(50, 10));
    layout.addItem(new QSpacerItem(50, 10));
    layout.setGeometry(QRect(10, 10, 120, 100));
    EXPECT_EQ(layout.itemAt(0)->geometry(), QRect(10, 10, 50, 20));
    EXPECT_EQ(layout.itemAt(1)->geometry(), QRect(64, 10, 50, 10));
    EXPECT_EQ(layout.itemAt(2)->geometry(), QRect(10, 36, 50, 10));
    EXPECT_EQ(layout.minimumSize(), QSize(50, 20));

    QLayoutItem* taken = layout.takeAt(0);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(layout.count(), 2);
    delete taken; // ours now: the layout's destructor must not free it again
}

TEST(FlowLayout, UnsetSpacingsComeFromTheParentsStyle)
{
    QWidget parent;
    auto* layout = new ZyrFlowLayout(&parent, 0, -1, 3);
    EXPECT_EQ(layout->horizontalSpacing(), parent.style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, &parent));
    EXPECT_EQ(layout->verticalSpacing(), 3);
    ZyrFlowLayout orphan(0, -1, -1);
    EXPECT_EQ(orphan.horizontalSpacing(), -1);
}

TEST(ExtCharPopup, OneButtonPerCharacterAndASizeFromTheFlowLayout)
{
    zyrKeyExtWidget popup;
    popup.setExtChars(QString());
    EXPECT_EQ(popup.sizeHint(), QSize(9, 9));
    EXPECT_EQ(popup.buttonCount(), 0);

    // A character outside the BMP is one button typing the whole pair.
    const QString chars = QString::fromUtf8("e\u00e9\U0001F600");
    popup.setExtChars(chars);
    QList<zyrKeyButton*> buttons = buttonsOf(&popup);
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(popup.buttonCount(), 3);
    QStringList clicked;
    QObject::connect(&popup, &zyrKeyExtWidget::clicked, [&](QString c) { clicked << c; });
    popup.show();
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_EQ(clicked, QStringList({ QString::fromUtf8("\U0001F600") }));
    EXPECT_EQ(buttons[0]->font().pointSize(), 16);

    // A refill replaces the buttons.
    popup.setExtChars("xy");
    EXPECT_EQ(buttonsOf(&popup).size(), 2);
    EXPECT_EQ(popup.buttonCount(), 2);
}

TEST(ExtCharPopup, KeypadNavigationPlacesACellRow)
{
    ZyrelleControls::SetKeypadNavigation(true);
    zyrKeyExtWidget popup;
    popup.setExtChars("abc");
    ZyrelleControls::SetKeypadNavigation(false);
    QList<zyrKeyButton*> buttons = buttonsOf(&popup);
    ASSERT_EQ(buttons.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->geometry(), QRect(10 + 20 * i, 10, 20, 26));
        EXPECT_EQ(buttons[i]->roundRadius(), 0);
    }
    EXPECT_EQ(popup.layout()->count(), 0);
}

TEST(ExtCharPopup, ArrowsReturnAndEscape)
{
    auto* popup = new zyrKeyExtWidget;
    QPointer<zyrKeyExtWidget> guard(popup);
    popup->setExtChars("abc");
    QList<zyrKeyButton*> b = buttonsOf(popup);
    QStringList clicked;
    QObject::connect(popup, &zyrKeyExtWidget::clicked, [&](QString c) { clicked << c; });
    auto marks = [&] {
        QString s;
        for (zyrKeyButton* button : b)
            s += button->isHasFocus() ? '*' : '.';
        return s;
    };

    popup->processKey(Qt::Key_Return); // nothing marked: clicks nothing, marks the first
    EXPECT_TRUE(clicked.isEmpty());
    EXPECT_EQ(marks(), "*..");
    popup->processKey(Qt::Key_Return);
    EXPECT_EQ(clicked, QStringList({ "a" }));
    popup->processKey(Qt::Key_Left); // wraps to the last
    EXPECT_EQ(marks(), "..*");
    popup->processKey(Qt::Key_Right);
    EXPECT_EQ(marks(), "*..");
    popup->processKey(Qt::Key_Up);
    popup->processKey(Qt::Key_Enter);
    EXPECT_EQ(marks(), "*..");
    EXPECT_EQ(clicked.size(), 1);

    popup->processKey(Qt::Key_Escape);
    EXPECT_TRUE(kbdtest::waitUntil([&] { return guard.isNull(); })); // deletes itself

    zyrKeyExtWidget fresh;
    fresh.setExtChars("xy");
    QList<zyrKeyButton*> f = buttonsOf(&fresh);
    fresh.processKey(Qt::Key_Right); // nothing marked: the first, whichever arrow
    EXPECT_TRUE(f[0]->isHasFocus());
}

TEST(ExtCharPopup, PaintsItsImageOverTheRoundedBackground)
{
    zyrKeyExtWidget popup;
    popup.resize(80, 46);
    QImage plain = kbdtest::renderAlone(&popup);
    EXPECT_EQ(plain.pixelColor(0, 0).alpha(), 0); // rounded corner
    EXPECT_NEAR(plain.pixelColor(40, 23).alpha(), 200, 8);

    QPixmap image(10, 10);
    image.fill(Qt::red);
    popup.setNormalXBmp(image);
    QImage skinned = kbdtest::renderAlone(&popup);
    EXPECT_EQ(skinned.pixelColor(0, 0), QColor(Qt::red)); // corners included
}

} // namespace
