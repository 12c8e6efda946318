// The security screen (view 3): the six security types the add-network
// screen understands; a pick becomes the flow's security choice.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QModelIndex>
#include <QString>
#include <QVector>

class KivoWiFiFlow;
class QLabel;
class WiFiSecurityView480x272Class;
class WiFiSecurityView800x480Class;
class phxPushButton;
class phxVirtualList;

// One entry of the security screen and the option chooser.
struct SecurityItem {
    QString text;
    QString value;
    int mark = 0;
};

class WiFiSecurityView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    WiFiSecurityView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiSecurityView() override;

    // Rebuilds the entries, marking the flow's security choice.
    void setupView();
    void setStyleSheets(const QString& mode) override;

    int getRowCount(const QModelIndex& parent) override;
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override;

    const QVector<SecurityItem>& entries() const { return m_items; }

public slots:
    void ListItemSelected(const QModelIndex& index);
    void OnEncryptionClicked();
    void OnAuthClicked();
    void OnKeyIndexClicked();

private:
    void addItem(const QString& text, const QString& value, int mark);

    WiFiSecurityView480x272Class* m_form = nullptr;
    WiFiSecurityView800x480Class* m_form800 = nullptr;
    phxVirtualList* m_list;
    phxPushButton* m_backBtn;
    KivoWiFiFlow* m_pFlow;
    QLabel* m_title = nullptr;
    QVector<SecurityItem> m_items;
};
