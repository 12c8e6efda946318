#include "controls/instruments/zyrSimpleGraphView.h"
#include "sim/instruments/graph_view_data.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QApplication* app()
{
    static int argc = 1;
    static char name[] = "controls_graph_test";
    static char* argv[] = { name, nullptr };
    static QApplication* a = new QApplication(argc, argv);
    return a;
}

QImage shot(QWidget& w, const char* name)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QStringLiteral("graph_%1.png").arg(QLatin1String(name)));
    return image;
}

bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// The colour of `top` painted over `under` on a transparent pixel, as the
// chart pixmap composes its layers.
QColor over(QColor under, QColor top)
{
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(0, 0, 1, 1, under);
    p.fillRect(0, 0, 1, 1, top);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32).pixelColor(0, 0);
}

// One point a pixel column from x0 to x1 at height y.
zyrPointData flat(int x0, int x1, int y)
{
    zyrPointData points;
    for (int x = x0; x <= x1; ++x)
        points << QPoint(x, y);
    return points;
}

class View : public zyrSimpleGraphView {
public:
    using zyrSimpleGraphView::mapXToIndex;
    using zyrSimpleGraphView::setPanOffset;
};

struct AppFirst {
    AppFirst() { app(); }
};

class GraphTest : public ::testing::Test {
protected:
    GraphTest()
    {
        v.resize(200, 100);
        v.setDrawingArea(QRect(0, 0, 200, 100));
    }
    AppFirst first;
    View v;
};

TEST_F(GraphTest, MapXToIndexGivesTheLastPointAtOrLeftOfX)
{
    const struct {
        zyrPointData points;
        int x, index;
    } cases[] = {
        { flat(0, 3, 50), 2, 2 },
        { flat(0, 3, 50), -1, -1 },
        { flat(0, 3, 50), 10, 3 },
        { flat(0, 3, 50), 3, 3 },
        { flat(0, 3, 50), 0, 0 },
        { { QPoint(0, 5), QPoint(4, 5) }, 0, 0 },
        { { QPoint(0, 5), QPoint(4, 5) }, 3, 0 },
        { { QPoint(0, 5), QPoint(4, 5) }, 4, 1 },
        { { QPoint(0, 5), QPoint(2, 5), QPoint(4, 5), QPoint(6, 5), QPoint(8, 5) }, 5, 2 },
        { { QPoint(0, 5), QPoint(2, 5), QPoint(4, 5), QPoint(6, 5), QPoint(8, 5) }, 7, 3 },
    };
    EXPECT_EQ(v.mapXToIndex(0), -1) << "no points";
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.points.size() << " points, x " << c.x);
        v.setData({ c.points });
        EXPECT_EQ(v.mapXToIndex(c.x), c.index);
    }
}

TEST_F(GraphTest, CursorSettersStepsAndAlignment)
{
    v.setData({ flat(0, 199, 50) });
    QSignalSpy moved(&v, SIGNAL(cursorPosChanged(int)));
    v.setCursorPos(0);
    EXPECT_EQ(moved.count(), 0) << "the same index";
    v.setCursorPos(200);
    v.setCursorPos(-1);
    EXPECT_EQ(moved.count(), 0);
    for (auto t : { zyrSimpleGraphView::RightEdge, zyrSimpleGraphView::LeftEdge, zyrSimpleGraphView::Unlock })
        v.AlignCursorPos(t);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(v.cursorPos(), 0);
    v.AlignCursorPos(zyrSimpleGraphView::Centre);
    EXPECT_EQ(v.cursorPos(), 100);

    v.setCursorPos(0);
    moved.clear();
    v.moveCursorLeft();
    EXPECT_EQ(moved.count(), 0);
    v.moveCursorRight();
    EXPECT_EQ(v.cursorPos(), 1);
    v.setCursorPos(199);
    moved.clear();
    v.moveCursorRight();
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(v.cursorPos(), 199);
}

TEST_F(GraphTest, MarkersAndTheirSignals)
{
    v.setData({ flat(0, 199, 50) });
    QSignalSpy starts(&v, SIGNAL(markStartChanged(int)));
    QSignalSpy ends(&v, SIGNAL(markEndChanged(int)));
    v.setMarkEnd(10);
    EXPECT_FALSE(v.hasMarkedArea()) << "no marker placed";
    EXPECT_EQ(v.getMarkEnd(), -1);

    v.setMarkStart(5);
    EXPECT_TRUE(v.hasMarkedArea());
    v.moveMarkEnd(3, true);
    EXPECT_EQ(v.getMarkStart(), 3);
    EXPECT_EQ(v.getMarkEnd(), 5);
    ASSERT_EQ(starts.count(), 1);
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(starts[0][0].toInt(), 3);
    EXPECT_EQ(ends[0][0].toInt(), 5);

    v.setMarkEnd(50);
    EXPECT_FALSE(v.markedPath().isEmpty());
    EXPECT_EQ(v.markedPath().boundingRect().left(), 3);
    EXPECT_EQ(v.markedPath().boundingRect().right(), 50);
}

// Markers are 0 on a new view and -1 once data comes; shown without a
// place, they stand at a third and two thirds of the visible width, and
// moved to -1 at the visible ends, wherever the chart is panned.
TEST_F(GraphTest, DefaultMarkerPositions)
{
    EXPECT_EQ(v.getMarkStart(), 0);
    EXPECT_EQ(v.getMarkEnd(), 0);
    v.setData({ flat(0, 399, 50) });
    EXPECT_EQ(v.getMarkStart(), -1);
    EXPECT_EQ(v.getMarkEnd(), -1);
    QSignalSpy starts(&v, SIGNAL(markStartChanged(int)));
    v.ShowMarkers(false);
    EXPECT_EQ(v.getMarkStart(), 66);
    EXPECT_EQ(v.getMarkEnd(), 132);
    EXPECT_EQ(starts.count(), 1);
    v.moveMarkers(-1, -1);
    EXPECT_EQ(v.getMarkStart(), 0);
    EXPECT_EQ(v.getMarkEnd(), 200);

    v.setPanOffset(100);
    v.moveMarkers(-2, -2);
    EXPECT_EQ(v.getMarkStart(), 166);
    EXPECT_EQ(v.getMarkEnd(), 232);
    v.moveMarkers(-1, -1);
    EXPECT_EQ(v.getMarkStart(), 100);
    EXPECT_EQ(v.getMarkEnd(), 300);
    v.ShowMarkers(false);
    EXPECT_EQ(v.getMarkStart(), 100) << "placed markers stay";
    v.ShowMarkers(true);
    EXPECT_EQ(v.getMarkStart(), 166) << "unless reset";
}

TEST_F(GraphTest, PanOffsetsOutsideThePointsAreIgnored)
{
    v.setData({ flat(0, 399, 50) });
    v.setPanOffset(100);
    EXPECT_EQ(v.panOffset(), -100);
    v.setPanOffset(-1);
    v.setPanOffset(400);
    EXPECT_EQ(v.panOffset(), -100);
    v.setPanningStart(400);
    v.setPanningStart(-3);
    EXPECT_EQ(v.panOffset(), -100) << "a panning start outside the points is ignored";
    v.setPanningStart(150);
    EXPECT_EQ(v.panOffset(), -150);
}

// New data, markers, segments and gaps the caller gets wrong: none of them
// reads past the points, and the view keeps working.
TEST_F(GraphTest, BadInputIsCheckedAndLosesNothing)
{
    v.setData({ flat(0, 299, 50) });
    QSignalSpy moved(&v, SIGNAL(cursorPosChanged(int)));
    v.setData({});
    EXPECT_FALSE(v.IsEmpty()) << "empty data is ignored";

    v.setCursorPos(250);
    v.setData({ flat(0, 99, 50) });
    EXPECT_EQ(v.cursorPos(), 99) << "the cursor is kept inside shorter data";

    v.moveMarkers(500, -7);
    EXPECT_TRUE(v.markedPath().isEmpty()) << "no area from markers outside the points";
    v.moveMarkers(10, 40);
    EXPECT_FALSE(v.markedPath().isEmpty());

    // New data leaves both markers at -1: a press hit-tests valid ones only.
    v.setData({ flat(0, 199, 50) });
    v.show();
    QTest::mousePress(&v, Qt::LeftButton, Qt::NoModifier, QPoint(0, 50));
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::NoModifier, QPoint(0, 50));
    shot(v, "bad_markers");

    // An empty segment takes no place and no gap.
    v.setData({ flat(0, 49, 50), {}, flat(60, 199, 50) });
    EXPECT_EQ(v.gapPath().boundingRect(), QRectF(49, 0, 11, 100));
    EXPECT_EQ(v.mapXToIndex(60), 50);
    shot(v, "empty_segment");
}

TEST_F(GraphTest, GapsSegmentsAndTheirBrushes)
{
    const QColor red(200, 0, 0), blue(0, 0, 200);
    v.setColors({ QBrush(red), QBrush(blue) }, {}, {});
    v.setDrawGrids(false);
    v.ShowCursor(false);
    v.setData({ flat(0, 50, 30), flat(60, 120, 30), flat(130, 199, 30) });
    ASSERT_EQ(v.gapPath().toFillPolygons().size(), 2);
    EXPECT_EQ(v.gapPath().toFillPolygons()[0].boundingRect(), QRectF(50, 0, 10, 100));
    const QImage image = shot(v, "segments");
    EXPECT_TRUE(near(image.pixelColor(20, 70), red));
    EXPECT_TRUE(near(image.pixelColor(90, 70), blue));
    EXPECT_TRUE(near(image.pixelColor(160, 70), blue)) << "the third keeps the last brush";
    // The pixmap is filled with the background's colour, then with its brush.
    const QColor background = v.background().color();
    const QColor gap = over(over(background, background), v.gapColor());
    EXPECT_TRUE(near(image.pixelColor(55, 50), gap));
    EXPECT_TRUE(near(image.pixelColor(125, 10), gap));
    EXPECT_FALSE(near(image.pixelColor(61, 70), gap));
}

int count(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

TEST_F(GraphTest, GridTextsCursorAndDrawingObjects)
{
    const QColor fill(200, 0, 0);
    v.setColors({ QBrush(fill) }, { QColor(255, 160, 0) }, { QColor(255, 160, 0) });
    v.setData({ flat(0, 199, 20) });
    v.setCursorPos(100);
    auto black = [](QColor c) { return c.lightness() < 30; };
    // The grid's pen is the background's white at alpha 128, pink on red.
    auto grid = [](QColor c) { return c.red() > 220 && c.green() > 90 && c.blue() > 90; };
    auto green = [](QColor c) { return c.green() > 120 && c.red() < 140 && c.blue() < 60; };

    // No provider: the dashed grid every 40 pixels, no texts.
    v.setDrawCursorFlags({});
    QImage image = shot(v, "no_provider");
    EXPECT_GT(count(image, QRect(0, 40, 190, 1), grid), 20);
    EXPECT_LT(count(image, QRect(0, 40, 190, 1), grid), 190) << "dashed";
    EXPECT_GT(count(image, QRect(0, 80, 190, 1), grid), 20);
    EXPECT_EQ(count(image, QRect(0, 41, 190, 38), grid), 0);
    EXPECT_EQ(count(image, image.rect(), black), 0);
    EXPECT_EQ(count(image, QRect(95, 30, 11, 70), green), 0) << "no cursor";

    kivo::sim::GraphViewData texts;
    kivo::sim::UserDrawingObject object(QColor(0, 0, 255));
    v.SetDispValuesProvider(texts);
    v.AddStaticUserDrawingObject(&object, QRect(50, 50, 10, 10), zyrSimpleGraphView::BeforeMarkers, 7);
    v.AddStaticUserDrawingObject(nullptr, QRect(), zyrSimpleGraphView::BeforeMarkers, 8);
    v.setDrawCursorFlags(zyrSimpleGraphView::edcDrawLine | zyrSimpleGraphView::edcDrawCircle);
    image = shot(v, "provider");
    EXPECT_GT(count(image, image.rect(), black), 20) << "texts";
    EXPECT_GT(count(image, QRect(95, 30, 11, 70), green), 20) << "cursor";
    EXPECT_TRUE(texts.calls.contains("first 0"));
    EXPECT_TRUE(texts.calls.contains("last 199"));
    EXPECT_TRUE(texts.calls.contains("range 0 199"));
    EXPECT_TRUE(texts.calls.contains("cursor 100 20"));
    EXPECT_EQ(object.calls, QStringList({ "init 7", "draw 7" }));
    EXPECT_EQ(object.lastRect, QRect(0, 0, 10, 10));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(0, 0, 255));
}

// ---- touch

class TouchTest : public GraphTest {
protected:
    void SetUp() override
    {
        v.setData({ flat(0, 199, 50) });
        v.setCursorPos(50);
        v.show();
    }
    void mouse(QEvent::Type type, int x)
    {
        const QPoint pos(x, 60);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, v.mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(&v, &event);
    }
    void drag(int from, int to)
    {
        mouse(QEvent::MouseButtonPress, from);
        mouse(QEvent::MouseMove, (from + to) / 2);
        mouse(QEvent::MouseMove, to);
        mouse(QEvent::MouseButtonRelease, to);
    }
};

TEST_F(TouchTest, APressWithin15PixelsDragsTheCursor)
{
    QSignalSpy clicked(&v, SIGNAL(clicked(QString)));
    drag(65, 85);
    EXPECT_EQ(v.cursorPos(), 70);
    EXPECT_EQ(clicked.count(), 1);
    drag(70 + 16, 120);
    EXPECT_EQ(v.cursorPos(), 70) << "16 pixels away: no drag";

    v.lockCursorAt(zyrSimpleGraphView::LeftEdge);
    EXPECT_EQ(v.cursorPos(), 0);
    drag(0, 40);
    EXPECT_EQ(v.cursorPos(), 0) << "a locked cursor stays";
}

// A tap puts the cursor where it is, only while the cursor is shown.
TEST_F(TouchTest, ATapMovesOnlyAShownCursor)
{
    QSignalSpy moved(&v, SIGNAL(cursorPosChanged(int)));
    v.ShowCursor(false);
    mouse(QEvent::MouseButtonPress, 120);
    mouse(QEvent::MouseButtonRelease, 120);
    EXPECT_EQ(v.cursorPos(), 50);
    EXPECT_EQ(moved.count(), 0);
    v.ShowCursor(true);
    mouse(QEvent::MouseButtonPress, 120);
    mouse(QEvent::MouseButtonRelease, 120);
    EXPECT_EQ(v.cursorPos(), 120);
    EXPECT_EQ(moved.count(), 1);
}

TEST_F(TouchTest, AStartMarkerDraggedPastTheEndSwaps)
{
    v.moveMarkers(100, 120);
    QSignalSpy starts(&v, SIGNAL(markStartChanged(int)));
    QSignalSpy ends(&v, SIGNAL(markEndChanged(int)));
    drag(100, 150);
    EXPECT_EQ(v.getMarkStart(), 120);
    EXPECT_EQ(v.getMarkEnd(), 150);
    ASSERT_EQ(starts.count(), 1);
    ASSERT_EQ(ends.count(), 1);
    EXPECT_EQ(starts[0][0].toInt(), 120);
    EXPECT_EQ(ends[0][0].toInt(), 150);
    EXPECT_EQ(v.markedPath().boundingRect().left(), 120);
}

TEST_F(TouchTest, PanningStaysWithinTheChart)
{
    v.setData({ flat(0, 399, 50) });
    QSignalSpy panning(&v, SIGNAL(Panning(int)));
    drag(150, 170);
    EXPECT_EQ(v.panOffset(), 0) << "not past the left";
    EXPECT_EQ(panning.count(), 0);
    drag(170, 120);
    EXPECT_EQ(v.panOffset(), -50);
    ASSERT_EQ(panning.count(), 1);
    EXPECT_EQ(panning[0][0].toInt(), 50);
    drag(150, 5);
    EXPECT_EQ(v.panOffset(), -195);
    drag(150, 140);
    EXPECT_EQ(v.panOffset(), -195) << "not to or past the right end";
    const QImage image = shot(v, "panned");
    EXPECT_FALSE(image.isNull());
}

} // namespace
