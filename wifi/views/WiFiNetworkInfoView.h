// The information screen (view 5): the connected network's addresses, and
// a way to forget it.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

class KivoWiFiFlow;
class QLabel;
class QWidget;
class WiFiNetworkInfoView480x272Class;
class WiFiNetworkInfoView800x480Class;
class phxPushButton;

class WiFiNetworkInfoView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    WiFiNetworkInfoView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiNetworkInfoView() override;

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex& parent) override;
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override;

public slots:
    // Asks whether to forget the network (alert screen).
    void onlefBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    WiFiNetworkInfoView480x272Class* m_form = nullptr;
    WiFiNetworkInfoView800x480Class* m_form800 = nullptr;
    phxPushButton* m_forgetBtn;
    phxPushButton* m_backBtn;
    QWidget* m_footer;
    KivoWiFiFlow* m_pFlow;
    QString m_ipAddress;
    QString m_subnetMask;
    QString m_gateway;
    QLabel* m_title;
    QLabel* m_ipTitle = nullptr;
    QLabel* m_ip = nullptr;
    QLabel* m_maskTitle = nullptr;
    QLabel* m_mask = nullptr;
    QLabel* m_gatewayTitle = nullptr;
    QLabel* m_gatewayLabel = nullptr;
};
