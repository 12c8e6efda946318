#include "controls/core/ZyrPopup.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

int heightOf(const QPixmap& image)
{
    return image.isNull() ? 0 : image.height();
}

// Tiles the image over the rectangle, the pattern starting at its corner.
void tile(QPainter& painter, const QRect& area, const QPixmap& image)
{
    painter.save();
    painter.setBrushOrigin(area.topLeft());
    painter.fillRect(area, QBrush(image));
    painter.restore();
}

} // namespace

ZyrPopup::ZyrPopup(QWidget* parent)
    : QWidget(parent)
{
}

ZyrPopup::~ZyrPopup() = default;

void ZyrPopup::takeWidth(const QPixmap& image)
{
    if (m_width == 0)
        m_width = image.width();
}

void ZyrPopup::setImageTop(const QPixmap& image)
{
    m_top = image;
    takeWidth(image);
}

void ZyrPopup::setImageFill(const QPixmap& image)
{
    m_fill = image;
    takeWidth(image);
}

void ZyrPopup::setImageBottom(const QPixmap& image)
{
    m_bottom = image;
    takeWidth(image);
}

void ZyrPopup::setClientAreaHeight(int height)
{
    m_clientHeight = std::min(height, clientMaxHeight());
}

QRect ZyrPopup::frameRect() const
{
    const int T = heightOf(m_top);
    const int total
        = m_clientHeight + T + 2 * m_margins + (m_bottom.isNull() ? 0 : m_bottom.height() - m_footerShift);
    // Halves truncate toward zero.
    return QRect((width() - m_width) / 2, (height() - total) / 2, m_width, total);
}

QRect ZyrPopup::clientRect() const
{
    QRect client = frameRect();
    if (!m_top.isNull())
        client.setTop(client.top() + m_top.height() + m_margins);
    if (!m_bottom.isNull())
        client.setBottom(client.bottom() + m_footerShift - m_bottom.height());
    client.setBottom(client.bottom() - m_margins);
    return client;
}

int ZyrPopup::clientMaxHeight() const
{
    int max = height() - 2 * m_margins;
    if (!m_top.isNull())
        max -= m_top.height();
    if (!m_bottom.isNull())
        max += m_footerShift - m_bottom.height();
    return max;
}

void ZyrPopup::UseScreenshotBkgd(QWidget* source)
{
    m_screenshotSource = source;
    PrepareScreenshotBkgd();
}

void ZyrPopup::PrepareScreenshotBkgd()
{
    if (!m_screenshot.isNull() || !m_screenshotSource)
        return;
    QWidget* window = m_screenshotSource->window();
    const QPoint at = m_screenshotSource->mapTo(window, QPoint(0, 0));
    m_screenshot = window->grab(QRect(at, size()));
    if (!m_brush.isNull()) {
        QPainter painter(&m_screenshot);
        painter.fillRect(m_screenshot.rect(), QBrush(m_brush));
    }
}

void ZyrPopup::paintEvent(QPaintEvent*)
{
    m_popupRect = frameRect();
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    if (!m_screenshot.isNull())
        painter.drawPixmap(0, 0, m_screenshot);
    else if (!m_brush.isNull())
        painter.fillRect(rect(), QBrush(m_brush));

    const QRect& frame = m_popupRect;
    int y = frame.top();
    if (!m_top.isNull()) {
        painter.drawPixmap(frame.topLeft(), m_top);
        y += m_top.height();
    }
    if (!m_fill.isNull()) {
        const int fillHeight = m_bottom.isNull() ? frame.bottom() + 1 - y
                                                 : 2 * m_margins + m_clientHeight - m_footerShift;
        tile(painter, QRect(frame.left(), y, m_width, fillHeight), m_fill);
        y += fillHeight;
    }
    if (!m_bottom.isNull())
        painter.drawPixmap(frame.left(), y, m_bottom);
}

phxPopup::phxPopup(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

phxPopup::~phxPopup() = default;

void phxPopup::takeWidth(const QPixmap& image)
{
    if (m_width == 0)
        m_width = image.width();
}

void phxPopup::setImageTop(const QPixmap& image)
{
    m_top = image;
    takeWidth(image);
}

void phxPopup::setImageFill(const QPixmap& image)
{
    m_fill = image;
    takeWidth(image);
}

void phxPopup::setImageBottom(const QPixmap& image)
{
    m_bottom = image;
    takeWidth(image);
}

void phxPopup::setClientAreaHeight(int height)
{
    m_clientHeight = std::min(height, clientMaxHeight());
}

QRect phxPopup::frameRect() const
{
    const int total = m_clientHeight + heightOf(m_top) + heightOf(m_bottom);
    // Arithmetic shifts: halves round toward minus infinity.
    return QRect((width() - m_width) >> 1, (height() - total) >> 1, m_width, total);
}

QRect phxPopup::clientRect() const
{
    QRect client = frameRect();
    client.setTop(client.top() + heightOf(m_top));
    client.setBottom(client.bottom() - heightOf(m_bottom));
    return client;
}

int phxPopup::clientMaxHeight() const
{
    return height() - heightOf(m_top) - heightOf(m_bottom) - 32;
}

void phxPopup::paintEvent(QPaintEvent*)
{
    m_popupRect = frameRect();
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    if (!m_brush.isNull())
        painter.fillRect(rect(), QBrush(m_brush));

    const QRect& frame = m_popupRect;
    int y = frame.top();
    if (!m_top.isNull()) {
        painter.drawPixmap(frame.topLeft(), m_top);
        y += m_top.height();
    }
    if (!m_fill.isNull()) {
        const int fillHeight = m_bottom.isNull() ? frame.bottom() + 1 - y : m_clientHeight;
        const QRect fill(frame.left(), y, m_width, fillHeight);
        tile(painter, fill, m_fill);
        // The bottom piece starts on the fill's last row.
        y = fill.bottom();
    }
    if (!m_bottom.isNull())
        painter.drawPixmap(frame.left(), y, m_bottom);
}

void phxPopup::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (!m_popupRect.contains(event->pos()))
        popupClickOutside();
}

void phxPopup::popupClickOutside()
{
    close();
}
