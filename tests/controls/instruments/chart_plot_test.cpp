#include "controls/instruments/zyrChartPlot.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

QApplication* app()
{
    static int argc = 1;
    static char name[] = "controls_chart_test";
    static char* argv[] = { name, nullptr };
    static QApplication* a = new QApplication(argc, argv);
    return a;
}

QImage shot(QWidget& w, const char* name)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QStringLiteral("chart_%1.png").arg(QLatin1String(name)));
    return image;
}

int count(const QImage& image, const std::function<bool(QColor)>& test)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

// n points of a rising line.
QVector<QPointF> rising(int n)
{
    QVector<QPointF> points;
    for (int i = 0; i < n; ++i)
        points << QPointF(i, i);
    return points;
}

struct AppFirst {
    AppFirst() { app(); }
};

class ChartTest : public ::testing::Test {
protected:
    ChartTest() { c.resize(210, 100); }
    AppFirst first;
    zyrChartPlot c;
};

TEST_F(ChartTest, RangesLayoutAndTheSegmentsOfTheGaps)
{
    c.setData(rising(10), {});
    const QVector<zyrChartPlot::ChartSample> before = c.samples();
    c.setData(QVector<QPointF>(), {});
    c.setData(QVector<BaromData>(), {});
    EXPECT_EQ(c.samples().size(), 10) << "empty data changes nothing";
    EXPECT_EQ(c.chartType(), zyrChartPlot::X_Y);

    c.setLowerRange(150);
    EXPECT_EQ(c.lowerRange(), 100);
    c.setUpperRange(-5);
    EXPECT_EQ(c.upperRange(), 0);
    c.setLowerRange(20);
    c.setUpperRange(100);

    // Two segments, x 0..10 and 20..30, rising 0..10; a flat third.
    QVector<QPointF> points;
    for (int i = 0; i <= 10; ++i)
        points << QPointF(i, i);
    for (int i = 0; i <= 10; ++i)
        points << QPointF(20 + i, i);
    c.resize(210, 100);
    c.setData(points, { 0, 11, 11, 5, 500 });
    EXPECT_EQ(c.segmentStarts(), QVector<int>({ 0, 11 })) << "0, repeated, unordered and past-the-end gaps dropped";
    EXPECT_EQ(c.fullChartWidth(), 210);
    const auto& s = c.samples();
    // Each segment 100 pixels wide, 10 pixels between them.
    const struct {
        int index;
        double x;
    } rows[] = { { 0, 0 }, { 5, 50 }, { 10, 100 }, { 11, 110 }, { 16, 160 }, { 21, 210 } };
    for (const auto& r : rows)
        EXPECT_NEAR(s[r.index].position.x(), r.x, 0.01) << r.index;
    EXPECT_NEAR(s[0].position.y(), 80, 0.01) << "the minimum at the lower range";
    EXPECT_NEAR(s[10].position.y(), 0, 0.01);
    EXPECT_NEAR(s[5].position.y(), 40, 0.01);
    EXPECT_EQ(c.gapPath().toFillPolygons().size(), 1);

    // A flat segment lies on the lower range.
    c.setData(QVector<QPointF>({ { 0, 5 }, { 1, 5 }, { 2, 5 } }), {});
    for (const auto& sample : c.samples())
        EXPECT_NEAR(sample.position.y(), 80, 0.01);
}

TEST_F(ChartTest, ZoomWindowSteps)
{
    c.setData(rising(1000), {});
    const struct {
        float start, end;
    } steps[] = { { 35, 85 }, { 47.5, 72.5 }, { 53.75, 66.25 }, { 53.75, 66.25 } };
    for (const auto& s : steps) {
        c.zoomIn();
        EXPECT_FLOAT_EQ(c.zoomStart(), s.start);
        EXPECT_FLOAT_EQ(c.zoomEnd(), s.end);
    }
    EXPECT_EQ(c.zoomFactor(), 8) << "6.25 refused";

    // A complete interval under 10: a window of 10 from its start.
    zyrChartPlot d;
    d.resize(210, 100);
    d.setData(rising(1000), {});
    d.setCursorPosition(40);
    QTest::keyClick(&d, Qt::Key_Return);
    d.setCursorPosition(45);
    QTest::keyClick(&d, Qt::Key_Return);
    ASSERT_TRUE(d.hasMarkedArea());
    d.zoomIn();
    EXPECT_FLOAT_EQ(d.zoomStart(), 40);
    EXPECT_FLOAT_EQ(d.zoomEnd(), 50);

    // Out from [40, 60]: [30, 70]; from [0, 100]: nothing.
    zyrChartPlot e;
    e.resize(210, 100);
    e.setData(rising(1000), {});
    e.setCursorPosition(40);
    QTest::keyClick(&e, Qt::Key_Return);
    e.setCursorPosition(60);
    QTest::keyClick(&e, Qt::Key_Return);
    e.zoomIn();
    ASSERT_FLOAT_EQ(e.zoomStart(), 40);
    e.zoomOut();
    EXPECT_FLOAT_EQ(e.zoomStart(), 30);
    EXPECT_FLOAT_EQ(e.zoomEnd(), 70);
    e.zoomOut();
    e.zoomOut();
    EXPECT_FLOAT_EQ(e.zoomStart(), 0);
    EXPECT_FLOAT_EQ(e.zoomEnd(), 100);
    const int width = e.fullChartWidth();
    e.zoomOut();
    EXPECT_EQ(e.fullChartWidth(), width);

    // In, in, out: the factor is one level down, so the next zoom in
    // narrows the window to 25 again, not to 12.5.
    zyrChartPlot f;
    f.resize(210, 100);
    f.setData(rising(1000), {});
    f.zoomIn();
    f.zoomIn();
    f.zoomOut();
    EXPECT_EQ(f.zoomFactor(), 2);
    f.zoomIn();
    EXPECT_EQ(f.zoomFactor(), 4);
    EXPECT_FLOAT_EQ(f.zoomStart(), 47.5);
    EXPECT_FLOAT_EQ(f.zoomEnd(), 72.5);
}

// A device that keeps the texts painted on it, in order.
class TextDevice : public QPaintDevice {
public:
    QStringList texts() const { return m_engine.texts; }
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 400;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(AllFeatures) { }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override { }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { }
        void drawPath(const QPainterPath&) override { }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override { }
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts << item.text(); }
        Type type() const override { return User; }
        QStringList texts;
    };
    mutable Engine m_engine;
};

class TextChart : public zyrChartPlot {
public:
    // The texts in the order drawn, each after a bar.
    std::string texts()
    {
        TextDevice device;
        QPainter p(&device);
        drawTexts(&p);
        p.end();
        return ("|" + device.texts().join('|')).toStdString();
    }
};

// The window's first and last values, the span of x between them, and the
// cursor's x and value: with the whole series, then a zoomed window.
TEST_F(ChartTest, TextsOfTheWindowAndTheCursor)
{
    TextChart t;
    t.resize(210, 100);
    QVector<QPointF> points;
    for (int i = 0; i < 1000; ++i)
        points << QPointF(i * 0.5, 100 + i);
    t.setData(points, {});
    EXPECT_EQ(t.texts(), "|100|1099|499.5|300|700");
    t.zoomIn(); // [35, 85]: samples 350 to 849
    EXPECT_EQ(t.texts(), "|450|949|249.5|300|700");
}

// A value that is not a number, or too large for the chart, under the
// cursor: the chart is still drawn, texts and all, without a fault (the
// cursor's box was placed at a pixel no int holds).
TEST_F(ChartTest, TextsOverValuesThatAreNotNumbers)
{
    TextChart t;
    t.resize(210, 100);
    t.setData(rising(10), {});
    const int cursor = t.indexAt(t.cursorPosition());
    for (qreal bad : { std::numeric_limits<qreal>::quiet_NaN(), std::numeric_limits<qreal>::infinity(), 1e300 }) {
        for (bool inX : { false, true }) {
            QVector<QPointF> points = rising(10);
            (inX ? points[cursor].rx() : points[cursor].ry()) = bad;
            t.setData(points, {});
            SCOPED_TRACE(t.texts());
            EXPECT_FALSE(t.GetBackgroundChart().isNull());
        }
    }
}

// A sample that is not a number, or is infinite, takes no part in its
// segment's ranges: the others are placed as they are without it, wherever
// it stands (the first sample once made the whole segment's range so, and
// nothing of it was drawn). Extremes too far apart for a double to hold
// their difference leave the chart drawn, without a fault.
TEST_F(ChartTest, SamplesThatAreNotNumbersTakeNoPartInTheRanges)
{
    // The flags stand on the first and the last sample.
    QPixmap flag(8, 8);
    flag.fill(Qt::red);
    c.setStartFlag(flag);
    c.setEndFlag(flag);
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN(), inf = std::numeric_limits<qreal>::infinity();
    for (qreal bad : { nan, inf, -inf }) {
        for (int at : { 0, 4, 9 }) {
            for (bool inX : { false, true }) {
                SCOPED_TRACE(testing::Message() << bad << " at " << at << (inX ? " in x" : " in y"));
                // In its place a value inside the others' range: the
                // ranges are the others'.
                QVector<QPointF> points = rising(10);
                (inX ? points[at].rx() : points[at].ry()) = 5;
                c.setData(points, {});
                const QVector<zyrChartPlot::ChartSample> expected = c.samples();
                (inX ? points[at].rx() : points[at].ry()) = bad;
                c.setData(points, {});
                const auto& s = c.samples();
                for (int i = 0; i < s.size(); ++i) {
                    if (i != at) {
                        EXPECT_EQ(s[i].position, expected[i].position) << i;
                    }
                }
                EXPECT_FALSE(c.GetBackgroundChart().isNull());
            }
        }
    }

    const qreal huge = std::numeric_limits<qreal>::max();
    c.setData(QVector<QPointF>({ { -huge, 0 }, { 0, 1 }, { huge, 2 } }), {});
    EXPECT_FALSE(c.GetBackgroundChart().isNull());
}

// A sample placed beyond what an int counts, under the cursor: its box is
// drawn far off with it, not on the chart. The layout places no sample so
// far today; the drawing must not rely on that. The picture is the one
// drawn when the cursor's sample has no place at all.
TEST_F(ChartTest, TheCursorBoxOfASampleFarOffIsFarOff)
{
    c.setData(rising(10), {});
    c.show();
    const int cursor = c.indexAt(c.cursorPosition());
    auto placedAt = [&](qreal x) {
        auto& samples = const_cast<QVector<zyrChartPlot::ChartSample>&>(c.samples());
        samples[cursor].position.setX(x);
        c.refreshPlot();
        return c.grab().toImage();
    };
    const QImage unplaced = placedAt(std::numeric_limits<qreal>::quiet_NaN());
    ASSERT_NE(placedAt(100), unplaced) << "the box is seen on the chart";
    for (qreal far : { 3e9, -3e9, 1e300 }) {
        EXPECT_EQ(placedAt(far), unplaced) << far;
    }
}

// One-second samples a recent epoch apart stay one second apart: time is
// kept in double.
TEST_F(ChartTest, TimeChartsKeepOneSecondSamplesApart)
{
    const QDateTime t0 = QDateTime::fromString("2026-06-01T08:00:00Z", Qt::ISODate);
    QVector<VertProfileData> data;
    for (int i = 0; i < 300; ++i)
        data.push_back({ t0.addSecs(i).toString(Qt::ISODate), float(i), float(100 + i % 7) });
    c.resize(600, 100);
    c.setData(data, {}, zyrChartPlot::TIME_ELEV);
    const auto& s = c.samples();
    for (int i = 1; i < s.size(); ++i)
        ASSERT_NEAR(s[i].position.x() - s[i - 1].position.x(), 2.0, 0.01) << i;

    QVector<BaromData> pressures;
    for (int i = 0; i < 100; ++i)
        pressures.push_back({ t0.addSecs(60 * i).toString(Qt::ISODate), float(1000 + i) });
    c.setData(pressures, {});
    QSignalSpy starts(&c, SIGNAL(markStartChanged(CHART_TYPE, qreal)));
    c.setCursorPosition(25);
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    ASSERT_EQ(starts.count(), 1);
    EXPECT_EQ(starts[0][0].value<zyrChartPlot::CHART_TYPE>(), zyrChartPlot::TIME_PRESSURE);
    EXPECT_DOUBLE_EQ(starts[0][1].toDouble(), 1025.0) << "the pressure of the sample";
}

// ---- drawing and input

// The background is painted a few columns at a time. A zigzag in wide pens
// must repeat every period, 24 pixels, with no seam where one part meets the
// next; and the shading of the area is one gradient over the
// whole curve: alike along a row, whether or not the part holds the curve's
// one peak.
TEST_F(ChartTest, TheCurveIsPaintedWithoutSeams)
{
    c.resize(128, 100);
    c.setLowerRange(20);
    c.setUpperRange(80);
    c.setLineWidth(5);
    c.setOutlineWidth(3);
    QVector<QPointF> zigzag;
    for (int i = 0; i <= 256; ++i)
        zigzag << QPointF(i, std::abs(i % 48 - 24));
    c.setData(zigzag, {});
    QImage bg = c.GetBackgroundChart().toImage();
    ASSERT_EQ(bg.width(), 128);
    ASSERT_DOUBLE_EQ(c.samples()[16].position.x(), 8.0) << "periods on whole pixels";
    int seams = 0;
    for (int x = 16; x < 88; ++x)
        for (int y = 0; y < bg.height(); ++y)
            seams += bg.pixel(x, y) != bg.pixel(x + 24, y) ? 1 : 0;
    EXPECT_EQ(seams, 0);
    shot(c, "zigzag");

    c.resize(210, 100);
    QVector<QPointF> level;
    for (int i = 0; i < 400; ++i)
        level << QPointF(i, i == 0 ? 0 : 10);
    level[100].setY(20);
    c.setData(level, {});
    bg = c.GetBackgroundChart().toImage();
    const int line = qRound(c.samples()[200].position.y());
    const int peak = qRound(c.samples()[100].position.x());
    int shades = 0;
    for (int x = 20; x < 200; ++x)
        for (int y = line + 10; y < bg.height(); ++y)
            shades += bg.pixel(x, y) != bg.pixel(peak, y) ? 1 : 0;
    EXPECT_EQ(shades, 0);

    // A line that turns back, out low and back high, has both passes in
    // every column.
    QVector<QPointF> turning;
    for (int i = 0; i <= 100; ++i)
        turning << QPointF(i, 0);
    for (int i = 100; i >= 0; --i)
        turning << QPointF(i, 10);
    c.setData(turning, {});
    bg = c.GetBackgroundChart().toImage();
    auto isLine = [&](int x, int y) { return QColor(bg.pixel(x, y)) == c.lineColor(); };
    int missing = 0;
    for (int x = 10; x < 200; ++x) {
        bool low = false, high = false;
        for (int y = 0; y < bg.height(); ++y)
            (y < bg.height() / 2 ? high : low) |= isLine(x, y);
        missing += low && high ? 0 : 1;
    }
    EXPECT_EQ(missing, 0);
    shot(c, "turning");
}

// One sample whose x steps back (a clock that jumps back) changes the
// picture only where it is: every other column is painted as before, the
// pens as the traces the chart draws along lines that go only right. The
// area under the line that turns back is the painter's, whole.
TEST_F(ChartTest, OneSampleThatStepsBackChangesOnlyItsPlace)
{
    c.resize(240, 100);
    c.setLineWidth(3);
    c.setOutlineWidth(2);
    QVector<QPointF> points;
    for (int i = 0; i < 200; ++i)
        points << QPointF(i, 50 + 30 * std::sin(i * 0.1));
    c.setData(points, { 100 });
    const QImage ordered = c.GetBackgroundChart().toImage();
    points[150].rx() -= 6;
    c.setData(points, { 100 });
    const QImage back = c.GetBackgroundChart().toImage();
    shot(c, "step_back");
    ASSERT_EQ(back.size(), ordered.size());
    const auto& s = c.samples();
    // The sample and the segments to and from it, and the pens' reach.
    const qreal from = s[150].position.x() - 5, to = s[151].position.x() + 5;
    int near = 0, elsewhere = 0;
    for (int y = 0; y < back.height(); ++y) {
        for (int x = 0; x < back.width(); ++x) {
            if (back.pixel(x, y) != ordered.pixel(x, y))
                ++(x >= from && x <= to ? near : elsewhere);
        }
    }
    EXPECT_GT(near, 0);
    EXPECT_EQ(elsewhere, 0);

    // With pens of no width (the painter's one-pixel lines), the areas:
    // cut into strips, they are what the whole area path paints.
    c.setLineWidth(0);
    c.setOutlineWidth(0);
    c.setData(points, { 100 });
    const QImage strips = c.GetBackgroundChart().toImage();
    QImage whole(strips.size(), strips.format());
    whole.fill(c.background().color());
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing);
        QVector<QPolygonF> lines(2);
        for (int i = 0; i < s.size(); ++i)
            lines[i < 100 ? 0 : 1] << s[i].position;
        for (const QPolygonF& line : lines) {
            QPainterPath area;
            area.moveTo(line.first().x(), c.height());
            for (const QPointF& q : line)
                area.lineTo(q);
            area.lineTo(line.last().x(), c.height());
            area.closeSubpath();
            p.fillPath(area, c.foreground());
        }
        p.setPen(QPen(c.outlineColor(), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& line : lines)
            p.drawPolyline(line);
        p.setPen(QPen(c.lineColor(), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& line : lines)
            p.drawPolyline(line);
        p.fillPath(c.gapPath(), c.gapColor());
    }
    int largest = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const QRgb a = whole.pixel(x, y), b = strips.pixel(x, y);
            largest = std::max({ largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                std::abs(qBlue(a) - qBlue(b)) });
        }
    }
    EXPECT_LE(largest, 2);
}

// The area under a line with one sample that steps back, with pens that
// paint nothing: every pixel, those next to the sample most of all (where
// pens would hide them), is what the painter fills with the whole area.
TEST_F(ChartTest, TheAreaUnderALineThatStepsBackIsThePaintersWhole)
{
    c.resize(240, 100);
    c.setLineWidth(3);
    c.setOutlineWidth(2);
    c.setLineColor(Qt::transparent);
    c.setOutlineColor(Qt::transparent);
    QVector<QPointF> points;
    for (int i = 0; i < 200; ++i)
        points << QPointF(i, 50 + 30 * std::sin(i * 0.1));
    points[150].rx() -= 6;
    c.setData(points, {});
    const QImage strips = c.GetBackgroundChart().toImage();
    QImage whole(strips.size(), strips.format());
    whole.fill(c.background().color());
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath area;
        area.moveTo(c.samples().first().position.x(), c.height());
        for (const auto& sample : c.samples())
            area.lineTo(sample.position);
        area.lineTo(c.samples().last().position.x(), c.height());
        area.closeSubpath();
        p.fillPath(area, c.foreground());
    }
    const qreal at = c.samples()[150].position.x();
    int near = 0, elsewhere = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const QRgb a = whole.pixel(x, y), b = strips.pixel(x, y);
            const int off = std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b)) });
            if (off > 2)
                ++(std::abs(x - at) <= 10 ? near : elsewhere);
        }
    }
    EXPECT_EQ(near, 0);
    EXPECT_EQ(elsewhere, 0);
}

// A pen wider than the picture paints the picture whole, drawn at the width
// that covers the picture from the line's first point (what it costs is
// measured in the chart benchmark): every pixel is the pen's, at any width
// beyond that.
TEST_F(ChartTest, APenWiderThanThePictureDrawsWhatACoveringPenDraws)
{
    c.resize(120, 68);
    c.setOutlineWidth(0);
    // A dense line, and a straight one from corner to corner that leaves
    // two corners to the pen's width alone.
    QVector<QPointF> dense;
    for (int i = 0; i < 2000; ++i)
        dense << QPointF(i, std::sin(i * 0.01) + 0.2 * std::sin(i * 0.7));
    for (const QVector<QPointF>& points : { dense, rising(2000) }) {
        auto draw = [&](int width) {
            c.setLineWidth(width);
            c.setData(points, {});
            return c.GetBackgroundChart().toImage();
        };
        // Twice the picture's diagonal (138 pixels), and a little more.
        const QImage covered = draw(300);
        EXPECT_EQ(count(covered, [&](QColor k) { return k != c.lineColor(); }), 0);
        EXPECT_EQ(draw(4096), covered);
        EXPECT_EQ(draw(1000), covered);
    }
}

class ChartInputTest : public ChartTest {
protected:
    void SetUp() override
    {
        c.resize(200, 100);
        c.setData(rising(400), {});
        c.show();
    }
    void mouse(QEvent::Type type, int x)
    {
        const QPoint pos(x, 50);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, c.mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(&c, &event);
    }
    void drag(int from, int to)
    {
        mouse(QEvent::MouseButtonPress, from);
        mouse(QEvent::MouseMove, to);
        mouse(QEvent::MouseButtonRelease, to);
    }
};

TEST_F(ChartInputTest, PanningStaysWithinTheEnds)
{
    c.zoomIn(); // [35, 85], the cursor in the middle of the window
    QSignalSpy moved(&c, SIGNAL(cursorPosChanged(CHART_TYPE, qreal)));
    drag(10, 190);
    EXPECT_FLOAT_EQ(c.zoomStart(), 0) << "not past the left end";
    EXPECT_FLOAT_EQ(c.zoomEnd(), 50);
    drag(190, 5);
    drag(190, 5);
    EXPECT_FLOAT_EQ(c.zoomEnd(), 100) << "not past the right end";
    EXPECT_FLOAT_EQ(c.zoomStart(), 50);
    EXPECT_EQ(moved.count(), 0);
    shot(c, "panned_right");

    mouse(QEvent::MouseButtonPress, 20);
    mouse(QEvent::MouseButtonRelease, 20);
    EXPECT_EQ(moved.count(), 0) << "a press and release in place";
}

// While a pan runs, the chart stops at its right end: no column past the
// end of the chart is shown, before the release sets the window.
TEST_F(ChartInputTest, APanIsBoundedWhileItRuns)
{
    c.zoomIn(); // [35, 85]: 400 pixels, 140 of them left of the window
    mouse(QEvent::MouseButtonPress, 190);
    mouse(QEvent::MouseMove, 5);
    EXPECT_EQ(c.scrollOffset(), c.width() - c.fullChartWidth());
    const QImage image = shot(c, "panning");
    EXPECT_EQ(count(image, [](QColor q) { return q.alpha() == 0; }), 0) << "columns past the end";
    mouse(QEvent::MouseMove, 390);
    EXPECT_EQ(c.scrollOffset(), 0) << "nor past the left end";
    mouse(QEvent::MouseButtonRelease, 390);
}

TEST_F(ChartInputTest, KeysMarksAndTheirPictures)
{
    c.setCursorPosition(1);
    QTest::keyClick(&c, Qt::Key_Left);
    EXPECT_FLOAT_EQ(c.cursorPosition(), 0);
    c.setCursorPosition(99);
    QTest::keyClick(&c, Qt::Key_Right);
    EXPECT_FLOAT_EQ(c.cursorPosition(), 100);

    // No start or end image: circles in the flag brushes at the curve's ends.
    c.setCursorPosition(50);
    c.refreshPlot();
    QImage image = shot(c, "ends");
    auto greenish = [](QColor q) { return q.green() > q.red() + 40 && q.green() > q.blue() + 20; };
    int startCircle = 0;
    for (int y = 90; y < 100; ++y)
        for (int x = 0; x < 12; ++x)
            startCircle += greenish(image.pixelColor(x, y)) ? 1 : 0;
    EXPECT_GT(startCircle, 3);

    // Equal marks: no interval fill and no end mark.
    const QColor fill = c.markerFillColor();
    auto isFill = [&](QColor q) { return std::abs(q.red() - fill.red()) < 8 && std::abs(q.green() - fill.green()) < 8
                                      && std::abs(q.blue() - fill.blue()) < 8; };
    QSignalSpy starts(&c, SIGNAL(markStartChanged(CHART_TYPE, qreal)));
    QSignalSpy ends(&c, SIGNAL(markEndChanged(CHART_TYPE, qreal)));
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(starts.count(), 1);
    EXPECT_EQ(ends.count(), 1);
    EXPECT_TRUE(c.markedPath().isEmpty());
    EXPECT_EQ(count(shot(c, "equal_marks"), isFill), 0);

    QTest::keyClick(&c, Qt::Key_Escape);
    EXPECT_FALSE(c.hasMarkedArea());
    c.setCursorPosition(30);
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    c.setCursorPosition(70);
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(ends.count(), 2) << "a complete interval takes no third mark";
    EXPECT_FLOAT_EQ(c.markStart(), 30);
    EXPECT_FLOAT_EQ(c.markEnd(), 70);
    image = shot(c, "interval");
    EXPECT_GT(count(image, isFill), 200);
    // The interval's area runs down to the bottom from the start mark's
    // sample to the end's (within a pixel).
    const QRectF marked = c.markedPath().boundingRect();
    EXPECT_NEAR(marked.left(), c.samples()[c.indexAt(30)].position.x(), 1);
    EXPECT_NEAR(marked.right(), c.samples()[c.indexAt(70)].position.x(), 1);
    EXPECT_DOUBLE_EQ(marked.bottom(), c.height());
    QTest::keyClick(&c, Qt::Key_Escape);
    EXPECT_FALSE(c.hasMarkedArea());
    EXPECT_EQ(count(shot(c, "interval_removed"), isFill), 0);
}

} // namespace
