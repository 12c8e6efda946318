#include "controls/keyboard/ZyrFlowLayout.h"

#include <QApplication>
#include <QWidget>

ZyrFlowLayout::ZyrFlowLayout(QWidget* parent, int margin, int hSpacing, int vSpacing)
    : QLayout(parent)
    , m_hSpace(hSpacing)
    , m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

ZyrFlowLayout::ZyrFlowLayout(int margin, int hSpacing, int vSpacing)
    : m_hSpace(hSpacing)
    , m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

ZyrFlowLayout::~ZyrFlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void ZyrFlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

int ZyrFlowLayout::horizontalSpacing() const
{
    return m_hSpace >= 0 ? m_hSpace : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int ZyrFlowLayout::verticalSpacing() const
{
    return m_vSpace >= 0 ? m_vSpace : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

int ZyrFlowLayout::count() const
{
    return m_items.size();
}

QLayoutItem* ZyrFlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* ZyrFlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations ZyrFlowLayout::expandingDirections() const
{
    return {};
}

bool ZyrFlowLayout::hasHeightForWidth() const
{
    return true;
}

int ZyrFlowLayout::heightForWidth(int width) const
{
    return doLayout(QRect(0, 0, width, 0), true);
}

void ZyrFlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, false);
}

QSize ZyrFlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize ZyrFlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    // QLayout's uniform margin: -1 unless all four sides agree.
    int left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const int m = (left == top && left == right && left == bottom) ? left : -1;
    size += QSize(2 * m, 2 * m);
    return size;
}

int ZyrFlowLayout::doLayout(const QRect& rect, bool testOnly) const
{
    int left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const QRect effective = rect.adjusted(left, top, -right, -bottom);
    int x = effective.x();
    int y = effective.y();
    int lineHeight = 0;

    for (QLayoutItem* item : m_items) {
        // Items without a widget of their own (spacers, nested layouts)
        // take the fallback from the application's style.
        const QWidget* widget = item->widget();
        const QStyle* style = widget ? widget->style() : QApplication::style();
        int spaceX = horizontalSpacing();
        if (spaceX == -1)
            spaceX = style->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, Qt::Horizontal);
        int spaceY = verticalSpacing();
        if (spaceY == -1)
            spaceY = style->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, Qt::Vertical);

        const QSize hint = item->sizeHint();
        int nextX = x + hint.width() + spaceX;
        // right() is the last column inside: an item ending exactly on it
        // moves to the next line too.
        if (x + hint.width() > effective.right() && lineHeight > 0) {
            x = effective.x();
            y = y + lineHeight + spaceY;
            nextX = x + hint.width() + spaceX;
            lineHeight = 0;
        }
        if (!testOnly)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x = nextX;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight - rect.y() + bottom;
}

int ZyrFlowLayout::smartSpacing(QStyle::PixelMetric pm) const
{
    QObject* parentObject = parent();
    if (!parentObject)
        return -1;
    if (parentObject->isWidgetType()) {
        auto* parentWidget = static_cast<QWidget*>(parentObject);
        return parentWidget->style()->pixelMetric(pm, nullptr, parentWidget);
    }
    return static_cast<QLayout*>(parentObject)->spacing();
}
