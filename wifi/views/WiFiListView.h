// The option chooser (view 6): one field of the flow's current Wi-Fi
// settings record (encryption 7, authentication 8, key index 9); a pick
// stores the value and goes back.
#pragma once

#include "wifi/views/WiFiSecurityView.h"

class WiFiListView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    WiFiListView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiListView() override;

    // Rebuilds the entries for the mode, marking the record's value.
    void setupView(int mode);
    void setStyleSheets(const QString& mode) override;

    int getRowCount(const QModelIndex& parent) override;
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override;

    const QVector<SecurityItem>& entries() const { return m_items; }
    int mode() const { return m_mode; }

public slots:
    void ListItemSelected(const QModelIndex& index);
    void OnEncryptionClicked(int row);
    void OnAuthClicked(int row);
    void OnKeyIndexClicked(int row);

private:
    // The entry's text is what is shown, its value what is stored.
    void addItem(const QString& value, const QString& text, int mark);
    void store(const QString& key, int row);

    WiFiSecurityView480x272Class* m_form = nullptr;
    WiFiSecurityView800x480Class* m_form800 = nullptr;
    phxVirtualList* m_list;
    phxPushButton* m_backBtn;
    QLabel* m_title;
    KivoWiFiFlow* m_pFlow;
    QVector<SecurityItem> m_items;
    int m_mode = 0;
};
