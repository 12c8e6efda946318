// The map control driving a recording map engine.
#include "controls/core/ZyrelleControls.h"
#include "controls/instruments/ZyrMapControl.h"
#include "sim/instruments/map_view.h"
#include "tests/controls/core/zyr_widget_test.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using kivo::sim::MapSlot;
using kivo::sim::MapView;
using zyrtest::shot;
using zyrtest::solid;

void move(QWidget* w, QPoint at)
{
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}

// What the long-press timer delivers.
void longPress(QWidget* w)
{
    QTimerEvent e(1);
    QCoreApplication::sendEvent(w, &e);
}

struct KeypadNavigation {
    KeypadNavigation() { ZyrelleControls::SetKeypadNavigation(true); }
    ~KeypadNavigation() { ZyrelleControls::SetKeypadNavigation(false); }
};

struct Map {
    explicit Map(QSize size = QSize(200, 100))
    {
        control.setObjectName("map");
        control.resize(size);
        control.show(); // a hidden widget gets a resize event with every grab
        control.SetMapViewInterface(&engine);
        engine.clear();
    }
    ~Map() { control.SetMapViewInterface(nullptr); }
    MapView engine;
    ZyrMapControl control;
};

TEST(MapControl, AttachesDetachesAndSizesTheEngine)
{
    MapView first, second;
    {
        ZyrMapControl control;
        control.resize(200, 100);
        control.show();
        control.SetMapViewInterface(&first);
        ASSERT_EQ(first.calls().size(), 2);
        EXPECT_EQ(first.calls()[0].slot, MapSlot::Attach);
        EXPECT_EQ(first.calls()[0].control, &control);
        EXPECT_EQ(first.calls()[1].slot, MapSlot::SetRect);
        EXPECT_EQ(first.calls()[1].rect, QRect(0, 0, 200, 100));

        control.SetMapViewInterface(&second); // replaced: the old one is detached
        EXPECT_EQ(first.last(MapSlot::Detach).control, &control);
        EXPECT_EQ(second.count(MapSlot::Attach), 1);

        control.resize(300, 120);
        EXPECT_EQ(second.last(MapSlot::SetRect).rect, QRect(0, 0, 300, 120));
        control.hide();
        EXPECT_EQ(second.last(MapSlot::Hide).control, &control);
        control.show();
        EXPECT_EQ(second.last(MapSlot::Show).control, &control);
        control.hide();
        EXPECT_EQ(second.last(MapSlot::Hide).control, &control);
        EXPECT_EQ(second.count(MapSlot::Detach), 0);
    }
    EXPECT_EQ(second.count(MapSlot::Detach), 1); // on destruction
    EXPECT_EQ(first.count(MapSlot::Detach), 1);
    EXPECT_EQ(first.count(MapSlot::Reserved13) + second.count(MapSlot::Reserved13), 0);
}

QStringList g_debugLines;
void recordDebug(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
}

TEST(MapControl, LogsCreationEngineAndDestruction)
{
    g_debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordDebug);
    MapView engine;
    {
        ZyrMapControl control;
        control.SetMapViewInterface(&engine);
    }
    qInstallMessageHandler(previous);
    ASSERT_EQ(g_debugLines.size(), 3);
    EXPECT_TRUE(g_debugLines[0].startsWith("Create ZyrMapControl(")) << g_debugLines[0].toStdString();
    EXPECT_TRUE(g_debugLines[1].startsWith("Set ZyrMapControl(")) << g_debugLines[1].toStdString();
    EXPECT_TRUE(g_debugLines[1].endsWith(
        QStringLiteral(" 0x%1").arg(quintptr(static_cast<IMapView*>(&engine)), 0, 16)))
        << g_debugLines[1].toStdString();
    EXPECT_TRUE(g_debugLines[2].startsWith("Destroy ZyrMapControl(")) << g_debugLines[2].toStdString();
}

TEST(MapControl, SmallMoveCancelsTheTapAndIsNotForwarded)
{
    Map m;
    QSignalSpy clicked(&m.control, SIGNAL(clicked(QString)));
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    move(&m.control, QPoint(59, 41));
    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(59, 41));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(m.engine.count(MapSlot::MousePress), 1);
    EXPECT_EQ(m.engine.count(MapSlot::MouseMove), 0);
    EXPECT_EQ(m.engine.last(MapSlot::MouseRelease).pos, QPoint(59, 41));

    // Nine pixels still allow the long press.
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    move(&m.control, QPoint(41, 59));
    longPress(&m.control);
    EXPECT_EQ(m.engine.count(MapSlot::LongPress), 1);
    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(41, 59));
}

TEST(MapControl, TenPixelsMakeADrag)
{
    Map m;
    QSignalSpy clicked(&m.control, SIGNAL(clicked(QString)));
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    move(&m.control, QPoint(50, 60));
    EXPECT_EQ(m.engine.count(MapSlot::MouseMove), 0);
    move(&m.control, QPoint(60, 70));
    move(&m.control, QPoint(70, 80));
    EXPECT_EQ(m.engine.count(MapSlot::MouseMove), 2);
    EXPECT_EQ(m.engine.last(MapSlot::MouseMove).pos, QPoint(70, 80));
    longPress(&m.control); // the timer was stopped; a stray event changes nothing visible to the engine
    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(70, 80));
    EXPECT_EQ(m.engine.last(MapSlot::MouseRelease).pos, QPoint(70, 80));
    EXPECT_EQ(clicked.count(), 0);

    // Moves without a press go straight through.
    move(&m.control, QPoint(5, 5));
    EXPECT_EQ(m.engine.last(MapSlot::MouseMove).pos, QPoint(5, 5));
}

TEST(MapControl, LongPressSynthesisesPressAndReleaseThenClicks)
{
    Map m;
    QSignalSpy clicked(&m.control, SIGNAL(clicked(QString)));
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(60, 40));
    // The long-press timer is armed with the press.
    ASSERT_TRUE(zyrtest::pumpUntil([&] { return m.engine.count(MapSlot::LongPress) == 1; }));
    const MapView::Call press = m.engine.last(MapSlot::LongPress);
    EXPECT_EQ(press.type, QEvent::MouseButtonPress);
    EXPECT_EQ(press.pos, QPoint(60, 40));
    EXPECT_EQ(press.button, Qt::LeftButton);

    move(&m.control, QPoint(90, 70)); // the loupe follows; the engine hears nothing
    EXPECT_EQ(m.engine.count(MapSlot::MouseMove), 0);
    longPress(&m.control);
    EXPECT_EQ(m.engine.count(MapSlot::LongPress), 1);

    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(90, 70));
    const MapView::Call release = m.engine.last(MapSlot::MouseRelease);
    EXPECT_EQ(m.engine.count(MapSlot::MouseRelease), 1);
    EXPECT_EQ(release.type, QEvent::MouseButtonRelease);
    EXPECT_EQ(release.pos, QPoint(60, 40)); // at the press, not at the finger
    EXPECT_EQ(release.button, Qt::LeftButton);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "map");

    // A timer event with no press held opens nothing.
    longPress(&m.control);
    EXPECT_EQ(m.engine.count(MapSlot::LongPress), 1);
}

TEST(MapControl, TapWithoutEngineStillClicksAndSounds)
{
    zyrtest::SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    {
        ZyrMapControl control;
        control.setObjectName("bare");
        control.resize(100, 100);
        QSignalSpy clicked(&control, SIGNAL(clicked(QString)));
        QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        EXPECT_EQ(clicked.count(), 1);
        EXPECT_EQ(recorder.played, QStringList { "bare" });
        shot(&control, "no_engine");
    }
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(MapControl, ForwardsKeysAndDoubleClicks)
{
    Map m;
    QTest::keyPress(&m.control, Qt::Key_A);
    QTest::keyRelease(&m.control, Qt::Key_A);
    QKeyEvent autoRelease(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(&m.control, &autoRelease);
    EXPECT_EQ(m.engine.count(MapSlot::KeyPress), 1);
    EXPECT_EQ(m.engine.count(MapSlot::KeyRelease), 1); // auto-repeat releases are dropped
    QTest::mouseDClick(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(m.engine.count(MapSlot::MouseDoubleClick), 1);
}

TEST(MapControl, KeypadNavigationRepeatsAHeldArrow)
{
    KeypadNavigation keypad;
    {
        Map m;
        QTest::keyPress(&m.control, Qt::Key_Left);
        ASSERT_TRUE(zyrtest::pumpUntil([&] { return m.engine.count(MapSlot::KeyPress) >= 4; }));
        // Each repeat is a press of its own, not the platform's auto-repeat
        // (which an engine may take as a held key and ignore).
        for (const MapView::Call& c : m.engine.calls()) {
            if (c.slot == MapSlot::KeyPress) {
                EXPECT_EQ(c.key, int(Qt::Key_Left));
                EXPECT_FALSE(c.autoRepeat);
            }
        }
        // An auto-repeat release does not end the repeat.
        QKeyEvent autoRelease(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(&m.control, &autoRelease);
        const int before = m.engine.count(MapSlot::KeyPress);
        ASSERT_TRUE(zyrtest::pumpUntil([&] { return m.engine.count(MapSlot::KeyPress) > before; }));

        QTest::keyRelease(&m.control, Qt::Key_Left);
        const int held = m.engine.count(MapSlot::KeyPress);
        zyrtest::pump();
        QTest::qWait(5);
        zyrtest::pump();
        EXPECT_EQ(m.engine.count(MapSlot::KeyPress), held);
        EXPECT_EQ(m.engine.count(MapSlot::KeyRelease), 1);

        // Other keys are not repeated.
        m.engine.clear();
        QTest::keyPress(&m.control, Qt::Key_Return);
        QTest::qWait(5);
        zyrtest::pump();
        EXPECT_EQ(m.engine.count(MapSlot::KeyPress), 1);
        QTest::keyRelease(&m.control, Qt::Key_Return);
    }
}

TEST(MapControl, WithoutKeypadNavigationNoRepeatTimer)
{
    Map m;
    EXPECT_TRUE(m.control.findChildren<QTimer*>().isEmpty());
    QTest::keyPress(&m.control, Qt::Key_Up);
    QTest::qWait(5);
    zyrtest::pump();
    EXPECT_EQ(m.engine.count(MapSlot::KeyPress), 1);
    QTest::keyRelease(&m.control, Qt::Key_Up);
}

TEST(MapControl, PaintsTheEnginesPictureAndCentredOverlays)
{
    Map m;
    m.engine.setCursorPosition(QPoint(40, 30));
    m.control.setCursorImage(solid(10, 10, Qt::green));
    m.control.setPanCursorImage(solid(6, 6, Qt::red));
    QImage image = shot(&m.control, "map_plain");
    EXPECT_EQ(MapView::positionOf(image.pixelColor(150, 70)), QPoint(150, 70));
    EXPECT_EQ(MapView::positionOf(image.pixelColor(40, 30)), QPoint(40, 30)); // no overlay without keypad navigation
    EXPECT_EQ(m.engine.count(MapSlot::CursorPosition), 0);

    auto keypad = std::make_unique<KeypadNavigation>();
    image = shot(&m.control, "map_cursor");
    EXPECT_EQ(image.pixelColor(35, 25), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(44, 34), QColor(Qt::green));
    EXPECT_EQ(MapView::positionOf(image.pixelColor(34, 30)), QPoint(34, 30));
    EXPECT_EQ(MapView::positionOf(image.pixelColor(45, 30)), QPoint(45, 30));

    m.engine.setPanCursor(true, QPoint(100, 50));
    image = shot(&m.control, "map_pan_cursor");
    EXPECT_EQ(image.pixelColor(97, 47), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(102, 52), QColor(Qt::red));
    EXPECT_EQ(MapView::positionOf(image.pixelColor(103, 50)), QPoint(103, 50));
    EXPECT_EQ(MapView::positionOf(image.pixelColor(40, 30)), QPoint(40, 30)); // only one overlay
    keypad.reset();

    m.engine.setRenderNull(true);
    m.control.setPalette(QPalette(QColor(10, 20, 30)));
    image = shot(&m.control, "map_null");
    EXPECT_EQ(image.pixelColor(150, 70), QColor(10, 20, 30));
}

// The map position the screen shows at `at`.
QPoint shown(const QImage& image, QPoint at)
{
    return MapView::positionOf(image.pixelColor(at));
}

TEST(MapControl, LoupeSizes)
{
    const struct {
        QSize size;
        QPoint press;
        int diameter;
    } cases[] = {
        { { 600, 480 }, { 300, 300 }, 229 }, // 2 x 480 / 3 = 320, bounded
        { { 300, 240 }, { 150, 150 }, 160 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.diameter);
        Map m(c.size);
        QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, c.press);
        longPress(&m.control);
        const QImage image = shot(&m.control, QStringLiteral("loupe_%1").arg(c.diameter));
        const int d = c.diameter / 2;
        const QPoint centre = c.press + QPoint(0, -d + c.diameter / 4);
        // Magnified at the centre: 40 screen pixels show 40 x 101 / D of the map.
        const QPoint middle = shown(image, centre);
        EXPECT_NEAR(middle.x(), centre.x(), 1);
        EXPECT_NEAR(middle.y(), centre.y(), 1);
        const QPoint right = shown(image, centre + QPoint(40, 0));
        EXPECT_NEAR(right.x() - centre.x(), 40.0 * 101 / c.diameter, 1.5);
        EXPECT_NEAR(right.y(), centre.y(), 1);
        // The ring's tint inside the clip's edge (radius d - 15), the plain
        // map just outside it.
        const QColor edge = image.pixelColor(centre + QPoint(d - 17, 0));
        EXPECT_GT(edge.blue(), 30) << "untinted, the map's blue is at most 17 here";
        EXPECT_EQ(shown(image, centre + QPoint(d - 10, 0)), centre + QPoint(d - 10, 0));
        EXPECT_EQ(shown(image, centre - QPoint(d - 10, 0)), centre - QPoint(d - 10, 0));

        // The release takes the loupe down.
        QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, c.press);
        EXPECT_EQ(shown(shot(&m.control, "loupe_gone"), centre + QPoint(40, 0)), centre + QPoint(40, 0));
    }
}

TEST(MapControl, LoupeFollowsTheFingerAndCopiesTheMapOnEveryPaint)
{
    Map m(QSize(300, 240));
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
    longPress(&m.control);
    shot(&m.control, "loupe_first");
    move(&m.control, QPoint(100, 180));
    const QImage image = shot(&m.control, "loupe_moved");
    const QPoint centre = QPoint(100, 180) + QPoint(0, -80 + 40);
    const QPoint middle = shown(image, centre);
    EXPECT_NEAR(middle.x(), centre.x(), 1);
    EXPECT_NEAR(middle.y(), centre.y(), 1);
    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(100, 180));
}

TEST(MapControl, LoupeNearTheEdgeShowsGreyOutsideTheMap)
{
    Map m(QSize(300, 240));
    QTest::mousePress(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(150, 0));
    longPress(&m.control);
    // The loupe's centre lies 40 pixels above the control; its square of the
    // map starts 90 pixels above the map.
    const QImage image = shot(&m.control, "loupe_edge");
    EXPECT_EQ(image.pixelColor(150, 5), QColor(Qt::lightGray));
    EXPECT_EQ(shown(image, QPoint(150, 40)), QPoint(150, 40)); // the plain map past the clip
    QTest::mouseRelease(&m.control, Qt::LeftButton, Qt::NoModifier, QPoint(150, 0));
}

} // namespace
