// A full redraw of the profile chart at 480x272: 100,000 samples in three
// segments with a marked interval, laid out again (rebuildChart), drawn into
// its frame (refreshPlot) and painted onto the screen; with the samples in
// order (back:0) and with one sample whose x steps back ten pixels, as a
// clock that jumps back (back:1), which should cost about the same. The
// floor paints the same picture onto the same screen the plainest way: the
// samples as the chart placed them reduced to their pixel columns in one
// pass, then into a frame each area, the marked interval, the outline, the
// line and the gaps as one path each, the pens by the painter, then the
// chart's grid, marks, flags, cursor and texts by the same painter calls
// the chart makes, and the frame onto the screen. It first checks that its
// screen is the chart's but for the curve's edge (see unlikeness).
#include "controls/instruments/PenTrace.h"
#include "controls/instruments/zyrChartPlot.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kSamples = 100000;
constexpr int kWidth = 480;
constexpr int kHeight = 272;

QVector<QPointF> profile(bool back)
{
    QVector<QPointF> points;
    points.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i)
        points << QPointF(i * 0.01, 300 + 120 * std::sin(i * 0.0007) + 15 * std::sin(i * 0.05));
    if (back)
        points[kSamples / 2].rx() -= 20;
    return points;
}

void key(zyrChartPlot& chart, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(&chart, &press);
}

// The samples in three segments, an interval marked from 30 to 70 percent.
void setUp(zyrChartPlot& chart, bool back)
{
    chart.resize(kWidth, kHeight);
    chart.setData(profile(back), { kSamples / 3, kSamples * 2 / 3 });
    chart.setCursorPosition(30);
    key(chart, Qt::Key_Return);
    chart.setCursorPosition(70);
    key(chart, Qt::Key_Return);
}

void BM_ChartRedraw(benchmark::State& state)
{
    zyrChartPlot chart;
    setUp(chart, state.range(0) != 0);
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart.rebuildChart();
        chart.refreshPlot();
        chart.render(&screen);
        benchmark::DoNotOptimize(screen.bits());
    }
}
BENCHMARK(BM_ChartRedraw)->ArgName("back")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The points of samples [from, to) that draw the curve: in each pixel
// column the first, the lowest, the highest and the last, in sample order.
QPolygonF columnPoints(const QVector<zyrChartPlot::ChartSample>& samples, int from, int to)
{
    QPolygonF line;
    int i = from;
    while (i < to) {
        const int column = int(std::floor(samples[i].position.x()));
        int low = i, high = i, last = i;
        const int first = i;
        for (++i; i < to && int(std::floor(samples[i].position.x())) == column; ++i) {
            last = i;
            if (samples[i].position.y() < samples[low].position.y())
                low = i;
            if (samples[i].position.y() > samples[high].position.y())
                high = i;
        }
        int previous = -1;
        for (int pick : { first, std::min(low, high), std::max(low, high), last }) {
            if (pick != previous)
                line << samples[pick].position;
            previous = pick;
        }
    }
    return line;
}

QPainterPath areaUnder(const QPolygonF& line, qreal h)
{
    QPainterPath area;
    area.moveTo(line.first().x(), h);
    for (const QPointF& q : line)
        area.lineTo(q);
    area.lineTo(line.last().x(), h);
    area.closeSubpath();
    return area;
}

// The curve's segments, each reduced to its pixel columns.
QVector<QPolygonF> chartLines(const zyrChartPlot& chart)
{
    const auto& samples = chart.samples();
    const QVector<int> starts = chart.segmentStarts();
    QVector<QPolygonF> lines;
    for (int k = 0; k < starts.size(); ++k)
        lines << columnPoints(samples, starts[k], k + 1 < starts.size() ? starts[k + 1] : samples.size());
    return lines;
}

// The chart's background (areas, marked interval, outlined line, gaps)
// painted the plainest way: one path each, from the samples as the chart
// placed them.
void plainBackground(const zyrChartPlot& chart, QPainter& p, qreal h)
{
    const auto& samples = chart.samples();
    const QVector<int> starts = chart.segmentStarts();
    const int n = samples.size();
    const int markFrom = int(n * chart.markStart() * 0.01f), markTo = int(n * chart.markEnd() * 0.01f);
    const QVector<QPolygonF> lines = chartLines(chart);
    QPainterPath marked, gaps;
    for (int k = 0; k < starts.size(); ++k) {
        const int from = starts[k], to = k + 1 < starts.size() ? starts[k + 1] : n;
        if (std::min(markTo + 1, to) - std::max(markFrom, from) >= 2)
            marked.addPath(areaUnder(columnPoints(samples, std::max(markFrom, from), std::min(markTo + 1, to)), h));
        if (k + 1 < starts.size())
            gaps.addRect(QRectF(lines[k].last().x(), 0, 10, h));
    }
    for (const QPolygonF& line : lines)
        p.fillPath(areaUnder(line, h), chart.foreground());
    p.fillPath(marked, chart.markerFillColor());
    const int outline = chart.lineWidth() + 2 * chart.outlineWidth();
    p.setPen(QPen(chart.outlineColor(), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF& line : lines)
        p.drawPolyline(line);
    p.setPen(QPen(chart.lineColor(), chart.lineWidth(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF& line : lines)
        p.drawPolyline(line);
    p.fillPath(gaps, chart.gapColor());
}

QString numberText(double value)
{
    return QStringLiteral("%1").arg(value, 0, 'g', -1, QChar(' '));
}

// What the chart draws over its background, as it draws it (an x/y chart
// seen whole, its flags drawn as discs): the grid, the marks, the ends'
// discs, the cursor's bar, shadow and disc, the end values and the span
// along the edges, and the cursor's value box.
void plainOverlay(const zyrChartPlot& chart, QPainter& p, const QRect& frame)
{
    const auto& samples = chart.samples();
    const QRect r = chart.rect();
    const int offset = chart.scrollOffset();
    const QColor background = chart.background().color();
    const int markerWidth = chart.markerWidth(), cursorWidth = chart.cursorWidth();
    const int outlineWidth = chart.outlineWidth(), lineWidth = chart.lineWidth();
    const QColor markerOutline = chart.markerOutlineColor(), lineColor = chart.lineColor();

    p.setPen(QPen(background.lighter(150), 1.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
    for (int y = r.top(); y < r.bottom(); y += 40)
        p.drawLine(r.left() - offset, y, r.right() - offset, y);

    QLinearGradient markGradient(0, 0, 1, 1);
    markGradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    markGradient.setColorAt(0, chart.markerLineColor().darker(200));
    markGradient.setColorAt(1, chart.markerLineColor().lighter(150));
    p.setBrush(markGradient);
    auto markLine = [&](QPointF at) {
        p.setPen(QPen(markerOutline, markerWidth + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(at, QPointF(at.x(), frame.height()));
        p.setPen(QPen(QBrush(markGradient), markerWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(at, QPointF(at.x(), frame.height()));
    };
    QPointF at = samples[chart.indexAt(chart.markStart())].position;
    markLine(at);
    p.setPen(QPen(markerOutline, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(at, 2.0 * markerWidth, 2.0 * markerWidth);
    at = samples[chart.indexAt(chart.markEnd())].position + QPointF(0, outlineWidth + lineWidth);
    markLine(at);
    p.setPen(QPen(markerOutline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(QPointF(at.x(), frame.height() - 2 * markerWidth), 2.0 * markerWidth, 2.0 * markerWidth);

    const qreal shiftX = cursorWidth + 2 * outlineWidth;
    p.setBrush(chart.startFlagBrush());
    p.drawEllipse(samples.first().position + QPointF(shiftX, 0), 2.0 * cursorWidth, 2.0 * cursorWidth);
    p.setBrush(chart.endFlagBrush());
    p.drawEllipse(samples.last().position - QPointF(shiftX, 0), 2.0 * cursorWidth, 2.0 * cursorWidth);

    const zyrChartPlot::ChartSample& cursor = samples[chart.indexAt(chart.cursorPosition())];
    const QPointF c = cursor.position;
    const int w = cursorWidth + 2 * outlineWidth;
    QLinearGradient bar(0, 0, 1, 0);
    bar.setCoordinateMode(QGradient::ObjectBoundingMode);
    bar.setColorAt(0, chart.cursorColor().darker(200));
    bar.setColorAt(0.5, chart.cursorColor());
    bar.setColorAt(1, chart.cursorColor().darker(200));
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(int(c.x() - w / 2), frame.top(), w, frame.height()), bar);
    QColor shade = chart.cursorColor().darker(150);
    shade.setAlpha(200);
    QColor fade = background;
    fade.setAlpha(10);
    QLinearGradient shadow(0, 0, 1, 0);
    shadow.setCoordinateMode(QGradient::ObjectBoundingMode);
    shadow.setColorAt(0, shade);
    shadow.setColorAt(1, fade);
    p.fillRect(QRect(int(cursorWidth + c.x()), frame.top(), cursorWidth, frame.height()), shadow);
    QColor dot = background;
    dot.setAlpha(200);
    p.setPen(QPen(lineColor.lighter(150), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(dot);
    p.drawEllipse(c, 2.0 * cursorWidth, 2.0 * cursorWidth);
    p.setPen(Qt::NoPen);
    p.setBrush(lineColor.darker(120));
    p.drawEllipse(c, qreal(cursorWidth), qreal(cursorWidth));

    QFont font = p.font();
    font.setPointSize(10);
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int n = samples.size();
    const auto& first = samples[std::clamp(int(n * chart.zoomStart() * 0.01f), 0, n - 1)];
    const auto& last = samples[std::clamp(int(n * chart.zoomEnd() * 0.01f - 1.0f), 0, n - 1)];
    p.setPen(QPen(background.lighter(150), 3.0));
    QString text = numberText(first.second);
    QRect box = metrics.boundingRect(text);
    p.save();
    p.translate(r.bottomLeft() + QPoint(box.height() - offset, 0));
    p.rotate(-90);
    p.drawText(box, Qt::AlignCenter, text);
    p.restore();
    text = numberText(last.second);
    box = metrics.boundingRect(text);
    p.save();
    p.translate(r.bottomRight() + QPoint(-offset, 0));
    p.rotate(-90);
    p.drawText(box, Qt::AlignCenter, text);
    p.restore();
    text = numberText(last.first - first.first);
    box = metrics.boundingRect(text);
    p.save();
    p.translate((r.width() - box.width()) / 2 + r.left() - offset, r.bottom());
    p.drawText(box, Qt::AlignCenter, text);
    p.restore();

    const QString value = numberText(cursor.second), second = numberText(cursor.first);
    p.setPen(QPen(chart.palette().text(), 3.0));
    QRect r2 = metrics.boundingRect(second);
    QRect r1 = metrics.boundingRect(value);
    const qreal left = c.x() - r2.width() - 2 * cursorWidth;
    const int x = int(left >= r.left() - offset ? left : c.x() + 2 * cursorWidth);
    const int y = int(c.y() - r2.height() - r1.height());
    r1.moveTo(x, y);
    r2.moveTo(x, y + r1.height());
    p.setBrush(chart.palette().base());
    p.drawRoundedRect(QRectF(x, y, std::max(r1.width(), r2.width()), r2.height() + r1.height()), 5.0, 5.0);
    p.drawText(r2, Qt::AlignCenter, second);
    p.drawText(r1, Qt::AlignCenter, value);
}

// The whole redraw the plainest way: the frame painted whole, then shown
// on the screen as the chart shows its frame.
void plainRedraw(const zyrChartPlot& chart, QImage& frame, QImage& screen)
{
    frame.fill(chart.background().color());
    {
        QPainter p(&frame);
        p.setRenderHint(QPainter::Antialiasing);
        plainBackground(chart, p, frame.height());
        plainOverlay(chart, p, frame.rect());
    }
    QPainter p(&screen);
    p.drawImage(chart.rect(), frame, QRect(QPoint(-chart.scrollOffset(), 0), chart.size()));
}

// How the chart's picture differs from the plain one. The chart fills each
// pen's trace, whose joins are rounder than the painter's flattened arcs, so
// the two may differ along the curve's edge, there by a few levels on
// average; everywhere else (areas, gaps, grid, marks, cursor, texts) they
// are to be the same.
struct Unlikeness {
    bool alike;
    QString summary;
};

Unlikeness unlikeness(const zyrChartPlot& chart, const QImage& plain, const QImage& drawn)
{
    QImage edge(plain.size(), QImage::Format_ARGB32_Premultiplied);
    edge.fill(Qt::white);
    {
        QPainter p(&edge);
        p.translate(chart.scrollOffset(), 0);
        const int reach = chart.lineWidth() + 2 * chart.outlineWidth() + 2;
        p.setPen(QPen(Qt::black, reach, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& line : chartLines(chart))
            p.drawPolyline(line);
    }
    long along = 0, off = 0, total = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb a = plain.pixel(x, y), b = drawn.pixel(x, y);
            const bool onEdge = qRed(edge.pixel(x, y)) < 255;
            along += onEdge ? 1 : 0;
            if (a == b)
                continue;
            off += onEdge ? 0 : 1;
            total += std::max(
                { std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) });
        }
    }
    const double mean = along > 0 ? double(total) / along : 0;
    return { off == 0 && mean <= 16,
        QStringLiteral("%1 px off the curve differ, along it %2 levels on average").arg(off).arg(mean, 0, 'f', 2) };
}

void BM_ChartRedraw_Floor(benchmark::State& state)
{
    zyrChartPlot chart;
    setUp(chart, state.range(0) != 0);
    chart.rebuildChart();
    chart.refreshPlot();
    // Both screens from the same start: the chart's frame is translucent.
    QImage drawn(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied), screen(drawn.size(), drawn.format());
    drawn.fill(Qt::black);
    screen.fill(Qt::black);
    chart.render(&drawn);
    QImage frame(chart.fullChartWidth(), kHeight, QImage::Format_ARGB32_Premultiplied);
    plainRedraw(chart, frame, screen);
    Unlikeness unlike = unlikeness(chart, screen, drawn);
    state.SetLabel(qPrintable(unlike.summary));
    if (!unlike.alike) {
        state.SkipWithError(qPrintable(unlike.summary));
        return;
    }
    for (auto _ : state) {
        plainRedraw(chart, frame, screen);
        benchmark::DoNotOptimize(screen.bits());
    }
}
BENCHMARK(BM_ChartRedraw_Floor)->ArgName("back")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A pen far wider than the picture (4,096 px, the widest the chart takes) along
// 20,000 samples of a small chart. Its floor is the same chart with the pen
// that just covers the picture from the line's first point, which paints the
// same picture: a wider pen should cost no more.
void wideChart(zyrChartPlot& chart, int lineWidth)
{
    chart.resize(120, 68);
    chart.setOutlineWidth(0);
    chart.setLineWidth(lineWidth);
    QVector<QPointF> points;
    for (int i = 0; i < 20000; ++i)
        points << QPointF(i, std::sin(i * 0.01) + 0.2 * std::sin(i * 0.7));
    chart.setData(points, {});
}

void BM_ChartWidePen(benchmark::State& state)
{
    zyrChartPlot chart;
    wideChart(chart, 4096);
    for (auto _ : state) {
        chart.rebuildChart();
        benchmark::DoNotOptimize(chart.GetBackgroundChart());
    }
}
BENCHMARK(BM_ChartWidePen)->Unit(benchmark::kMillisecond);

void BM_ChartWidePen_Floor(benchmark::State& state)
{
    zyrChartPlot chart;
    wideChart(chart, 300);
    zyrChartPlot wide;
    wideChart(wide, 4096);
    if (chart.GetBackgroundChart().toImage() != wide.GetBackgroundChart().toImage()) {
        state.SkipWithError("the covering pen's picture is not the wide pen's");
        return;
    }
    for (auto _ : state) {
        chart.rebuildChart();
        benchmark::DoNotOptimize(chart.GetBackgroundChart());
    }
}
BENCHMARK(BM_ChartWidePen_Floor)->Unit(benchmark::kMillisecond);

// A jittery line: 20,000 samples whose x wanders back and forth by up to
// half a pixel (a noisy clock), so that it turns back at about every other
// sample, as the chart draws them at 480x272 (placed and reduced to their
// pixel columns), under a pen 3 pixels wide: the chart's trace of the pen
// beside the painter's own stroke of the same line, on the same picture.
QPolygonF jitteryLine()
{
    std::mt19937 random(5);
    std::uniform_real_distribution<qreal> jitter(-0.5, 0.5);
    QVector<QPointF> samples;
    for (int i = 0; i < 20000; ++i)
        samples << QPointF(i * 0.023 + jitter(random), 90 * std::sin(i * 0.0007) + 6 * jitter(random));
    zyrChartPlot chart;
    chart.resize(kWidth, kHeight);
    chart.setData(samples, {});
    return chartLines(chart).first();
}

const QColor kJitterPen(255, 96, 0);

void BM_ChartJitteryPen(benchmark::State& state)
{
    const QPolygonF line = jitteryLine();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        zyr::charts::PenTrace(line, 3).fill(image, kJitterPen);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_ChartJitteryPen)->Unit(benchmark::kMillisecond);

void strokeJitteryLine(const QPolygonF& line, QImage& image)
{
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kJitterPen, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(line);
}

void BM_ChartJitteryPen_Floor(benchmark::State& state)
{
    const QPolygonF line = jitteryLine();
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    // The same line: the two cover the same area within a tenth. (They
    // differ along the edge, where the trace takes the larger share of the
    // runs that overlap within a pixel rather than their union.)
    strokeJitteryLine(line, image);
    QImage traced(image.size(), image.format());
    traced.fill(Qt::white);
    zyr::charts::PenTrace(line, 3).fill(traced, kJitterPen);
    double stroke = 0, trace = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            stroke += 255 - qBlue(image.pixel(x, y));
            trace += 255 - qBlue(traced.pixel(x, y));
        }
    }
    if (!(stroke > 0) || std::abs(stroke - trace) > 0.1 * stroke) {
        state.SkipWithError(qPrintable(QStringLiteral("the trace covers %1 pixels, the stroke %2")
                                           .arg(trace / 255)
                                           .arg(stroke / 255)));
        return;
    }
    for (auto _ : state) {
        strokeJitteryLine(line, image);
        benchmark::DoNotOptimize(image.bits());
    }
}
BENCHMARK(BM_ChartJitteryPen_Floor)->Unit(benchmark::kMillisecond);

} // namespace
