#include "controls/core/ZyrHorizontalSlider.h"

#include "controls/core/SoundHook.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

ZyrHorizontalSlider::ZyrHorizontalSlider(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMouseTracking(true);
    ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
}

ZyrHorizontalSlider::~ZyrHorizontalSlider() = default;

void ZyrHorizontalSlider::setValue(const int& value)
{
    if (value < 0 || value > 100 || value == m_value)
        return;
    const int raised = value + value % 20;
    m_value = raised - raised % 20;
    emit valuechanged(m_value);
    repaint();
}

int ZyrHorizontalSlider::segmentsAt(const QPoint& point) const
{
    const int length = m_horizontal ? m_filler.width() : m_filler.height();
    if (length <= 0)
        return m_value / 20;
    const int distance = m_horizontal ? point.x() - m_barOrigin.x() : m_barOrigin.y() - point.y();
    int segments = distance / length;
    if (distance % length > 1)
        ++segments;
    return segments;
}

void ZyrHorizontalSlider::paintEvent(QPaintEvent*)
{
    if (m_grad.isNull())
        return;
    QPainter painter(this);
    const int W = width();
    const int H = height();
    const QPixmap& pointer = hasFocus() && !m_sliderFocus.isNull() ? m_sliderFocus : m_slider;
    const int segments = m_value / 20;
    const QPoint bar((W - m_grad.width()) / 2, (H - m_grad.height()) / 2);
    painter.drawPixmap(bar, m_grad);

    if (m_horizontal) {
        m_barOrigin = bar + QPoint(m_barH, m_barV);
        if (segments > 0 && !m_filler.isNull()) {
            for (int i = 0; i < segments; ++i)
                painter.drawPixmap(m_barOrigin.x() + i * m_filler.width(), m_barOrigin.y(), m_filler);
        }
        int x = m_barOrigin.x() - pointer.width() / 2 + m_pointerH;
        if (!m_filler.isNull() && m_value > 0)
            x += m_filler.width() * m_value / 20;
        m_pointerRect = QRect(QPoint(x, (H - pointer.height()) / 2 + m_pointerV), pointer.size());
        if (!m_minus.isNull() && !m_plus.isNull()) {
            m_minusRect = QRect(QPoint(m_minusH, m_minusV), m_minus.size());
            m_plusRect = QRect(QPoint(W - m_plus.width() - m_plusH, m_plusV), m_plus.size());
        }
    } else {
        m_barOrigin = QPoint(bar.x() + m_barH, H + m_barV - bar.y());
        if (segments > 0 && !m_filler.isNull()) {
            for (int i = 1; i <= segments; ++i)
                painter.drawPixmap(m_barOrigin.x(), m_barOrigin.y() - m_filler.height() * i, m_filler);
        }
        int y = m_barOrigin.y() - pointer.height() / 2 + m_pointerV;
        if (!m_filler.isNull() && m_value > 0)
            y -= m_filler.height() * m_value / 20;
        m_pointerRect = QRect(QPoint((W - pointer.width()) / 2 + m_pointerH, y), pointer.size());
        if (!m_minus.isNull() && !m_plus.isNull()) {
            m_minusRect = QRect(QPoint(m_minusH, H + m_minusV - m_minus.height()), m_minus.size());
            m_plusRect = QRect(QPoint(m_plusH, m_plusV), m_plus.size());
        }
    }
    painter.drawPixmap(m_pointerRect.topLeft(), pointer);
    if (!m_minus.isNull() && !m_plus.isNull()) {
        painter.drawPixmap(m_minusRect.topLeft(), m_minus);
        painter.drawPixmap(m_plusRect.topLeft(), m_plus);
    }
}

void ZyrHorizontalSlider::mousePressEvent(QMouseEvent* event)
{
    if (!m_slider.isNull()) {
        // The pointer is easier to catch a little before and well after it.
        QRect grip = m_pointerRect;
        if (m_horizontal)
            grip.adjust(-grip.width(), 0, 2 * grip.width(), 0);
        else
            grip.adjust(0, -grip.height(), 0, 2 * grip.height());
        if (grip.contains(event->pos()))
            m_dragging = true;
        // Kept in both cases, so that a tap is measured from its own press.
        m_pressPoint = event->pos();
    }
    m_lastPoint = event->pos();
    QWidget::mousePressEvent(event);
}

void ZyrHorizontalSlider::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->pos();
    if (!m_dragging || event->buttons() == Qt::NoButton) {
        event->ignore();
        m_lastPoint = pos;
        return;
    }
    const QRect reach = m_horizontal ? rect().adjusted(0, -height(), 0, 2 * height())
                                     : rect().adjusted(-width(), 0, 2 * width(), 0);
    if (!reach.contains(pos)) {
        m_dragging = false;
    } else if (!m_filler.isNull()) {
        const int segments = segmentsAt(pos);
        if (segments != m_value / 20)
            setValue(segments * 20);
    }
    const QPoint moved = pos - m_lastPoint;
    event->setAccepted(std::abs(along(moved)) > std::abs(across(moved)));
    m_lastPoint = pos;
}

void ZyrHorizontalSlider::mouseReleaseEvent(QMouseEvent* event)
{
    emit clicked(objectName());
    const QPoint pos = event->pos();
    if (!m_minus.isNull() && m_minusRect.contains(pos)) {
        m_dragging = false;
        setValue(m_value - 20);
        return;
    }
    if (!m_plus.isNull() && m_plusRect.contains(pos)) {
        m_dragging = false;
        setValue(m_value + 20);
        return;
    }
    if (!m_filler.isNull() && std::abs(along(pos) - along(m_pressPoint)) <= 4) {
        const int segments = segmentsAt(pos);
        if (segments != m_value / 20)
            setValue(segments * 20);
    }
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void ZyrHorizontalSlider::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left)
        setValue(m_value - 20);
    else if (event->key() == Qt::Key_Right)
        setValue(m_value + 20);
    QWidget::keyReleaseEvent(event);
}
