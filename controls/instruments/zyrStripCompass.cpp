#include "controls/instruments/zyrStripCompass.h"

#include "controls/core/LibraryInternal.h"

#include <QEasingCurve>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QTimeLine>

#include <cmath>

namespace {

const double kZoomFactors[4] = { 0.35, 0.66, 1.0, 1.5 };

} // namespace

zyrStripCompass::zyrStripCompass(QWidget* parent)
    : zyrColorArrow(parent)
    , m_destinationFlag(false)
    , m_pathBrush(Qt::yellow, Qt::SolidPattern)
    , m_heading(0)
    , m_goalHeading(0)
    , m_turnStart(0)
    , m_turnTarget(0)
    , m_moonAz(0)
    , m_sunAz(0)
    , m_originToDestAngle(0)
    , m_originToDestDistance(0)
    , m_rotationSpeed(7200)
    , m_interrupt(false)
    , m_isMarineCompassMode(false)
    , m_layoutDone(false)
    , m_pathPolygon(10)
    , m_legPolygon(6)
    , m_distanceToNext(0)
    , m_xte(0)
    , m_baseDistance(0)
    , m_zoomLevel(1)
{
    if (objectName().isEmpty())
        setObjectName("zyrStripCompass");
    resize(240, 240);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(1);
    policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(policy);

    m_timeLine = new QTimeLine(ZyrelleControls::Internal::ScaledDuration(1000), this);
    m_timeLine->setFrameRange(0, 100);
    m_timeLine->setEasingCurve(QEasingCurve::InOutSine);
    connect(m_timeLine, SIGNAL(valueChanged(qreal)), this, SLOT(setRotation(qreal)));
    connect(m_timeLine, SIGNAL(finished()), this, SLOT(startRotation()));
}

float zyrStripCompass::normalizeDegree(float degrees)
{
    const float a = degrees - 360.0f * std::trunc(degrees * 0.0027777778f);
    return a >= 0 ? a : a + 360.0f;
}

bool zyrStripCompass::isIconVisible(float start, float end, float angle)
{
    if (start < end)
        return start <= angle && angle <= end;
    return (start <= angle && angle < 360) || (0 <= angle && angle <= end);
}

float zyrStripCompass::degreeDifference(float start, float end, float angle)
{
    if (start >= end && !(start <= angle && angle < 360))
        return angle + 360 - start;
    return angle - start;
}

void zyrStripCompass::setStripBkgd(const QPixmap& p)
{
    m_stripBkgd = p;
    m_layoutDone = false;
}

void zyrStripCompass::setGreenNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setGreenNeedle(pixmap);
    m_layoutDone = false;
}

void zyrStripCompass::setYellowNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setYellowNeedle(pixmap);
    m_layoutDone = false;
}

void zyrStripCompass::setRedNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setRedNeedle(pixmap);
    m_layoutDone = false;
}

void zyrStripCompass::setBlueNeedle(const QPixmap& pixmap)
{
    zyrColorArrow::setBlueNeedle(pixmap);
    m_layoutDone = false;
}

void zyrStripCompass::zoomIn()
{
    if (m_zoomLevel < 3) {
        ++m_zoomLevel;
        update();
    }
}

void zyrStripCompass::zoomOut()
{
    if (m_zoomLevel > 0) {
        --m_zoomLevel;
        update();
    }
}

// ---- turning

void zyrStripCompass::setHeading(float degrees)
{
    m_headingQueue.push_back(normalizeDegree(degrees));
    startRotation();
}

void zyrStripCompass::startRotation()
{
    if (!m_timeLine)
        return;
    const bool running = m_timeLine->state() == QTimeLine::Running;
    if (running && !m_interrupt)
        return;
    if (running) {
        // A turn cut short shows where it was going before the next begins.
        m_heading = m_turnTarget;
        update();
    }
    for (;;) {
        if (m_headingQueue.empty()) {
            m_timeLine->stop();
            emit ready();
            return;
        }
        m_turnStart = m_turnTarget;
        if (m_interrupt) {
            m_turnTarget = m_headingQueue.back();
            m_headingQueue.clear();
        } else {
            m_turnTarget = m_headingQueue.front();
            m_headingQueue.erase(m_headingQueue.begin());
        }
        while (m_turnTarget - m_turnStart > 180)
            m_turnTarget -= 360;
        while (m_turnTarget - m_turnStart < -180)
            m_turnTarget += 360;
        const float turned = std::fabs(m_turnTarget - m_turnStart);
        const int duration = int(float(m_rotationSpeed) * turned * 0.0027777778f);
        m_timeLine->stop();
        if (duration == 0) {
            // Nothing to animate: show the target and go on with the queue.
            m_heading = m_turnTarget;
            update();
            continue;
        }
        m_timeLine->setDuration(ZyrelleControls::Internal::ScaledDuration(duration));
        m_timeLine->setCurrentTime(0);
        m_timeLine->start();
        return;
    }
}

void zyrStripCompass::setRotation(qreal progress)
{
    m_heading = float((m_turnTarget - m_turnStart) * progress + m_turnStart);
    update();
}

// ---- painting

void zyrStripCompass::layout()
{
    const QPixmap needle = blueNeedle();
    const int band = m_isMarineCompassMode ? m_roadBkgd.height() + m_roadBkgdStripBkgdGap : needle.height();
    resize(m_stripBkgd.width(), m_moonIcon.height() + m_needleVertPosCorrection + m_stripBkgd.height() + band);
    m_needlePos = QPointF(width() / 2 + m_needleHorPosCorrection - needle.width() / 2,
        rect().bottom() + m_needleVertPosCorrection - band);
    m_stripPos = QPointF(0, m_moonIcon.height());
    const int arrowsY = m_moonIcon.height() + m_stripBkgd.height() + m_roadBkgdVertPosCorrection;
    m_leftArrowPos = QPointF(0, arrowsY);
    m_rightArrowPos = QPointF(width() - m_rightArrow.width(), arrowsY);
    const int gap = m_isMarineCompassMode ? m_roadBkgdStripBkgdGap : 0;
    m_roadPos = QPointF(0, arrowsY + gap);
    m_headArrowPos = QPointF(width() / 2 + m_targetHorPosCorrection - m_destArrow.width() / 2,
        m_stripPos.y() + m_headVertPosCorrection + gap);
    m_layoutDone = true;
}

void zyrStripCompass::paintEvent(QPaintEvent*)
{
    if (!m_layoutDone)
        layout();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(m_roadPos, m_roadBkgd);
    painter.drawPixmap(m_stripPos, m_stripBkgd);
    if (!m_isMarineCompassMode) {
        QPoint at(int(m_needlePos.x()), int(m_needlePos.y()));
        drawArrow(painter, at);
    }
    if (m_destinationFlag) {
        float b = m_goalHeading - normalizeDegree(m_heading);
        if (b > 0) {
            while (b > 180)
                b -= 360;
        } else {
            while (b < -180)
                b += 360;
        }
        if (b < -50)
            painter.drawPixmap(m_leftArrowPos, m_leftArrow);
        else if (b > 50)
            painter.drawPixmap(m_rightArrowPos, m_rightArrow);
    }
    drawTicks(painter);
    painter.drawPixmap(m_headArrowPos, m_headArrow);
    if (m_isMarineCompassMode) {
        painter.setFont(QFont("Arial", 16, QFont::Bold));
        drawScale(painter);
    }
}

void zyrStripCompass::drawTicks(QPainter& painter)
{
    const double step = width() * 0.01;
    const double y1 = m_stripPos.y() + m_stripBkgd.height() * 3 / 8;
    const double y2 = m_stripPos.y() + m_stripBkgd.height() * 5 / 8;
    double x = rect().left();
    const QPen major(Qt::white, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QPen minor(Qt::white, 0.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    const QFontMetrics metrics(painter.font());
    for (int k = int(m_heading - 50); k <= m_heading + 50; ++k) {
        x += step;
        if (k % 30 != 0) {
            painter.setPen(minor);
        } else {
            const int u = ((k % 360) + 360) % 360;
            if (k % 90 != 0) {
                const QString text = QString::number(u);
                QRect r = metrics.boundingRect(text);
                r.moveTo(int(x - r.width() / 2.0), int(y1 - r.height()));
                painter.drawText(r, Qt::AlignCenter, text);
            } else {
                const QPixmap& icon = u == 0 ? m_compassN : u == 90 ? m_compassE : u == 180 ? m_compassS : m_compassW;
                painter.drawPixmap(QPointF(x - icon.width() / 2, m_moonIcon.height()), icon);
            }
            painter.setPen(major);
        }
        if (k % 10 == 0 && k % 90 != 0)
            painter.drawLine(QPointF(x, y1), QPointF(x, y2));
    }

    const float h = normalizeDegree(m_heading);
    const float start = normalizeDegree(h - 50);
    const float end = normalizeDegree(h + 50);
    if (m_destinationFlag && isIconVisible(start, end, m_goalHeading))
        painter.drawPixmap(QPointF(degreeDifference(start, end, m_goalHeading) * step - m_destArrow.width() / 2
                                   + m_targetHorPosCorrection,
                               m_stripPos.y() + m_targetVertPosCorrection),
            m_destArrow);
    if (m_isMarineCompassMode && m_destinationFlag)
        drawPathesAndDestIcon(painter);
    if (!m_moonIcon.isNull() && isIconVisible(start, end, m_moonAz))
        painter.drawPixmap(QPointF(degreeDifference(start, end, m_moonAz) * step - m_moonIcon.width() / 2, 0), m_moonIcon);
    if (!m_sunIcon.isNull() && isIconVisible(start, end, m_sunAz))
        painter.drawPixmap(QPointF(degreeDifference(start, end, m_sunAz) * step - m_sunIcon.width() / 2, 0), m_sunIcon);
}

void zyrStripCompass::drawScale(QPainter& painter)
{
    const QStringList& labels = ZyrelleControls::Internal::StripCompassZoomLabels();
    const QRect box(m_roadBkgd.width() - 56,
        m_roadBkgdStripBkgdGap + m_roadBkgdVertPosCorrection + m_roadBkgd.height() + m_stripBkgd.height()
            + m_moonIcon.height() - 22,
        50, 20);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, labels.value(m_zoomLevel));
}

void zyrStripCompass::drawPathesAndDestIcon(QPainter& painter)
{
    const QPen entryPen = painter.pen();
    const QBrush entryBrush = painter.brush();
    const double cx = m_headArrowPos.x() + m_headArrow.width() / 2;
    const double cy = m_headArrowPos.y() + m_headArrow.height() / 2;
    const double s = m_baseDistance != 0 ? (cy - m_roadPos.y()) / double(m_baseDistance) : 0.0;
    const double z = kZoomFactors[m_zoomLevel];
    const double L = double(m_distanceToNext) * z * s;
    const double degToRad = 0.017453292519943295;
    const double t = (m_nHeading + 90 - m_nBearing) * degToRad;
    const double S = std::sin(t), K = std::cos(t), A = std::fabs(K);
    const double n = 1 - A * 0.5;
    const double v = std::max(n * z * 4, 1.0);
    const double u = std::max(n * z * 16, 2.0);
    const QPointF raw[10] = { { 0, L }, { -v, L - v }, { -u, 0 }, { -0.9 * u, -0.35 * u }, { -0.666 * u, -0.5 * u },
        { 0, -0.6 * u }, { 0.666 * u, -0.5 * u }, { 0.9 * u, -0.35 * u }, { u, 0 }, { v, L - v } };
    for (int i = 0; i < 10; ++i) {
        const double x = raw[i].x(), y = raw[i].y();
        m_pathPolygon[i] = QPointF(float(y * K + x * S + cx), float(x * K - y * S + cy));
    }
    const double w = std::max(n * z * 5, 2.0);
    const double E = double(m_originToDestDistance) * z * s + w;
    const double t2 = (m_nHeading + 90 - double(m_originToDestAngle)) * degToRad;
    const double S2 = std::sin(t2), K2 = std::cos(t2);
    const QPointF leg[6] = { { 0, E }, { -w, E - w }, { -w, 0 }, { 0, -0.2 * w }, { w, 0 }, { w, E - w } };
    for (int i = 0; i < 6; ++i) {
        const double x = leg[i].x(), y = leg[i].y();
        m_legPolygon[i] = QPointF(float(y * K2 + x * S2), float(x * K2 - y * S2));
    }
    const QPointF p0 = m_pathPolygon[0];
    m_legPolygon.translate(p0.x() - (m_legPolygon[5].x() + m_legPolygon[1].x()) * 0.5,
        p0.y() - (m_legPolygon[5].y() + m_legPolygon[1].y()) * 0.5);

    painter.setClipRect(QRectF(m_roadPos, QSizeF(m_roadBkgd.size())));
    painter.setBrush(m_pathBrush);
    painter.setPen(QPen(Qt::darkYellow, 0, Qt::SolidLine));
    painter.drawPolygon(m_pathPolygon, Qt::OddEvenFill);
    painter.setPen(QPen(Qt::black, 0, Qt::DashDotLine));
    painter.drawLine(m_pathPolygon[5], p0);
    painter.setBrush(QBrush(Qt::magenta, Qt::SolidPattern));
    painter.setPen(QPen(Qt::darkMagenta, 0, Qt::SolidLine));
    painter.drawPolygon(m_legPolygon);
    painter.setClipRect(rect());
    if (p0.y() >= m_roadPos.y())
        painter.drawPixmap(QPointF(p0.x() - m_destIconHorPosCorrection, p0.y() - m_destIconVertPosCorrection), m_destIcon);
    painter.setBrush(entryBrush);
    painter.setPen(entryPen);
}
