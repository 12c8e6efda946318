#include "controls/instruments/PenTrace.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using zyr::charts::PenTrace;

namespace {

const int kWidth = 128, kHeight = 80;

QImage blank(int scale = 1)
{
    QImage image(kWidth * scale, kHeight * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

QImage stroked(const QPolygonF& line, qreal width)
{
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
    return image;
}

QImage traced(const QPolygonF& line, qreal width)
{
    QImage image = blank();
    EXPECT_TRUE(PenTrace(line, width).fill(image, Qt::black));
    return image;
}

// The pen's true trace, near enough: stroked eight times as large, each
// pixel the mean of its 64.
QImage truth(const QPolygonF& line, qreal width)
{
    const int s = 8;
    QImage large = blank(s);
    {
        QPainter p(&large);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(s, s);
        p.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(line);
    }
    QImage image = blank();
    for (int y = 0; y < kHeight; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            int sum = 0;
            for (int j = 0; j < s; ++j) {
                const QRgb* big = reinterpret_cast<const QRgb*>(large.constScanLine(y * s + j)) + x * s;
                for (int i = 0; i < s; ++i)
                    sum += qRed(big[i]);
            }
            const int v = (sum + s * s / 2) / (s * s);
            row[x] = qRgb(v, v, v);
        }
    }
    return image;
}

struct Error {
    int largest = 0;
    long total = 0;
};

Error error(const QImage& a, const QImage& b)
{
    Error e;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int d = std::abs(qRed(a.pixel(x, y)) - qRed(b.pixel(x, y)));
            e.largest = std::max(e.largest, d);
            e.total += d;
        }
    }
    return e;
}

long ink(const QImage& image)
{
    long sum = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            sum += 255 - qRed(image.pixel(x, y));
    return sum;
}

// A dense profile as the charts reduce it: up to four points a pixel,
// climbing and falling steeply within each.
QPolygonF dense()
{
    QPolygonF line;
    for (int i = 0; i < 1700; ++i)
        line << QPointF(4 + i * 0.07, 40 + 25 * std::sin(i * 0.01) + 8 * std::sin(i * 1.3));
    return line;
}

QPolygonF poly(std::initializer_list<QPointF> points)
{
    return QPolygonF(QVector<QPointF>(points));
}

// The painter needs an application; the chart's tests in the same program
// make theirs first, and a second one would take its place, so that their
// widgets find no widget application when the tests are repeated.
struct AppFirst {
    AppFirst()
    {
        static int argc = 1;
        static char name[] = "pen_trace_test";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            new QGuiApplication(argc, argv);
    }
};

// Compared with the pen's true trace, the trace is never off by more than a
// quarter of a pixel's ink (or `largest`), and no further off in all than
// the painter's own stroke, whose joins are flattened arcs.
void expectThePensTrace(const QPolygonF& line, qreal width, int largest = 64)
{
    const QImage exact = truth(line, width);
    const Error ours = error(traced(line, width), exact);
    const Error painter = error(stroked(line, width), exact);
    EXPECT_LE(ours.largest, largest);
    EXPECT_LE(ours.total, std::max(painter.total, ink(exact) / 100));
}

} // namespace

TEST(PenTrace, IsThePensTrace)
{
    AppFirst first;
    const struct {
        const char* name;
        QPolygonF line;
        int largest = 64;
    } lines[] = {
        { "dense", dense() },
        { "slanted", poly({ QPointF(10.3, 10.2), QPointF(110.7, 60.1) }) },
        { "sharp turn", poly({ QPointF(10, 10), QPointF(60.4, 70.5), QPointF(61, 10.2), QPointF(100, 30) }) },
        { "steps",
            poly({ QPointF(10, 10), QPointF(10, 40), QPointF(50.5, 40), QPointF(50.5, 15.5), QPointF(120, 15.5) }) },
        { "repeated points", poly({ QPointF(20, 20), QPointF(20, 20), QPointF(80, 50), QPointF(80, 50) }) },
        // Lines that go back to the left: a sample that steps back, and a
        // line out and back again across itself. The pixels where its edges
        // cross take the larger share of the two, not their union.
        { "a step back",
            poly({ QPointF(10, 50), QPointF(40, 45), QPointF(30.3, 20), QPointF(70, 40), QPointF(110, 35) }) },
        { "out and back", poly({ QPointF(10, 60), QPointF(100, 20.5), QPointF(60.2, 70), QPointF(20.7, 10) }), 128 },
    };
    for (const auto& c : lines) {
        for (qreal width : { 1.0, 2.0, 4.0, 11.0 }) {
            // The widest pen at eight times the size takes the painter
            // seconds along the dense line: the widths the charts use.
            if (c.line.size() > 100 && (width < 2 || width > 4))
                continue;
            SCOPED_TRACE(testing::Message() << c.name << ", width " << width);
            expectThePensTrace(c.line, width, c.largest);
        }
    }
}

// Where the pen's edge jumps, at a vertical or near-vertical segment and at
// the sides of its round joins, the trace is as sharp as the pen's wherever
// the step lies between the pixels' quarters.
TEST(PenTrace, StepsAnywhereBetweenThePixels)
{
    AppFirst first;
    for (qreal offset : { 0.1, 0.37, 0.5, 0.9 }) {
        for (qreal lean : { 0.0, 0.01 }) {
            const qreal a = 10 + offset, b = 50.5 + offset;
            const QPolygonF line = poly({ QPointF(a, 10), QPointF(a + lean, 40), QPointF(b, 40),
                QPointF(b + lean, 15.5), QPointF(b + 30, 15.5), QPointF(b + 30, 60), QPointF(120, 60) });
            for (int width = 1; width <= 11; ++width) {
                SCOPED_TRACE(testing::Message() << "offset " << offset << ", lean " << lean << ", width " << width);
                expectThePensTrace(line, width);
            }
        }
    }
}

// What leaves no trace: the painter draws nothing for a line of no length
// either; the rest are lines the trace cannot follow.
TEST(PenTrace, LinesThatLeaveNoTrace)
{
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    const qreal inf = std::numeric_limits<qreal>::infinity();
    const struct {
        const char* name;
        QPolygonF line;
        qreal width;
        bool fits;
    } cases[] = {
        { "no points", QPolygonF(), 4, true },
        { "one point", poly({ QPointF(5, 5) }), 4, true },
        { "one point twice", poly({ QPointF(5, 5), QPointF(5, 5) }), 4, true },
        { "no width", poly({ QPointF(5, 5), QPointF(9, 9) }), 0, true },
        { "a negative width", poly({ QPointF(5, 5), QPointF(9, 9) }), -3, true },
        { "not a number", poly({ QPointF(5, 5), QPointF(nan, 9) }), 4, false },
        { "endless", poly({ QPointF(5, 5), QPointF(inf, 9) }), 4, false },
        { "wider than any screen", poly({ QPointF(0, 5), QPointF(1e9, 9) }), 4, false },
        { "far off", poly({ QPointF(1e12, 5), QPointF(1e12 + 9, 9) }), 4, false },
        { "far above and below", poly({ QPointF(0, 1e308), QPointF(1, -1e308) }), 4, false },
        { "far below", poly({ QPointF(0, 5), QPointF(1, -1e12) }), 4, false },
        { "back and forth wider than any screen", poly({ QPointF(0, 5), QPointF(40000, 9), QPointF(0, 9),
                                                      QPointF(40000, 5) }), 4, false },
        { "with a pen wider than any screen", poly({ QPointF(0, 5), QPointF(9, 9) }), 5000, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PenTrace::fits(c.line), c.fits);
        const PenTrace trace(c.line, c.width);
        EXPECT_TRUE(trace.isEmpty());
        QImage image = blank();
        EXPECT_TRUE(trace.fill(image, Qt::black));
        EXPECT_EQ(image, blank());
    }
    EXPECT_FALSE(PenTrace(poly({ QPointF(5, 5), QPointF(5, 9) }), 1).isEmpty()) << "a vertical line";
    const QPolygonF back = poly({ QPointF(5, 5), QPointF(9, 9), QPointF(8, 9) });
    EXPECT_TRUE(PenTrace::fits(back));
    EXPECT_FALSE(PenTrace(back, 1).isEmpty()) << "a line that goes back";
}

// A translucent pen paints over what is there as the painter's does, on
// either 32-bit format, and only inside the image: the line runs off it at
// both ends and across its top. Other formats are refused untouched.
TEST(PenTrace, PaintsOverWhatIsThereAndOnlyInside)
{
    AppFirst first;
    const QPolygonF line = poly({ QPointF(-20, -3), QPointF(140, 40) });
    const QColor pen(200, 30, 30, 128);
    for (QImage::Format format : { QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32 }) {
        SCOPED_TRACE(format);
        QImage ours(kWidth, kHeight, format);
        ours.fill(QColor(20, 60, 160));
        QImage painter = ours;
        {
            QPainter p(&painter);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(pen, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(line);
        }
        ASSERT_TRUE(PenTrace(line, 6).fill(ours, pen));
        int largest = 0, painted = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const QRgb a = ours.pixel(x, y), b = painter.pixel(x, y);
                painted += a != qRgb(20, 60, 160) ? 1 : 0;
                largest = std::max({ largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                    std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b)) });
            }
        }
        EXPECT_GT(painted, 500);
        EXPECT_LE(largest, 8);
    }
    QImage other(kWidth, kHeight, QImage::Format_RGB888);
    other.fill(Qt::white);
    const QImage before = other;
    EXPECT_FALSE(PenTrace(line, 6).fill(other, pen));
    EXPECT_EQ(other, before);
}
