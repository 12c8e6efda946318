#include "controls/core/ZyrIcon.h"

#include <QPainter>

#include <algorithm>

ZyrIcon::ZyrIcon(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ZyrIcon::~ZyrIcon() = default;

QSize ZyrIcon::sizeHint() const
{
    return m_image.size();
}

void ZyrIcon::resizeToImage()
{
    if (m_image.isNull())
        resize(0, 0);
    else if (m_image.width() > 0 && m_image.height() > 0)
        resize(m_image.size());
}

void ZyrIcon::resizeImageToIcon()
{
    if (!m_image.isNull() && m_image.size() != size())
        m_image = m_image.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void ZyrIcon::rotate(float degrees)
{
    if (!m_rotatable)
        setAsRotatable();
    m_angle = degrees;
    update();
}

void ZyrIcon::setAsRotatable()
{
    // The image is drawn centred, so where it sits in the widget changes by
    // the difference of the two centring offsets: the widget moves back by
    // that much.
    const QPoint before(width() / 2 - m_image.width() / 2, height() / 2 - m_image.height() / 2);
    const int side = int(std::max(width(), height()) * 1.5);
    resize(side, side);
    m_rotatable = true;
    const QPoint after(side / 2 - m_image.width() / 2, side / 2 - m_image.height() / 2);
    move(pos() - (after - before));
}

void ZyrIcon::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    if (m_rotatable) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        const QPointF centre = QRectF(rect()).center();
        painter.translate(centre);
        painter.rotate(m_angle);
        painter.translate(-centre);
    }
    painter.drawPixmap(width() / 2 - m_image.width() / 2, height() / 2 - m_image.height() / 2, m_image);
}
