// A full redraw of the profile chart at 480x272: 100,000 samples in three
// segments with a marked interval, laid out again (rebuildChart), drawn into
// its frame (refreshPlot) and painted. The floor is the bare picture of the
// same samples: one pass that reduces them to their pixel columns, and the
// fill and line of that reduction drawn into an image of the chart's size.
#include "controls/instruments/zyrChartPlot.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kSamples = 100000;
constexpr int kWidth = 480;
constexpr int kHeight = 272;

QVector<QPointF> profile()
{
    QVector<QPointF> points;
    points.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i)
        points << QPointF(i * 0.01, 300 + 120 * std::sin(i * 0.0007) + 15 * std::sin(i * 0.05));
    return points;
}

void key(zyrChartPlot& chart, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(&chart, &press);
}

void BM_ChartRedraw(benchmark::State& state)
{
    zyrChartPlot chart;
    chart.resize(kWidth, kHeight);
    chart.setData(profile(), { kSamples / 3, kSamples * 2 / 3 });
    chart.setCursorPosition(30);
    key(chart, Qt::Key_Return);
    chart.setCursorPosition(70);
    key(chart, Qt::Key_Return);
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart.rebuildChart();
        chart.refreshPlot();
        chart.render(&screen);
        benchmark::DoNotOptimize(screen.bits());
    }
}
BENCHMARK(BM_ChartRedraw)->Unit(benchmark::kMillisecond);

void BM_ChartRedraw_Floor(benchmark::State& state)
{
    const QVector<QPointF> points = profile();
    double minY = points[0].y(), maxY = minY;
    for (const QPointF& p : points) {
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const double xScale = (kWidth - 1) / points.last().x();
    const double yScale = (kHeight - 1) / (maxY - minY);
    QImage screen(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        // One pass: first, lowest, highest and last of each column.
        QPolygonF line;
        line.reserve(4 * kWidth);
        int column = -1;
        QPointF first, low, high, last;
        auto flush = [&] {
            if (column >= 0)
                line << first << low << high << last;
        };
        for (const QPointF& p : points) {
            const QPointF at(p.x() * xScale, kHeight - 1 - (p.y() - minY) * yScale);
            const int c = int(at.x());
            if (c != column) {
                flush();
                column = c;
                first = low = high = at;
            }
            if (at.y() < low.y())
                low = at;
            if (at.y() > high.y())
                high = at;
            last = at;
        }
        flush();
        screen.fill(Qt::white);
        QPainter p(&screen);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath area;
        area.moveTo(line.first().x(), kHeight);
        for (const QPointF& q : line)
            area.lineTo(q);
        area.lineTo(line.last().x(), kHeight);
        area.closeSubpath();
        p.fillPath(area, QColor(175, 125, 0));
        p.setPen(QPen(QColor(255, 96, 0), 2));
        p.drawPolyline(line);
        p.end();
        benchmark::DoNotOptimize(screen.bits());
    }
}
BENCHMARK(BM_ChartRedraw_Floor)->Unit(benchmark::kMillisecond);

} // namespace
