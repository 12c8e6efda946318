// The map engine that a navigation program places in a ZyrMapControl. The
// engine draws the map; the control gives it its size, hands it every key
// and mouse event and asks it for the picture on each paint.
//
// The control calls the operations by their position in the table, so their
// order is fixed; position 13 is kept free and never called. The control
// neither owns nor deletes the engine.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>

class QKeyEvent;
class QMouseEvent;
class QWidget;

class IMapView {
public:
    // A picture of the whole control; the control shows the given rectangle
    // of it. A null picture shows nothing.
    virtual QPixmap Render(const QRect& rect) = 0; // 0
    virtual void KeyPressEvent(QKeyEvent* event) = 0; // 1
    virtual void KeyReleaseEvent(QKeyEvent* event) = 0; // 2
    virtual void MousePressEvent(QMouseEvent* event) = 0; // 3
    virtual void MouseReleaseEvent(QMouseEvent* event) = 0; // 4
    virtual void MouseDoubleClickEvent(QMouseEvent* event) = 0; // 5
    virtual void MouseMoveEvent(QMouseEvent* event) = 0; // 6
    // A press held in place: a press event built at the press position.
    virtual void LongPressEvent(QMouseEvent* event) = 0; // 7
    // The control's rectangle: the engine renders at this size.
    virtual void SetRect(const QRect& rect) = 0; // 8
    virtual void Show(QWidget* control) = 0; // 9
    virtual void Hide(QWidget* control) = 0; // 10
    // True when a pan cursor is to be shown; its position goes to *position.
    virtual bool GetPanCursor(QPoint* position) = 0; // 11
    virtual QPoint GetCursorPosition() = 0; // 12
    virtual void Reserved() = 0; // 13
    virtual void Attach(QWidget* control) = 0; // 14
    virtual void Detach(QWidget* control) = 0; // 15

protected:
    ~IMapView() = default;
};
