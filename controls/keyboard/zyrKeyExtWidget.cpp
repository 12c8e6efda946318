#include "controls/keyboard/zyrKeyExtWidget.h"

#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/ZyrFlowLayout.h"
#include "controls/keyboard/zyrKeyButton.h"

#include <QLinearGradient>
#include <QPainter>

zyrKeyExtWidget::zyrKeyExtWidget(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);

    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, QColor(255, 255, 255, 128));
    gradient.setColorAt(0.5, QColor(255, 255, 255, 200));
    gradient.setColorAt(1, QColor(255, 255, 255, 128));
    m_background = QBrush(gradient);

    m_layout = new ZyrFlowLayout(-1, -1, -1);
    m_layout->setContentsMargins(m_roundRadius, m_roundRadius, m_roundRadius, m_roundRadius);
    m_layout->QLayout::setSpacing(m_spacing);
    setLayout(m_layout);
}

zyrKeyExtWidget::~zyrKeyExtWidget()
{
    clearButtons();
}

void zyrKeyExtWidget::setRoundRadius(int radius)
{
    m_roundRadius = radius;
    if (m_layout)
        m_layout->setContentsMargins(radius, radius, radius, radius);
}

void zyrKeyExtWidget::setSpacing(int spacing)
{
    m_spacing = spacing;
    if (m_layout)
        m_layout->QLayout::setSpacing(spacing);
}

void zyrKeyExtWidget::setExtChars(QString chars)
{
    clearButtons();
    for (int i = 0; i < chars.size(); ++i) {
        // A surrogate pair is one character and one button.
        const int length = (chars.at(i).isHighSurrogate() && i + 1 < chars.size() && chars.at(i + 1).isLowSurrogate()) ? 2 : 1;
        addChar(chars.mid(i, length));
        i += length - 1;
    }
}

void zyrKeyExtWidget::addChar(QString ch)
{
    auto* button = new zyrKeyButton(this);
    button->setKeyStringLower(ch);
    QFont font = button->font();
    font.setPointSize(16);
    button->setFont(font);
    connect(button, SIGNAL(clicked(QString)), this, SIGNAL(clicked(QString)));
    if (ZyrelleControls::IsKeypadNavigation()) {
        // One row of 20 x 26 cells inside a 10-pixel border, placed by hand.
        button->setRoundRadius(0);
        button->setGeometry(10 + 20 * m_buttons.size(), 10, 20, 26);
    } else if (m_layout) {
        m_layout->addWidget(button);
    }
    m_buttons.append(button);
}

void zyrKeyExtWidget::clearButtons()
{
    for (const QPointer<zyrKeyButton>& button : m_buttons)
        if (button)
            disconnect(button, SIGNAL(clicked(QString)), this, SIGNAL(clicked(QString)));
    if (m_layout)
        while (QLayoutItem* item = m_layout->takeAt(0))
            delete item;
    // A refilled pop-up shows only its new characters.
    const QVector<QPointer<zyrKeyButton>> old = m_buttons;
    m_buttons.clear();
    for (const QPointer<zyrKeyButton>& button : old)
        delete button.data();
}

void zyrKeyExtWidget::processKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Return:
        for (const QPointer<zyrKeyButton>& button : m_buttons) {
            if (button && button->isHasFocus()) {
                button->click();
                break;
            }
        }
        if (!m_buttons.isEmpty() && m_buttons.first()) {
            m_buttons.first()->setHasFocus(true);
            update();
        }
        break;
    case Qt::Key_Left:
        moveHighlight(true);
        break;
    case Qt::Key_Right:
        moveHighlight(false);
        break;
    default:
        break;
    }
}

void zyrKeyExtWidget::moveHighlight(bool left)
{
    const int count = m_buttons.size();
    int index = -1;
    for (int i = 0; i < count; ++i) {
        if (m_buttons.at(i) && m_buttons.at(i)->isHasFocus()) {
            index = i;
            break;
        }
    }
    int next = 0;
    if (index >= 0) {
        if (left) {
            next = index - 1;
            if (next < 0)
                next = count - 1;
        } else {
            next = index + 1;
            if (next >= count)
                next = 0;
        }
        m_buttons.at(index)->setHasFocus(false);
    }
    if (next < count && m_buttons.at(next))
        m_buttons.at(next)->setHasFocus(true);
    update();
}

QSize zyrKeyExtWidget::sizeHint() const
{
    return m_layout ? m_layout->sizeHint() : QWidget::sizeHint();
}

void zyrKeyExtWidget::mouseReleaseEvent(QMouseEvent*)
{
    close();
}

void zyrKeyExtWidget::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        if (m_normalXBmp.isNull()) {
            painter.setBrush(m_background);
            painter.setPen(Qt::NoPen);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.drawRoundedRect(rect(), qreal(m_roundRadius), qreal(m_roundRadius), Qt::AbsoluteSize);
        } else {
            painter.drawPixmap(rect(), m_normalXBmp);
        }
    }
    QWidget::paintEvent(event);
}
