#include "controls/core/ZyrCheckButton.h"

#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QKeyEvent>
#include <QPainter>

ZyrAbstractCheckButton::ZyrAbstractCheckButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ZyrelleControls::ConnectSoundHook(this);
}

ZyrAbstractCheckButton::~ZyrAbstractCheckButton() = default;

void ZyrAbstractCheckButton::onClicked()
{
    emit clicked(objectName());
}

QSize ZyrAbstractCheckButton::minimumSizeHint() const
{
    if (m_pushLook)
        return QWidget::minimumSizeHint();
    QRect bounds = QRect(m_markPosition, m_uncheckedImg.size()).united(QRect(m_markPosition, m_checkedImg.size()));
    QSize hint;
    for (QObject* child : children()) {
        if (QWidget* widget = qobject_cast<QWidget*>(child)) {
            bounds = bounds.united(widget->geometry());
            hint = bounds.size();
        }
    }
    return hint;
}

QPixmap ZyrAbstractCheckButton::currentMark() const
{
    if (isChecked() && !m_checkedImg.isNull())
        return m_checkedImg;
    return m_uncheckedImg;
}

void ZyrAbstractCheckButton::paintMark(QPainter& painter, const QPixmap& mark) const
{
    QPoint at = m_markPosition;
    if (isDown())
        at += m_markShiftOnPress;
    painter.drawPixmap(at, mark);
}

void ZyrAbstractCheckButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintMark(painter, currentMark());
}

void ZyrAbstractCheckButton::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::mouseReleaseEvent(QMouseEvent* event)
{
    QAbstractButton::mouseReleaseEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractButton::mouseMoveEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        // Kept from the button: it would move the check and the focus
        // within the group. The event stays accepted.
        break;
    default:
        QAbstractButton::keyPressEvent(event);
        break;
    }
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::keyReleaseEvent(QKeyEvent* event)
{
    QAbstractButton::keyReleaseEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::focusInEvent(QFocusEvent* event)
{
    QAbstractButton::focusInEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrAbstractCheckButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

ZyrAbstractUsualCheckButton::ZyrAbstractUsualCheckButton(QWidget* parent)
    : ZyrAbstractCheckButton(parent)
{
    m_pushLook = false;
}

ZyrAbstractUsualCheckButton::~ZyrAbstractUsualCheckButton() = default;

ZyrAbstractPushCheckButton::ZyrAbstractPushCheckButton(QWidget* parent)
    : ZyrAbstractCheckButton(parent)
{
    m_markShiftOnPress = m_shiftOnPress;
    m_pushLook = true;
}

ZyrAbstractPushCheckButton::~ZyrAbstractPushCheckButton() = default;

void ZyrAbstractPushCheckButton::setNormal(const QPixmap& image)
{
    m_normal = image;
    if (m_pushLook) {
        setMinimumSize(image.size());
        setMaximumSize(image.size());
        resize(image.size());
    }
}

void ZyrAbstractPushCheckButton::setPressed(const QPixmap& image)
{
    m_pressed = image;
    if (ZyrelleControls::IsKeypadNavigation() && m_focused.isNull())
        m_focused = image;
}

void ZyrAbstractPushCheckButton::setShiftOnPress(const QPoint& shift)
{
    m_shiftOnPress = shift;
    m_markShiftOnPress = shift;
}

void ZyrAbstractPushCheckButton::MoveChildren(const QPoint& offset)
{
    for (QObject* child : children()) {
        if (QWidget* widget = qobject_cast<QWidget*>(child))
            widget->move(widget->geometry().topLeft() + offset);
    }
}

void ZyrAbstractPushCheckButton::paintEvent(QPaintEvent*)
{
    QPixmap background;
    if (isDown() || m_forcedState.testFlag(QStyle::State_Selected)) {
        background = m_pressed.isNull() ? m_normal : m_pressed;
        if (!m_childrenShifted) {
            m_childrenShifted = true;
            MoveChildren(m_shiftOnPress);
        }
    } else {
        if (m_childrenShifted) {
            m_childrenShifted = false;
            MoveChildren(-m_shiftOnPress);
        }
        background = m_normal;
        if (!isEnabled()) {
            if (!m_disabled.isNull())
                background = m_disabled;
        } else if ((hasFocus() || m_forcedState.testFlag(QStyle::State_HasFocus)) && !m_focused.isNull()) {
            background = m_focused;
        }
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, background);
    paintMark(painter, currentMark());
}

ZyrCheckBox::ZyrCheckBox(QWidget* parent)
    : ZyrAbstractUsualCheckButton(parent)
{
    setAutoExclusive(false);
    // Always: a click ends the grayed state, with or without a sound manager.
    connect(this, SIGNAL(clicked()), this, SLOT(onClicked()));
}

ZyrCheckBox::~ZyrCheckBox() = default;

void ZyrCheckBox::onClicked()
{
    m_grayed = false;
}

void ZyrCheckBox::paintEvent(QPaintEvent*)
{
    QPixmap mark = getUncheckedImg();
    if (m_grayed) {
        if (!m_checkedGrayedImg.isNull())
            mark = m_checkedGrayedImg;
    } else if (isChecked() && !getCheckedImg().isNull()) {
        mark = getCheckedImg();
    }
    QPainter painter(this);
    paintMark(painter, mark);
}

ZyrRadioButton::ZyrRadioButton(QWidget* parent)
    : ZyrAbstractUsualCheckButton(parent)
{
    setAutoExclusive(true);
}

ZyrRadioButton::~ZyrRadioButton() = default;

phxCheckBox::phxCheckBox(QWidget* parent)
    : ZyrAbstractUsualCheckButton(parent)
{
    setAutoExclusive(false);
}

phxCheckBox::~phxCheckBox() = default;

phxRadioButton::phxRadioButton(QWidget* parent)
    : ZyrAbstractUsualCheckButton(parent)
{
    setAutoExclusive(true);
}

phxRadioButton::~phxRadioButton() = default;

ZyrPushCheckBox::ZyrPushCheckBox(QWidget* parent)
    : ZyrAbstractPushCheckButton(parent)
{
    setAutoExclusive(false);
}

ZyrPushCheckBox::~ZyrPushCheckBox() = default;

ZyrPushRadioButton::ZyrPushRadioButton(QWidget* parent)
    : ZyrAbstractPushCheckButton(parent)
{
    setAutoExclusive(true);
}

ZyrPushRadioButton::~ZyrPushRadioButton() = default;
