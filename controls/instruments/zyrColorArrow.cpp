#include "controls/instruments/zyrColorArrow.h"

#include <QImage>
#include <QPainter>

#include <cstdlib>

zyrColorArrow::zyrColorArrow(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint)
    , m_bColorMode(false)
    , m_nHeading(0)
    , m_nBearing(0)
{
}

void zyrColorArrow::setGreenNeedle(const QPixmap& pixmap)
{
    m_greenNeedle = pixmap;
}

void zyrColorArrow::setYellowNeedle(const QPixmap& pixmap)
{
    m_yellowNeedle = pixmap;
}

void zyrColorArrow::setRedNeedle(const QPixmap& pixmap)
{
    m_redNeedle = pixmap;
}

void zyrColorArrow::setBlueNeedle(const QPixmap& pixmap)
{
    m_blueNeedle = pixmap;
}

int zyrColorArrow::steering()
{
    if (m_nBearing > 180)
        m_nBearing -= 360;
    if (m_nHeading > 180)
        m_nHeading -= 360;
    int d = m_nBearing - m_nHeading;
    if (d > 180)
        d -= 360;
    if (d < -180)
        d += 360;
    return std::abs(d);
}

void zyrColorArrow::drawArrow(QPainter& painter, QPoint& topLeft)
{
    if (!m_bColorMode) {
        painter.drawPixmap(topLeft, m_blueNeedle);
        return;
    }
    const int s = steering();
    if (s <= 90)
        mixArrows(m_greenNeedle, m_yellowNeedle, s * 255 / 90, painter, topLeft);
    else
        mixArrows(m_yellowNeedle, m_redNeedle, (s - 90) * 255 / 90, painter, topLeft);
}

void zyrColorArrow::mixArrows(QPixmap& under, QPixmap& over, int alpha, QPainter& painter, QPoint& topLeft)
{
    if (!over.isNull()) {
        QImage work(over.size(), QImage::Format_ARGB32_Premultiplied);
        work.fill(Qt::transparent);
        QPainter p(&work);
        p.setRenderHint(QPainter::Antialiasing);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawPixmap(0, 0, over);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(work.rect(), QColor(0, 0, 0, alpha));
        p.end();
        painter.drawPixmap(topLeft, under);
        painter.drawImage(topLeft, work);
    } else {
        painter.drawPixmap(topLeft, under);
    }
}
