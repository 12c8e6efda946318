// The trace a wide pen with round caps and joins leaves along a polyline:
// the charts' curves. Stroking a dense curve with the painter's pen costs a
// flattened arc at every one of its thousands of joins; the trace is instead
// found as the area between its upper and its lower edge, and each pixel
// gets the share of its area that lies between them.
//
// Along a line that never goes back to the left every vertical line meets
// the pen's trace in a single interval, so the trace is exactly the area
// between two edges. A line that turns back is cut where it turns into runs
// that each go one way; its trace is the union of theirs, as each run ends
// in the round join the whole line has there. The edges are taken at fixed
// columns a quarter of a pixel apart, and wherever an edge may jump: at
// the trace's two ends, at the sides of the discs the pen leaves at the
// points where they stick out, and at the ends of the steep edges of the
// bands it leaves along the segments that lie between two quarters, each
// unless the pen along a segment near it in the line covers it, as along a
// dense curve most are. Between two columns each edge is a straight line. That is the
// pen's trace with rounder joins than the painter's own, which flattens
// each small arc into a few chords.
#pragma once

#include <QColor>
#include <QImage>
#include <QPolygonF>

#include <vector>

namespace zyr::charts {

class PenTrace {
public:
    // Widest pen taken, in pixels.
    static constexpr qreal kWidest = 4096;

    // The trace is empty for a line that does not fit (see fits), for a pen
    // narrower than a thousandth of a pixel or wider than kWidest, and for
    // a line of no length, for which the painter draws nothing either.
    PenTrace(const QPolygonF& line, qreal width);

    bool isEmpty() const { return m_runEnds.empty(); }

    // Paints the trace in `color` over an image of 32-bit pixels
    // (Format_ARGB32_Premultiplied or Format_RGB32), as the painter fills a
    // shape with antialiasing: each pixel covered by the share of its area
    // inside the trace (where the runs of a line that turns back overlap,
    // by the larger of their shares: no pixel is painted twice). Outside
    // the image nothing is painted. False, and nothing painted, for an
    // image of another format.
    bool fill(QImage& image, const QColor& color) const;

    // Whether a polyline's points are finite numbers within 16,777,216
    // pixels of 0 either way, whose x travels at most 65,536 pixels in all
    // (back and forth).
    static bool fits(const QPolygonF& line);

private:
    // A column of the trace: its upper and lower edge as they come from the
    // left and as they go on to the right (apart where the edge jumps, at a
    // vertical segment or at a cap's side on the column).
    struct Column {
        qreal x;
        qreal topIn, topOut;
        qreal bottomIn, bottomOut;
    };
    // The buffers tracing a run uses.
    struct Scratch;
    // Appends the columns of the trace of scratch.run, a line that only
    // goes right.
    static void trace(qreal r, Scratch& scratch, std::vector<Column>& columns);
    // Calls cover(x, y, share) with the share, 1 to 255, of each pixel of
    // the image a run's columns cover. runs (height + 1) and parts (height)
    // are all 0, and left so.
    template <typename Cover>
    static void cover(const Column* columns, size_t count, int width, int height, std::vector<qreal>& runs,
        std::vector<qreal>& parts, Cover&& cover);

    // The columns of every run, one run after the other, and where each
    // run's columns end.
    std::vector<Column> m_columns;
    std::vector<size_t> m_runEnds;
};

} // namespace zyr::charts
