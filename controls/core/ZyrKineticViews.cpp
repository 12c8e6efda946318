#include "controls/core/ZyrKineticViews.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrelleControls.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextFrame>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using ZyrelleControls::Internal::HorizontalScrollBarStyleSheet;
using ZyrelleControls::Internal::VerticalScrollBarStyleSheet;

// Rows per key press before the fast repeat takes over; the count is one for
// every list of the process.
const int kSingleRowPresses = 8;
const int kRepeatRows = 20;
const int kRepeatIntervalMs = 20;
int g_upDownPresses = 0;

// What every view of this file does in its constructor.
void setUpView(QAbstractScrollArea* view, Kinetic* engine)
{
    view->verticalScrollBar()->setStyleSheet(VerticalScrollBarStyleSheet());
    view->setFrameStyle(0);
    QPalette palette = view->palette();
    palette.setBrush(QPalette::Base, Qt::NoBrush);
    view->setPalette(palette);
    engine->EnableKinetic(true);
}

void scrollBy(QScrollBar* bar, int delta)
{
    bar->setValue(std::clamp(bar->value() + delta, bar->minimum(), bar->maximum()));
}

void scrollPages(QScrollBar* bar, int pages)
{
    scrollBy(bar, pages * bar->pageStep());
}

// A left-button release at p, as the engine's click hands on.
QMouseEvent releaseAt(QWidget* viewport, const QPoint& p)
{
    return QMouseEvent(QEvent::MouseButtonRelease, p, viewport->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
        Qt::NoModifier);
}

// Page count and current page from a scroll bar with a range.
void pagesFromBar(const QScrollBar* bar, int height, int& current, int& count)
{
    const int span = bar->maximum() - bar->minimum() + height;
    count = (span + height - 1) / height;
    current = bar->value() == bar->maximum() ? count : (bar->value() + height / 2 + height) / height;
}

} // namespace

// ---------------------------------------------------------------- ZyrList

ZyrList::ZyrList(QWidget* parent)
    : QListWidget(parent)
{
    setUpView(this, this);
    // The engine's positions are pixels.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(this, SIGNAL(itemClicked(QListWidgetItem*)), this, SLOT(onItemClicked(QListWidgetItem*)));
}

ZyrList::~ZyrList() = default;

QModelIndex ZyrList::AddWidgetItem(QWidget* widget)
{
    auto* item = new QListWidgetItem(this, QListWidgetItem::UserType);
    item->setSizeHint(widget->size());
    setItemWidget(item, widget);
    if (m_itemHeight == 0)
        m_itemHeight = widget->height();
    if (ZyrelleControls::IsKeypadNavigation()) {
        widget->setFocusPolicy(Qt::StrongFocus);
        if (row(item) == 0) {
            setCurrentRow(0);
            widget->setFocus();
        }
    }
    return indexFromItem(item);
}

void ZyrList::onKeyAction()
{
    if (currentIndex().isValid())
        emit QAbstractItemView::clicked(currentIndex());
}

void ZyrList::GetListPageInfo(int& current, int& count)
{
    current = 1;
    count = 1;
    const QScrollBar* bar = verticalScrollBar();
    const int h = height();
    if (bar->maximum() != bar->minimum() && h > 0) {
        pagesFromBar(bar, h, current, count);
    } else if (m_itemHeight >= 1) {
        const double rowsPerPage = double(h) / m_itemHeight;
        if (rowsPerPage >= 1) {
            count = int(std::floor(this->count() / rowsPerPage));
            if (this->count() - count * rowsPerPage >= 1)
                ++count;
        }
    }
}

void ZyrList::onScrollPage(int nPageCount)
{
    scrollPages(verticalScrollBar(), nPageCount);
}

void ZyrList::onItemClicked(QListWidgetItem* item)
{
    QWidget* widget = item ? itemWidget(item) : nullptr;
    if (!widget)
        return;
    if (widget->metaObject()->indexOfMethod("onListItemClicked()") >= 0) {
        QMetaObject::invokeMethod(widget, "onListItemClicked");
    } else if (ZyrListButton* button = widget->findChild<ZyrListButton*>()) {
        QMetaObject::invokeMethod(button, "onListItemClicked");
    }
}

void ZyrList::mousePressEvent(QMouseEvent* event)
{
    m_pressPoint = event->pos();
    m_position = event->pos().y();
    OnMousePressed(event);
    QAbstractItemView::mousePressEvent(event);
}

void ZyrList::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMoved(event);
}

void ZyrList::mouseReleaseEvent(QMouseEvent* event)
{
    m_releasePoint = event->pos();
    OnMouseReleased(event);
}

void ZyrList::keyPressEvent(QKeyEvent* event)
{
    qDebug() << "ZyrList::keyPressEvent(QKeyEvent * event)";
    QAbstractItemView::keyPressEvent(event);
}

void ZyrList::keyReleaseEvent(QKeyEvent* event)
{
    qDebug() << "ZyrList::keyReleaseEvent(QKeyEvent * event)";
    if ((event->key() == Qt::Key_Plus || event->key() == Qt::Key_Minus) && !event->isAutoRepeat() && count() > 1) {
        if (event->key() == Qt::Key_Plus) {
            verticalScrollBar()->setValue(0);
            setCurrentRow(0);
        } else {
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
            setCurrentRow(count() - 1);
        }
    }
    QWidget::keyReleaseEvent(event);
}

void ZyrList::paintEvent(QPaintEvent*)
{
    // The rows are widgets that paint themselves.
}

bool ZyrList::focusNextPrevChild(bool)
{
    return false;
}

QPoint ZyrList::KineticCurrentPosition()
{
    return QPoint(0, m_position);
}

void ZyrList::KineticClick(const QPoint& p)
{
    QMouseEvent release = releaseAt(viewport(), p);
    QListView::mouseReleaseEvent(&release);
}

void ZyrList::KineticStart(const QPoint& p)
{
    m_position = p.y();
    m_valueAtStart = verticalScrollBar()->value();
}

bool ZyrList::KineticScroll(const QPoint& p)
{
    if (m_itemHeight == 0)
        return false;
    const int delta = p.y() - m_position;
    m_position = p.y();
    scrollBy(verticalScrollBar(), delta);
    return true;
}

void ZyrList::KineticStop(const QPoint& p)
{
    m_position = p.y();
    m_valueAtStop = verticalScrollBar()->value();
    // A drag that did not scroll still clicks the row it began and ended on.
    QListWidgetItem* pressed = itemAt(m_pressPoint);
    if (m_valueAtStop == m_valueAtStart && pressed && pressed == itemAt(m_releasePoint))
        KineticClick(m_releasePoint);
}

// ---------------------------------------------------------------- ZyrScrollArea

ZyrScrollArea::ZyrScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setUpView(this, this);
    verticalScrollBar()->setSingleStep(0);
}

ZyrScrollArea::~ZyrScrollArea() = default;

void ZyrScrollArea::scrollToTop()
{
    verticalScrollBar()->setSliderPosition(verticalScrollBar()->minimum());
}

void ZyrScrollArea::scrollToBottom()
{
    verticalScrollBar()->setSliderPosition(verticalScrollBar()->maximum());
}

void ZyrScrollArea::onScrollPage(int nPageCount)
{
    scrollPages(verticalScrollBar(), nPageCount);
}

void ZyrScrollArea::mousePressEvent(QMouseEvent* event)
{
    m_position = event->pos().y();
    OnMousePressed(event);
    QAbstractScrollArea::mousePressEvent(event);
}

void ZyrScrollArea::mouseReleaseEvent(QMouseEvent* event)
{
    OnMouseReleased(event);
}

void ZyrScrollArea::mouseDoubleClickEvent(QMouseEvent*)
{
}

void ZyrScrollArea::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMoved(event);
}

QPoint ZyrScrollArea::KineticCurrentPosition()
{
    return QPoint(0, m_position);
}

void ZyrScrollArea::KineticClick(const QPoint& p)
{
    QMouseEvent release = releaseAt(viewport(), p);
    QAbstractScrollArea::mouseReleaseEvent(&release);
}

void ZyrScrollArea::KineticStart(const QPoint& p)
{
    m_position = p.y();
}

bool ZyrScrollArea::KineticScroll(const QPoint& p)
{
    const int delta = p.y() - m_position;
    m_position = p.y();
    scrollBy(verticalScrollBar(), delta);
    return true;
}

void ZyrScrollArea::KineticStop(const QPoint& p)
{
    m_position = p.y();
}

// ---------------------------------------------------------------- ZyrVirtualList

ZyrVirtualList::ZyrVirtualList(QWidget* parent)
    : QListView(parent)
    , m_repeatTimer(new QTimer(this))
{
    setUpView(this, this);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(m_repeatTimer, SIGNAL(timeout()), this, SLOT(OnRepeatKeyTimer()));
    ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
}

ZyrVirtualList::~ZyrVirtualList() = default;

void ZyrVirtualList::onKeyAction()
{
    if (currentIndex().isValid())
        emit QAbstractItemView::clicked(currentIndex());
}

void ZyrVirtualList::GetListPageInfo(int& current, int& count)
{
    current = 1;
    count = 1;
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows == 0) {
        current = 0;
        count = 0;
        return;
    }
    const QScrollBar* bar = verticalScrollBar();
    const int h = height();
    if (bar->maximum() != bar->minimum() && bar->isVisible() && h > 0) {
        pagesFromBar(bar, h, current, count);
    } else if (m_itemHeight >= 1) {
        const int rowsPerPage = std::max(1, h / m_itemHeight);
        count = (rows + rowsPerPage - 1) / rowsPerPage;
    }
}

void ZyrVirtualList::onScrollPage(int nPageCount)
{
    scrollPages(verticalScrollBar(), nPageCount);
}

bool ZyrVirtualList::atEnd(int key) const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model())
        return true;
    if (key == Qt::Key_Up)
        return current.row() == 0;
    return current.row() == model()->rowCount(rootIndex()) - 1;
}

void ZyrVirtualList::OnRepeatKeyTimer()
{
    if (m_repeatKey == -1)
        return;
    if (atEnd(m_repeatKey)) {
        m_repeatTimer->stop();
        m_repeatKey = -1;
        return;
    }
    const int last = model()->rowCount(rootIndex()) - 1;
    const int row = currentIndex().row() + (m_repeatKey == Qt::Key_Up ? -kRepeatRows : kRepeatRows);
    const QModelIndex next = model()->index(std::clamp(row, 0, last), 0, rootIndex());
    setCurrentIndex(next);
    scrollTo(next, QAbstractItemView::EnsureVisible);
}

void ZyrVirtualList::mousePressEvent(QMouseEvent* event)
{
    bool processed = false;
    if (!IsAutoscrolling())
        emit ListMouseButtonPress(event, processed);
    m_position = event->pos().y();
    OnMousePressed(event);
    if (processed)
        return;
    setCurrentIndex(indexAt(event->pos()));
    QAbstractItemView::mousePressEvent(event);
}

void ZyrVirtualList::mouseReleaseEvent(QMouseEvent* event)
{
    OnMouseReleased(event);
}

void ZyrVirtualList::mouseDoubleClickEvent(QMouseEvent*)
{
}

void ZyrVirtualList::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMoved(event);
}

void ZyrVirtualList::keyPressEvent(QKeyEvent* event)
{
    qDebug() << "ZyrVirtualList::keyPressEvent(QKeyEvent * event)";
    const int key = event->key();
    if (key == Qt::Key_Escape)
        return;
    if (key != Qt::Key_Up && key != Qt::Key_Down) {
        QAbstractItemView::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat()) {
        g_upDownPresses = 0;
        m_repeatKey = key;
    }
    if (g_upDownPresses < kSingleRowPresses) {
        ++g_upDownPresses;
        QAbstractItemView::keyPressEvent(event);
        return;
    }
    if (!m_repeatTimer->isActive() && !atEnd(key)) {
        m_repeatKey = key;
        m_repeatTimer->start(ZyrelleControls::Internal::ScaledDuration(kRepeatIntervalMs));
    }
}

void ZyrVirtualList::keyReleaseEvent(QKeyEvent* event)
{
    qDebug() << "ZyrVirtualList::keyReleaseEvent(QKeyEvent * event)";
    const int key = event->key();
    const bool repeating = m_repeatTimer->isActive();
    if (!event->isAutoRepeat()) {
        m_repeatTimer->stop();
        m_repeatKey = -1;
    }
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if ((key == Qt::Key_Plus || key == Qt::Key_Minus) && !event->isAutoRepeat() && rows > 1) {
        if (key == Qt::Key_Plus) {
            verticalScrollBar()->setValue(0);
            setCurrentIndex(model()->index(0, 0, rootIndex()));
        } else {
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
            setCurrentIndex(model()->index(rows - 1, 0, rootIndex()));
        }
    } else if (key == Qt::Key_Return && !event->isAutoRepeat() && m_actionKey && hasFocus()) {
        onKeyAction();
        return;
    } else if ((key == Qt::Key_Up || key == Qt::Key_Down) && repeating) {
        return;
    }
    QWidget::keyReleaseEvent(event);
}

QPoint ZyrVirtualList::KineticCurrentPosition()
{
    return QPoint(0, m_position);
}

void ZyrVirtualList::KineticClick(const QPoint& p)
{
    emit clicked(objectName());
    QMouseEvent release = releaseAt(viewport(), p);
    bool processed = false;
    emit ListMouseButtonRelease(&release, processed);
    if (processed)
        return;
    QListView::mouseReleaseEvent(&release);
    setCurrentIndex(indexAt(p));
}

void ZyrVirtualList::KineticStart(const QPoint& p)
{
    m_position = p.y();
    emit ListStartKineticScroll();
}

bool ZyrVirtualList::KineticScroll(const QPoint& p)
{
    if (m_itemHeight != 0) {
        const int delta = p.y() - m_position;
        m_position = p.y();
        scrollBy(verticalScrollBar(), delta);
    }
    return true;
}

void ZyrVirtualList::KineticStop(const QPoint& p)
{
    m_position = p.y();
    emit ListStopKineticScroll();
}

// ---------------------------------------------------------------- ZyrTextDocument

ZyrTextDocument::ZyrTextDocument(QObject* parent)
    : QTextDocument(parent)
    , m_images(25)
{
}

QVariant ZyrTextDocument::loadResource(int type, const QUrl& name)
{
    const QString text = name.toString();
    if (type != QTextDocument::ImageResource || text.startsWith(QLatin1String("qrc:")))
        return QTextDocument::loadResource(type, name);
    if (QPixmap* cached = m_images.object(text))
        return *cached;
    QPixmap image;
    if (!image.load(text)) {
        const QString fileName = QFileInfo(name.path()).fileName();
        for (const QString& path : qAsConst(searchPaths)) {
            // The backslash of the device's paths separates folders here too.
            QString candidate = QStringLiteral("%1\\%2").arg(path, fileName);
            candidate.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (image.load(candidate))
                break;
        }
    }
    // Misses are kept as well: a missing image is not looked for again while
    // its entry stays in the cache.
    m_images.insert(text, new QPixmap(image), 1);
    return image;
}

// ---------------------------------------------------------------- ZyrTextArea

ZyrTextArea::ZyrTextArea(QWidget* parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    setUpView(this, this);
    horizontalScrollBar()->setStyleSheet(HorizontalScrollBarStyleSheet());
    ZyrelleControls::ConnectSoundHook(this);
}

ZyrTextArea::~ZyrTextArea() = default;

void ZyrTextArea::setFont(const QFont& font)
{
    QTextEdit::setFont(ZyrelleControls::Internal::FontForControlsLanguage(font));
}

void ZyrTextArea::setFontPixelSize(int pixelSize)
{
    QFont font = this->font();
    font.setFamily(QApplication::font().family());
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    setFont(font);
}

bool ZyrTextArea::alignHCenter() const
{
    return alignment() == (Qt::AlignHCenter | Qt::AlignVCenter);
}

void ZyrTextArea::setAlignHCenter(bool on)
{
    applyAlignment(on ? Qt::AlignHCenter | Qt::AlignVCenter : Qt::AlignLeft);
}

void ZyrTextArea::applyAlignment(Qt::Alignment alignment)
{
    // Every paragraph, not only the one at the cursor.
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
    QTextEdit::setAlignment(alignment);
}

void ZyrTextArea::setPlainText(QString text)
{
    const Qt::Alignment alignment = this->alignment();
    QTextEdit::setPlainText(text);
    applyAlignment(alignment);
}

void ZyrTextArea::setHtml(QString html)
{
    const Qt::Alignment alignment = this->alignment();
    QTextEdit::setHtml(html);
    if ((alignment & Qt::AlignHorizontal_Mask) != Qt::AlignLeft || m_alignVCenter)
        applyAlignment(alignment);
}

void ZyrTextArea::EnsureDocumentIsCreated()
{
    if (m_document)
        return;
    // Owned by the area; it replaces the area's own document.
    m_document = new ZyrTextDocument(this);
    setDocument(m_document);
}

void ZyrTextArea::setSearchPathList(const QStringList& paths)
{
    EnsureDocumentIsCreated();
    m_document->searchPaths = paths;
}

void ZyrTextArea::addSearchPath(const QString& path)
{
    EnsureDocumentIsCreated();
    m_document->searchPaths << path;
}

QStringList ZyrTextArea::searchPathList() const
{
    return m_document ? m_document->searchPaths : QStringList();
}

void ZyrTextArea::onClicked()
{
    emit clicked(objectName());
}

void ZyrTextArea::onScrollPage(int nPageCount)
{
    scrollPages(verticalScrollBar(), nPageCount);
}

void ZyrTextArea::mousePressEvent(QMouseEvent* event)
{
    m_pressPoint = event->pos();
    OnMousePressed(event);
    if (m_standardMouse)
        QTextEdit::mousePressEvent(event);
}

void ZyrTextArea::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMoved(event);
    if (m_standardMouse)
        QTextEdit::mouseMoveEvent(event);
}

void ZyrTextArea::mouseReleaseEvent(QMouseEvent* event)
{
    OnMouseReleased(event);
    if (m_standardMouse)
        QTextEdit::mouseReleaseEvent(event);
    const QPoint moved = event->pos() - m_pressPoint;
    if (std::abs(moved.x()) <= 7 && std::abs(moved.y()) <= 7)
        emit clicked();
}

void ZyrTextArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (m_standardMouse)
        QTextEdit::mouseDoubleClickEvent(event);
}

void ZyrTextArea::showEvent(QShowEvent* event)
{
    QTextEdit::showEvent(event);
    AlignTextVCenter(false);
}

void ZyrTextArea::AlignTextVCenter(bool force)
{
    if (!m_alignVCenter && !force)
        return;
    const int documentHeight = int(document()->size().height());
    if (documentHeight == 0)
        return;
    QTextFrame* root = document()->rootFrame();
    if (!m_alignVCenter) {
        root->setFrameFormat(QTextFrameFormat());
        return;
    }
    QTextFrameFormat format = root->frameFormat();
    const int content = documentHeight - int(format.topMargin());
    const int margin = content < height() ? (height() - content) / 2 : 0;
    format.setTopMargin(margin);
    format.setBorder(1);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    root->setFrameFormat(format);
}

QPoint ZyrTextArea::KineticCurrentPosition()
{
    return m_position;
}

void ZyrTextArea::KineticClick(const QPoint&)
{
    // The release itself decides on the click.
}

void ZyrTextArea::KineticStart(const QPoint& p)
{
    m_position = p;
}

bool ZyrTextArea::KineticScroll(const QPoint& p)
{
    const QPoint delta = p - m_position;
    m_position = p;
    scrollBy(verticalScrollBar(), delta.y());
    scrollBy(horizontalScrollBar(), delta.x());
    return true;
}

void ZyrTextArea::KineticStop(const QPoint& p)
{
    m_position = p;
}
