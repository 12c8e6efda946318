#include "controls/core/ZyrPushButton.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <cstdlib>

namespace {

const int kMovedDistance = 15;
const int kListPressDelayMs = 1200;

bool movedApart(const QPoint& a, const QPoint& b)
{
    return std::abs(a.x() - b.x()) >= kMovedDistance || std::abs(a.y() - b.y()) >= kMovedDistance;
}

} // namespace

ZyrPushButton::ZyrPushButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ZyrelleControls::ConnectSoundHook(this);
}

ZyrPushButton::~ZyrPushButton() = default;

void ZyrPushButton::setPressed(const QPixmap& image)
{
    m_pressed = image;
    if (ZyrelleControls::IsKeypadNavigation() && m_focused.isNull())
        m_focused = image;
}

void ZyrPushButton::resizeToImage()
{
    QSize size(-1, -1);
    for (const QPixmap* image : { &m_normal, &m_pressed, &m_focused, &m_disabled }) {
        if (!image->isNull())
            size = size.expandedTo(image->size());
    }
    if (size.width() > 0 && size.height() > 0) {
        setMinimumSize(size);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(size);
    }
}

QSize ZyrPushButton::sizeHint() const
{
    return m_normal.isNull() ? QWidget::sizeHint() : m_normal.size();
}

void ZyrPushButton::onClicked()
{
    emit clicked(objectName());
}

void ZyrPushButton::MoveChildren(const QPoint& offset)
{
    for (QObject* child : children()) {
        if (QWidget* widget = qobject_cast<QWidget*>(child))
            widget->move(widget->geometry().topLeft() + offset);
    }
}

void ZyrPushButton::paintEvent(QPaintEvent*)
{
    QPixmap image = m_normal;
    if (!isEnabled()) {
        if (!m_disabled.isNull())
            image = m_disabled;
    } else if ((hasFocus() || m_forcedState.testFlag(QStyle::State_HasFocus)) && !m_focused.isNull()) {
        image = m_focused;
    }
    if (isDown() || m_forcedState.testFlag(QStyle::State_Selected)) {
        if (!m_pressed.isNull())
            image = m_pressed;
        if (!m_childrenShifted) {
            m_childrenShifted = true;
            MoveChildren(m_shiftOnPress);
        }
    } else if (m_childrenShifted) {
        m_childrenShifted = false;
        MoveChildren(-m_shiftOnPress);
    }
    if (image.isNull())
        return;
    // Arithmetic shifts: an image wider than the button gets a negative,
    // floor-rounded offset.
    const int x = (width() - image.width()) >> 1;
    const int y = (height() - image.height()) >> 1;
    QPainter painter(this);
    painter.drawPixmap(x, y, image);
}

QMouseEvent ZyrPushButton::outsideCopy(const QMouseEvent& event)
{
    return QMouseEvent(event.type(), QPointF(-1, -1), event.screenPos(), event.button(), event.buttons(),
        event.modifiers());
}

void ZyrPushButton::mousePressEvent(QMouseEvent* event)
{
    m_pressOrigin = event->globalPos() - event->pos();
    QAbstractButton::mousePressEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint origin = event->globalPos() - event->pos();
    if (movedApart(origin, m_pressOrigin)) {
        QMouseEvent outside = outsideCopy(*event);
        QAbstractButton::mouseReleaseEvent(&outside);
    } else {
        QAbstractButton::mouseReleaseEvent(event);
    }
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractButton::mouseMoveEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::keyPressEvent(QKeyEvent* event)
{
    QAbstractButton::keyPressEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::keyReleaseEvent(QKeyEvent* event)
{
    QAbstractButton::keyReleaseEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrPushButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

ZyrListButton::ZyrListButton(QWidget* parent)
    : ZyrPushButton(parent)
    , m_delayedPress(new QTimer(this))
{
    if (parent)
        setFocusProxy(parent);
    // One pending press at a time: a new press restarts the wait.
    m_delayedPress->setSingleShot(true);
    connect(m_delayedPress, SIGNAL(timeout()), this, SLOT(onDelayedMousePress()));
}

ZyrListButton::~ZyrListButton() = default;

void ZyrListButton::onListItemClicked()
{
    click();
}

bool ZyrListButton::inScrollingList() const
{
    QListWidget* list = nullptr;
    for (QWidget* ancestor = parentWidget(); ancestor && !list; ancestor = ancestor->parentWidget())
        list = qobject_cast<QListWidget*>(ancestor);
    if (!list)
        return false;
    const QScrollBar* bar = list->verticalScrollBar();
    return bar && bar->minimum() != bar->maximum();
}

void ZyrListButton::mousePressEvent(QMouseEvent* event)
{
    if (!inScrollingList()) {
        QAbstractButton::mousePressEvent(event);
    } else {
        m_pressPosition = geometry().topLeft();
        m_released = false;
        m_delayedPress->start(ZyrelleControls::Internal::ScaledDuration(kListPressDelayMs));
        m_forcedState = QStyle::State_Selected;
        update();
    }
    if (eventPropagation())
        event->ignore();
}

void ZyrListButton::onDelayedMousePress()
{
    if (m_released || movedApart(geometry().topLeft(), m_pressPosition))
        return;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), mapToGlobal(QPoint(0, 0)), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QAbstractButton::mousePressEvent(&press);
}

void ZyrListButton::mouseMoveEvent(QMouseEvent* event)
{
    // Every move goes to the list, which may flick.
    event->ignore();
}

void ZyrListButton::mouseReleaseEvent(QMouseEvent* event)
{
    m_released = true;
    m_delayedPress->stop();
    QMouseEvent outside = outsideCopy(*event);
    QAbstractButton::mouseReleaseEvent(&outside);
    if (eventPropagation())
        event->ignore();
    m_forcedState = QStyle::State_HasFocus;
    update();
}
