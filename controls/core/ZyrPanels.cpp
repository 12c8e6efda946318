#include "controls/core/ZyrPanels.h"

#include "controls/core/LibraryInternal.h"

#include <QPainter>

ZyrBacking::ZyrBacking(QWidget* parent)
    : QWidget(parent)
{
}

ZyrBacking::~ZyrBacking() = default;

void ZyrBacking::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 128));
    painter.drawRoundedRect(rect(), 5, 5);
}

ZyrWidget::ZyrWidget(QWidget* parent)
    : QWidget(parent)
{
}

ZyrWidget::~ZyrWidget() = default;

void ZyrWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

ZyrProgressBar::ZyrProgressBar(QWidget* parent)
    : QProgressBar(parent)
{
    setStyleSheet(ZyrelleControls::Internal::ProgressBarStyleSheet());
}

ZyrProgressBar::~ZyrProgressBar() = default;
