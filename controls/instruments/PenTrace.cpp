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
// Longest way a line's x travels, in pixels: far beyond any chart (ten
// screens when zoomed in the most), and its columns stay a few megabytes.
const qreal kMaxSpan = 1 << 16;
// Farthest point taken, in pixels either way: its columns are counted in
// int, and the differences between points stay finite.
const qreal kMaxCoordinate = 1 << 24;
// How many segments either way along the line are asked whether they cover
// a place where the edge may jump: a dense curve has up to four points in a
// pixel column, so this reaches the two columns either side.
const int kNear = 8;

// The length of (dx, dy): the library's hypot is many times slower than a
// square root, and the squares of the differences of points that fit stay
// far from overflow; only lengths too small to square are its.
qreal length(qreal dx, qreal dy)
{
    const qreal squared = dx * dx + dy * dy;
    return squared >= 1e-200 ? std::sqrt(squared) : std::hypot(dx, dy);
}

// A segment's direction and length.
struct Segment {
    QPointF unit;
    qreal length;
};

// One of the two long edges of the band along a segment, its ends in x
// order.
struct Side {
    QPointF a, b;
};

// A column's upper and lower edge so far, each as it comes from the left,
// its extreme on the column, and as it goes on to the right.
struct Reach {
    qreal top[3], bottom[3];
};

} // namespace

// What tracing a run needs, kept from one run to the next.
struct PenTrace::Scratch {
    std::vector<QPointF> run, line;
    std::vector<Segment> segments;
    std::vector<std::pair<qreal, qreal>> discs;
    std::vector<qreal> xs, merged;
    std::vector<Side> sides;
    std::vector<int> quarterStart;
    std::vector<Reach> reaches;
};

bool PenTrace::fits(const QPolygonF& line)
{
    qreal travel = 0;
    for (int i = 0; i < line.size(); ++i) {
        const QPointF& p = line[i];
        if (!(std::abs(p.x()) <= kMaxCoordinate) || !(std::abs(p.y()) <= kMaxCoordinate))
            return false;
        if (i > 0)
            travel += std::abs(p.x() - line[i - 1].x());
    }
    return travel <= kMaxSpan;
}

PenTrace::PenTrace(const QPolygonF& line, qreal width)
{
    const qreal r = width / 2;
    if (!(width >= 0.001) || width > kWidest || line.isEmpty() || !fits(line))
        return;
    if (std::all_of(line.begin(), line.end(), [&](const QPointF& p) { return p == line.first(); }))
        return;
    // The runs that go one way, each taken left to right; two runs share
    // the point where the line turns. A line that wanders back and forth
    // has thousands of runs of a few points: each is traced with the same
    // buffers, into the trace's one list of columns.
    Scratch scratch;
    std::vector<QPointF>& run = scratch.run;
    int way = 0;
    auto finish = [&] {
        if (way < 0)
            std::reverse(run.begin(), run.end());
        if (std::any_of(run.begin(), run.end(), [&](const QPointF& p) { return p != run.front(); })) {
            trace(r, scratch, m_columns);
            if (m_columns.size() > (m_runEnds.empty() ? 0 : m_runEnds.back()))
                m_runEnds.push_back(m_columns.size());
        }
    };
    for (const QPointF& p : line) {
        if (!run.empty()) {
            const qreal dx = p.x() - run.back().x();
            const int step = dx > 0 ? 1 : dx < 0 ? -1 : 0;
            if (step != 0 && way != 0 && step != way) {
                const QPointF turn = run.back();
                finish();
                run.assign(1, turn);
            }
            if (step != 0)
                way = step;
        }
        run.push_back(p);
    }
    finish();
}

void PenTrace::trace(qreal r, Scratch& scratch, std::vector<Column>& columns)
{
    std::vector<QPointF>& line = scratch.line;
    line.clear();
    for (const QPointF& p : scratch.run)
        if (line.empty() || p != line.back())
            line.push_back(p);
    const int size = int(line.size());
    // Each segment's direction and length, used by its two points' discs,
    // its band's edges and the test of what it covers.
    std::vector<Segment>& segments = scratch.segments;
    segments.resize(size_t(size - 1));
    for (int i = 0; i + 1 < size; ++i) {
        const QPointF d = line[i + 1] - line[i];
        const qreal l = length(d.x(), d.y());
        segments[size_t(i)] = { d / l, l };
    }
    // The part of each point's disc that sticks out of the bands on either
    // side, as its reach left and right of the point: any other part of
    // the disc lies in the band towards a neighbour or nearer the
    // neighbour, in its disc. Along a smooth line that is a thin wedge on
    // the outer side of each join; a cap is half the disc.
    std::vector<std::pair<qreal, qreal>>& discs = scratch.discs;
    discs.resize(size_t(size));
    for (int i = 0; i < size; ++i) {
        // The directions towards the neighbours; the part that sticks out
        // points away from both. Its reach in x is at the ends of its arc
        // (square to a neighbour) or at its leftmost or rightmost direction
        // when it holds them.
        QPointF towards[2];
        int m = 0;
        if (i > 0)
            towards[m++] = -segments[size_t(i - 1)].unit;
        if (i + 1 < size)
            towards[m++] = segments[size_t(i)].unit;
        auto away = [&](qreal x, qreal y) {
            for (int k = 0; k < m; ++k)
                if (x * towards[k].x() + y * towards[k].y() > 1e-12)
                    return false;
            return true;
        };
        qreal lo = 0, hi = 0;
        // Straight on through the point, the bands cover the whole disc.
        const bool straight
            = m == 2 && towards[0].x() * towards[1].x() + towards[0].y() * towards[1].y() <= -1 + 1e-12;
        if (!straight) {
            QPointF ends[6] = { QPointF(1, 0), QPointF(-1, 0) };
            int e = 2;
            for (int k = 0; k < m; ++k) {
                ends[e++] = QPointF(-towards[k].y(), towards[k].x());
                ends[e++] = QPointF(towards[k].y(), -towards[k].x());
            }
            for (int k = 0; k < e; ++k) {
                if (away(ends[k].x(), ends[k].y())) {
                    lo = std::min(lo, ends[k].x());
                    hi = std::max(hi, ends[k].x());
                }
            }
        }
        discs[size_t(i)] = { lo * r, hi * r };
    }

    // The columns: both ends of the trace, every multiple of the step
    // between them, and where an edge may jump or bend sharply: the sides
    // of each disc that stick out and the ends of each band's edges
    // (below). A step on the edge that fell between two columns would be
    // drawn as a ramp across the quarter pixel.
    const qreal left = line.front().x() - r, right = line.back().x() + r;
    const long firstStep = long(std::floor(left / kStep)) + 1;
    const long lastStep = long(std::ceil(right / kStep)) - 1;
    std::vector<qreal>& xs = scratch.xs;
    xs.clear();
    xs.push_back(left);
    for (long step = firstStep; step <= lastStep; ++step)
        xs.push_back(step * kStep);
    xs.push_back(right);
    const std::ptrdiff_t grid = std::ptrdiff_t(xs.size());
    // The two long edges of the band along each segment; its short edges
    // are diameters of the discs at its ends.
    std::vector<Side>& sides = scratch.sides;
    sides.clear();
    for (int i = 0; i + 1 < size; ++i) {
        const QPointF p = line[i], q = line[i + 1];
        const QPointF unit = segments[size_t(i)].unit;
        const QPointF normal(-unit.y() * r, unit.x() * r);
        for (const QPointF& side : { normal, -normal }) {
            QPointF a = p + side, b = q + side;
            if (b.x() < a.x())
                std::swap(a, b);
            a.setX(std::clamp(a.x(), left, right));
            b.setX(std::clamp(b.x(), left, right));
            sides.push_back({ a, b });
        }
    }
    // Such a place matters only where its edge can reach the trace's
    // outline. An edge within the pen's reach of another segment near it in
    // the line (along a dense curve, most of them, under the pen of the
    // points beside them in the same pixel column or the next) lies inside
    // the trace, and its column would only cost: the segment's reach is
    // convex, so an edge lies within it when both its ends do. Only
    // segments near in the line are asked; an edge no nearer one covers is
    // taken.
    const int count = int(segments.size());
    const qreal inside = r * (1 - 1e-9) - 1e-9, inside2 = inside * inside;
    auto within = [&](const QPointF& c, int j) {
        const Segment& segment = segments[size_t(j)];
        const QPointF pc = c - line[j];
        const qreal t = std::clamp(QPointF::dotProduct(pc, segment.unit), qreal(0), segment.length);
        const QPointF off = pc - t * segment.unit;
        return QPointF::dotProduct(off, off) < inside2;
    };
    // Whether a segment other than those of [from, to) holds both c and e.
    auto covered = [&](const QPointF& c, const QPointF& e, int from, int to) {
        // Segments from-1, to, from-2, to+1, ...
        for (int d = 1; d <= kNear; ++d) {
            for (int j : { from - d, to + d - 1 }) {
                if (j >= 0 && j < count && within(c, j) && within(e, j))
                    return true;
            }
        }
        return false;
    };
    for (int i = 0; i < size; ++i) {
        const auto& disc = discs[size_t(i)];
        // The disc's side is outside the segments on either side of its
        // point (it sticks out of their bands).
        const QPointF leftSide(line[i].x() - r, line[i].y()), rightSide(line[i].x() + r, line[i].y());
        if (disc.first <= -r && !covered(leftSide, leftSide, i - 1, i + 1))
            xs.push_back(std::max(leftSide.x(), left));
        if (disc.second >= r && !covered(rightSide, rightSide, i - 1, i + 1))
            xs.push_back(std::min(rightSide.x(), right));
    }
    // A band edge that climbs more than it runs is taken at both ends when
    // it lies between two quarters; along the others the disc's side and
    // the quarters find the edge's bends.
    for (size_t k = 0; k < sides.size(); ++k) {
        const Side& side = sides[k];
        const qreal run = side.b.x() - side.a.x();
        if (run < kStep && std::abs(side.b.y() - side.a.y()) > run) {
            const int i = int(k / 2);
            if (!covered(side.a, side.b, i, i + 1)) {
                xs.push_back(side.a.x());
                xs.push_back(side.b.x());
            }
        }
    }
    // The quarters are in order already: only the rest is sorted in.
    // (Merged through a kept buffer: inplace_merge takes a new one each
    // time.)
    std::sort(xs.begin() + grid, xs.end());
    std::vector<qreal>& merged = scratch.merged;
    merged.resize(xs.size());
    std::merge(xs.begin(), xs.begin() + grid, xs.begin() + grid, xs.end(), merged.begin());
    merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
    xs.swap(merged);
    const int n = int(xs.size());
    // The first column at or right of x, searched only among the columns
    // of x's quarter: where each quarter's columns start is kept.
    const long base = firstStep - 1; // the quarter that holds left
    const long quarters = lastStep - base + 2;
    std::vector<int>& quarterStart = scratch.quarterStart;
    quarterStart.resize(size_t(quarters) + 2);
    for (long q = 0, k = 0; q <= quarters + 1; ++q) {
        while (k < n && xs[size_t(k)] < (base + q) * kStep)
            ++k;
        quarterStart[size_t(q)] = int(k);
    }
    auto columnFrom = [&](qreal x) {
        const long q = std::clamp(long(std::floor(x / kStep)) - base, 0L, quarters);
        return int(std::lower_bound(xs.begin() + quarterStart[size_t(q)], xs.begin() + quarterStart[size_t(q) + 1], x)
            - xs.begin());
    };

    // Where the trace's edge jumps, at a vertical segment or a cap's side
    // on a column, the column holds the edge as it comes from the left,
    // its extreme on the column, and the edge as it goes on to the right.
    const qreal none = std::numeric_limits<qreal>::infinity();
    std::vector<Reach>& reaches = scratch.reaches;
    reaches.assign(size_t(n), Reach { { none, none, none }, { -none, -none, -none } });
    auto reach = [&](int k, qreal upper, qreal lower, bool fromLeft, bool toRight) {
        Reach& c = reaches[size_t(k)];
        c.top[1] = std::min(c.top[1], upper);
        c.bottom[1] = std::max(c.bottom[1], lower);
        if (fromLeft) {
            c.top[0] = std::min(c.top[0], upper);
            c.bottom[0] = std::max(c.bottom[0], lower);
        }
        if (toRight) {
            c.top[2] = std::min(c.top[2], upper);
            c.bottom[2] = std::max(c.bottom[2], lower);
        }
    };
    for (const Side& side : sides) {
        const QPointF a = side.a, b = side.b;
        const qreal span = b.x() - a.x();
        for (int k = columnFrom(a.x()); k < n && xs[size_t(k)] <= b.x(); ++k) {
            const qreal x = xs[size_t(k)];
            if (span <= 1e-9) {
                reach(k, std::min(a.y(), b.y()), std::max(a.y(), b.y()), false, false);
            } else {
                const qreal y = a.y() + (b.y() - a.y()) * std::clamp((x - a.x()) / span, qreal(0), qreal(1));
                reach(k, y, y, x > a.x(), x < b.x());
            }
        }
    }

    // The disc at each point, the caps and the joins, where it sticks out.
    // Along a smooth line the bands already reach past most of those
    // columns too; they are passed over without working out the disc's
    // height there.
    for (int i = 0; i < size; ++i) {
        const QPointF p = line[i];
        const qreal highest = p.y() - r, lowest = p.y() + r;
        const qreal to = p.x() + discs[size_t(i)].second;
        for (int k = columnFrom(p.x() + discs[size_t(i)].first); k < n && xs[size_t(k)] <= to; ++k) {
            const Reach& c = reaches[size_t(k)];
            if (std::max(c.top[0], c.top[2]) <= highest && std::min(c.bottom[0], c.bottom[2]) >= lowest)
                continue;
            const qreal d = xs[size_t(k)] - p.x();
            const qreal h = std::sqrt(std::max(qreal(0), r * r - d * d));
            reach(k, p.y() - h, p.y() + h, d > -r, d < r);
        }
    }

    for (int k = 0; k < n; ++k) {
        // Every column lies within the pen's reach of the line; kept only
        // so that no rounding can put an unreached column in the trace.
        const Reach& c = reaches[size_t(k)];
        if (c.top[1] == none)
            continue;
        auto known = [](qreal value, qreal otherwise) { return std::isfinite(value) ? value : otherwise; };
        columns.push_back({ xs[size_t(k)], known(c.top[0], c.top[1]), known(c.top[2], c.top[1]),
            known(c.bottom[0], c.bottom[1]), known(c.bottom[2], c.bottom[1]) });
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

template <typename Cover>
void PenTrace::cover(const Column* columns, size_t count, int width, int height, std::vector<qreal>& runs,
    std::vector<qreal>& parts, Cover&& cover)
{
    // The share of each pixel of one pixel column covered so far, for rows
    // [from, to]: rows covered whole along a run are counted as where the
    // run starts and ends (runs, summed down the column), the rows an edge
    // crosses one by one (parts). Each pixel column leaves them all 0.
    int column = std::numeric_limits<int>::min();
    int from = height, to = -1;
    auto paint = [&] {
        qreal run = 0;
        for (int y = from; y <= to && column >= 0 && column < width; ++y) {
            run += runs[size_t(y)];
            const qreal c = std::clamp(run + parts[size_t(y)], qreal(0), qreal(1));
            runs[size_t(y)] = parts[size_t(y)] = 0;
            const uint a = uint(c * 255 + 0.5);
            if (a != 0)
                cover(column, y, a);
        }
        if (to >= 0)
            runs[size_t(std::min(to + 1, height))] = 0;
        from = height;
        to = -1;
    };
    auto row = [&](qreal y) { return int(std::clamp(std::floor(y), qreal(-1), qreal(height))); };
    for (size_t k = 0; k + 1 < count; ++k) {
        const Column& a = columns[k];
        const Column& b = columns[k + 1];
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
}

bool PenTrace::fill(QImage& image, const QColor& color) const
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        return false;
    const int width = image.width(), height = image.height();
    if (isEmpty() || width == 0 || height == 0)
        return true;
    const QRgb source = qPremultiply(color.rgba());
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // Source over, premultiplied: the source scaled by its coverage a, the
    // destination by what the source leaves, each rounded to the nearest
    // level. Two channels at a time, 16 bits apart: (alpha, green) and
    // (red, blue).
    const uint sourceAG = (source >> 8) & 0x00ff00ff, sourceRB = source & 0x00ff00ff;
    const bool opaque = qAlpha(source) == 255;
    // Each channel of c (at most 255) times f (at most 255) over 255, rounded.
    auto scaled = [](uint c, uint f) {
        const uint v = c * f + 0x00800080;
        return ((v + ((v >> 8) & 0x00ff00ff)) >> 8) & 0x00ff00ff;
    };
    // Each channel of a sum of two such (at most 510), at most 255.
    auto bounded = [](uint c) {
        const uint over = c & 0x01000100;
        return (c | (over - (over >> 8))) & 0x00ff00ff;
    };
    auto paint = [&](int x, int y, uint a) {
        QRgb& pixel = reinterpret_cast<QRgb*>(bits + y * stride)[x];
        if (a == 255 && opaque) {
            pixel = source;
            return;
        }
        const uint ag = scaled(sourceAG, a), rb = scaled(sourceRB, a);
        const uint leave = 255 - (ag >> 16);
        pixel = (bounded(ag + scaled((pixel >> 8) & 0x00ff00ff, leave)) << 8)
            | bounded(rb + scaled(pixel & 0x00ff00ff, leave));
    };
    std::vector<qreal> runs(size_t(height) + 1, 0), parts(size_t(height), 0);
    auto runFrom = [&](size_t k) { return k == 0 ? size_t(0) : m_runEnds[k - 1]; };
    if (m_runEnds.size() == 1) {
        cover(m_columns.data(), m_columns.size(), width, height, runs, parts, paint);
        return true;
    }
    // The runs' shares gathered first, over the pixel columns they reach.
    int first = width, last = -1;
    for (size_t k = 0; k < m_runEnds.size(); ++k) {
        first = int(std::min(qreal(first), std::max(std::floor(m_columns[runFrom(k)].x), qreal(0))));
        last = int(std::max(qreal(last), std::min(std::floor(m_columns[m_runEnds[k] - 1].x), qreal(width - 1))));
    }
    if (first > last)
        return true;
    const int span = last - first + 1;
    std::vector<uchar> shares(size_t(span) * size_t(height), 0);
    for (size_t k = 0; k < m_runEnds.size(); ++k) {
        cover(m_columns.data() + runFrom(k), m_runEnds[k] - runFrom(k), width, height, runs, parts,
            [&](int x, int y, uint a) {
                uchar& share = shares[size_t(y) * size_t(span) + size_t(x - first)];
                share = uchar(std::max(uint(share), a));
            });
    }
    for (int y = 0; y < height; ++y)
        for (int x = first; x <= last; ++x)
            if (const uint a = shares[size_t(y) * size_t(span) + size_t(x - first)])
                paint(x, y, a);
    return true;
}

} // namespace zyr::charts
