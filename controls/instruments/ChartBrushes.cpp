#include "controls/instruments/ChartBrushes.h"

#include <QConicalGradient>
#include <QLinearGradient>

namespace zyr::charts {

DefaultBrushes defaultBrushes()
{
    DefaultBrushes b;
    QLinearGradient fore(0, 0, 0, 1);
    fore.setCoordinateMode(QGradient::ObjectBoundingMode);
    fore.setColorAt(0, QColor(175, 125, 0));
    fore.setColorAt(1, QColor(49, 34, 0));
    b.foreground = QBrush(fore);
    QLinearGradient start;
    start.setCoordinateMode(QGradient::ObjectBoundingMode);
    start.setColorAt(0, QColor(0, 225, 132).darker(200));
    start.setColorAt(1, QColor(0, 225, 132).lighter(150));
    b.startFlag = QBrush(start);
    QConicalGradient end(0.5, 0.5, 0);
    end.setCoordinateMode(QGradient::ObjectBoundingMode);
    for (qreal at : { 0.0, 0.249, 0.5, 0.749 })
        end.setColorAt(at, Qt::white);
    for (qreal at : { 0.25, 0.499, 0.75, 1.0 })
        end.setColorAt(at, Qt::black);
    b.endFlag = QBrush(end);
    return b;
}

} // namespace zyr::charts
