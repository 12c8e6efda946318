#include "controls/instruments/ZyrMapControl.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/instruments/IMapView.h"

#include <QCoreApplication>
#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {

const int kLongPressMs = 701;
const int kKeyRepeatMs = 100;
// A press may wander this far in x and y and still be a tap or a long press.
const int kTapTolerance = 9;
const int kLoupeMaxDiameter = 229;
// The loupe shows this square of the map, centred under the loupe's centre.
const int kLoupeSource = 101;
const QColor kLoupeEdge(164, 164, 175, 200);

bool isArrowKey(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

} // namespace

ZyrMapControl::ZyrMapControl(QWidget* parent)
    : QWidget(parent)
{
    qDebug().nospace() << "Create " << this;
    setFocusPolicy(Qt::WheelFocus);
    ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
    if (ZyrelleControls::IsKeypadNavigation()) {
        m_keyRepeatTimer = new QTimer(this);
        connect(m_keyRepeatTimer, SIGNAL(timeout()), this, SLOT(OnRepeatKeyTimer()));
    }
}

ZyrMapControl::~ZyrMapControl()
{
    qDebug().nospace() << "Destroy " << this;
    if (m_mapView)
        m_mapView->Detach(this);
    if (m_keyRepeatTimer) {
        m_keyRepeatTimer->stop();
        delete m_keyRepeatTimer;
        m_keyRepeatTimer = nullptr;
    }
}

void ZyrMapControl::SetMapViewInterface(IMapView* mapView)
{
    qDebug().nospace() << "Set " << this << " " << static_cast<void*>(mapView);
    if (m_mapView)
        m_mapView->Detach(this);
    m_mapView = mapView;
    if (m_mapView) {
        m_mapView->Attach(this);
        m_mapView->SetRect(rect());
    }
}

// ---- keys

void ZyrMapControl::keyPressEvent(QKeyEvent* event)
{
    if (m_mapView)
        m_mapView->KeyPressEvent(event);
    if (m_keyRepeatTimer && ZyrelleControls::IsKeypadNavigation() && isArrowKey(event->key())
        && !m_keyRepeatTimer->isActive()) {
        m_repeatKey = event->key();
        m_keyRepeatTimer->start(ZyrelleControls::Internal::ScaledDuration(kKeyRepeatMs));
    }
    QWidget::keyPressEvent(event);
}

void ZyrMapControl::keyReleaseEvent(QKeyEvent* event)
{
    if (!event->isAutoRepeat()) {
        if (m_keyRepeatTimer && m_keyRepeatTimer->isActive()) {
            m_keyRepeatTimer->stop();
            m_repeatKey = -1;
        }
        if (m_mapView)
            m_mapView->KeyReleaseEvent(event);
    }
    QWidget::keyReleaseEvent(event);
}

void ZyrMapControl::OnRepeatKeyTimer()
{
    if (m_repeatKey == -1)
        return;
    QKeyEvent press(QEvent::KeyPress, m_repeatKey, Qt::NoModifier, QString(), false, 1);
    QCoreApplication::sendEvent(this, &press);
}

// ---- mouse

void ZyrMapControl::mousePressEvent(QMouseEvent* event)
{
    m_pressed = true;
    m_longPressPossible = true;
    m_pressPos = event->pos();
    m_currentPos = event->pos();
    m_longPressTimer.start(ZyrelleControls::Internal::ScaledDuration(kLongPressMs), this);
    if (m_mapView)
        m_mapView->MousePressEvent(event);
    m_clickPending = true;
}

void ZyrMapControl::mouseMoveEvent(QMouseEvent* event)
{
    if (m_magnifier) {
        m_currentPos = event->pos();
        update();
        return;
    }
    if (m_pressed && m_longPressPossible) {
        m_clickPending = false;
        const QPoint offset = event->pos() - m_pressPos;
        if (std::abs(offset.x()) > kTapTolerance || std::abs(offset.y()) > kTapTolerance) {
            m_longPressPossible = false;
            m_longPressTimer.stop();
        }
        return;
    }
    if (m_mapView)
        m_mapView->MouseMoveEvent(event);
}

void ZyrMapControl::timerEvent(QTimerEvent*)
{
    // Only a press still held in place can become a long press: a stray
    // timer event at rest would leave the loupe up with no release to take
    // it down, and one during a drag would freeze the drag.
    if (!m_pressed || !m_longPressPossible || m_magnifier)
        return;
    m_magnifier = true;
    m_longPressTimer.stop();
    if (m_mapView) {
        QMouseEvent press(QEvent::MouseButtonPress, m_pressPos, mapToGlobal(m_pressPos), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        m_mapView->LongPressEvent(&press);
    }
    update();
}

void ZyrMapControl::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    m_longPressPossible = false;
    m_longPressTimer.stop();
    if (m_magnifier) {
        m_magnifier = false;
        event->accept();
        update();
        if (m_mapView) {
            QMouseEvent release(QEvent::MouseButtonRelease, m_pressPos, mapToGlobal(m_pressPos), Qt::LeftButton,
                Qt::NoButton, Qt::NoModifier);
            m_mapView->MouseReleaseEvent(&release);
        }
    } else if (m_mapView) {
        m_mapView->MouseReleaseEvent(event);
    }
    if (m_clickPending) {
        m_clickPending = false;
        emit clicked(objectName());
    }
}

void ZyrMapControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_mapView)
        m_mapView->MouseDoubleClickEvent(event);
    QWidget::mouseDoubleClickEvent(event);
}

// ---- the engine's size and visibility

void ZyrMapControl::showEvent(QShowEvent*)
{
    if (m_mapView)
        m_mapView->Show(this);
}

void ZyrMapControl::hideEvent(QHideEvent*)
{
    if (m_mapView)
        m_mapView->Hide(this);
}

void ZyrMapControl::enterEvent(QEvent*) {}

void ZyrMapControl::leaveEvent(QEvent*) {}

void ZyrMapControl::resizeEvent(QResizeEvent*)
{
    if (m_mapView)
        m_mapView->SetRect(rect());
}

// ---- painting

void ZyrMapControl::paintEvent(QPaintEvent* event)
{
    if (!m_mapView)
        return;
    QPainter painter(this);
    const QRect area = event->rect();
    const QPixmap picture = m_mapView->Render(area);
    if (!picture.isNull())
        painter.drawPixmap(area, picture, area);

    if (ZyrelleControls::IsKeypadNavigation()) {
        QPoint pan;
        if (m_mapView->GetPanCursor(&pan)) {
            painter.drawPixmap(pan - QPoint(m_panCursor.width() / 2, m_panCursor.height() / 2), m_panCursor);
        } else {
            const QPoint at = m_mapView->GetCursorPosition();
            painter.drawPixmap(at - QPoint(m_cursor.width() / 2, m_cursor.height() / 2), m_cursor);
        }
    }

    if (!picture.isNull() && m_magnifier)
        drawMagnifier(painter, picture);
}

void ZyrMapControl::drawMagnifier(QPainter& painter, const QPixmap& picture)
{
    const int diameter = std::min(2 * std::min(width(), height()) / 3, kLoupeMaxDiameter);
    const int d = diameter / 2;
    if (diameter <= 0)
        return;

    if (m_loupeRing.size() != QSize(diameter, diameter)) {
        m_loupeRing = QPixmap(diameter, diameter);
        m_loupeRing.fill(Qt::transparent);
        QRadialGradient gradient(QPointF(d, d), d, QPointF(d, d));
        gradient.setColorAt(0.7, QColor(255, 255, 255, 0));
        gradient.setColorAt(1.0, kLoupeEdge);
        QPainter ring(&m_loupeRing);
        ring.setRenderHint(QPainter::Antialiasing);
        ring.setCompositionMode(QPainter::CompositionMode_Source);
        ring.setPen(Qt::NoPen);
        ring.setBrush(gradient);
        ring.drawRect(m_loupeRing.rect());
        ring.setBrush(Qt::transparent);
        ring.drawEllipse(QPointF(d, d), 1, 1);
    }

    const QPoint centre = m_currentPos + QPoint(0, -d + diameter / 4);

    if (m_magnified.size() != QSize(diameter, diameter))
        m_magnified = QPixmap(diameter, diameter);
    // The square under the loupe is copied on every paint: the engine may
    // have moved the map since the last one. Where the square leaves the
    // picture the loupe stays grey.
    m_magnified.fill(Qt::lightGray);
    {
        const int half = kLoupeSource / 2;
        const QRect source(centre - QPoint(half, half), QSize(kLoupeSource, kLoupeSource));
        const QRect shown = source & picture.rect();
        if (!shown.isEmpty()) {
            const qreal scale = qreal(diameter) / kLoupeSource;
            const QRectF target((shown.x() - source.x()) * scale, (shown.y() - source.y()) * scale,
                shown.width() * scale, shown.height() * scale);
            QPainter magnified(&m_magnified);
            magnified.drawPixmap(target, picture, QRectF(shown));
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addEllipse(QPointF(centre), d - 15, d - 15);
    painter.setClipPath(clip);
    const QPoint topLeft = centre - QPoint(d, d);
    painter.drawPixmap(topLeft, m_magnified);
    painter.drawPixmap(topLeft, m_loupeRing);
    painter.setClipping(false);
    painter.setPen(QPen(kLoupeEdge));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(centre), d - 15, d - 15);
    painter.restore();
}
