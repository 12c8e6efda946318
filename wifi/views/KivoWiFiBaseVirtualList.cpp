#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include "controls/core/ZyrelleControls.h"
#include "controls/core/phxVirtualList.h"

#include <QPainter>

zyrCListModel::zyrCListModel(zyrCListModelDataProvider* provider, QObject* parent)
    : QAbstractListModel(parent)
    , m_provider(provider)
{
}

int zyrCListModel::rowCount(const QModelIndex& parent) const
{
    return m_provider ? m_provider->getRowCount(parent) : 0;
}

QVariant zyrCListModel::data(const QModelIndex& index, int role) const
{
    if (role != HeightRole || index.row() < 0)
        return QVariant();
    auto it = m_heights.constFind(index.row());
    return it == m_heights.constEnd() ? QVariant() : QVariant(it.value());
}

QVariant zyrCListModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

Qt::ItemFlags zyrCListModel::flags(const QModelIndex&) const
{
    return Qt::ItemIsEnabled;
}

bool zyrCListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != HeightRole || !m_heights.contains(index.row()) || value.userType() != QMetaType::Int)
        return false;
    const int height = value.toInt();
    if (m_heights.value(index.row()) == height)
        return true;
    m_heights[index.row()] = height;
    const QModelIndex corner = this->index(index.row(), 0);
    emit dataChanged(corner, corner);
    return true;
}

void zyrCListModel::reset()
{
    beginResetModel();
    endResetModel();
}

zyrCItemDelegate::zyrCItemDelegate(KivoWiFiItemProvider* provider, phxVirtualList* list)
    : QAbstractItemDelegate(nullptr)
    , m_item(provider ? provider->itemCtrl() : nullptr)
    , m_provider(provider)
    , m_list(list)
{
    for (QWidget* w = list; w && w->parentWidget(); w = w->parentWidget())
        m_windowOffset += w->geometry().topLeft();
}

void zyrCItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!m_item || !m_provider)
        return;
    // The list's current row has the focus flag whenever the list has focus,
    // and the rows draw it highlighted. Only keypad navigation moves that
    // row; on touch it would mark the first row for no reason.
    QStyleOptionViewItem rowOption = option;
    if (!ZyrelleControls::IsKeypadNavigation())
        rowOption.state &= ~QStyle::State_HasFocus;
    m_provider->updateItemCtrl(index, m_item, rowOption);
    QPoint target = option.rect.topLeft();
    if (m_list)
        target.ry() -= m_list->GetBounceOffset();
    // Rendered into the row buffer first: QWidget::render onto a painter
    // places its target relative to the device being painted (the window's
    // backing store, or whatever a grab renders into), not to the viewport
    // the delegate paints, so drawn directly the rows would move by the
    // list's position in that device.
    const QString key = m_item->pictureKey();
    if (!key.isEmpty()) {
        auto kept = m_pictures.constFind(key);
        if (kept != m_pictures.constEnd()) {
            painter->drawImage(target, *kept);
            return;
        }
    }
    const QSize size = m_item->size();
    if (m_rowBuffer.size() != size)
        m_rowBuffer = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_rowBuffer.fill(Qt::transparent);
    m_item->render(&m_rowBuffer, QPoint(), QRegion(m_item->rect()), QWidget::DrawChildren);
    painter->drawImage(target, m_rowBuffer);
    if (key.isEmpty())
        return;
    // Past the budget the kept pictures start over: the rows on screen are
    // rendered once more and kept again.
    if (m_pictureBytes + m_rowBuffer.sizeInBytes() > PICTURE_BYTES_KEPT) {
        m_pictures.clear();
        m_pictureBytes = 0;
    }
    m_pictures.insert(key, m_rowBuffer);
    m_pictureBytes += m_rowBuffer.sizeInBytes();
    // The kept picture now shares the buffer; the next row renders into a
    // buffer of its own.
    m_rowBuffer = QImage();
}

QSize zyrCItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    QSize size = m_item ? m_item->geometry().size() : QSize();
    if (m_list && m_list->model()) {
        const QVariant height = m_list->model()->data(index, zyrCListModel::HeightRole);
        if (!height.isNull() && height.userType() == QMetaType::Int && height.toInt() > 0)
            size.setHeight(height.toInt());
    }
    return size;
}

zyrCListBinding::zyrCListBinding(
    phxVirtualList* list, KivoWiFiItemProvider* items, zyrCListModelDataProvider* data, QObject* modelParent)
    : m_list(list)
    , m_model(new zyrCListModel(data, modelParent))
    , m_delegate(new zyrCItemDelegate(items, list))
{
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_delegate);
    m_list->SetItemHeight(items && items->itemCtrl() ? items->itemCtrl()->height() : 0);
}

zyrCListBinding::~zyrCListBinding()
{
    delete m_delegate;
}

KivoWiFiBaseVirtualList::KivoWiFiBaseVirtualList(QWidget* parent)
    : KivoWiFiBaseView(parent)
{
}

KivoWiFiBaseVirtualList::~KivoWiFiBaseVirtualList()
{
    delete m_binding;
    m_binding = nullptr;
}

void KivoWiFiBaseVirtualList::setListProvider(phxVirtualList* list, KivoWiFiBaseVLItem* item)
{
    delete m_binding;
    m_binding = nullptr;
    if (item)
        setItemCtrl(item);
    if (!list)
        return;
    // The model is this screen's: parented to the flow, it would outlive the
    // released screen and keep pointing at it, one more on every visit.
    m_binding = new zyrCListBinding(list, this, this, this);
}

void KivoWiFiBaseVirtualList::resetModel()
{
    if (m_binding)
        m_binding->model()->reset();
}
