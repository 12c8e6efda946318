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
// Widest trace taken, pen included, in pixels: far beyond any chart (ten
// screens when zoomed in the most), and its columns stay a few megabytes.
const qreal kMaxSpan = 1 << 16;

} // namespace

bool PenTrace::fits(const QPolygonF& line)
{
    for (int i = 0; i < line.size(); ++i) {
        const QPointF& p = line[i];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return false;
        if (i > 0 && p.x() < line[i - 1].x())
            return false;
    }
    return line.isEmpty() || line.last().x() - line.first().x() <= kMaxSpan;
}

PenTrace::PenTrace(const QPolygonF& line, qreal width)
{
    const qreal r = width / 2;
    if (!(r >= 0.0005) || r > kMaxSpan || line.isEmpty() || !fits(line))
        return;
    if (line.last().x() - line.first().x() + 2 * r > kMaxSpan)
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
    // The disc at each point: the caps and the joins.
    for (const QPointF& p : line) {
        for (int k = columnFrom(p.x() - r); k < n && xs[k] <= p.x() + r; ++k) {
            const qreal d = xs[k] - p.x();
            const qreal h = std::sqrt(std::max(qreal(0), r * r - d * d));
            reach(k, p.y() - h, p.y() + h, d > -r, d < r);
        }
    }
    // The two long edges of the band along each segment; its short edges
    // are diameters of the discs at its ends.
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

    m_xs.reserve(n);
    m_upper.reserve(n);
    m_lower.reserve(n);
    m_upperAt.reserve(n + 1);
    m_lowerAt.reserve(n + 1);
    for (int k = 0; k < n; ++k) {
        // Every column lies within the pen's reach of the line; kept only
        // so that no rounding can put an unreached column in the outline.
        if (top[On][k] == none)
            continue;
        m_xs << xs[k];
        m_upperAt << m_upper.size();
        m_lowerAt << m_lower.size();
        for (int j : { int(FromLeft), int(On), int(ToRight) }) {
            if (j == On || (top[j][k] != none && top[j][k] != top[On][k]))
                m_upper << QPointF(xs[k], top[j][k]);
            if (j == On || (bottom[j][k] != -none && bottom[j][k] != bottom[On][k]))
                m_lower << QPointF(xs[k], bottom[j][k]);
        }
    }
    m_upperAt << m_upper.size();
    m_lowerAt << m_lower.size();
}

QPolygonF PenTrace::piece(int from, int to) const
{
    QPolygonF outline;
    if (from > to)
        return outline;
    const int upperFrom = m_upperAt[from], upperTo = m_upperAt[to + 1];
    const int lowerFrom = m_lowerAt[from], lowerTo = m_lowerAt[to + 1];
    outline.reserve(upperTo - upperFrom + lowerTo - lowerFrom);
    for (int i = upperFrom; i < upperTo; ++i)
        outline << m_upper[i];
    for (int i = lowerTo; i-- > lowerFrom;)
        outline << m_lower[i];
    return outline;
}

QPolygonF PenTrace::outline() const
{
    return piece(0, m_xs.size() - 1);
}

QPolygonF PenTrace::outline(qreal left, qreal right) const
{
    if (isEmpty() || right < m_xs.first() || left > m_xs.last())
        return QPolygonF();
    const int after = int(std::lower_bound(m_xs.begin(), m_xs.end(), right) - m_xs.begin());
    const int before = int(std::upper_bound(m_xs.begin(), m_xs.end(), left) - m_xs.begin());
    return piece(std::max(before - 1, 0), std::min(after, int(m_xs.size()) - 1));
}

} // namespace zyr::charts
