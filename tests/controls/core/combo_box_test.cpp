#include "zyr_widget_test.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/ZyrComboBox.h"
#include "controls/core/ZyrTextBox.h"
#include "controls/core/ZyrelleControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

struct StillClock {
    StillClock() { ZyrelleControls::Internal::SetClock([] { return qint64(1000); }); }
    ~StillClock() { ZyrelleControls::Internal::SetClock({}); }
};

void mouse(QWidget* target, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A combo box of `rows` items at height `y` in a window covering the
// screen's full height.
struct ComboFixture {
    SoundRecorder recorder;
    bool registered = (ZyrelleControls::SetSoundManager(&recorder), true);
    QWidget window;
    QWidget* other = new QWidget(&window);
    ZyrComboBox* combo = new ZyrComboBox(&window);

    explicit ComboFixture(int y, int rows = 10)
    {
        combo->setObjectName(QStringLiteral("combo"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        window.setGeometry(screen.left(), screen.top(), 240, screen.height());
        other->setGeometry(0, 0, 240, 40);
        combo->setNormal(QPixmap(":/ZyrCombo/box.png"));
        combo->setPressed(QPixmap(":/ZyrCombo/box_p.png"));
        combo->setArrowNormal(QPixmap(":/ZyrCombo/arrow.png"));
        combo->setArrowPressed(QPixmap(":/ZyrCombo/arrow_p.png"));
        combo->setArrowOrigin(QPoint(165, 5));
        combo->setItemNormal(QPixmap(":/ZyrCombo/item.png"));
        combo->setItemFocused(QPixmap(":/ZyrCombo/item_f.png"));
        combo->setItemPressed(QPixmap(":/ZyrCombo/item_p.png"));
        combo->setFontPixelSize(16);
        for (int i = 0; i < rows; ++i)
            combo->addItem(QStringLiteral("Choice %1").arg(i));
        combo->move(20, y);
        window.show();
        QApplication::setActiveWindow(&window);
        pump();
    }
    ~ComboFixture() { ZyrelleControls::SetSoundManager(nullptr); }

    void tapBox(QPoint at = { 20, 20 }, QPoint release = { 20, 20 })
    {
        mouse(combo, QEvent::MouseButtonPress, at);
        mouse(combo, QEvent::MouseButtonRelease, release);
    }
    bool open() const { return combo->popupWindow() != nullptr; }
    void waitForTheGuard()
    {
        QTimer* guard = combo->findChild<QTimer*>(QStringLiteral("guard"));
        ASSERT_NE(guard, nullptr);
        EXPECT_TRUE(pumpUntil([&] { return !guard->isActive(); }));
    }
};

TEST(ComboBox, OpensOnATapWithinEightPixelsAndTheOpeningReleaseKeepsItOpen)
{
    ComboFixture f(100);
    f.tapBox({ 20, 20 }, { 29, 20 });
    EXPECT_FALSE(f.open()) << "9 pixels is no tap";
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(f.combo, &down);
    EXPECT_FALSE(f.open());
    EXPECT_EQ(f.combo->currentIndex(), 0) << "arrow keys do nothing";

    QTest::mouseClick(f.combo, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20)); // through the application
    ASSERT_TRUE(f.open());
    EXPECT_TRUE(f.combo->popupWindow()->isVisible());
    EXPECT_TRUE(f.combo->popupList()->hasFocus());
    f.waitForTheGuard();
    EXPECT_TRUE(f.open());
}

TEST(ComboBox, ADragChoosesNothingAndATapChoosesTheRow)
{
    StillClock still;
    ComboFixture f(100);
    f.combo->setCurrentIndex(2);
    QSignalSpy activatedIndex(f.combo, SIGNAL(activated(int)));
    QSignalSpy activatedText(f.combo, SIGNAL(activated(QString)));
    QSignalSpy highlightedIndex(f.combo, SIGNAL(highlighted(int)));
    QSignalSpy highlightedText(f.combo, SIGNAL(highlighted(QString)));
    f.tapBox();
    ASSERT_TRUE(f.open());
    f.waitForTheGuard();
    ZyrComboBoxListView* list = f.combo->popupList();
    QImage popup = shot(f.combo->popupWindow(), "combo_open");
    QImage box = shot(f.combo, "combo_box_open");
    EXPECT_EQ(at(box, 100, 2), at(f.combo->pressed().toImage(), 100, 2)) << "pressed look while open";
    const int current = list->visualRect(list->currentIndex()).center().y() + 40;
    EXPECT_EQ(at(popup, 100, current), QColor(200, 220, 245)) << "the current row";

    QWidget* viewport = list->viewport();
    mouse(viewport, QEvent::MouseButtonPress, { 50, 50 });
    mouse(viewport, QEvent::MouseMove, { 50, 80 });
    mouse(viewport, QEvent::MouseMove, { 50, 90 });
    mouse(viewport, QEvent::MouseButtonRelease, { 50, 90 });
    EXPECT_TRUE(f.open()) << "a drag chooses nothing";
    EXPECT_EQ(activatedIndex.count(), 0);

    const QPoint row4 = list->visualRect(list->model()->index(4, 0)).center();
    mouse(viewport, QEvent::MouseButtonPress, row4);
    mouse(viewport, QEvent::MouseButtonRelease, row4);
    EXPECT_FALSE(f.open());
    EXPECT_EQ(f.combo->currentIndex(), 4);
    ASSERT_EQ(activatedIndex.count(), 1);
    EXPECT_EQ(activatedIndex.first().first().toInt(), 4);
    ASSERT_EQ(activatedText.count(), 1);
    EXPECT_EQ(activatedText.first().first().toString(), QStringLiteral("Choice 4"));
    EXPECT_EQ(f.combo->label()->content(), QStringLiteral("Choice 4"));
    EXPECT_GT(highlightedIndex.count(), 0);
    EXPECT_EQ(highlightedIndex.count(), highlightedText.count());
    EXPECT_EQ(f.recorder.played, QStringList({ "combo", "combo" })) << "one sound to open, one to close";
}

TEST(ComboBox, ATapOutsideClosesUnchangedAndOnTheBoxDoesNotReopen)
{
    ComboFixture f(100);
    QSignalSpy activated(f.combo, SIGNAL(activated(int)));
    f.tapBox();
    f.waitForTheGuard();
    QTest::mouseClick(f.other, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(f.open());
    EXPECT_EQ(f.combo->currentIndex(), 0);
    EXPECT_EQ(activated.count(), 0);

    QTest::mouseClick(f.combo, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    ASSERT_TRUE(f.open());
    f.waitForTheGuard();
    QTest::mouseClick(f.combo, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_FALSE(f.open()) << "closed, not reopened";
    EXPECT_EQ(f.recorder.played.size(), 4);
    EXPECT_EQ(activated.count(), 0);
}

TEST(ComboBox, KeysOpenChooseAndClose)
{
    ComboFixture f(100);
    QSignalSpy activated(f.combo, SIGNAL(activated(int)));
    QKeyEvent ret(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f.combo, &ret);
    ASSERT_TRUE(f.open());
    ZyrComboBoxListView* list = f.combo->popupList();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &down);
    QApplication::sendEvent(list, &ret);
    EXPECT_FALSE(f.open());
    EXPECT_EQ(f.combo->currentIndex(), 1);
    EXPECT_EQ(activated.count(), 1);

    QApplication::sendEvent(f.combo, &ret);
    ASSERT_TRUE(f.open());
    QKeyEvent escape(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(f.combo->popupList(), &escape);
    EXPECT_FALSE(f.open());
    EXPECT_EQ(activated.count(), 1);
}

TEST(ComboBox, OpensAboveWhenBelowIsShortAndClipsWhenBothAre)
{
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    struct Case {
        const char* what;
        int y, rows;
        bool above, clipped;
    };
    // Ten rows need 11 x 40 + 2 pixels.
    const Case cases[] = {
        { "room below", 100, 10, false, false },
        { "short below, room above", screenHeight - 140, 10, true, false },
        { "short on both sides", screenHeight / 2, 20, true, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ComboFixture f(c.y, c.rows);
        f.tapBox();
        ASSERT_TRUE(f.open());
        const QRect window = f.combo->popupWindow()->geometry();
        const QPoint box = f.combo->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(window.left(), box.x() + 8);
        if (c.above) {
            EXPECT_EQ(window.top() + window.height(), box.y());
        } else {
            EXPECT_EQ(window.top(), box.y());
        }
        EXPECT_EQ(window.height(), c.clipped ? box.y() : 40 * (c.rows + 1) + 2);
        EXPECT_EQ(f.combo->popupList()->geometry().top(), 40) << "the first row stays clear";
        pump();
        const QScrollBar* bar = f.combo->popupList()->verticalScrollBar();
        EXPECT_EQ(bar->maximum() > 0, c.clipped) << "only a clipped list scrolls";
        f.combo->hidePopup(false);
    }
}

TEST(ComboBox, DestroyedWithItsPopupOpenTakesThePopupAlong)
{
    QPointer<QWidget> window;
    {
        ComboFixture f(100);
        f.tapBox();
        window = f.combo->popupWindow();
        ASSERT_FALSE(window.isNull());
        QSignalSpy clicked(f.combo, SIGNAL(clicked(QString)));
        delete f.combo;
        EXPECT_TRUE(window.isNull());
        f.other->setFocus();
        pump();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

} // namespace
