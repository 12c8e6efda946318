#include "controls/core/ZyrComboBox.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrTextBox.h"
#include "controls/core/ZyrelleControls.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDebug>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cstdlib>

namespace {

const int kGuardMs = 100;
const int kTapDistance = 8;

} // namespace

// ---------------------------------------------------------------- delegate

ZyrComboBoxDelegate::ZyrComboBoxDelegate(ZyrComboBox* combo)
    : QItemDelegate(combo)
    , m_combo(combo)
{
}

void ZyrComboBoxDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ZyrComboBoxListView* list = m_combo->m_listView;
    const bool current = list && list->currentIndex().row() == index.row();
    const QPixmap& image
        = current ? (pressed ? m_combo->m_itemPressed : m_combo->m_itemFocused) : m_combo->m_itemNormal;
    painter->save();
    painter->drawPixmap(option.rect.topLeft(), image);

    QString text = m_combo->itemText(index.row());
    const QRect textRect = option.rect.adjusted(m_combo->m_popupTextMargin, 0, 0, 0);
    QString elided;
    const QFont font = ZyrTextBox::fitFont(m_combo->font(), text, textRect.width(),
        m_combo->m_label->minFontPixelSize(), m_combo->m_label->maxFontStretch(), &elided);
    if (!elided.isEmpty())
        text = elided;
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->restore();
}

QSize ZyrComboBoxDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return m_combo->m_itemNormal.size();
}

// ---------------------------------------------------------------- list view

ZyrComboBoxListView::ZyrComboBoxListView(ZyrComboBox* owner)
    : combo(owner)
{
}

void ZyrComboBoxListView::updateCurrentRow()
{
    const QRect row = visualRect(currentIndex());
    if (row.isValid())
        viewport()->repaint(row.adjusted(0, -1, 0, 1));
}

void ZyrComboBoxListView::choose()
{
    // The row is read first: closing the pop-up ends this list.
    const int row = currentIndex().row();
    if (!combo)
        return;
    combo->hidePopup(true);
    if (combo)
        combo->setNewItem(row);
}

void ZyrComboBoxListView::mousePressEvent(QMouseEvent* event)
{
    scrolled = false;
    if (combo)
        static_cast<ZyrComboBoxDelegate*>(itemDelegate())->pressed = true;
    updateCurrentRow();
    ZyrVirtualList::mousePressEvent(event);
}

void ZyrComboBoxListView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!scrolled)
        choose();
    if (auto* delegate = qobject_cast<ZyrComboBoxDelegate*>(itemDelegate()))
        delegate->pressed = false;
    updateCurrentRow();
    ZyrVirtualList::mouseReleaseEvent(event);
}

void ZyrComboBoxListView::keyPressEvent(QKeyEvent* event)
{
    qDebug() << "ZyrComboBoxListView::keyPressEvent";
    if (event->key() == Qt::Key_Escape)
        return;
    QAbstractItemView::keyPressEvent(event);
}

void ZyrComboBoxListView::keyReleaseEvent(QKeyEvent* event)
{
    qDebug() << "ZyrComboBoxListView::keyReleaseEvent";
    const int key = event->key();
    if (!event->isAutoRepeat()) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            choose();
            event->accept();
            return;
        }
        const bool altDown = key == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
        if (altDown || key == Qt::Key_Escape || key == Qt::Key_F4) {
            if (combo)
                combo->hidePopup(true);
            event->accept();
            return;
        }
    }
    ZyrVirtualList::keyReleaseEvent(event);
}

void ZyrComboBoxListView::focusOutEvent(QFocusEvent* event)
{
    if (combo)
        combo->hidePopup(false);
    ZyrVirtualList::focusOutEvent(event);
}

void ZyrComboBoxListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (combo)
        combo->emitHighlightedSignals(current.row());
    QListView::currentChanged(current, previous);
}

bool ZyrComboBoxListView::KineticScroll(const QPoint& p)
{
    scrolled = true;
    return ZyrVirtualList::KineticScroll(p);
}

void ZyrComboBoxListView::KineticStop(const QPoint& p)
{
    scrolled = false;
    ZyrVirtualList::KineticStop(p);
}

// ---------------------------------------------------------------- combo box

ZyrComboBox::ZyrComboBox(QWidget* parent)
    : QComboBox(parent)
    , m_delegate(new ZyrComboBoxDelegate(this))
    , m_label(new ZyrTextBox(this))
    , m_guard(this)
{
    m_guard.setObjectName(QStringLiteral("guard"));
    m_label->setScaledContents(true);
    m_label->show();
    connect(this, SIGNAL(currentIndexChanged(QString)), this, SLOT(onCurrentIndexChanged(QString)));
    m_guard.setSingleShot(true);
    connect(&m_guard, SIGNAL(timeout()), this, SLOT(guard()));
    ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
}

ZyrComboBox::~ZyrComboBox()
{
    // The pop-up window has no parent: left open it would outlive the box,
    // and its list would call back into it when it loses the focus.
    qApp->removeEventFilter(this);
    m_guard.stop();
    if (m_popupShown) {
        m_popupShown = false;
        if (m_listView)
            m_listView->combo = nullptr;
        delete m_popupWindow;
        m_popupWindow = nullptr;
        m_listView = nullptr;
    }
}

void ZyrComboBox::setFontPixelSize(int pixelSize)
{
    QFont font = this->font();
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    setFont(font);
    if (view())
        view()->setFont(font);
    m_label->setFontPixelSize(pixelSize);
}

void ZyrComboBox::setNormal(const QPixmap& image)
{
    m_normal = image;
    setFixedSize(image.size());
}

void ZyrComboBox::setPressed(const QPixmap& image)
{
    m_pressed = image;
    if (ZyrelleControls::IsKeypadNavigation() && m_focused.isNull())
        m_focused = image;
}

void ZyrComboBox::setArrowNormal(const QPixmap& image)
{
    m_arrowNormal = image;
    labelInitializing();
}

void ZyrComboBox::setArrowOrigin(const QPoint& origin)
{
    m_arrowOrigin = origin;
    if (ZyrelleControls::IsKeypadNavigation())
        labelInitializing();
}

void ZyrComboBox::setItemNormal(const QPixmap& image)
{
    m_itemNormal = image;
    if (m_listView)
        m_listView->SetItemHeight(image.height());
}

void ZyrComboBox::setTextMargin(int margin)
{
    m_textMargin = margin;
    labelInitializing();
}

void ZyrComboBox::labelInitializing()
{
    const int keypadWidth = m_arrowOrigin.x() - m_textMargin + 10;
    if (ZyrelleControls::IsKeypadNavigation() && keypadWidth > 0)
        m_label->resize(keypadWidth, height());
    else
        m_label->resize(width() - m_arrowNormal.width() - m_textMargin, height());
    m_label->move(m_textMargin, 0);
}

void ZyrComboBox::setNewItem(int index)
{
    setCurrentIndex(index);
    emit activated(index);
    // The text overload through the meta-object (it is deprecated in C++).
    QMetaObject::invokeMethod(this, "activated", Qt::DirectConnection, Q_ARG(QString, currentText()));
}

void ZyrComboBox::emitHighlightedSignals(int index)
{
    emit highlighted(index);
    QMetaObject::invokeMethod(this, "highlighted", Qt::DirectConnection, Q_ARG(QString, itemText(index)));
}

void ZyrComboBox::onCurrentIndexChanged(QString text)
{
    m_label->setContent(text);
}

void ZyrComboBox::guard()
{
    if (m_popupShown && m_popupWindow && !m_popupWindow->isVisible())
        hidePopup(true);
}

ZyrComboBox::TPopupDirection ZyrComboBox::popupDirection(
    const QPoint& below, const QPoint& above, const QRect& screen) const
{
    // A corner counts as visible when the box (or its label) is what lies
    // there on the screen.
    auto visible = [this](const QPoint& corner) {
        QWidget* there = QApplication::widgetAt(mapToGlobal(corner));
        return there && (there == this || isAncestorOf(there));
    };
    if (!visible(rect().bottomLeft()))
        return Above;
    const int itemHeight = m_itemNormal.height();
    const int roomBelow = screen.bottom() - itemHeight - below.y();
    const int roomAbove = above.y() - itemHeight;
    if (roomBelow < count() * itemHeight && roomBelow < roomAbove && visible(rect().topLeft()))
        return Above;
    return Below;
}

QRect ZyrComboBox::prepareViewContainer(TPopupDirection direction, const QPoint& below, const QPoint& above,
    const QRect& screen, bool* clipped) const
{
    const int frame = m_listView ? m_listView->frameWidth() : 0;
    const int needed = m_itemNormal.height() * (count() + 1) + 2 * frame;
    const int width = m_itemNormal.width();
    *clipped = false;
    if (direction == Above) {
        int top = above.y() - needed;
        if (needed >= above.y()) {
            top = 0;
            *clipped = true;
        }
        return QRect(above.x(), top, width, above.y() - top);
    }
    int bottom = below.y() + needed;
    if (needed >= screen.bottom() - below.y()) {
        bottom = screen.bottom();
        *clipped = true;
    }
    return QRect(below.x(), below.y(), width, bottom - below.y());
}

void ZyrComboBox::showPopup()
{
    if (m_popupShown || !parentWidget())
        return;
    emit clicked(objectName());
    m_closingPress = false;
    qApp->removeEventFilter(this);

    m_popupWindow = new QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    m_listView = new ZyrComboBoxListView(this);
    // Row taps make no sound of their own: the closing does.
    ZyrelleControls::DisconnectSoundHook(m_listView);
    QItemSelectionModel* unused = m_listView->selectionModel();
    m_listView->setModel(model());
    delete unused;
    m_listView->setParent(m_popupWindow);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listView->setFrameStyle(QFrame::Box);
    const int itemHeight = m_itemNormal.height();
    m_listView->SetItemHeight(itemHeight);
    m_listView->setItemDelegate(m_delegate);
    m_listView->hide();

    const QPoint at = parentWidget()->mapToGlobal(pos());
    const int boxHeight = m_pressed.isNull() ? height() : m_pressed.height();
    const QPoint below(at.x() + m_popupOffset, at.y() + boxHeight - itemHeight);
    const QPoint above(at.x() + m_popupOffset, at.y());
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 0, 0);

    bool clipped = false;
    const QRect window
        = prepareViewContainer(popupDirection(below, above, screenRect), below, above, screenRect, &clipped);
    m_popupWindow->setGeometry(window);
    const int frame = m_listView->frameWidth();
    // The first row of the window stays transparent over the box.
    const QRect listRect(
        QPoint(0, itemHeight), QPoint(clipped ? window.width() : window.width() - frame, window.height() - frame));
    m_listView->setGeometry(listRect);
    m_popupWindow->setMask(QRegion(listRect));

    const QModelIndex current = model()->index(currentIndex(), modelColumn(), rootModelIndex());
    m_listView->setCurrentIndex(current);
    m_listView->scrollTo(current, QAbstractItemView::PositionAtCenter);
    m_guard.start(ZyrelleControls::Internal::ScaledDuration(kGuardMs));
    qApp->installEventFilter(this);
    m_popupWindow->show();
    m_popupWindow->raise();
    m_listView->show();
    m_listView->raise();
    m_popupShown = true;
    m_listView->setFocus();
}

void ZyrComboBox::closePopupWindow()
{
    // The list lives on until its window's deferred deletion and may still
    // hand its row to the box (a tap's release after the application filter
    // closed the pop-up).
    if (m_popupWindow) {
        m_popupWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_popupWindow->close();
    }
    m_popupWindow = nullptr;
    m_listView = nullptr;
}

void ZyrComboBox::hidePopup(bool restoreFocus)
{
    if (!m_popupShown)
        return;
    // Marked closed first: the list loses the focus while its window
    // closes, and that must not close (and sound) a second time.
    m_popupShown = false;
    emit clicked(objectName());
    // Closed by a press (the window system closes a pop-up on a press
    // outside it): the filter stays until that press's release, which must
    // not open the pop-up again when it ends on the box.
    m_closingPress = QApplication::mouseButtons() != Qt::NoButton;
    if (!m_closingPress)
        qApp->removeEventFilter(this);
    closePopupWindow();
    if (restoreFocus)
        setFocus();
    m_guard.stop();
    QComboBox::hidePopup();
    update();
}

bool ZyrComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return QComboBox::eventFilter(watched, event);
    if (!m_popupShown && m_closingPress) {
        m_closingPress = false;
        qApp->removeEventFilter(this);
        QWidget* target = qobject_cast<QWidget*>(watched);
        return target && (target == this || isAncestorOf(target));
    }
    if (m_popupShown && !m_guard.isActive() && m_listView && !m_listView->scrolled) {
        hidePopup(true);
        // A release on the box itself would open the pop-up again.
        return watched == this || watched == m_label;
    }
    if (m_listView && !m_listView->hasFocus())
        m_listView->scrolled = false;
    return QComboBox::eventFilter(watched, event);
}

void ZyrComboBox::mousePressEvent(QMouseEvent* event)
{
    m_pressPosition = event->pos();
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint moved = event->pos() - m_pressPosition;
    if (std::abs(moved.x()) <= kTapDistance && std::abs(moved.y()) <= kTapDistance)
        showPopup();
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::keyPressEvent(QKeyEvent* event)
{
    qDebug() << "ZyrComboBox::keyPressEvent";
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        break;
    default:
        QComboBox::keyPressEvent(event);
        break;
    }
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::keyReleaseEvent(QKeyEvent* event)
{
    qDebug() << "ZyrComboBox::keyReleaseEvent";
    if (event->key() == Qt::Key_Return)
        showPopup();
    QComboBox::keyReleaseEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    if (m_eventPropagation)
        event->ignore();
}

void ZyrComboBox::paintEvent(QPaintEvent*)
{
    QPixmap box = m_normal;
    QPixmap arrow = m_arrowNormal;
    if (!isEnabled()) {
        if (!m_disabled.isNull())
            box = m_disabled;
    } else if (m_popupShown) {
        if (!m_pressed.isNull())
            box = m_pressed;
        if (!m_arrowPressed.isNull())
            arrow = m_arrowPressed;
    } else if (hasFocus() && !m_focused.isNull()) {
        box = m_focused;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, box);
    painter.drawPixmap(m_arrowOrigin, arrow);
}
