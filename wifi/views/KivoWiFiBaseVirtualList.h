// The list framework of KivoWiFi's screens: a screen supplies a row count
// and fills one row widget per row; a delegate paints that single widget once
// for every visible row of the screen's phxVirtualList.
#pragma once

#include "wifi/views/KivoWiFiBaseView.h"

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QModelIndex>
#include <QStyleOptionViewItem>

class phxVirtualList;

// Holds the one row widget of a list and fills it per row.
template <typename T> class zyrCItemCtrlProviderT {
public:
    zyrCItemCtrlProviderT() = default;
    zyrCItemCtrlProviderT(const zyrCItemCtrlProviderT&) = delete;
    zyrCItemCtrlProviderT& operator=(const zyrCItemCtrlProviderT&) = delete;

    // The untyped form the delegate calls; forwards to the typed one.
    virtual void updateItemCtrl(const QModelIndex& index, QWidget* item, const QStyleOptionViewItem& option)
    {
        if (T* typed = qobject_cast<T*>(item))
            updateItemCtrl(index, typed, option);
    }
    virtual ~zyrCItemCtrlProviderT() { delete m_item; }
    // Fills the row widget with the data of row index.row().
    virtual void updateItemCtrl(const QModelIndex& index, T* item, const QStyleOptionViewItem& option) = 0;

    T* itemCtrl() const { return m_item; }
    // Takes the widget (owned); a previous one is deleted.
    void setItemCtrl(T* item)
    {
        if (item == m_item)
            return;
        delete m_item;
        m_item = item;
    }

private:
    T* m_item = nullptr;
};

using KivoWiFiItemProvider = zyrCItemCtrlProviderT<KivoWiFiBaseVLItem>;

class zyrCListModelDataProvider {
public:
    virtual int getRowCount(const QModelIndex& parent) = 0;

protected:
    ~zyrCListModelDataProvider() = default;
};

Q_DECLARE_INTERFACE(KivoWiFiItemProvider, "zyrCItemCtrlProviderT<KivoWiFiBaseVLItem>")
Q_DECLARE_INTERFACE(zyrCListModelDataProvider, "zyrCListModelDataProvider")

// The model of a bound list: its rows come from the data provider; rows
// are enabled only (not selectable). Role 13 answers a row's own height
// where one is stored.
class zyrCListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int HeightRole = 13;

    zyrCListModel(zyrCListModelDataProvider* provider, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Replaces the stored height of a row that has one; refuses anything else.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // The data changed: every view rereads the model.
    void reset();

private:
    zyrCListModelDataProvider* m_provider;
    QMap<int, int> m_heights;
};

// Paints the provider's one row widget for every row of the list.
class zyrCItemDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    zyrCItemDelegate(KivoWiFiItemProvider* provider, phxVirtualList* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // How many bytes of row pictures a list keeps at most.
    static constexpr int PICTURE_BYTES_KEPT = 2 * 1024 * 1024;

private:
    KivoWiFiBaseVLItem* m_item;
    KivoWiFiItemProvider* m_provider;
    // The list's position in its window. Rows are drawn through a buffer at
    // their own rectangles of the list's viewport, so it is not added.
    QPoint m_windowOffset;
    phxVirtualList* m_list;
    mutable QImage m_rowBuffer;
    // Rendered rows by their picture keys: a repaint that shows the same
    // rows again (a scroll, a bounce) draws them without laying out their
    // texts and widgets anew.
    mutable QHash<QString, QImage> m_pictures;
    mutable qint64 m_pictureBytes = 0;
};

// A list, its model and its delegate, as setListProvider binds them.
class zyrCListBinding {
public:
    zyrCListBinding(phxVirtualList* list, KivoWiFiItemProvider* items, zyrCListModelDataProvider* data,
        QObject* modelParent);
    virtual ~zyrCListBinding();
    zyrCListBinding(const zyrCListBinding&) = delete;
    zyrCListBinding& operator=(const zyrCListBinding&) = delete;

    zyrCListModel* model() const { return m_model; }
    zyrCItemDelegate* delegate() const { return m_delegate; }

private:
    phxVirtualList* m_list;
    zyrCListModel* m_model;
    zyrCItemDelegate* m_delegate;
};

class KivoWiFiBaseVirtualList : public KivoWiFiBaseView, public KivoWiFiItemProvider, public zyrCListModelDataProvider {
    Q_OBJECT
    Q_INTERFACES(KivoWiFiItemProvider zyrCListModelDataProvider)
public:
    explicit KivoWiFiBaseVirtualList(QWidget* parent);
    ~KivoWiFiBaseVirtualList() override;

    // Binds the list to a model and a delegate that paints `item` (taken as
    // the row widget when not null). The model belongs to this screen and
    // goes with it. A null list leaves the screen unbound.
    void setListProvider(phxVirtualList* list, KivoWiFiBaseVLItem* item);
    // Rereads the screen's rows.
    void resetModel();
    zyrCListBinding* listBinding() const { return m_binding; }

private:
    zyrCListBinding* m_binding = nullptr;
};
