// Stands in for the navigation program's map engine behind ZyrMapControl:
// it renders a picture whose colour tells each pixel's position, at the size
// the control last gave it, records every call by its slot in the interface,
// and answers the cursor queries with points a test sets.
#pragma once

#include "controls/instruments/IMapView.h"

#include <QColor>
#include <QEvent>
#include <QPoint>
#include <QRect>
#include <vector>

namespace kivo::sim {

// The slots of IMapView, in table order.
struct MapSlot {
    enum : int {
        Render = 0, KeyPress, KeyRelease, MousePress, MouseRelease, MouseDoubleClick, MouseMove, LongPress,
        SetRect, Show, Hide, PanCursor, CursorPosition, Reserved13, Attach, Detach
    };
};

class MapView : public IMapView {
public:

    // One call as the engine saw it; the fields that do not apply stay at
    // their defaults.
    struct Call {
        int slot = -1;
        QEvent::Type type = QEvent::None;
        QPoint pos; // mouse events
        Qt::MouseButton button = Qt::NoButton;
        Qt::MouseButtons buttons = Qt::NoButton;
        int key = 0; // key events
        bool autoRepeat = false;
        QRect rect; // Render, SetRect
        QWidget* control = nullptr; // Show, Hide, Attach, Detach
    };

    MapView() = default;
    virtual ~MapView() = default;

    // The colour of the picture at (x, y), and the position a colour tells
    // (for x and y below 4096).
    static QColor colourAt(int x, int y);
    static QPoint positionOf(const QColor& colour);

    const std::vector<Call>& calls() const { return m_calls; }
    int count(int slot) const;
    // The last call of a slot; a default Call when there was none.
    Call last(int slot) const;
    void clear() { m_calls.clear(); }

    // Slot 11 answers true and this point while one is set.
    void setPanCursor(bool shown, const QPoint& position = QPoint())
    {
        m_panShown = shown;
        m_pan = position;
    }
    void setCursorPosition(const QPoint& position) { m_cursor = position; }
    // Slot 0 answers a null picture while set.
    void setRenderNull(bool null) { m_renderNull = null; }

    QPixmap Render(const QRect& rect) override;
    void KeyPressEvent(QKeyEvent* event) override;
    void KeyReleaseEvent(QKeyEvent* event) override;
    void MousePressEvent(QMouseEvent* event) override;
    void MouseReleaseEvent(QMouseEvent* event) override;
    void MouseDoubleClickEvent(QMouseEvent* event) override;
    void MouseMoveEvent(QMouseEvent* event) override;
    void LongPressEvent(QMouseEvent* event) override;
    void SetRect(const QRect& rect) override;
    void Show(QWidget* control) override;
    void Hide(QWidget* control) override;
    bool GetPanCursor(QPoint* position) override;
    QPoint GetCursorPosition() override;
    void Reserved() override;
    void Attach(QWidget* control) override;
    void Detach(QWidget* control) override;

private:
    void mouse(int slot, QMouseEvent* event);
    void key(int slot, QKeyEvent* event);
    void widget(int slot, QWidget* control);

    std::vector<Call> m_calls;
    QRect m_rect;
    QPixmap m_picture;
    bool m_panShown = false;
    QPoint m_pan;
    QPoint m_cursor;
    bool m_renderNull = false;
};

} // namespace kivo::sim
