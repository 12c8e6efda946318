#include "sim/instruments/map_view.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>

namespace kivo::sim {

QColor MapView::colourAt(int x, int y)
{
    return QColor(x & 0xFF, y & 0xFF, ((x >> 8) & 0xF) << 4 | ((y >> 8) & 0xF));
}

QPoint MapView::positionOf(const QColor& colour)
{
    return QPoint((colour.blue() >> 4) << 8 | colour.red(), (colour.blue() & 0xF) << 8 | colour.green());
}

int MapView::count(int slot) const
{
    int n = 0;
    for (const Call& call : m_calls)
        n += call.slot == slot;
    return n;
}

MapView::Call MapView::last(int slot) const
{
    for (auto it = m_calls.crbegin(); it != m_calls.crend(); ++it)
        if (it->slot == slot)
            return *it;
    return Call();
}

QPixmap MapView::Render(const QRect& rect)
{
    Call call;
    call.slot = MapSlot::Render;
    call.rect = rect;
    m_calls.push_back(call);
    if (m_renderNull || m_rect.isEmpty())
        return QPixmap();
    if (m_picture.size() != m_rect.size()) {
        QImage image(m_rect.size(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = colourAt(x, y).rgb();
        }
        m_picture = QPixmap::fromImage(image);
    }
    return m_picture;
}

void MapView::mouse(int slot, QMouseEvent* event)
{
    Call call;
    call.slot = slot;
    call.type = event->type();
    call.pos = event->pos();
    call.button = event->button();
    call.buttons = event->buttons();
    m_calls.push_back(call);
}

void MapView::key(int slot, QKeyEvent* event)
{
    Call call;
    call.slot = slot;
    call.type = event->type();
    call.key = event->key();
    call.autoRepeat = event->isAutoRepeat();
    m_calls.push_back(call);
}

void MapView::widget(int slot, QWidget* control)
{
    Call call;
    call.slot = slot;
    call.control = control;
    m_calls.push_back(call);
}

void MapView::KeyPressEvent(QKeyEvent* event) { key(MapSlot::KeyPress, event); }
void MapView::KeyReleaseEvent(QKeyEvent* event) { key(MapSlot::KeyRelease, event); }
void MapView::MousePressEvent(QMouseEvent* event) { mouse(MapSlot::MousePress, event); }
void MapView::MouseReleaseEvent(QMouseEvent* event) { mouse(MapSlot::MouseRelease, event); }
void MapView::MouseDoubleClickEvent(QMouseEvent* event) { mouse(MapSlot::MouseDoubleClick, event); }
void MapView::MouseMoveEvent(QMouseEvent* event) { mouse(MapSlot::MouseMove, event); }
void MapView::LongPressEvent(QMouseEvent* event) { mouse(MapSlot::LongPress, event); }

void MapView::SetRect(const QRect& rect)
{
    Call call;
    call.slot = MapSlot::SetRect;
    call.rect = rect;
    m_calls.push_back(call);
    m_rect = rect;
}

void MapView::Show(QWidget* control) { widget(MapSlot::Show, control); }
void MapView::Hide(QWidget* control) { widget(MapSlot::Hide, control); }
void MapView::Attach(QWidget* control) { widget(MapSlot::Attach, control); }
void MapView::Detach(QWidget* control) { widget(MapSlot::Detach, control); }

bool MapView::GetPanCursor(QPoint* position)
{
    widget(MapSlot::PanCursor, nullptr);
    if (m_panShown && position)
        *position = m_pan;
    return m_panShown;
}

QPoint MapView::GetCursorPosition()
{
    widget(MapSlot::CursorPosition, nullptr);
    return m_cursor;
}

void MapView::Reserved() { widget(MapSlot::Reserved13, nullptr); }

} // namespace kivo::sim
