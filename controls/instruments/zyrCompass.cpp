#include "controls/instruments/zyrCompass.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <cmath>

zyrCompass::zyrCompass(QWidget* parent)
    : zyrColorArrow(parent)
    , m_pProvider(nullptr)
    , m_bTransparent(true)
    , m_bDrawLabels(true)
    , m_bDrawCardinal(true)
    , m_bStripMode(false)
    , m_cardinal { nullptr, nullptr, nullptr, nullptr }
    , m_bCardinalsCreated(false)
    , m_ringAngle(0)
    , m_needleAngle(0)
    , m_textRadius(70)
    , m_northUpFlag(true)
    , m_awardsRegularVisible(0)
    , m_awardsApeVisible(0)
    , m_stripSunVertPos(0)
    , m_stripMoonVertPos(0)
{
    if (objectName().isEmpty())
        setObjectName("zyrCompass");
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(1);
    policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(policy);
    setAttribute(Qt::WA_TranslucentBackground);
}

zyrCompass::~zyrCompass()
{
    deleteCardinals();
}

void zyrCompass::deleteCardinals()
{
    for (QPixmap*& icon : m_cardinal) {
        delete icon;
        icon = nullptr;
    }
}

ICompassDataProvider* zyrCompass::SetCompassInterface(ICompassDataProvider* provider)
{
    ICompassDataProvider* previous = m_pProvider;
    m_pProvider = provider;
    if (provider)
        provider->subscribe(this, "1OnUpdate()");
    return previous;
}

void zyrCompass::onSunMoonPos(zyrSunMoonAzEl_t position)
{
    if (m_pProvider)
        m_pProvider->setSunMoonPosition(position);
}

void zyrCompass::SetAwardsIconsVisibility(int& regular, int& ape)
{
    m_awardsRegularVisible = regular;
    m_awardsApeVisible = ape;
}

void zyrCompass::OnUpdate()
{
    if (m_bTransparent && parentWidget())
        parentWidget()->update();
    else
        update();
}

void zyrCompass::setCompassRing(const QPixmap& p)
{
    m_compassRing = p;
    m_ringOffset = rect().center() - QPoint(p.width() / 2, p.height() / 2);
}

void zyrCompass::setTextCenter(const QPoint& centre)
{
    m_textCenter = centre;
    update();
}

void zyrCompass::placeNeedle(const QPixmap& needle)
{
    m_needleOffset = rect().center() - QPoint(needle.width() / 2, needle.height() / 2);
}

void zyrCompass::setGreenNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setGreenNeedle(pixmap);
    placeNeedle(pixmap);
}

void zyrCompass::setYellowNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setYellowNeedle(pixmap);
    placeNeedle(pixmap);
}

void zyrCompass::setRedNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setRedNeedle(pixmap);
    placeNeedle(pixmap);
}

void zyrCompass::setBlueNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setBlueNeedle(pixmap);
    placeNeedle(pixmap);
}

// ---- angles

double zyrCompass::rimNormalize(double degrees)
{
    if (degrees < 0)
        degrees += 360;
    if (degrees > 360)
        degrees -= 360;
    return degrees;
}

float zyrCompass::normalizeDegree(float degrees)
{
    const float turns = std::trunc(degrees * 0.0027777778f);
    const float a = degrees - 360.0f * turns;
    return a >= 0 ? a : a + 360.0f;
}

bool zyrCompass::isIconVisible(float start, float end, float angle)
{
    if (start < end)
        return start <= angle && angle <= end;
    return (start <= angle && angle < 360) || (0 <= angle && angle <= end);
}

float zyrCompass::degreeDifference(float start, float end, float angle)
{
    if (start >= end && !(start <= angle && angle < 360))
        return angle + 360 - start;
    return angle - start;
}

// ---- painting

QPixmap* zyrCompass::CreateeCardinalIcon(QString& text, QPixmap& sign, bool light)
{
    QPixmap* icon = new QPixmap(sign.size());
    icon->fill(Qt::transparent);
    if (sign.isNull())
        return icon;
    QPainter p(icon);
    p.setPen(light ? QColor(255, 255, 255, 255) : QColor(0, 0, 0, 255));
    p.drawPixmap(0, 0, sign);
    QFont font = p.font();
    font.setPixelSize(qMax(1, int(sign.height() * 0.7)));
    font.setBold(true);
    p.setFont(font);
    const QRect box = p.boundingRect(QRect(QPoint(0, 0), sign.size()), Qt::AlignCenter, text);
    p.drawText(box, Qt::AlignCenter, text);
    return icon;
}

void zyrCompass::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    if (!m_bCardinalsCreated) {
        deleteCardinals();
        m_cardinal[0] = CreateeCardinalIcon(m_strCardinalNorth, m_signN, false);
        m_cardinal[1] = CreateeCardinalIcon(m_strCardinalSouth, m_signS, true);
        m_cardinal[2] = CreateeCardinalIcon(m_strCardinalEast, m_signE, true);
        m_cardinal[3] = CreateeCardinalIcon(m_strCardinalWest, m_signW, true);
        m_bCardinalsCreated = true;
    }

    if (m_pProvider) {
        m_bColorMode = m_pProvider->hasTarget();
        m_ringAngle = float(rimNormalize(-(m_bTransparent ? m_pProvider->overlayHeading() : m_pProvider->heading())));
        m_nHeading = int(m_pProvider->heading());
        m_nBearing = int(m_pProvider->bearing());
    }

    if (m_bTransparent) {
        QImage image(size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (m_bStripMode)
            DrawStripCompass(p);
        else
            DrawCompass(p);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(image.rect(), QColor(0, 0, 0, 192));
        p.end();
        painter.drawImage(0, 0, image);
    } else if (m_bStripMode) {
        DrawStripCompass(painter);
    } else {
        DrawCompass(painter);
    }
}

void zyrCompass::DrawCompass(QPainter& painter)
{
    const QPointF centre = QRectF(rect()).center();
    painter.save();
    painter.translate(centre);
    if (!m_northUpFlag)
        painter.rotate(m_ringAngle);
    painter.translate(-centre);
    painter.drawPixmap(m_ringOffset, m_compassRing);
    painter.restore();

    if (!m_bTransparent)
        drawArrow(painter, m_needleOffset);

    drawTexts(&painter, false);

    if (!m_pProvider)
        return;
    if (m_pProvider->hasTarget()) {
        double angle = rimNormalize(m_ringAngle + m_pProvider->bearing());
        if (m_bTransparent) {
            const int mode = m_pProvider->overlayBearingMode();
            if (mode != 1 && mode != 2)
                angle = 0;
        }
        displayIcon(painter, m_IconBearing, angle, false);
    }
    displayIcon(painter, m_IconSun, rimNormalize(m_ringAngle + m_pProvider->sunAzimuth()), true);
    displayIcon(painter, m_IconMoon, rimNormalize(m_ringAngle + m_pProvider->moonAzimuth()), true);
    if (m_awardsRegularVisible)
        displayAwardIcon(painter, m_IconGcAwardsRegular, rimNormalize(m_ringAngle - 120), 1);
    if (m_awardsApeVisible)
        displayAwardIcon(painter, m_IconGcAwardsApe, rimNormalize(m_ringAngle), 2);
}

void zyrCompass::displayIcon(QPainter& painter, QPixmap& icon, const double& angle, bool nearRim)
{
    if (icon.isNull())
        return;
    painter.save();
    painter.resetTransform();
    painter.translate(QRectF(rect()).center());
    painter.rotate(angle);
    painter.translate(-icon.width() / 2.0, -icon.height() / 2.0);
    painter.translate(0, (nearRim ? 10 : 25) - width() / 2.0);
    painter.drawPixmap(0, 0, icon);
    painter.restore();
}

void zyrCompass::displayAwardIcon(QPainter& painter, QPixmap& icon, const double& angle, int)
{
    if (icon.isNull())
        return;
    painter.save();
    painter.resetTransform();
    painter.translate(QRectF(rect()).center());
    painter.rotate(angle);
    painter.translate(0, 70 - width() / 2.0);
    painter.rotate(-angle);
    painter.translate(-icon.width() / 2.0, -icon.height() / 2.0);
    painter.drawPixmap(0, 0, icon);
    painter.restore();
}

void zyrCompass::drawTexts(QPainter* painter, bool)
{
    const QPointF c(m_textCenter);
    painter->save();
    painter->translate(c);
    painter->rotate(m_ringAngle);
    painter->translate(-c);
    const QFontMetrics metrics(painter->font());
    for (int a = 0; a < 360; a += 30) {
        const QString text = QString::number(a);
        const QRect r = metrics.boundingRect(text);
        const QPointF origin = c + QPointF(0, -m_textRadius);
        painter->translate(origin);
        painter->rotate(-(a + m_ringAngle));
        if (a % 90 != 0) {
            if (m_bDrawLabels) {
                const int w = r.width() / 2;
                const int h = r.height() / 2;
                painter->setPen(QColor(255, 255, 255, 255));
                painter->drawText(QPoint(-w - 1, -h), text);
                painter->drawText(QPoint(1 - w, -h), text);
                painter->drawText(QPoint(-w, -h - 1), text);
                painter->drawText(QPoint(-w, 1 - h), text);
                painter->setPen(QColor(0, 0, 0, 255));
                painter->drawText(QPoint(-w, -h), text);
            }
        } else if (m_bDrawCardinal) {
            const int index[4] = { 0, 2, 1, 3 }; // 0 north, 90 east, 180 south, 270 west
            const QPixmap* icon = m_cardinal[index[a / 90]];
            if (icon && !icon->isNull())
                painter->drawPixmap(QPoint(-icon->width() / 2, 5 - icon->height()), *icon);
        }
        painter->rotate(a + m_ringAngle);
        painter->translate(-origin);
        painter->translate(c);
        painter->rotate(30);
        painter->translate(-c);
    }
    painter->restore();
}

void zyrCompass::DrawStripCompass(QPainter& painter)
{
    painter.drawPixmap(0, 0, m_stripBkgd);
    DrawTicks(painter);
    const float h = normalizeDegree(float(m_nHeading));
    const float b = normalizeDegree(float(m_nBearing));
    if (!m_pProvider) {
        QPixmap red = redNeedle();
        painter.drawPixmap((m_stripBkgd.width() - red.width()) / 2, m_stripBkgd.height() / 2, red);
        return;
    }
    const float start = normalizeDegree(h - 50);
    const float end = normalizeDegree(h + 50);
    const float sun = normalizeDegree(float(m_pProvider->sunAzimuth()));
    const float moon = normalizeDegree(float(m_pProvider->moonAzimuth()));
    const double step = width() * 0.01;
    if (!m_IconMoon.isNull() && isIconVisible(start, end, moon))
        painter.drawPixmap(QPointF(degreeDifference(start, end, moon) * step - m_IconMoon.width() / 2, m_stripMoonVertPos),
            m_IconMoon);
    if (!m_IconSun.isNull() && isIconVisible(start, end, sun))
        painter.drawPixmap(QPointF(degreeDifference(start, end, sun) * step - m_IconSun.width() / 2, m_stripSunVertPos),
            m_IconSun);
    painter.drawPixmap((m_stripBkgd.width() - m_headArrow.width()) / 2, m_stripBkgd.height() / 2 - 5, m_headArrow);
    if (!m_pProvider->hasTarget())
        return;
    if (isIconVisible(start, end, b)) {
        painter.drawPixmap(
            QPointF(degreeDifference(start, end, b) * step - m_IconBearing.width() / 2, m_stripBkgd.height() / 3),
            m_IconBearing);
        return;
    }
    float d = b - h;
    if (d > 0) {
        while (d > 180)
            d -= 360;
    } else {
        while (d < -180)
            d += 360;
    }
    const int y = (m_stripBkgd.height() - m_leftArrow.height()) / 2;
    if (d < -50)
        painter.drawPixmap(0, y, m_leftArrow);
    else if (d > 50)
        painter.drawPixmap(m_stripBkgd.width() - m_rightArrow.width(), (m_stripBkgd.height() - m_rightArrow.height()) / 2,
            m_rightArrow);
}

void zyrCompass::DrawTicks(QPainter& painter)
{
    const double step = width() * 0.01;
    const int y1 = m_stripBkgd.height() * 3 / 8;
    const int y2 = m_stripBkgd.height() * 5 / 8;
    double x = rect().left();
    const QPen major(Qt::white, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QPen minor(Qt::white, 0.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QFontMetrics metrics(painter.font());
    for (int k = m_nHeading - 50; k <= m_nHeading + 50; ++k) {
        x += step;
        if (k % 30 != 0) {
            painter.setPen(minor);
        } else {
            const int hk = k < 0 ? k + 360 : k;
            if (k % 90 != 0) {
                const QString text = QString::number(hk % 360);
                QRect r = metrics.boundingRect(text);
                r.moveTo(int(x - r.width() / 2.0), y1 - r.height());
                painter.drawText(r, Qt::AlignCenter, text);
            } else {
                const QPixmap* icon = nullptr;
                if (hk == 0 || hk == 360)
                    icon = m_cardinal[0];
                else if (hk == 90)
                    icon = m_cardinal[2];
                else if (hk == 180)
                    icon = m_cardinal[1];
                else if (hk == 270)
                    icon = m_cardinal[3];
                if (icon)
                    painter.drawPixmap(QPointF(x - icon->width() / 2, 0), *icon);
            }
            painter.setPen(major);
        }
        if (k % 10 == 0 && k % 90 != 0)
            painter.drawLine(QPointF(x, y1), QPointF(x, y2));
    }
}
