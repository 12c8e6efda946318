// The network list (view 0): the networks the adapter sees, each with its
// lock and signal icon, the connected (or connecting) one marked; from here
// the user rescans, adds a network, opens a listed one or the information
// of the connected one, or switches Wi-Fi off.
#pragma once

#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QPixmap>
#include <QTimer>

class KivoWiFiFlow;
class QLabel;
class QPushButton;
class WiFiMainView480x272Class;
class WiFiMainView800x480Class;
class phxIcon;
class phxPushButton;
class phxVirtualList;

class WiFiMainView : public KivoWiFiBaseVirtualList {
    Q_OBJECT
public:
    static constexpr int LOADING_FRAME_MS = 150;
    static constexpr int ICON_FRAME_MS = 150;
    // Selection modes read by the add-network screen.
    static constexpr int SELECT_LISTED = 3;
    static constexpr int SELECT_NEW = 4;

    WiFiMainView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiMainView() override;

    // Each time the screen is shown: a rescan, unless a portal login is
    // pending (then the flow's status poll stays stopped).
    void RefreshList();
    // The flow read the visible list again: the rows show the networks.
    void endRefresh();

    void setStyleSheets(const QString& mode) override;
    int getRowCount(const QModelIndex& parent) override;
    using KivoWiFiItemProvider::updateItemCtrl;
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override;

    bool isRefreshing() const { return m_refreshing; }
    QString selectedName() const { return m_selectedName; }
    int selectionMode() const { return m_selectionMode; }
    int selectedRow() const { return m_selectedRow; }
    bool isLoadingAnimated() const { return m_loadingTimer.isActive(); }
    bool isIconAnimated() const { return m_iconTimer.isActive(); }
    int loadingFrame() const { return m_loadingFrame; }

    // The combined lock and signal icon of a network: secured or open, by
    // its RSSI in dBm.
    static QString lockIconPath(bool secured, int rssi);
    // WEP enabled (0) and the WPA/WPA2 states (4 to 7) are secured.
    static bool isSecuredPrivacy(int privacy);

public slots:
    void onAPListItemSelected(QModelIndex index);
    void onDisBtnClick();
    void onJoinBtnClick();
    void onRefreshBtnClick();
    void LoadingIcon();
    void UpdateIcon();

protected:
    // One scroll step per press of up or down: no hold-to-scroll here.
    void timerEvent(QTimerEvent* event) override;
    // A hidden list animates nothing: its animations pause while another
    // screen is shown and go on when the list is shown again.
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool isSecured(int row) const;
    void rescan();
    QString dayNight() const;

    WiFiMainView480x272Class* m_form = nullptr;
    WiFiMainView800x480Class* m_form800 = nullptr;
    phxVirtualList* m_list;
    QPushButton* m_disableBtn;
    QPushButton* m_addBtn;
    QPushButton* m_refreshBtn;
    phxPushButton* m_backBtn;
    QWidget* m_footer;
    KivoWiFiFlow* m_pFlow;
    bool m_refreshing = true;
    // Small form only.
    QLabel* m_status = nullptr;
    QLabel* m_title = nullptr;
    phxIcon* m_loading = nullptr;
    phxPushButton* m_upBtn = nullptr;
    phxPushButton* m_downBtn = nullptr;
    QString m_selectedName;
    int m_selectionMode = 0;
    int m_selectedRow = -1;
    QPixmap m_loadingPixmap;
    int m_loadingFrame = 1;
    QTimer m_loadingTimer;
    QTimer m_iconTimer;
    // The animations that were running when the list was hidden.
    bool m_loadingPaused = false;
    bool m_iconPaused = false;
};
