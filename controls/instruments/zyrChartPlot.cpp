#include "controls/instruments/zyrChartPlot.h"
#include "controls/instruments/ChartBrushes.h"
#include "controls/instruments/PenTrace.h"

#include <QConicalGradient>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

using zyr::charts::PenTrace;

namespace {

const int kGap = 10;         // pixels between two segments
const float kMinSpan = 10;   // narrowest zoom window, percent
const int kHitPercent = 5;   // a press this close takes the cursor or a mark

float bounded(float percent)
{
    return std::min(std::max(percent, 0.0f), 100.0f);
}

// A coordinate as a whole pixel of the int rectangles and columns: one far
// off the chart stays far off, in pixels they can still count. Not for a
// coordinate that is not a number: callers skip those.
int pixelOf(double v)
{
    return int(std::clamp(v, double(-(1 << 24)), double(1 << 24)));
}

} // namespace

zyrChartPlot::zyrChartPlot(QWidget* parent)
    : QWidget(parent)
    , m_background(QColor(255, 255, 255, 128), Qt::SolidPattern)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(1);
    policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(policy);
    setAttribute(Qt::WA_TranslucentBackground);
    m_fullWidth = width();
    // The signals name the type CHART_TYPE: known by that name, they can be
    // queued.
    qRegisterMetaType<CHART_TYPE>("CHART_TYPE");

    const zyr::charts::DefaultBrushes brushes = zyr::charts::defaultBrushes();
    m_foreground = brushes.foreground;
    m_startFlagBrush = brushes.startFlag;
    m_endFlagBrush = brushes.endFlag;
}

zyrChartPlot::~zyrChartPlot() = default;

// ---------------------------------------------------------------- data

void zyrChartPlot::setGaps(const QVector<int>& gaps)
{
    // Segment starts must rise strictly inside the series.
    m_gaps = { 0 };
    for (int g : gaps)
        if (g > m_gaps.last() && g < m_samples.size())
            m_gaps << g;
}

void zyrChartPlot::setData(const QVector<QPointF>& points, const QVector<int>& gaps)
{
    if (points.isEmpty())
        return;
    m_samples.clear();
    m_samples.reserve(points.size());
    for (const QPointF& p : points) {
        ChartSample s;
        s.first = p.x();
        s.second = float(p.y());
        m_samples << s;
    }
    setGaps(gaps);
    layOut(X_Y);
}

void zyrChartPlot::setData(const QVector<VertProfileData>& data, const QVector<int>& gaps, CHART_TYPE type)
{
    if (data.isEmpty())
        return;
    m_samples.clear();
    m_samples.reserve(data.size());
    for (const VertProfileData& d : data) {
        ChartSample s;
        s.time = QDateTime::fromString(d.dateTime, Qt::ISODate);
        s.first = d.first;
        s.second = d.second;
        m_samples << s;
    }
    setGaps(gaps);
    layOut(type);
}

void zyrChartPlot::setData(const QVector<BaromData>& data, const QVector<int>& gaps)
{
    if (data.isEmpty())
        return;
    m_samples.clear();
    m_samples.reserve(data.size());
    for (const BaromData& d : data) {
        ChartSample s;
        s.time = QDateTime::fromString(d.dateTime, Qt::ISODate);
        s.first = d.value;
        m_samples << s;
    }
    setGaps(gaps);
    layOut(TIME_PRESSURE);
}

void zyrChartPlot::layOut(CHART_TYPE type)
{
    m_type = type;
    calculateRanges();
    updateRanges(0, 100);
    rebuildChart();
    refreshPlot();
}

void zyrChartPlot::setChartType(CHART_TYPE type)
{
    if (type != m_type)
        layOut(type);
}

void zyrChartPlot::setLowerRange(int percent)
{
    m_lowerRange = std::min(std::max(percent, 0), 100);
    refreshPlot();
}

void zyrChartPlot::setUpperRange(int percent)
{
    m_upperRange = std::min(std::max(percent, 0), 100);
    refreshPlot();
}

void zyrChartPlot::setColors(const QVector<QBrush>& fills, const QVector<QColor>& lines, const QVector<QColor>& outlines)
{
    m_fills = fills;
    m_lines = lines;
    m_outlines = outlines;
}

void zyrChartPlot::setCursorPosition(float percent)
{
    m_cursor = bounded(percent);
    updatePos();
}

double zyrChartPlot::sampleX(const ChartSample& s) const
{
    if (m_type == TIME_ELEV || m_type == TIME_PRESSURE)
        return s.time.isValid() ? double(s.time.toSecsSinceEpoch()) : 0.0;
    return s.first;
}

float zyrChartPlot::sampleY(const ChartSample& s) const
{
    return m_type == TIME_PRESSURE ? float(s.first) : s.second;
}

int zyrChartPlot::indexAt(float percent) const
{
    const int n = m_samples.size();
    if (n == 0)
        return 0;
    return std::min(std::max(int(n * percent * 0.01f), 0), n - 1);
}

qreal zyrChartPlot::yAt(float percent) const
{
    return m_samples.isEmpty() ? 0.0 : qreal(sampleY(m_samples[indexAt(percent)]));
}

// ---------------------------------------------------------------- ranges

void zyrChartPlot::calculateRanges()
{
    m_minY.clear();
    m_maxY.clear();
    m_minX.clear();
    m_maxX.clear();
    m_rangeY.clear();
    m_rangeX.clear();
    m_segmentLengths.clear();
    m_totalX = 0;
    if (m_samples.isEmpty())
        return;
    const int count = m_gaps.size();
    for (int k = 0; k < count; ++k)
        m_segmentLengths << (k + 1 < count ? m_gaps[k + 1] : m_samples.size()) - m_gaps[k];
    for (int k = 0; k < count; ++k) {
        const int from = m_gaps[k];
        const int to = from + m_segmentLengths[k];
        // Only numbers count: a sample that is not one (from such data),
        // or is infinite, would make the whole segment's range so.
        float minY = std::numeric_limits<float>::infinity(), maxY = -minY;
        double minX = std::numeric_limits<double>::infinity(), maxX = -minX;
        for (int i = from; i < to; ++i) {
            const float y = sampleY(m_samples[i]);
            const double x = sampleX(m_samples[i]);
            if (std::isfinite(y)) {
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
            if (std::isfinite(x)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
        }
        if (minY > maxY)
            minY = maxY = 0;
        if (minX > maxX)
            minX = maxX = 0;
        float rangeY = maxY - minY;
        double rangeX = maxX - minX;
        if (rangeY == 0)
            rangeY = 1.0f;
        if (rangeX == 0)
            rangeX = 1.0;
        m_minY << minY;
        m_maxY << maxY;
        m_minX << minX;
        m_maxX << maxX;
        m_rangeY << rangeY;
        m_rangeX << rangeX;
        m_totalX += rangeX;
    }
}

void zyrChartPlot::updateRanges(float start, float end)
{
    if (m_samples.isEmpty() || m_rangeX.isEmpty())
        return;
    const int count = m_rangeX.size();
    m_segmentEnds.clear();
    float cumulative = 0;
    for (int k = 0; k < count; ++k) {
        cumulative += float(m_rangeX[k] / m_totalX * 100.0);
        m_segmentEnds << cumulative;
    }
    int d = count - 1;
    if (count >= 2) {
        for (int k = 0; k < count; ++k)
            if (m_segmentEnds[k] > end) {
                d = k - 1;
                break;
            }
    }
    const int g = 0;
    float usable = float(width() - (d - g) * kGap);
    if (end > start)
        usable = usable * 100.0f / (end - start);
    const int w = std::max(1, int(usable));
    m_offset = m_offsetAtPress = int(w * start * (-0.01f) - g * kGap);
    m_xPerPixel = m_totalX / w;
    m_fullWidth = w + kGap * count - kGap;

    const float h = float(height());
    double a = 0;
    for (int k = 0; k < count; ++k) {
        // A range the sum of ranges cannot divide (one infinite, or their
        // sum past what a double holds) gives its segment no width.
        const double columns = m_rangeX[k] / m_xPerPixel;
        const double e = std::isfinite(columns) ? pixelOf(columns + a) : a;
        const int from = m_gaps[k];
        const int to = from + m_segmentLengths[k];
        const double minX = m_minX[k], rangeX = m_rangeX[k];
        const float minY = m_minY[k], rangeY = m_rangeY[k];
        const float span = float(m_upperRange - m_lowerRange);
        for (int i = from; i < to; ++i) {
            ChartSample& s = m_samples[i];
            const double x = (sampleX(s) - minX) / rangeX * (e - a) + a;
            const float p = (sampleY(s) - minY) / rangeY * span + float(m_lowerRange);
            s.position = QPointF(x, (1.0f - p * 0.01f) * h);
        }
        a = e + kGap;
    }
}

// ---------------------------------------------------------------- paths

namespace {

// The polyline through samples [from, to), cut to at most four points a
// pixel column: the first, the lowest, the highest and the last, in the
// order they come. Stroked and filled it draws what every sample would.
template <typename Sample>
QPolygonF reduced(const QVector<Sample>& samples, int from, int to)
{
    // The pixel column of x: floor without the library call. A placed
    // sample lies on the chart; one that is not a number (from such data)
    // gets a column of its own instead of an undefined conversion.
    auto columnOf = [](qreal x) {
        if (!(std::abs(x) < 1e9))
            return std::numeric_limits<int>::min();
        const int c = int(x);
        return x < c ? c - 1 : c;
    };
    QPolygonF line;
    line.reserve(std::min(to - from, 1024));
    int i = from;
    while (i < to) {
        const int column = columnOf(samples[i].position.x());
        const int first = i;
        int low = i, high = i;
        int last = i;
        qreal lowY = samples[i].position.y(), highY = lowY;
        for (++i; i < to && columnOf(samples[i].position.x()) == column; ++i) {
            last = i;
            const qreal y = samples[i].position.y();
            if (y < lowY) {
                lowY = y;
                low = i;
            }
            if (y > highY) {
                highY = y;
                high = i;
            }
        }
        int picks[4] = { first, std::min(low, high), std::max(low, high), last };
        int previous = -1;
        for (int pick : picks) {
            if (pick != previous)
                line << samples[pick].position;
            previous = pick;
        }
    }
    return line;
}

// The area under a polyline, closed along the bottom edge h.
void addArea(QPainterPath& path, const QPolygonF& line, qreal h)
{
    path.moveTo(line.first().x(), h);
    for (const QPointF& p : line)
        path.lineTo(p);
    path.lineTo(line.last().x(), h);
    path.closeSubpath();
}

// The bounds of that area's points: what a gradient given relative to the
// filled shape is stretched over.
QRectF areaBounds(const QPolygonF& line, qreal h)
{
    qreal left = line.first().x(), right = left, top = h, bottom = h;
    for (const QPointF& p : line) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The brush placed where the painter would place it filling a shape of the
// given bounds on a device of the given size, so that pieces of the shape
// fill as the whole would.
QBrush placedBrush(const QBrush& brush, const QRectF& bounds, const QSize& device)
{
    const QGradient* g = brush.gradient();
    if (!g || g->coordinateMode() == QGradient::LogicalMode)
        return brush;
    const QRectF r = g->coordinateMode() == QGradient::StretchToDeviceMode ? QRectF(QPointF(0, 0), QSizeF(device)) : bounds;
    const QTransform t(r.width(), 0, 0, r.height(), r.x(), r.y());
    QGradient logical = *g;
    logical.setCoordinateMode(QGradient::LogicalMode);
    QBrush placed(logical);
    placed.setTransform(g->coordinateMode() == QGradient::ObjectMode ? brush.transform() * t : t * brush.transform());
    return placed;
}

// The piece of an x-ordered polyline from its last point left of `left` to
// its first point right of `right`.
QPolygonF piece(const QPolygonF& line, qreal left, qreal right)
{
    auto byX = [](const QPointF& p, qreal x) { return p.x() < x; };
    const int from = int(std::lower_bound(line.begin(), line.end(), left, byX) - line.begin());
    const int to = int(std::upper_bound(line.begin(), line.end(), right, [](qreal x, const QPointF& p) { return x < p.x(); })
        - line.begin());
    const int first = std::max(from - 1, 0);
    const int last = std::min(to, int(line.size()) - 1);
    if (from == line.size() || to == 0)
        return QPolygonF();
    return line.mid(first, last - first + 1);
}

// A closed polygon within left <= x <= right: what lies outside is moved
// onto the nearer bound, where it encloses nothing, so that between the
// bounds the piece fills as the whole polygon does (by either fill rule).
// For a line that turns back, whose pieces cannot be cut by x.
QPolygonF slab(const QPolygonF& polygon, qreal left, qreal right)
{
    QPolygonF out;
    auto add = [&](QPointF p) {
        p.setX(std::clamp(p.x(), left, right));
        // Along a bound only the ends of a run of points count.
        const int n = out.size();
        if (n >= 2 && (p.x() == left || p.x() == right) && out[n - 1].x() == p.x() && out[n - 2].x() == p.x())
            out[n - 1] = p;
        else
            out << p;
    };
    for (int i = 0; i < polygon.size(); ++i) {
        const QPointF p = polygon[i], q = polygon[(i + 1) % polygon.size()];
        add(p);
        // Where the edge crosses a bound, in its order along the edge.
        const qreal bounds[2] = { p.x() <= q.x() ? left : right, p.x() <= q.x() ? right : left };
        for (qreal b : bounds) {
            if ((p.x() < b && q.x() > b) || (p.x() > b && q.x() < b))
                add(QPointF(b, p.y() + (q.y() - p.y()) * (b - p.x()) / (q.x() - p.x())));
        }
    }
    return out;
}

// The area under a polyline as a closed polygon along the bottom edge h.
QPolygonF areaPolygon(const QPolygonF& line, qreal h)
{
    QPolygonF polygon;
    polygon.reserve(line.size() + 2);
    polygon << QPointF(line.first().x(), h) << line << QPointF(line.last().x(), h);
    return polygon;
}

// Whether a polyline goes only right, through numbers: its pieces can be
// cut by x.
bool goesRight(const QPolygonF& line)
{
    for (int i = 0; i < line.size(); ++i) {
        if (!std::isfinite(line[i].x()) || (i > 0 && line[i].x() < line[i - 1].x()))
            return false;
    }
    return true;
}

// The width of a round pen along a line, no wider than covers the whole of
// an image: a pen whose disc at the line's first point reaches every corner
// covers the image whatever its width, and a wider one only costs more.
qreal coveringWidth(qreal width, const QPolygonF& line, const QSize& image)
{
    if (line.isEmpty())
        return width;
    const QPointF p = line.first();
    qreal farthest = 0;
    for (const QPointF corner : { QPointF(0, 0), QPointF(image.width(), 0), QPointF(0, image.height()),
             QPointF(image.width(), image.height()) })
        farthest = std::max(farthest, std::hypot(corner.x() - p.x(), corner.y() - p.y()));
    // A pixel more: the painter's antialiasing reaches past the edge.
    const qreal covering = 2 * (farthest + 1);
    return covering < width ? covering : width;
}

// Strips of columns painted one at a time (see paintLayers).
const int kStripWidth = 16;

} // namespace

void zyrChartPlot::rebuildChart()
{
    m_polylines.clear();
    m_areaBounds.clear();
    m_gapPath = QPainterPath();
    m_hasArea = false;
    if (m_samples.isEmpty())
        return;
    const qreal h = height();
    const int count = m_gaps.size();
    for (int k = 0; k < count; ++k) {
        const int from = m_gaps[k];
        const int to = from + m_segmentLengths.value(k);
        if (to <= from)
            continue;
        const QPolygonF line = reduced(m_samples, from, to);
        m_polylines << line;
        m_areaBounds << areaBounds(line, h);
        if (k + 1 < count) {
            const qreal e = line.last().x();
            m_gapPath.addRect(QRectF(e, 0, kGap, h));
        }
    }
    m_hasArea = true;
    rebuildMarkedArea();
    m_background_ = QPixmap();
}

bool zyrChartPlot::marksValid() const
{
    return m_markStart >= 0 && m_markStart <= 100 && m_markEnd >= 0 && m_markEnd <= 100 && m_markStart != m_markEnd;
}

void zyrChartPlot::rebuildMarkedArea()
{
    m_markedLines.clear();
    if (!m_samples.isEmpty() && m_intervalComplete && marksValid()) {
        // The area between the two marks, from the samples (no path
        // operation on the whole curve).
        const int a = indexAt(std::min(m_markStart, m_markEnd));
        const int b = indexAt(std::max(m_markStart, m_markEnd));
        for (int k = 0; k < m_gaps.size(); ++k) {
            const int from = std::max(a, m_gaps[k]);
            const int to = std::min(b + 1, m_gaps[k] + m_segmentLengths.value(k));
            if (to - from < 2)
                continue;
            m_markedLines << reduced(m_samples, from, to);
        }
    }
    m_marksMoved = m_markedDrawn = m_gapsDrawn = false;
}

// ---------------------------------------------------------------- zoom

void zyrChartPlot::updatePos()
{
    if (m_zoomSpan == 0)
        m_zoomSpan = 100;
    m_cursor = bounded(m_cursor);
    m_markStart = bounded(m_markStart);
    m_markEnd = bounded(m_markEnd);
    m_relCursor = (m_cursor - m_zoomStart) * (1 / m_zoomSpan) * 100;
    if (m_startSet || m_intervalComplete)
        m_relMarkStart = (m_markStart - m_zoomStart) * (1 / m_zoomSpan) * 100;
    if (m_intervalComplete)
        m_relMarkEnd = (m_markEnd - m_zoomStart) * (1 / m_zoomSpan) * 100;
}

void zyrChartPlot::updateZoomedPos()
{
    if (m_zoomSpan == 0)
        m_zoomSpan = 100;
    m_cursor = bounded(m_zoomSpan * m_relCursor * 0.01f + m_zoomStart);
    if (m_startSet || m_intervalComplete)
        m_markStart = bounded(m_zoomSpan * m_relMarkStart * 0.01f + m_zoomStart);
    if (m_intervalComplete)
        m_markEnd = bounded(m_zoomSpan * m_relMarkEnd * 0.01f + m_zoomStart);
}

void zyrChartPlot::zooooooom()
{
    m_zoomCentre = (m_zoomStart + m_zoomEnd) * 0.5f;
    if (m_samples.isEmpty())
        return;
    updateRanges(m_zoomStart, m_zoomEnd);
    updatePos();
    rebuildChart();
    refreshPlot();
}

void zyrChartPlot::zoomIn()
{
    setFocus();
    if (m_samples.isEmpty())
        return;
    if (!m_intervalComplete && m_zoomSpan <= kMinSpan)
        return;
    float start, end;
    if (m_intervalComplete) {
        start = std::min(m_markStart, m_markEnd);
        end = std::max(m_markStart, m_markEnd);
    } else {
        const int f = m_zoomStep * m_zoomFactor;
        const float half = 100.0f / (f * 2);
        start = m_cursor - half;
        end = m_cursor + half;
        if (end - start <= kMinSpan)
            return;
        m_zoomFactor = quint16(f);
    }
    float span = end - start;
    if (span < kMinSpan) {
        span = kMinSpan;
        end = start + kMinSpan;
    }
    if (end - span < 0 || start < 0) {
        start = 0;
        end = span;
    }
    if (span + start > 100 || end > 100) {
        start = 100 - span;
        end = 100;
    }
    m_zoomStart = start;
    m_zoomEnd = end;
    m_zoomSpan = span;
    zooooooom();
}

void zyrChartPlot::zoomOut()
{
    setFocus();
    if (m_samples.isEmpty())
        return;
    if (m_zoomStart <= 0 && m_zoomEnd >= 100)
        return;
    float start = m_zoomCentre - (m_zoomCentre - m_zoomStart) * m_zoomStep;
    float end = m_zoomCentre + (m_zoomEnd - m_zoomCentre) * m_zoomStep;
    float span = end - start;
    if (span > 100) {
        start = 0;
        end = 100;
        span = 100;
    } else {
        span = std::max(span, kMinSpan);
        if (start < 0) {
            start = 0;
            end = span;
        } else if (end > 100) {
            start = 100 - span;
            end = 100;
        }
    }
    if (!m_intervalComplete) {
        m_zoomFactor = quint16(m_zoomFactor / m_zoomStep);
        if (m_zoomFactor == 0)
            m_zoomFactor = 1;
    }
    m_zoomStart = start;
    m_zoomEnd = end;
    m_zoomSpan = span;
    zooooooom();
}

void zyrChartPlot::pan()
{
    const float span = std::max(m_zoomEnd - m_zoomStart, kMinSpan);
    const float shift = float(m_offsetAtPress - m_offset) * 100.0f / float(std::max(1, m_fullWidth));
    m_zoomEnd = bounded(bounded(m_zoomStart + shift) + span);
    m_zoomStart = bounded(m_zoomEnd - span);
    m_zoomSpan = m_zoomEnd - m_zoomStart;
    m_zoomCentre = (m_zoomStart + m_zoomEnd) * 0.5f;
    if (m_samples.isEmpty())
        return;
    updateRanges(m_zoomStart, m_zoomEnd);
    updatePos();
    refreshPlot();
}

void zyrChartPlot::removeMarkedArea()
{
    m_startSet = m_intervalComplete = false;
    m_markStart = m_markEnd = 0;
    rebuildChart();
    refreshPlot();
}

// ---------------------------------------------------------------- pictures

QPainterPath zyrChartPlot::markedPath() const
{
    QPainterPath path;
    for (const QPolygonF& line : m_markedLines)
        addArea(path, line, height());
    return path;
}

QPixmap zyrChartPlot::GetBackgroundChart()
{
    if (m_background_.isNull() && m_fullWidth > 0 && height() > 0) {
        m_background_ = QPixmap(m_fullWidth, height());
        m_backgroundRect = m_background_.rect();
        m_background_.fill(m_background.color());
        paintLayers(CurveLayers | MarkedLayer | (m_gapsDrawn ? 0 : GapLayer));
    } else if (!m_background_.isNull()) {
        paintLayers((m_markedDrawn ? 0 : MarkedLayer) | (m_gapsDrawn ? 0 : GapLayer));
    }
    return m_background_;
}

// The curve is dense: up to four points a column, each joined and capped by a
// wide pen. The raster engine's work for one path grows much faster than its
// size, so the areas are painted in strips of a few columns, each with the
// pieces of the paths that reach it: cut by x along a line that only goes
// right, clipped to the strip's columns along one that turns back. Either
// way each pixel of a strip is covered exactly as the whole path covers it.
// The pens are then painted whole as their traces (see PenTrace), instead of
// thousands of joins; a line that turns back is traced in runs that each go
// one way. Only a pen of no width (the painter's one-pixel line) and a line
// the trace cannot follow are the painter's.
void zyrChartPlot::paintLayers(int layers)
{
    const bool marked = (layers & MarkedLayer) && m_intervalComplete && marksValid() && !m_markedLines.isEmpty();
    const bool gaps = (layers & GapLayer) && !m_gapPath.isEmpty();
    const bool curves = layers & CurveLayers;
    if (!curves && !marked && !gaps)
        return;
    // The painter's image is shared with the pixmap: drop the pixmap's
    // reference so that the strips paint into it without a copy.
    QImage image = m_background_.toImage();
    m_background_ = QPixmap();
    const qreal h = height();
    // The pens' traces are painted into 32-bit pixels.
    if (curves && image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int step = image.depth() % 8 == 0 ? kStripWidth : image.width();
    const int outlineWidth = m_lineWidth + 2 * m_outlineWidth;

    QVector<QBrush> fills;
    QBrush fill = m_foreground;
    for (int k = 0; k < m_polylines.size(); ++k) {
        if (k < m_fills.size())
            fill = m_fills[k];
        fills << placedBrush(fill, m_areaBounds[k], image.size());
    }
    // A line that turns back is clipped to each strip from the area's
    // polygon.
    struct Area {
        QPolygonF line;
        bool byX;
        QPolygonF polygon;
    };
    auto areas = [&](const QVector<QPolygonF>& lines) {
        QVector<Area> all;
        for (const QPolygonF& line : lines) {
            const bool byX = goesRight(line);
            all.push_back({ line, byX, byX || line.isEmpty() ? QPolygonF() : areaPolygon(line, h) });
        }
        return all;
    };
    const QVector<Area> curveAreas = curves ? areas(m_polylines) : QVector<Area>();
    const QVector<Area> markedAreas = marked ? areas(m_markedLines) : QVector<Area>();
    for (int x0 = 0; x0 < image.width(); x0 += step) {
        const int w = std::min(step, image.width() - x0);
        QImage strip(image.bits() + x0 * (image.depth() / 8), w, image.height(), image.bytesPerLine(), image.format());
        QPainter p(&strip);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-x0, 0);
        // A pixel beyond the strip: its antialiased edge.
        const qreal left = x0 - 1, right = x0 + w + 1;
        auto addPart = [&](QPainterPath& path, const Area& area) {
            if (area.line.isEmpty())
                return;
            if (!area.byX) {
                path.addPolygon(slab(area.polygon, left, right));
                path.closeSubpath();
                return;
            }
            const QPolygonF line = piece(area.line, left, right);
            if (!line.isEmpty())
                addArea(path, line, h);
        };
        for (int k = 0; k < curveAreas.size(); ++k) {
            QPainterPath area;
            addPart(area, curveAreas[k]);
            if (!area.isEmpty())
                p.fillPath(area, fills[k]);
        }
        if (marked) {
            QPainterPath area;
            for (const Area& part : markedAreas)
                addPart(area, part);
            if (!area.isEmpty())
                p.fillPath(area, m_markerFillColor);
        }
    }
    if (curves) {
        // Over the areas, the outlines, then the lines, then the gaps, each
        // whole. A segment's pen colour: its own, or the last one set for a
        // segment before it, or the chart's.
        auto penColor = [](const QVector<QColor>& colors, const QColor& chart, int k) {
            return k < colors.size() ? colors[k] : colors.isEmpty() ? chart : colors.last();
        };
        auto pen = [&](const QColor& color, int width, int k) {
            const QPolygonF& line = m_polylines[k];
            const qreal covering = coveringWidth(width, line, image.size());
            if (covering > 0 && covering <= PenTrace::kWidest && PenTrace::fits(line)) {
                PenTrace(line, covering).fill(image, color);
                return;
            }
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(color, width > 0 ? covering : width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(line);
        };
        for (int k = 0; k < m_polylines.size(); ++k)
            pen(penColor(m_outlines, m_outlineColor, k), outlineWidth, k);
        for (int k = 0; k < m_polylines.size(); ++k)
            pen(penColor(m_lines, m_lineColor, k), m_lineWidth, k);
    }
    if (gaps) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(m_gapPath, m_gapColor);
    }
    m_background_ = QPixmap::fromImage(std::move(image), Qt::NoFormatConversion);
    m_markedDrawn = m_markedDrawn || marked;
    m_gapsDrawn = m_gapsDrawn || gaps;
}

QString zyrChartPlot::numberText(double value) const
{
    return QStringLiteral("%1").arg(value, 0, 'g', -1, QChar(' '));
}

void zyrChartPlot::refreshPlot()
{
    if (!m_hasArea)
        return;
    m_frame = GetBackgroundChart();
    if (m_samples.isEmpty() || m_frame.isNull())
        return;
    QPainter p(&m_frame);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect bg = m_backgroundRect;

    p.setPen(QPen(m_background.color().lighter(150), 1.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
    const QRect r = rect();
    for (int y = r.top(); y < r.bottom(); y += 40)
        p.drawLine(r.left() - m_offset, y, r.right() - m_offset, y);

    QLinearGradient markGradient(0, 0, 1, 1);
    markGradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    markGradient.setColorAt(0, m_markerLineColor.darker(200));
    markGradient.setColorAt(1, m_markerLineColor.lighter(150));
    const QBrush markBrush(markGradient);
    p.setBrush(markBrush);

    auto markLine = [&](QPointF at) {
        p.setPen(QPen(m_markerOutlineColor, m_markerWidth + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(at, QPointF(at.x(), bg.height()));
        p.setPen(QPen(markBrush, m_markerWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(at, QPointF(at.x(), bg.height()));
    };
    if ((m_startSet || m_intervalComplete) && m_markStart >= 0 && m_markStart <= 100) {
        const QPointF at = m_samples[indexAt(m_markStart)].position;
        markLine(at);
        p.setPen(QPen(m_markerOutlineColor, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(at, 2.0 * m_markerWidth, 2.0 * m_markerWidth);
    }
    if (m_intervalComplete && marksValid()) {
        const QPointF at = m_samples[indexAt(m_markEnd)].position + QPointF(0, m_outlineWidth + m_lineWidth);
        markLine(at);
        p.setPen(QPen(m_markerOutlineColor, m_outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(QPointF(at.x(), bg.height() - 2 * m_markerWidth), 2.0 * m_markerWidth, 2.0 * m_markerWidth);
    }

    const qreal shiftX = m_cursorWidth + 2 * m_outlineWidth;
    if (m_startFlag.isNull()) {
        p.setBrush(m_startFlagBrush);
        p.setPen(QPen(m_markerOutlineColor, m_outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(m_samples.first().position + QPointF(shiftX, 0), 2.0 * m_cursorWidth, 2.0 * m_cursorWidth);
    }
    if (m_endFlag.isNull()) {
        p.setBrush(m_endFlagBrush);
        p.setPen(QPen(m_markerOutlineColor, m_outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawEllipse(m_samples.last().position - QPointF(shiftX, 0), 2.0 * m_cursorWidth, 2.0 * m_cursorWidth);
    }

    const QPointF c = m_samples[indexAt(m_cursor)].position;
    // A cursor sample whose x is not a number (from such data) has no place
    // for its bar.
    if (std::isfinite(c.x())) {
        const int w = m_cursorWidth + 2 * m_outlineWidth;
        QLinearGradient bar(0, 0, 1, 0);
        bar.setCoordinateMode(QGradient::ObjectBoundingMode);
        bar.setColorAt(0, m_cursorColor.darker(200));
        bar.setColorAt(0.5, m_cursorColor);
        bar.setColorAt(1, m_cursorColor.darker(200));
        p.setPen(Qt::NoPen);
        p.fillRect(QRect(pixelOf(c.x() - w / 2), bg.top(), w, bg.height()), bar);
        QColor shade = m_cursorColor.darker(150);
        shade.setAlpha(200);
        QColor fade = m_background.color();
        fade.setAlpha(10);
        QLinearGradient shadow(0, 0, 1, 0);
        shadow.setCoordinateMode(QGradient::ObjectBoundingMode);
        shadow.setColorAt(0, shade);
        shadow.setColorAt(1, fade);
        p.fillRect(QRect(pixelOf(m_cursorWidth + c.x()), bg.top(), m_cursorWidth, bg.height()), shadow);
    }
    QColor dot = m_background.color();
    dot.setAlpha(200);
    p.setPen(QPen(m_lineColor.lighter(150), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(dot);
    p.drawEllipse(c, 2.0 * m_cursorWidth, 2.0 * m_cursorWidth);
    p.setPen(Qt::NoPen);
    p.setBrush(m_lineColor.darker(120));
    p.drawEllipse(c, qreal(m_cursorWidth), qreal(m_cursorWidth));

    // A flag stands on its end's value, if that is a number.
    const qreal startY = m_samples.first().position.y(), endY = m_samples.last().position.y();
    if (m_offset == 0 && !m_startFlag.isNull() && std::isfinite(startY))
        p.drawPixmap(bg.left(), pixelOf(startY - m_startFlag.height() - 2.0), m_startFlag);
    if (m_offset == width() - m_fullWidth && !m_endFlag.isNull() && std::isfinite(endY))
        p.drawPixmap(bg.right() - m_endFlag.width() - 10, pixelOf(endY - m_endFlag.height() - 2.0), m_endFlag);

    drawTexts(&p);
    p.end();
    update();
}

void zyrChartPlot::drawTexts(QPainter* painter)
{
    if (!painter || m_samples.isEmpty())
        return;
    const bool known = m_type >= X_Y && m_type <= TIME_PRESSURE;
    QFont font = painter->font();
    font.setPointSize(10);
    font.setBold(true);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const int n = m_samples.size();
    const int first = std::min(std::max(int(n * m_zoomStart * 0.01f), 0), n - 1);
    const int last = std::min(std::max(int(n * m_zoomEnd * 0.01f - 1.0f), 0), n - 1);
    const QRect r = rect();

    painter->setPen(QPen(m_background.color().lighter(150), 3.0));
    QString text = known ? numberText(sampleY(m_samples[first])) : QString();
    QRect box = metrics.boundingRect(text);
    painter->save();
    painter->translate(r.bottomLeft() + QPoint(box.height() - m_offset, 0));
    painter->rotate(-90);
    painter->drawText(box, Qt::AlignCenter, text);
    painter->restore();

    text = known ? numberText(sampleY(m_samples[last])) : QString();
    box = metrics.boundingRect(text);
    painter->save();
    painter->translate(r.bottomRight() + QPoint(-m_offset, 0));
    painter->rotate(-90);
    painter->drawText(box, Qt::AlignCenter, text);
    painter->restore();

    text = known ? numberText(sampleX(m_samples[last]) - sampleX(m_samples[first])) : QString();
    box = metrics.boundingRect(text);
    painter->save();
    painter->translate((r.width() - box.width()) / 2 + r.left() - m_offset, r.bottom());
    painter->drawText(box, Qt::AlignCenter, text);
    painter->restore();

    const ChartSample& s = m_samples[indexAt(m_cursor)];
    const QString value = known ? numberText(sampleY(s)) : QString();
    QString second;
    if (m_type == X_Y || m_type == DIST_ELEV)
        second = numberText(sampleX(s));
    else if (known)
        second = s.time.toString(QStringLiteral("dd.MM.yy hh:mm:ss"));
    painter->setPen(QPen(palette().text(), 3.0));
    QRect r2 = metrics.boundingRect(second);
    QRect r1 = metrics.boundingRect(value);
    // A sample that is not a number (from such data) has no place for its
    // box; one far off the chart gets its box far off too, in pixels the
    // rectangles can still count.
    if (!std::isfinite(s.position.x()) || !std::isfinite(s.position.y()))
        return;
    const qreal left = s.position.x() - r2.width() - 2 * m_cursorWidth;
    const int x = pixelOf(left >= r.left() - m_offsetAtPress ? left : s.position.x() + 2 * m_cursorWidth);
    const int y = pixelOf(s.position.y() - r2.height() - r1.height());
    r1.moveTo(x, y);
    r2.moveTo(x, y + r1.height());
    painter->setBrush(palette().base());
    painter->drawRoundedRect(QRectF(x, y, std::max(r1.width(), r2.width()), r2.height() + r1.height()), 5.0, 5.0);
    painter->drawText(r2, Qt::AlignCenter, second);
    painter->drawText(r1, Qt::AlignCenter, value);
}

void zyrChartPlot::paintEvent(QPaintEvent*)
{
    if (m_frame.isNull())
        return;
    QPainter p(this);
    p.drawPixmap(rect(), m_frame, QRect(QPoint(-m_offset, 0), size()));
}

void zyrChartPlot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
}

// ---------------------------------------------------------------- input

void zyrChartPlot::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    m_pressPoint = event->pos();
    const int p = int(event->x() * 100 / std::max(1, width()));
    m_drag = NoDrag;
    if (std::abs(p - m_relCursor) < kHitPercent) {
        m_drag = CursorDrag;
        m_dragValue = m_relCursor;
    } else if ((m_startSet || m_intervalComplete) && std::abs(p - m_relMarkStart) < kHitPercent) {
        m_drag = MarkStartDrag;
        m_dragValue = m_relMarkStart;
    } else if (m_intervalComplete && std::abs(p - m_relMarkEnd) < kHitPercent) {
        m_drag = MarkEndDrag;
        m_dragValue = m_relMarkEnd;
    }
    if (m_drag == MarkStartDrag || m_drag == MarkEndDrag) {
        m_markedLines.clear();
        m_marksMoved = true;
        m_background_ = QPixmap();
    }
}

void zyrChartPlot::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    const int dx = event->x() - m_pressPoint.x();
    const int q = dx * 100 / std::max(1, width());
    switch (m_drag) {
    case NoDrag:
        m_offset = std::max(std::min(m_offsetAtPress + dx, 0), width() - m_fullWidth);
        break;
    case CursorDrag:
        m_relCursor = q + m_dragValue;
        break;
    case MarkStartDrag:
        m_relMarkStart = q + m_dragValue;
        m_marksMoved = true;
        break;
    case MarkEndDrag:
        m_relMarkEnd = q + m_dragValue;
        m_marksMoved = true;
        break;
    }
    updateZoomedPos();
    refreshPlot();
    if (m_drag == CursorDrag)
        emit cursorPosChanged(m_type, yAt(m_cursor));
}

void zyrChartPlot::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (m_drag == NoDrag && m_offset != m_offsetAtPress) {
        pan();
        return;
    }
    if (m_marksMoved) {
        rebuildMarkedArea();
        refreshPlot();
    }
    if (m_drag == CursorDrag)
        emit cursorPosChanged(m_type, yAt(m_cursor));
    else if (m_drag == MarkStartDrag)
        emit markStartChanged(m_type, yAt(m_markStart));
    else if (m_drag == MarkEndDrag)
        emit markEndChanged(m_type, yAt(m_markEnd));
    m_drag = NoDrag;
}

void zyrChartPlot::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    if (!m_startSet && !m_intervalComplete) {
        m_markStart = m_cursor;
        m_startSet = true;
        updatePos();
        emit markStartChanged(m_type, yAt(m_markStart));
    } else if (m_startSet) {
        m_markEnd = m_cursor;
        m_intervalComplete = true;
        m_startSet = false;
        updatePos();
        updateZoomedPos();
        rebuildMarkedArea();
        refreshPlot();
        emit markEndChanged(m_type, yAt(m_markEnd));
    }
}

void zyrChartPlot::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        removeMarkedArea();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!m_startSet && !m_intervalComplete) {
            m_markStart = m_cursor;
            m_startSet = true;
            updatePos();
        } else if (m_startSet) {
            m_markEnd = m_cursor;
            m_intervalComplete = true;
            m_startSet = false;
            updatePos();
            rebuildMarkedArea();
            refreshPlot();
        }
        break;
    case Qt::Key_Left:
        m_cursor = std::max(m_cursor - 2.0f, 0.0f);
        updatePos();
        refreshPlot();
        break;
    case Qt::Key_Right:
        m_cursor = std::min(m_cursor + 2.0f, 100.0f);
        updatePos();
        refreshPlot();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
