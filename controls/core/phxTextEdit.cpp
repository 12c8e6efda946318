#include "controls/core/phxTextEdit.h"

#include "controls/core/LibraryInternal.h"

#include <QAbstractTextDocumentLayout>
#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimeLine>

#include <algorithm>

namespace {

constexpr int kBounceMs = 200;

} // namespace

using ZyrelleControls::Internal::ScaledDuration;

phxTextEdit::phxTextEdit(QWidget* parent)
    : QTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->hide();
    verticalScrollBar()->setStyleSheet(ZyrelleControls::Internal::VerticalScrollBarStyleSheet());
    connect(document(), SIGNAL(contentsChanged()), this, SLOT(handleTextChanged()));
    EnableKinetic(true);
    setAutoscrollPix(6, 324);

    m_bounceTimeLine = new QTimeLine(ScaledDuration(kBounceMs), this);
    m_bounceTimeLine->setEasingCurve(QEasingCurve::OutCurve);
    connect(m_bounceTimeLine, SIGNAL(frameChanged(int)), this, SLOT(bounceChange(int)));
    connect(m_bounceTimeLine, SIGNAL(finished()), this, SLOT(bounceFinish()));
}

phxTextEdit::~phxTextEdit()
{
    if (m_bounceTimeLine) {
        m_bounceTimeLine->stop();
        delete m_bounceTimeLine;
        m_bounceTimeLine = nullptr;
    }
    delete m_custBar;
    m_custBar = nullptr;
    dropBounceImages();
}

void phxTextEdit::setAutoResize(bool autoResize)
{
    m_autoResize = autoResize;
}

void phxTextEdit::SetBounceOffset(int offset)
{
    if (offset == m_bounceOffset)
        return;
    m_bounceOffset = offset;
    viewport()->update();
}

void phxTextEdit::dropBounceImages()
{
    m_topImage.reset();
    m_bottomImage.reset();
}

void phxTextEdit::setCustomScrollBar(bool use)
{
    dropBounceImages();
    if (!use) {
        m_custBarInUse = false;
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        verticalScrollBar()->hide();
        return;
    }
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!m_custBar) {
        m_custBar = ZyrelleControls::Internal::CreateCustomScrollBar(this);
    }
    m_custBarInUse = true;
}

void phxTextEdit::setCustValue(int value)
{
    if (m_custBar)
        m_custBar->setValue(value);
}

void phxTextEdit::setCustRange(int min, int max)
{
    if (m_custBar)
        m_custBar->setRange(min, max);
}

void phxTextEdit::autoScrollBarHide(bool toshow)
{
    if (m_custBar && m_custBarInUse) {
        if (!toshow)
            m_custBar->hide();
        else if (m_custBar->maximum() != 0)
            m_custBar->show();
    } else {
        verticalScrollBar()->setVisible(toshow);
    }
}

void phxTextEdit::startBounce(int from)
{
    m_bounceTimeLine->setFrameRange(0, from);
    m_bounceTimeLine->setDirection(QTimeLine::Backward);
    m_bounceTimeLine->start();
}

void phxTextEdit::upShakeAnimation()
{
    if (m_bounceTimeLine->state() == QTimeLine::Running)
        return;
    startBounce(-m_bounceDistance);
    autoScrollBarHide(true);
}

void phxTextEdit::downShakeAnimation()
{
    if (m_bounceTimeLine->state() == QTimeLine::Running)
        return;
    startBounce(m_bounceDistance);
    autoScrollBarHide(true);
}

void phxTextEdit::bounceChange(int offset)
{
    SetBounceOffset(offset);
}

void phxTextEdit::bounceFinish()
{
    m_bounceOffset = 0;
    viewport()->update();
    autoScrollBarHide(false);
}

void phxTextEdit::handleTextChanged()
{
    // Images of the old text would show it again on the next bounce.
    dropBounceImages();
    if (!m_autoResize)
        return;
    const int h = int(document()->size().height());
    if (h != 0 && h != height()) {
        setFixedHeight(h);
        updateGeometry();
    }
}

QPixmap phxTextEdit::documentImage(int shiftUp) const
{
    QPixmap image(size());
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(0, -shiftUp);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    document()->documentLayout()->draw(&painter, context);
    return image;
}

const QPixmap& phxTextEdit::topImage()
{
    if (!m_topImage)
        m_topImage = std::make_unique<QPixmap>(documentImage(0));
    return *m_topImage;
}

const QPixmap& phxTextEdit::bottomImage()
{
    if (!m_bottomImage) {
        const QScrollBar* bar = verticalScrollBar();
        if (bar->minimum() == bar->maximum())
            m_bottomImage = std::make_unique<QPixmap>(topImage());
        else
            m_bottomImage = std::make_unique<QPixmap>(documentImage(int(document()->size().height()) - height()));
    }
    return *m_bottomImage;
}

void phxTextEdit::mousePressEvent(QMouseEvent* event)
{
    m_virtualPosition = event->pos().y();
    OnMousePressed(event);
    QTextEdit::mousePressEvent(event);
    SetBounceOffset(0);
    m_lastY = event->pos().y();
}

void phxTextEdit::mouseMoveEvent(QMouseEvent* event)
{
    const int y = event->pos().y();
    QScrollBar* bar = verticalScrollBar();
    const int v = bar->value() + m_bounceOffset - (y - m_lastY);
    if (bar->minimum() == bar->maximum()) {
        // The text fits: it follows the finger both ways.
        SetBounceOffset(v);
        topImage();
        bottomImage();
        viewport()->update();
    } else if (v < 0) {
        SetBounceOffset(v);
        topImage();
        autoScrollBarHide(false);
        viewport()->update();
    } else if (v > bar->maximum()) {
        SetBounceOffset(v - bar->maximum());
        bottomImage();
        autoScrollBarHide(false);
        viewport()->update();
    } else {
        SetBounceOffset(0);
        OnMouseMoved(event);
        if (m_scrolling)
            autoScrollBarHide(true);
    }
    m_lastY = y;
}

void phxTextEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bounceTimeLine && m_bounceOffset != 0)
        startBounce(m_bounceOffset);
    OnMouseReleased(event);
}

void phxTextEdit::paintEvent(QPaintEvent* event)
{
    if (m_bounceOffset == 0) {
        QTextEdit::paintEvent(event);
        return;
    }
    const QPixmap& image = m_bounceOffset < 0 ? topImage() : bottomImage();
    // The text shown displaced by the offset, transparent space behind it.
    QPainter painter(viewport());
    painter.setClipRect(event->rect());
    painter.drawPixmap(QPoint(0, -m_bounceOffset), image);
}

void phxTextEdit::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    dropBounceImages(); // drawn at the old size
    if (m_custBar)
        ZyrelleControls::Internal::PlaceCustomScrollBar(m_custBar, event->size());
}

QPoint phxTextEdit::KineticCurrentPosition()
{
    return QPoint(0, m_virtualPosition);
}

void phxTextEdit::KineticClick(const QPoint&)
{
}

void phxTextEdit::KineticStart(const QPoint& p)
{
    m_virtualPosition = p.y();
    autoScrollBarHide(true);
    m_scrolling = true;
    emit ListStartKineticScroll();
}

bool phxTextEdit::KineticScroll(const QPoint& p)
{
    QScrollBar* bar = verticalScrollBar();
    const int delta = p.y() - m_virtualPosition;
    m_virtualPosition = p.y();
    if (!bar)
        return true;
    const int value = std::clamp(bar->value() + delta, bar->minimum(), bar->maximum());
    bar->setValue(value);
    return value != bar->minimum() && value != bar->maximum();
}

void phxTextEdit::KineticStop(const QPoint& p)
{
    m_virtualPosition = p.y();
    autoScrollBarHide(false);
    m_scrolling = false;
    emit ListStopKineticScroll();
}
