#include "controls/core/phxVirtualList.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"

#include <QEasingCurve>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimeLine>

#include <algorithm>

namespace {

constexpr int kBounceMs = 200;
constexpr int kAlignTickMs = 20;

int ceilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

} // namespace

using ZyrelleControls::Internal::ScaledDuration;

phxVirtualList::phxVirtualList(QWidget* parent)
    : QListView(parent)
{
    setFrameStyle(0);
    QPalette transparent = palette();
    transparent.setBrush(QPalette::Base, Qt::NoBrush);
    setPalette(transparent);
    setUniformItemSizes(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setStyleSheet(ZyrelleControls::Internal::VerticalScrollBarStyleSheet());
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    EnableKinetic(true);
    setAutoscrollPix(6, 324);
    ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);

    m_bounceTimeLine = new QTimeLine(ScaledDuration(kBounceMs), this);
    m_bounceTimeLine->setEasingCurve(QEasingCurve::OutCurve);
    connect(m_bounceTimeLine, SIGNAL(frameChanged(int)), this, SLOT(bounceChange(int)));
    connect(m_bounceTimeLine, SIGNAL(finished()), this, SLOT(bounceFinish()));
    m_alignTimer.setInterval(ScaledDuration(kAlignTickMs));
    connect(&m_alignTimer, SIGNAL(timeout()), this, SLOT(alignedScroll()));
}

phxVirtualList::~phxVirtualList()
{
    m_alignTimer.stop();
    if (m_bounceTimeLine) {
        m_bounceTimeLine->stop();
        delete m_bounceTimeLine;
        m_bounceTimeLine = nullptr;
    }
    delete m_custBar;
    m_custBar = nullptr;
}

void phxVirtualList::SetItemHeight(int height)
{
    m_itemHeight = height;
}

void phxVirtualList::SetSameItemSize(bool same)
{
    setUniformItemSizes(same);
}

bool phxVirtualList::SameItemSize() const
{
    return uniformItemSizes();
}

void phxVirtualList::beginRender()
{
    m_rendering = true;
}

void phxVirtualList::endRender()
{
    m_rendering = false;
}

void phxVirtualList::SetBounceOffset(int offset)
{
    if (offset == m_bounceOffset)
        return;
    m_bounceOffset = offset;
    viewport()->update();
}

void phxVirtualList::setCustomScrollBar(bool use)
{
    if (!use) {
        m_custBarInUse = false;
        return;
    }
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!m_custBar) {
        m_custBar = ZyrelleControls::Internal::CreateCustomScrollBar(this);
    }
    m_custBarInUse = true;
}

void phxVirtualList::setCustValue(int value)
{
    if (m_custBar)
        m_custBar->setValue(value);
}

void phxVirtualList::setCustRange(int min, int max)
{
    if (m_custBar)
        m_custBar->setRange(min, max);
}

void phxVirtualList::onScrollPage(int nPageCount)
{
    QScrollBar* bar = verticalScrollBar();
    const long long value = bar->value() + (long long)nPageCount * bar->pageStep();
    bar->setValue(int(std::clamp<long long>(value, bar->minimum(), bar->maximum())));
}

void phxVirtualList::autoScrollBarHide(bool toshow)
{
    if (toshow) {
        if (m_custBar && m_custBarInUse) {
            if (m_custBar->maximum() != 0)
                m_custBar->show();
        } else {
            setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            verticalScrollBar()->show();
        }
    } else {
        if (m_custBar && m_custBarInUse) {
            m_custBar->hide();
        } else {
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            verticalScrollBar()->hide();
        }
    }
}

void phxVirtualList::startBounce(int from)
{
    m_bounceTimeLine->setFrameRange(0, from);
    m_bounceTimeLine->setDirection(QTimeLine::Backward);
    m_bounceTimeLine->start();
}

void phxVirtualList::upShakeAnimation()
{
    if (m_bounceTimeLine->state() == QTimeLine::Running)
        return;
    m_bounceSide = 1;
    startBounce(-m_bounceDistance);
    autoScrollBarHide(true);
}

void phxVirtualList::downShakeAnimation()
{
    if (m_bounceTimeLine->state() == QTimeLine::Running)
        return;
    m_bounceSide = 2;
    startBounce(m_bounceDistance);
    autoScrollBarHide(true);
}

void phxVirtualList::bounceChange(int offset)
{
    SetBounceOffset(offset);
}

void phxVirtualList::bounceFinish()
{
    QScrollBar* bar = verticalScrollBar();
    if (m_bounceSide == 2)
        bar->setValue(bar->maximum());
    else if (m_bounceSide == 1)
        bar->setValue(bar->minimum());
    m_bounceOffset = 0;
    m_bounceSide = 0;
    viewport()->update();
    autoScrollBarHide(false);
}

int phxVirtualList::ListAutoAlign(bool up, int value)
{
    const QScrollBar* bar = verticalScrollBar();
    if (m_itemHeight <= 0 || value == bar->maximum() || value == bar->minimum())
        return 0;
    const int r = value % m_itemHeight;
    if (r == 0)
        return 0;
    return up ? m_itemHeight - r : -r;
}

void phxVirtualList::scrollBarBy(int delta)
{
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() + delta);
}

void phxVirtualList::alignedScroll()
{
    if (m_alignRemaining == 0) {
        m_alignTimer.stop();
        return;
    }
    const int old = m_alignRemaining;
    if (old > 0) {
        m_alignRemaining = old - m_alignStep;
        if (m_alignRemaining < 0) {
            scrollBarBy(old);
            m_alignRemaining = 0;
        } else {
            scrollBarBy(m_alignStep);
        }
    } else {
        m_alignRemaining = old + m_alignStep;
        if (m_alignRemaining < 1) {
            scrollBarBy(-m_alignStep);
        } else {
            scrollBarBy(old);
            m_alignRemaining = 0;
        }
    }
}

void phxVirtualList::startAlignment()
{
    m_alignRemaining = ListAutoAlign(m_lastDragUp, verticalScrollBar()->value());
    if (m_alignRemaining != 0) {
        alignedScroll();
        m_alignTimer.start();
    }
}

void phxVirtualList::GetListPageInfo(int& current, int& count)
{
    current = 1;
    count = 1;
    const QScrollBar* bar = verticalScrollBar();
    const int h = height();
    // A list of no height has no pages to count.
    if (h <= 0)
        return;
    if (bar->minimum() != bar->maximum() && bar->isVisible()) {
        count = ceilDiv(bar->maximum() - bar->minimum() + h, h);
        current = bar->value() == bar->maximum() ? count : (h + bar->value()) / h;
        return;
    }
    QAbstractItemModel* m = model();
    if (!m)
        return;
    const int rows = m->rowCount(rootIndex());
    if (uniformItemSizes()) {
        if (m_itemHeight < 1)
            return;
        const int perPage = std::max(1, h / m_itemHeight);
        count = std::max(1, ceilDiv(rows, perPage));
    } else {
        long long sum = 0;
        for (int row = 0; row < rows; ++row) {
            const QVariant hint = m->data(m->index(row, 0, rootIndex()), Qt::SizeHintRole);
            const QSize size = hint.toSize();
            sum += (hint.isValid() && !size.isEmpty()) ? size.height() : m_itemHeight;
        }
        count = std::max(1LL, (sum + h - 1) / h);
    }
}

void phxVirtualList::mousePressEvent(QMouseEvent* event)
{
    m_virtualPosition = event->pos().y();
    OnMousePressed(event);
    setCurrentIndex(indexAt(event->pos()));
    m_lastY = event->pos().y();
    SetBounceOffset(0);
}

void phxVirtualList::mouseMoveEvent(QMouseEvent* event)
{
    const int y = event->pos().y();
    const int diff = y - m_lastY;
    m_lastDragUp = diff < 0;
    QScrollBar* bar = verticalScrollBar();
    const int v = bar->value() + m_bounceOffset - diff;
    if (v < bar->minimum()) {
        SetBounceOffset(v);
        if (v < -m_overscrollLimit) {
            m_bounceSide = 1;
            viewport()->update();
            autoScrollBarHide(false);
            clearFocus();
        }
    } else if (v > bar->maximum()) {
        SetBounceOffset(v - bar->maximum());
        if (m_bounceOffset > m_overscrollLimit) {
            m_bounceSide = 2;
            viewport()->update();
            autoScrollBarHide(false);
            clearFocus();
        }
    } else {
        SetBounceOffset(0);
        OnMouseMoved(event);
        if (m_scrolling) {
            autoScrollBarHide(true);
            clearFocus();
        }
    }
    m_lastY = y;
}

void phxVirtualList::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bounceTimeLine && m_bounceOffset != 0 && m_bounceSide != 0) {
        ResetState();
        startBounce(m_bounceOffset);
    } else {
        OnMouseReleased(event);
    }
}

void phxVirtualList::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    if (m_custBar)
        ZyrelleControls::Internal::PlaceCustomScrollBar(m_custBar, event->size());
}

QPoint phxVirtualList::KineticCurrentPosition()
{
    return QPoint(0, m_virtualPosition);
}

void phxVirtualList::KineticClick(const QPoint& p)
{
    clearFocus();
    SetBounceOffset(0);
    const QModelIndex index = indexAt(p);
    if (index.isValid()) {
        emit clicked(objectName());
        setCurrentIndex(index);
        emit QAbstractItemView::clicked(index);
    }
}

void phxVirtualList::KineticStart(const QPoint& p)
{
    m_virtualPosition = p.y();
    autoScrollBarHide(true);
    m_scrolling = true;
    m_alignRemaining = 0;
    emit ListStartKineticScroll();
}

bool phxVirtualList::KineticScroll(const QPoint& p)
{
    const int delta = p.y() - m_virtualPosition;
    m_virtualPosition = p.y();
    if (delta == 0) {
        startAlignment();
        return true;
    }
    if (m_itemHeight == 0)
        return true;
    QScrollBar* bar = verticalScrollBar();
    const int value = std::clamp(bar->value() + delta, bar->minimum(), bar->maximum());
    bar->setValue(value);
    return value != bar->maximum() && value != bar->minimum();
}

void phxVirtualList::KineticStop(const QPoint& p)
{
    m_virtualPosition = p.y();
    autoScrollBarHide(false);
    m_scrolling = false;
    if (!m_alignTimer.isActive())
        startAlignment();
    emit ListStopKineticScroll();
}
