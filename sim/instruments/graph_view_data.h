// Stands in for the navigation program behind the simple graph view: value
// texts that name their arguments ("first 3", "range 3-9", "index 5",
// "y 40"), and a drawing object that fills its rectangle in one colour;
// both record every call.
#pragma once

#include "controls/instruments/IGraphViewData.h"

#include <QColor>
#include <QRect>
#include <QStringList>

namespace kivo::sim {

class GraphViewData : public IGraphViewData {
public:
    QString GetFirstText(int first) override;
    QString GetLastText(int last) override;
    QString GetRangeText(int first, int last) override;
    void GetCursorTexts(int index, int y, QString& line1, QString& line2) override;

    // One line per call: "first 3", "last 9", "range 3 9", "cursor 5 40".
    QStringList calls;
};

class UserDrawingObject : public IUserDrawingObject {
public:
    explicit UserDrawingObject(QColor colour)
        : m_colour(colour)
    {
    }
    void Init(int id, ISimpleGraphData* view) override;
    void Draw(QPainter& painter, int id, const QRect& rect, ISimpleGraphData* view) override;

    QStringList calls; // "init 7", "draw 7"
    QRect lastRect;
    ISimpleGraphData* lastView = nullptr;

private:
    QColor m_colour;
};

} // namespace kivo::sim
