#include "controls/keyboard/zyrKeyButton.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace {

QBrush verticalGradient(const QColor& top, const QColor& bottom)
{
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return QBrush(gradient);
}

} // namespace

zyrKeyButton::zyrKeyButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // The keypad look is fixed when the key is built.
    m_normalBkgd = ZyrelleControls::IsKeypadNavigation()
        ? verticalGradient(QColor(255, 237, 138, 100), QColor(255, 255, 255, 100))
        : verticalGradient(QColor(128, 128, 128, 100), QColor(255, 255, 255, 100));
    m_pressedBkgd = verticalGradient(QColor(236, 132, 38, 200), QColor(255, 255, 128, 200));

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_longPressTimer.setSingleShot(true);

    connect(this, SIGNAL(clicked()), this, SLOT(keyClicked()));
    // The second code goes before the extended characters.
    connect(&m_longPressTimer, SIGNAL(timeout()), this, SLOT(theOtherCtrlKey()));
    connect(&m_longPressTimer, SIGNAL(timeout()), this, SLOT(popupExtChars()));
    ZyrelleControls::ConnectSoundSignal(this, SIGNAL(playSound(const QString&)));
}

zyrKeyButton::~zyrKeyButton() = default;

void zyrKeyButton::setButtonType(ButtonType type)
{
    m_buttonType = type;
    emit keyTypeChanged(int(type));
}

void zyrKeyButton::setKeyStringUpper(const QString& text)
{
    m_keyStringUpper = text;
    emit keyStrUpperChanged(m_keyStringUpper);
}

void zyrKeyButton::setKeyStringLower(const QString& text)
{
    m_keyStringLower = text;
    emit keyStrLowerChanged(m_keyStringLower);
}

QString zyrKeyButton::currentChar(const QString& keyString)
{
    if (keyString.isEmpty())
        return keyString;
    m_charIndex = qBound(0, m_charIndex, int(keyString.size()) - 1);
    return QString(keyString.at(m_charIndex));
}

QString zyrKeyButton::currentKSUpper()
{
    return currentChar(m_keyStringUpper);
}

QString zyrKeyButton::currentKSLower()
{
    return currentChar(m_keyStringLower);
}

void zyrKeyButton::setShiftState(bool on)
{
    m_shiftState = on;
    const QString current = currentKeyString();
    if (current.isEmpty() || m_charIndex < 0 || m_charIndex >= current.size())
        return;
    setText(m_hasExtChar ? QString(current.at(m_charIndex)) : current);
}

QString zyrKeyButton::getExtChars() const
{
    if (m_buttonType != Regular || !m_hasExtChar)
        return QString();
    return currentKeyString();
}

QSize zyrKeyButton::sizeHint() const
{
    QFontMetrics metrics(font());
    QSize size(3 * metrics.horizontalAdvance(QLatin1Char('X')), 2 * metrics.height());
    size = size.expandedTo(m_normalBmp.size());
    size = size.expandedTo(m_focusedBmp.size());
    size = size.expandedTo(m_pressedBmp.size());
    return size;
}

void zyrKeyButton::keyClicked()
{
    emit playSound(objectName());
    switch (m_buttonType) {
    case Regular: {
        const QString current = currentKeyString();
        if (m_extCharsSent) {
            // The hold offered the whole string; its release types nothing.
            m_extCharsSent = false;
        } else if (!current.isEmpty() && m_charIndex >= 0 && m_charIndex < current.size()) {
            emit clicked(m_hasExtChar ? QString(current.at(m_charIndex)) : current);
        }
        break;
    }
    case Control:
        if (m_secondKeySent)
            m_secondKeySent = false;
        else
            emit clicked(int(m_keyCode));
        break;
    case Paging:
        if (!m_keys.isEmpty())
            emit clicked(m_keys);
        break;
    }
    if (!m_desiredFocus.isEmpty())
        emit setFocusByName(m_desiredFocus);
}

void zyrKeyButton::theOtherCtrlKey()
{
    if (m_buttonType != Control || m_secondKeyCode == Qt::Key_unknown)
        return;
    m_secondKeySent = true;
    emit clicked(int(m_secondKeyCode));
}

void zyrKeyButton::popupExtChars()
{
    if (m_buttonType != Regular || !m_hasExtChar)
        return;
    const QString current = currentKeyString();
    if (current.isEmpty())
        return;
    m_extCharsSent = true;
    emit extendedChars(current);
}

void zyrKeyButton::mousePressEvent(QMouseEvent* event)
{
    // A hold that ended off the key produced no tap to consume its marks;
    // they belong to that press only.
    m_secondKeySent = false;
    m_extCharsSent = false;
    m_longPressTimer.start(ZyrelleControls::Internal::ScaledDuration(kLongPressMs));
    QAbstractButton::mousePressEvent(event);
}

void zyrKeyButton::mouseReleaseEvent(QMouseEvent* event)
{
    m_longPressTimer.stop();
    QAbstractButton::mouseReleaseEvent(event);
}

void zyrKeyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();

    const QRect whole = rect();
    auto drawBrush = [&](const QBrush& brush) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(brush);
        painter.drawRoundedRect(whole, m_roundRadius, m_roundRadius, Qt::AbsoluteSize);
    };
    auto drawBitmapOr = [&](const QPixmap& bmp, const QBrush& brush) {
        if (!bmp.isNull())
            painter.drawPixmap(whole, bmp);
        else
            drawBrush(brush);
    };

    if (isDown()) {
        drawBitmapOr(m_pressedBmp, m_pressedBkgd);
    } else if (!ZyrelleControls::IsKeypadNavigation() && m_buttonType == Control && m_keyCode == Qt::Key_Shift
        && m_shiftState) {
        if (!m_toggledBmp.isNull())
            painter.drawPixmap(whole, m_toggledBmp);
    } else if (hasFocus() || m_hasFocusMark) {
        drawBitmapOr(m_focusedBmp, m_pressedBkgd);
    } else {
        drawBitmapOr(m_normalBmp, m_normalBkgd);
    }

    if (!icon().isNull()) {
        const QPixmap pixmap = icon().pixmap(size(), isEnabled() ? QIcon::Normal : QIcon::Disabled, QIcon::Off);
        painter.drawPixmap(whole, pixmap);
    }
    painter.restore();

    if (!text().isEmpty()) {
        QRect textRect = whole;
        if (isDown()) {
            textRect.setLeft(textRect.left() + m_clickedOffset.x());
            textRect.setTop(textRect.top() + m_clickedOffset.y());
        }
        painter.drawText(textRect, Qt::AlignCenter, text());
    }
}

void zyrKeyButton::showEvent(QShowEvent* event)
{
    setShiftState(m_shiftState);
    QAbstractButton::showEvent(event);
}
