// The trace a wide pen with round caps and joins leaves along a polyline
// that never goes back to the left: the charts' curves. Stroking a dense
// curve with the painter's pen costs a flattened arc at every one of its
// thousands of joins; the trace is instead found as the area between its
// upper and its lower edge and filled as one simple polygon.
//
// Along such a line every vertical line meets the pen's trace in a single
// interval, so the trace is exactly the area between two edges. Both are
// taken at fixed columns a quarter of a pixel apart, and at the trace's two
// ends, from the discs the pen leaves at the points and the edges of the
// bands it leaves along the segments. Filled, that is the pen's trace with
// rounder joins than the painter's own, which flattens each small arc into
// a few chords.
#pragma once

#include <QPolygonF>
#include <QVector>

namespace zyr::charts {

class PenTrace {
public:
    // The trace is empty for a line that does not fit (see fits) or that
    // with the pen spans more than 65,536 pixels, for a pen narrower than
    // a thousandth of a pixel, and for a line of no length, for which the
    // painter draws nothing either.
    PenTrace(const QPolygonF& line, qreal width);

    bool isEmpty() const { return m_xs.isEmpty(); }

    // The whole trace's outline.
    QPolygonF outline() const;
    // The outline of the trace between the columns at or before `left` and
    // at or after `right`: filled, it covers the pixels between `left` and
    // `right` exactly as the whole outline does.
    QPolygonF outline(qreal left, qreal right) const;

    // Whether a polyline's points are finite numbers, never go back to the
    // left and span at most 65,536 pixels.
    static bool fits(const QPolygonF& line);

private:
    QPolygonF piece(int from, int to) const;

    // The columns, and the upper and the lower edge left to right: one
    // to three points a column, the column's first at m_upperAt[k] and
    // m_lowerAt[k].
    QVector<qreal> m_xs;
    QPolygonF m_upper;
    QPolygonF m_lower;
    QVector<int> m_upperAt;
    QVector<int> m_lowerAt;
};

} // namespace zyr::charts
