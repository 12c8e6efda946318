#include "controls/instruments/ZyrNorthUpWidget.h"

#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cstdlib>

ZyrNorthUpWidget::ZyrNorthUpWidget(QWidget* parent)
    : QWidget(parent)
{
}

void ZyrNorthUpWidget::setNorth(const QPixmap& north)
{
    m_north = north;
    m_arrowDistance = std::max(north.width() / 2, north.height() / 2);
    invalidate();
}

void ZyrNorthUpWidget::setArrow(const QPixmap& arrow)
{
    m_arrow = arrow;
    invalidate();
}

void ZyrNorthUpWidget::setAngle(int angle)
{
    m_angle = angle;
    update();
}

void ZyrNorthUpWidget::resizeEvent(QResizeEvent* event)
{
    m_cache = QPixmap(event->size());
    invalidate();
    QWidget::resizeEvent(event);
}

void ZyrNorthUpWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    const int a = std::abs((m_drawnAngle - m_angle) % 360);
    const int change = std::min(a, std::abs(a - 360));
    if ((change > 10 || !m_cacheValid) && !m_cache.isNull()) {
        m_cache.fill(Qt::transparent);
        QPainter cache(&m_cache);
        cache.setRenderHint(QPainter::SmoothPixmapTransform);
        cache.translate(width() / 2, height() / 2);
        cache.rotate(m_angle);
        cache.drawPixmap(-m_arrow.width() / 2, m_arrowDistance, m_arrow);
        m_drawnAngle = m_angle;
        m_cacheValid = true;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_cache);
    if (!m_north.isNull())
        painter.drawPixmap((width() - m_north.width()) / 2, (height() - m_north.height()) / 2, m_north);
}
