#include "controls/instruments/PenTrace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zyr::charts {

namespace {

// Columns a quarter of a pixel apart: the arcs between them are within a
// hundredth of a pixel of their chords, and a quarter is exact in binary,
// so a curve that repeats on whole pixels gets the same columns each time.
const qreal kStep = 0.25;
// Longest line taken, in pixels: far beyond any chart (ten screens when
// zoomed in the most), and its columns stay a few megabytes.
const qreal kMaxSpan = 1 << 16;
// Farthest x taken, in pixels either way: its columns are counted in int.
const qreal kMaxCoordinate = 1 << 24;

} // namespace

bool PenTrace::fits(const QPolygonF& line)
{
    for (int i = 0; i < line.size(); ++i) {
        const QPointF& p = line[i];
        if (!(std::abs(p.x()) <= kMaxCoordinate) || !std::isfinite(p.y()))
            return false;
        if (i > 0 && p.x() < line[i - 1].x())
            return false;
    }
    return line.isEmpty() || line.last().x() - line.first().x() <= kMaxSpan;
}

PenTrace::PenTrace(const QPolygonF& line, qreal width)
{
    const qreal r = width / 2;
    if (!(width >= 0.001) || width > kWidest || line.isEmpty() || !fits(line))
        return;
    if (std::all_of(line.begin(), line.end(), [&](const QPointF& p) { return p == line.first(); }))
        return;

    // The columns: both ends of the trace and every multiple of the step
    // between them.
    const qreal left = line.first().x() - r, right = line.last().x() + r;
    const long firstStep = long(std::floor(left / kStep)) + 1;
    const long lastStep = long(std::ceil(right / kStep)) - 1;
    const int inner = int(std::max(0L, lastStep - firstStep + 1));
    const int n = inner + 2;
    std::vector<qreal> xs(n);
    xs[0] = left;
    for (int i = 0; i < inner; ++i)
        xs[i + 1] = (firstStep + i) * kStep;
    xs[n - 1] = right;
    // The first column at or right of x.
    auto columnFrom = [&](qreal x) {
        if (x <= left)
            return 0;
        return int(std::clamp(long(std::ceil(x / kStep)) - firstStep + 1, 1L, long(n - 1)));
    };

    // Where the trace's edge jumps, at a vertical segment or a cap's side
    // on a column, the column holds the edge as it comes from the left,
    // its extreme on the column, and the edge as it goes on to the right.
    const qreal none = std::numeric_limits<qreal>::infinity();
    enum { FromLeft, On, ToRight };
    std::vector<qreal> top[3], bottom[3];
    for (int j = 0; j < 3; ++j) {
        top[j].assign(n, none);
        bottom[j].assign(n, -none);
    }
    auto reach = [&](int k, qreal upper, qreal lower, bool fromLeft, bool toRight) {
        for (int j : { int(FromLeft), int(On), int(ToRight) }) {
            if ((j == FromLeft && !fromLeft) || (j == ToRight && !toRight))
                continue;
            top[j][k] = std::min(top[j][k], upper);
            bottom[j][k] = std::max(bottom[j][k], lower);
        }
    };
    // The two long edges of the band along each segment; its short edges
    // are diameters of the discs at its ends (below).
    for (int i = 0; i + 1 < line.size(); ++i) {
        const QPointF p = line[i], q = line[i + 1];
        const qreal dx = q.x() - p.x(), dy = q.y() - p.y();
        const qreal length = std::hypot(dx, dy);
        if (length == 0)
            continue;
        const QPointF normal(-dy / length * r, dx / length * r);
        for (const QPointF& side : { normal, -normal }) {
            QPointF a = p + side, b = q + side;
            if (b.x() < a.x())
                std::swap(a, b);
            const qreal span = b.x() - a.x();
            for (int k = columnFrom(a.x()); k < n && xs[k] <= b.x(); ++k) {
                if (span <= 1e-9) {
                    reach(k, std::min(a.y(), b.y()), std::max(a.y(), b.y()), false, false);
                } else {
                    const qreal y = a.y() + (b.y() - a.y()) * std::clamp((xs[k] - a.x()) / span, qreal(0), qreal(1));
                    reach(k, y, y, xs[k] > a.x(), xs[k] < b.x());
                }
            }
        }
    }

    // The disc at each point: the caps and the joins. Along a smooth line
    // the bands already reach past most of a disc's columns; those are
    // passed over without working out the disc's height there.
    for (const QPointF& p : line) {
        const qreal highest = p.y() - r, lowest = p.y() + r;
        for (int k = columnFrom(p.x() - r); k < n && xs[k] <= p.x() + r; ++k) {
            if (std::max(top[FromLeft][k], top[ToRight][k]) <= highest
                && std::min(bottom[FromLeft][k], bottom[ToRight][k]) >= lowest)
                continue;
            const qreal d = xs[k] - p.x();
            const qreal h = std::sqrt(std::max(qreal(0), r * r - d * d));
            reach(k, p.y() - h, p.y() + h, d > -r, d < r);
        }
    }

    m_columns.reserve(n);
    for (int k = 0; k < n; ++k) {
        // Every column lies within the pen's reach of the line; kept only
        // so that no rounding can put an unreached column in the trace.
        if (top[On][k] == none)
            continue;
        auto known = [](qreal value, qreal otherwise) { return std::isfinite(value) ? value : otherwise; };
        m_columns.push_back({ xs[k], known(top[FromLeft][k], top[On][k]), known(top[ToRight][k], top[On][k]),
            known(bottom[FromLeft][k], bottom[On][k]), known(bottom[ToRight][k], bottom[On][k]) });
    }
}

namespace {

// An edge crossing a pixel column's run between two columns, straight from
// y0 to y1: mean(y) is the mean over the run of how much of the pixel row
// starting at y lies above the edge, min(max(edge - y, 0), 1).
class Edge {
public:
    Edge(qreal y0, qreal y1)
        : m_y0(y0)
        , m_y1(y1)
        , m_flat(std::abs(y1 - y0) < 1e-9)
        , m_inverse(m_flat ? 0 : 1 / (y1 - y0))
    {
    }
    qreal mean(int y) const
    {
        if (m_flat)
            return std::clamp((m_y0 + m_y1) / 2 - y, qreal(0), qreal(1));
        return (integral(m_y1 - y) - integral(m_y0 - y)) * m_inverse;
    }

private:
    // The integral of min(max(z, 0), 1) from 0 to z.
    static qreal integral(qreal z) { return z <= 0 ? 0 : z >= 1 ? z - 0.5 : z * z / 2; }

    qreal m_y0, m_y1;
    bool m_flat;
    qreal m_inverse;
};

} // namespace

bool PenTrace::fill(QImage& image, const QColor& color) const
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        return false;
    const int width = image.width(), height = image.height();
    if (isEmpty() || width == 0 || height == 0)
        return true;
    const QRgb source = qPremultiply(color.rgba());
    const uint s[4] = { uint(qAlpha(source)), uint(qRed(source)), uint(qGreen(source)), uint(qBlue(source)) };
    // The share of each pixel of one pixel column covered so far, for rows
    // [from, to]: rows covered whole along a run are counted as where the
    // run starts and ends (runs, summed down the column), the rows an edge
    // crosses one by one (parts).
    std::vector<qreal> runs(size_t(height) + 1, 0), parts(size_t(height), 0);
    int column = std::numeric_limits<int>::min();
    int from = height, to = -1;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    auto paint = [&] {
        qreal run = 0;
        for (int y = from; y <= to && column >= 0 && column < width; ++y) {
            run += runs[y];
            const qreal c = std::clamp(run + parts[y], qreal(0), qreal(1));
            runs[y] = parts[y] = 0;
            const uint a = uint(c * 255 + 0.5);
            if (a == 0)
                continue;
            QRgb& pixel = reinterpret_cast<QRgb*>(bits + y * stride)[column];
            if (a == 255 && s[0] == 255) {
                pixel = source;
                continue;
            }
            // Source over, premultiplied: the source scaled by its
            // coverage, the destination by what the source leaves.
            const uint d[4] = { uint(qAlpha(pixel)), uint(qRed(pixel)), uint(qGreen(pixel)), uint(qBlue(pixel)) };
            uint out[4];
            const uint sa = (s[0] * a + 127) / 255;
            for (int i = 0; i < 4; ++i)
                out[i] = std::min((s[i] * a + 127) / 255 + (d[i] * (255 - sa) + 127) / 255, 255u);
            pixel = qRgba(int(out[1]), int(out[2]), int(out[3]), int(out[0]));
        }
        if (to >= 0)
            runs[size_t(std::min(to + 1, height))] = 0;
        from = height;
        to = -1;
    };
    auto row = [&](qreal y) { return int(std::clamp(std::floor(y), qreal(-1), qreal(height))); };
    for (size_t k = 0; k + 1 < m_columns.size(); ++k) {
        const Column& a = m_columns[k];
        const Column& b = m_columns[k + 1];
        const qreal w = b.x - a.x;
        if (!(w > 0))
            continue;
        // Whole pixels fall on columns, so a run between two columns lies
        // within one pixel column.
        const int x = int(std::floor(a.x));
        if (x != column) {
            paint();
            column = x;
        }
        if (x < 0 || x >= width)
            continue;
        // A row is covered by what lies above the lower edge less what lies
        // above the upper one: whole from the row the upper edge starts in
        // to the one the lower edge starts in, less the share above the
        // upper edge in the rows it crosses, plus the share above the lower
        // edge in the rows it crosses.
        const Edge top(a.topOut, b.topIn), bottom(a.bottomOut, b.bottomIn);
        const int topFirst = row(std::min(a.topOut, b.topIn)), topLast = row(std::max(a.topOut, b.topIn));
        const int bottomFirst = row(std::min(a.bottomOut, b.bottomIn));
        const int bottomLast = row(std::max(a.bottomOut, b.bottomIn));
        const int runFrom = std::max(topFirst, 0), runTo = std::max(bottomFirst, 0);
        if (runFrom < runTo) {
            runs[size_t(runFrom)] += w;
            runs[size_t(runTo)] -= w;
        }
        for (int y = std::max(topFirst, 0); y <= std::min(topLast, height - 1); ++y)
            parts[size_t(y)] -= w * top.mean(y);
        for (int y = std::max(bottomFirst, 0); y <= std::min(bottomLast, height - 1); ++y)
            parts[size_t(y)] += w * bottom.mean(y);
        from = std::min(from, runFrom);
        to = std::max(to, std::min(std::max(bottomLast, runTo), height - 1));
    }
    paint();
    return true;
}

} // namespace zyr::charts
