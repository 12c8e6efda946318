#include "controls/core/Kinetic.h"

#include "controls/core/KineticPrivate.h"
#include "controls/core/LibraryInternal.h"

#include <QMouseEvent>
#include <QTimerEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTickMs = 20;
constexpr int kSamplePeriodMs = 100;
constexpr int kAutoScrollSteps = 10;
// A fling loses one pixel per tick from at most 64.
constexpr int kDecelerationStep = 1;
constexpr int kDecelerationLimit = 64;

// Division with halves rounded upward (2.5 -> 3, -2.5 -> -2, -14.25 -> -14).
int divideRounded(int value, double divisor)
{
    return int(std::floor(value / divisor + 0.5));
}

QPoint divideRounded(const QPoint& p, double divisor)
{
    return QPoint(divideRounded(p.x(), divisor), divideRounded(p.y(), divisor));
}

int decelerate(int v)
{
    v = std::clamp(v, -kDecelerationLimit, kDecelerationLimit);
    if (v > 0)
        return std::max(0, v - kDecelerationStep);
    if (v < 0)
        return std::min(0, v + kDecelerationStep);
    return 0;
}

bool withinThreshold(const QPoint& offset, int threshold)
{
    return offset.x() >= -threshold && offset.x() <= threshold && offset.y() >= -threshold
        && offset.y() <= threshold;
}

} // namespace

KineticTimer::KineticTimer(Kinetic* engine)
    : m_engine(engine)
{
}

void KineticTimer::start(int intervalMs)
{
    if (!m_timer.isActive())
        m_timer.start(intervalMs, this);
}

void KineticTimer::stop()
{
    m_timer.stop();
}

void KineticTimer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId())
        m_engine->OnTimer();
    else
        QObject::timerEvent(event);
}

KineticPrivate::KineticPrivate(Kinetic* engine)
    : sampleTime(ZyrelleControls::Internal::NowMs())
    , timer(engine)
{
}

Kinetic::Kinetic()
    : d(new KineticPrivate(this))
{
}

Kinetic::~Kinetic()
{
    delete d;
}

void Kinetic::OnMousePressed(QMouseEvent* event)
{
    event->ignore();
    if (event->button() != Qt::LeftButton)
        return;
    switch (d->state) {
    case 0:
        event->accept();
        d->state = 1;
        d->pressPoint = event->pos();
        d->position = KineticCurrentPosition();
        break;
    case 3:
        event->accept();
        KineticStop(d->position);
        d->state = 4;
        d->speed = QPoint();
        d->pressPoint = event->pos();
        d->position = KineticCurrentPosition();
        d->timer.stop();
        break;
    default:
        break;
    }
}

void Kinetic::OnMouseMoved(QMouseEvent* event)
{
    event->ignore();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    switch (d->state) {
    case 1:
    case 4: {
        const QPoint offset = event->pos() - d->pressPoint;
        if (withinThreshold(offset, d->threshold))
            return;
        d->sampleTime = ZyrelleControls::Internal::NowMs();
        d->state = 2;
        d->lastOffset = QPoint();
        // A new drag measures its own speed: one left over from an earlier
        // gesture (a drag that ended without a release reaching the engine)
        // would fling a quick release with it.
        d->speed = QPoint();
        // The drag begins here, so the threshold distance is not scrolled.
        d->pressPoint = event->pos();
        event->accept();
        KineticStart(d->position);
        break;
    }
    case 2: {
        event->accept();
        const QPoint offset = event->pos() - d->pressPoint;
        KineticScroll(d->position - offset);
        const qint64 now = ZyrelleControls::Internal::NowMs();
        if (now - d->sampleTime > kSamplePeriodMs) {
            d->sampleTime = now;
            d->speed = offset - d->lastOffset;
            d->lastOffset = offset;
        }
        break;
    }
    default:
        break;
    }
}

void Kinetic::OnMouseReleased(QMouseEvent* event)
{
    event->ignore();
    if (event->button() != Qt::LeftButton)
        return;
    switch (d->state) {
    case 1:
        event->accept();
        d->state = 0;
        KineticClick(d->pressPoint);
        break;
    case 2: {
        event->accept();
        const QPoint offset = event->pos() - d->pressPoint;
        const qint64 now = ZyrelleControls::Internal::NowMs();
        if (now - d->sampleTime > kSamplePeriodMs) {
            d->sampleTime = now;
            d->speed = offset - d->lastOffset;
            d->lastOffset = offset;
        }
        d->position = KineticCurrentPosition();
        d->pressPoint = event->pos();
        if (d->enabled && !d->speed.isNull()) {
            d->speed = divideRounded(d->speed, 4);
            d->state = 3;
            d->steps = 0;
            d->timer.start(kTickMs);
        } else {
            d->state = 0;
            KineticStop(d->position);
        }
        break;
    }
    case 4:
        event->accept();
        d->state = 0;
        d->position = KineticCurrentPosition();
        break;
    default:
        break;
    }
}

void Kinetic::OnTimer()
{
    if (d->state != 3) {
        d->timer.stop();
        KineticStop(d->position);
        return;
    }
    if (d->steps == 0) {
        d->speed = QPoint(decelerate(d->speed.x()), decelerate(d->speed.y()));
        if (!KineticScroll(d->position - d->speed))
            d->speed = QPoint();
    } else {
        const QPoint sum = d->pressPoint + d->position + d->speed;
        const QPoint step = divideRounded(sum, d->steps);
        const QPoint target = d->position - step;
        --d->steps;
        if (d->steps < 0)
            d->speed = QPoint();
        else if (!KineticScroll(target))
            d->speed = QPoint();
        if (d->steps == 0)
            d->steps = -1;
    }
    d->position = KineticCurrentPosition();
    if (d->speed.isNull()) {
        d->state = 0;
        d->timer.stop();
        KineticStop(d->position);
    }
}

void Kinetic::AutoScroll(const QPoint& from, const QPoint& to)
{
    d->state = 1;
    d->pressPoint = from;
    d->position = -from;
    KineticStart(d->position);
    d->speed = to - from;
    d->sampleTime = ZyrelleControls::Internal::NowMs();
    d->steps = kAutoScrollSteps;
    d->state = 3;
    d->timer.start(kTickMs);
}

void Kinetic::EnableKinetic(bool enable)
{
    d->enabled = enable;
}

int Kinetic::GetThreshold() const
{
    return d->threshold;
}

void Kinetic::SetThreshold(int threshold)
{
    if (threshold >= 0)
        d->threshold = threshold;
}

void Kinetic::ResetState()
{
    d->state = 0;
}

bool Kinetic::IsAutoscrolling() const
{
    return d->state == 3;
}

void Kinetic::setAutoscrollPix(int step, int limit)
{
    m_autoscrollStep = step;
    m_autoscrollLimit = limit;
}
