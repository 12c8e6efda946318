#include "controls/core/phxPushButton.h"

#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

namespace {

constexpr int kMaxSize = 16777215; // QWIDGETSIZE_MAX
constexpr int kShiftMoveLimit = 10;
constexpr int kDisabledShadeAlpha = 150;

} // namespace

phxPushButton::phxPushButton(QWidget* parent)
    : QPushButton(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_clickSound.setHooked(ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::Full));
}

phxPushButton::~phxPushButton() = default;

void phxPushButton::setAutoResize(bool autoResize)
{
    m_autoResize = autoResize;
    if (autoResize)
        resizeToImage();
    else
        setMaximumSize(kMaxSize, kMaxSize);
}

void phxPushButton::setNormal(const QPixmap& image)
{
    m_normal = image;
    if (m_autoResize)
        resizeToImage();
}

void phxPushButton::setPressed(const QPixmap& image)
{
    m_pressed = image;
}

void phxPushButton::setFocused(const QPixmap& image)
{
    m_focused = image;
}

void phxPushButton::setDisabled(const QPixmap& image)
{
    m_disabled = image;
}

void phxPushButton::setShiftOnPress(const QPoint& shift)
{
    m_shiftOnPress = shift;
}

void phxPushButton::setEventPropagation(bool propagate)
{
    m_eventPropagation = propagate;
}

void phxPushButton::setEnableClickSound(bool enable)
{
    m_clickSound.setEnabled(this, enable);
}

void phxPushButton::resizeToImage()
{
    if (m_normal.isNull() || m_normal.width() <= 0 || m_normal.height() <= 0)
        return;
    setMinimumSize(m_normal.size());
    setMaximumSize(kMaxSize, kMaxSize);
    resize(m_normal.size());
}

QSize phxPushButton::sizeHint() const
{
    return m_normal.isNull() ? QPushButton::sizeHint() : m_normal.size();
}

void phxPushButton::SetState(QStyle::State state)
{
    m_forcedState = state;
}

void phxPushButton::setDNPixmapSTR(bool reload, QString normal, QString pressed, QString focused, QString disabled)
{
    m_reloadLAF = reload;
    m_normalPath = normal;
    m_pressedPath = pressed;
    m_focusedPath = focused;
    m_disabledPath = disabled;
}

void phxPushButton::setShiftMove(bool shiftMove)
{
    m_shiftMove = shiftMove;
}

void phxPushButton::setRotateAngle(int angle)
{
    m_rotateAngle = angle;
}

void phxPushButton::onClicked()
{
    m_clickSound.beforeClick(this);
    emit clicked(objectName());
}

void phxPushButton::OnLAFChanged(int kind, QString)
{
    if (!m_reloadLAF || kind != 2)
        return;
    m_normal = QPixmap(m_normalPath);
    if (m_autoResize)
        resizeToImage();
    m_pressed = QPixmap(m_pressedPath);
    m_focused = QPixmap(m_focusedPath);
    m_disabled = QPixmap(m_disabledPath);
    update();
}

void phxPushButton::MoveChildren(const QPoint& offset)
{
    for (QObject* child : children()) {
        if (QWidget* w = qobject_cast<QWidget*>(child))
            w->move(w->pos() + offset);
    }
}

void phxPushButton::propagate(QEvent* event) const
{
    if (m_eventPropagation)
        event->ignore();
}

void phxPushButton::mousePressEvent(QMouseEvent* event)
{
    m_pressGlobal = event->globalPos();
    QPushButton::mousePressEvent(event);
    propagate(event);
}

void phxPushButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint moved = event->globalPos() - m_pressGlobal;
    if (m_shiftMove && (std::abs(moved.x()) >= kShiftMoveLimit || std::abs(moved.y()) >= kShiftMoveLimit)) {
        // Handed over outside the button: the release ends the press without
        // a click.
        const QPoint outside(-1, -1);
        QMouseEvent away(event->type(), outside, mapToGlobal(outside), event->button(), event->buttons(),
            event->modifiers());
        QPushButton::mouseReleaseEvent(&away);
        event->setAccepted(away.isAccepted());
    } else {
        QPushButton::mouseReleaseEvent(event);
    }
    propagate(event);
}

void phxPushButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    propagate(event);
}

void phxPushButton::keyPressEvent(QKeyEvent* event)
{
    QPushButton::keyPressEvent(event);
    propagate(event);
}

void phxPushButton::keyReleaseEvent(QKeyEvent* event)
{
    QPushButton::keyReleaseEvent(event);
    propagate(event);
}

void phxPushButton::focusInEvent(QFocusEvent* event)
{
    QPushButton::focusInEvent(event);
    propagate(event);
}

void phxPushButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    propagate(event);
}

void phxPushButton::paintEvent(QPaintEvent* event)
{
    const bool noImages = m_normal.isNull() && m_pressed.isNull() && m_focused.isNull() && m_disabled.isNull();
    if (noImages) {
        QPushButton::paintEvent(event);
    } else {
        QPixmap image = m_normal;
        if (!isEnabled()) {
            if (!m_disabled.isNull())
                image = m_disabled;
        } else if (hasFocus() || (m_forcedState & QStyle::State_HasFocus)) {
            // With keypad navigation the pressed image stands in for a
            // missing focused one.
            QPixmap focused = m_focused;
            if (focused.isNull() && ZyrelleControls::IsKeypadNavigation())
                focused = m_pressed;
            if (!focused.isNull())
                image = focused;
        }
        if (isDown() || (m_forcedState & QStyle::State_Selected)) {
            if (!m_childrenShifted) {
                MoveChildren(m_shiftOnPress);
                m_childrenShifted = true;
            }
            if (!m_pressed.isNull())
                image = m_pressed;
        } else if (m_childrenShifted) {
            MoveChildren(-m_shiftOnPress);
            m_childrenShifted = false;
        }

        const QPoint at = m_autoResize
            ? QPoint(0, 0)
            : QPoint((width() - image.width()) / 2, (height() - image.height()) / 2);
        if (!image.isNull()) {
            QPainter painter(this);
            if (m_rotateAngle != 0) {
                const QPoint centre((width() + 1) / 2, (height() + 1) / 2);
                painter.save();
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.translate(centre);
                painter.rotate(m_rotateAngle);
                painter.translate(-centre);
                painter.drawPixmap(at, image);
                painter.restore();
            } else {
                painter.drawPixmap(at, image);
            }
            painter.drawText(rect(), Qt::AlignCenter, text());
        }
    }
    if (!isEnabled() && m_disabled.isNull()) {
        QPainter shade(this);
        shade.fillRect(rect(), QColor(0, 0, 0, kDisabledShadeAlpha));
    }
}
