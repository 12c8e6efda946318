#include "controls/core/phxIcon.h"

#include "controls/core/SoundHook.h"

#include <QPainter>

namespace {

int halfRoundedDown(int v)
{
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

} // namespace

phxIcon::phxIcon(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_clickSound.setHooked(ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly));
}

phxIcon::~phxIcon() = default;

void phxIcon::setImage(const QPixmap& image)
{
    m_image = image;
}

void phxIcon::setRotateAngle(int angle)
{
    m_rotateAngle = angle;
    update();
}

void phxIcon::setEnableClickSound(bool enable)
{
    m_clickSound.setEnabled(this, enable);
}

void phxIcon::resizeToImage()
{
    if (!m_image.isNull() && m_image.width() > 0 && m_image.height() > 0)
        resize(m_image.size());
}

void phxIcon::resizeImageToIcon()
{
    if (!m_image.isNull() && m_image.size() != size())
        m_image = m_image.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QSize phxIcon::sizeHint() const
{
    return m_image.size();
}

void phxIcon::mousePressEvent(QMouseEvent* event)
{
    QWidget::mousePressEvent(event);
    m_clickSound.beforeClick(this);
    emit clicked(objectName());
    emit sigIconClicked();
}

void phxIcon::paintEvent(QPaintEvent* event)
{
    if (m_image.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (m_rotateAngle > 0) {
        const QPoint centre((width() + 1) / 2, (height() + 1) / 2);
        const QPoint at(halfRoundedDown(width() - m_image.width()), halfRoundedDown(height() - m_image.height()));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(centre);
        painter.rotate(m_rotateAngle);
        painter.translate(-centre);
        painter.drawPixmap(at, m_image);
    } else {
        painter.drawPixmap(0, 0, m_image);
    }
}
