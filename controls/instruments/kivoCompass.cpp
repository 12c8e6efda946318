#include "controls/instruments/kivoCompass.h"

#include <QPainter>

kivoCompass::kivoCompass(QWidget* parent)
    : QWidget(parent)
    , m_pProvider(nullptr)
    , m_northUpFlag(true)
    , m_ringAngle(0)
    , m_arrowAngle(0)
{
}

ICompassDataProvider* kivoCompass::SetCompassInterface(ICompassDataProvider* provider)
{
    ICompassDataProvider* previous = m_pProvider;
    m_pProvider = provider;
    if (provider)
        provider->subscribe(this, "1OnUpdate()");
    return previous;
}

void kivoCompass::OnUpdate()
{
    m_ringAngle += 1.0f;
    if (m_ringAngle > 360)
        m_ringAngle = 0;
    if (m_ringAngle < -360)
        m_ringAngle = 0;
    update();
}

void kivoCompass::setCompassRing(const QPixmap& pixmap)
{
    m_compassRing = pixmap;
    OnUpdate();
}

void kivoCompass::setCompassArrow(const QPixmap& pixmap)
{
    m_compassArrow = pixmap;
    OnUpdate();
}

void kivoCompass::setRingAngle(qreal angle)
{
    m_ringAngle = float(angle);
    OnUpdate();
}

void kivoCompass::setArrowAngle(qreal angle)
{
    m_arrowAngle = float(angle);
    OnUpdate();
}

void kivoCompass::setNorthUpFlag(bool flag)
{
    m_northUpFlag = flag;
    OnUpdate();
}

void kivoCompass::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.rotate(m_northUpFlag ? m_ringAngle : m_arrowAngle);
    painter.translate(-centre);
    painter.drawPixmap(0, 0, m_northUpFlag ? m_compassRing : m_compassArrow);
}
