// What the simple graph view asks of the program that places it and what it
// offers the objects that draw on it. The program's implementations are
// called by position in their tables of virtual operations, so the
// operations keep this order and none of the three has a virtual destructor
// in front of them.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QRect>
#include <QString>

class QPainter;
class QPoint;
class QPixmap;
class zyrSimpleGraphView;

// The view as the drawing objects see it.
class ZYRCONTROLS_EXPORT ISimpleGraphData {
public:
    virtual zyrSimpleGraphView* GetControl() = 0;
    // Point of an index in the drawing area (pan included); false outside
    // the points.
    virtual bool IndexToDrawAreaCoord(int index, QPoint& p) = 0;
    // The same in the widget's coordinates.
    virtual bool IndexToControlCoord(int index, QPoint& p) = 0;
    virtual bool IsPointVisible(int index) = 0;
    virtual QPixmap CreateCursorLinePixmap() = 0;
    // Text with a one-pixel halo in the palette's bright-text colour.
    virtual void DrawOutlineText(QPainter* painter, const QRect& rect, int flags, const QString& text) = 0;

protected:
    ~ISimpleGraphData() = default;
};

// The value texts: left edge, right edge, the span at the bottom, and the
// two lines of the cursor label.
class ZYRCONTROLS_EXPORT IGraphViewData {
public:
    virtual QString GetFirstText(int first) = 0;
    virtual QString GetLastText(int last) = 0;
    virtual QString GetRangeText(int first, int last) = 0;
    virtual void GetCursorTexts(int index, int y, QString& line1, QString& line2) = 0;

protected:
    ~IGraphViewData() = default;
};

// Something the program draws over the chart on every paint.
class ZYRCONTROLS_EXPORT IUserDrawingObject {
public:
    // Once, when the object is added.
    virtual void Init(int id, ISimpleGraphData* view) = 0;
    // rect: the object's rectangle moved to the drawing area's top-left.
    virtual void Draw(QPainter& painter, int id, const QRect& rect, ISimpleGraphData* view) = 0;

protected:
    ~IUserDrawingObject() = default;
};
