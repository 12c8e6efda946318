#include "sim/instruments/graph_view_data.h"

#include <QPainter>

namespace kivo::sim {

QString GraphViewData::GetFirstText(int first)
{
    calls << QStringLiteral("first %1").arg(first);
    return QStringLiteral("first %1").arg(first);
}

QString GraphViewData::GetLastText(int last)
{
    calls << QStringLiteral("last %1").arg(last);
    return QStringLiteral("last %1").arg(last);
}

QString GraphViewData::GetRangeText(int first, int last)
{
    calls << QStringLiteral("range %1 %2").arg(first).arg(last);
    return QStringLiteral("range %1-%2").arg(first).arg(last);
}

void GraphViewData::GetCursorTexts(int index, int y, QString& line1, QString& line2)
{
    calls << QStringLiteral("cursor %1 %2").arg(index).arg(y);
    line1 = QStringLiteral("index %1").arg(index);
    line2 = QStringLiteral("y %1").arg(y);
}

void UserDrawingObject::Init(int id, ISimpleGraphData* view)
{
    calls << QStringLiteral("init %1").arg(id);
    lastView = view;
}

void UserDrawingObject::Draw(QPainter& painter, int id, const QRect& rect, ISimpleGraphData* view)
{
    calls << QStringLiteral("draw %1").arg(id);
    lastRect = rect;
    lastView = view;
    painter.fillRect(rect, m_colour);
}

} // namespace kivo::sim
