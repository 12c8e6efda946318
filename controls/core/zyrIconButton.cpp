#include "controls/core/zyrIconButton.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

zyrIconButton::zyrIconButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_baseFont(font())
    , m_fittedFont(font())
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

zyrIconButton::~zyrIconButton() = default;

const QPixmap& zyrIconButton::stateImage() const
{
    // A state without its own image shows the normal one.
    if (isDown() && !m_pressed.isNull())
        return m_pressed;
    if (!isDown() && hasFocus() && !m_focused.isNull())
        return m_focused;
    return m_normal;
}

void zyrIconButton::setFont(const QFont& font)
{
    QWidget::setFont(font);
    m_baseFont = font;
    updateText();
}

void zyrIconButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    const QPixmap& state = stateImage();
    const QSize background = state.size().scaled(size(), Qt::KeepAspectRatio);
    m_backgroundRect = QRect(width() / 2 - background.width() / 2, 0, background.width(), background.height());

    if (!m_icon.isNull()) {
        QSize icon = m_icon.size();
        if (state.width() > 0) {
            const float ratio = float(width()) / float(state.width());
            icon = QSize(int(icon.width() * ratio), int(icon.height() * ratio));
        }
        m_iconRect = QRect(QPoint(0, 0), icon);
        m_iconRect.moveCenter(m_backgroundRect.center());
    }
    updateText();
}

void zyrIconButton::updateText()
{
    m_fittedFont = m_baseFont;
    if (!m_showText || text().isEmpty())
        return;
    const QRect measured = QFontMetrics(m_fittedFont).boundingRect(text());
    float ratio = measured.width() > 0 ? float(width()) / float(measured.width()) : 1.0f;
    ratio = std::clamp(ratio, 0.0f, 1.0f);
    // A font given in pixels has no point size: its pixel size scales by the
    // same ratio. Neither goes below 1.
    if (m_baseFont.pointSize() > 0)
        m_fittedFont.setPointSize(std::max(1, int(m_baseFont.pointSize() * ratio)));
    else if (m_baseFont.pixelSize() > 0)
        m_fittedFont.setPixelSize(std::max(1, int(m_baseFont.pixelSize() * ratio)));

    m_textRect = QFontMetrics(m_fittedFont).boundingRect(text());
    m_textRect.moveCenter(QPoint(width() / 2, height() - m_textRect.height() / 2));
}

void zyrIconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QPoint offset = isDown() ? m_clickedOffset : QPoint(0, 0);
    auto moved = [&](const QRect& r) { return r.adjusted(offset.x(), offset.y(), offset.x(), offset.y()); };

    const QPixmap& state = stateImage();
    if (!state.isNull())
        painter.drawPixmap(moved(m_backgroundRect), state);
    if (!m_icon.isNull())
        painter.drawPixmap(moved(m_iconRect), m_icon);
    if (m_showText && !text().isEmpty()) {
        painter.setFont(m_fittedFont);
        painter.drawText(moved(m_textRect), Qt::AlignHCenter | Qt::AlignVCenter, text());
    }
}

QSize zyrIconButton::sizeHint() const
{
    QSize hint(40, 40);
    for (const QPixmap* image : { &m_normal, &m_focused, &m_pressed })
        hint = hint.expandedTo(image->size());
    const QSize textSize = QFontMetrics(m_fittedFont).boundingRect(text()).size();
    if (textSize.height() != 0) {
        hint.setHeight(hint.height() + textSize.height());
        hint = hint.expandedTo(textSize);
    }
    return hint;
}
