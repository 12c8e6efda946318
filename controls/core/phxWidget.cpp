#include "controls/core/phxWidget.h"

#include <QPainter>

phxWidget::phxWidget(QWidget* parent)
    : QWidget(parent)
{
}

phxWidget::~phxWidget() = default;

void phxWidget::setBackground(const QPixmap& background)
{
    m_background = background;
}

void phxWidget::setAutoFillBG(bool autoFill)
{
    m_autoFill = autoFill;
}

void phxWidget::paintEvent(QPaintEvent* event)
{
    if (m_background.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    if (m_autoFill)
        painter.drawPixmap(0, 0, m_background.scaled(size(), Qt::KeepAspectRatio, Qt::FastTransformation));
    else
        painter.drawPixmap(0, 0, m_background);
}
