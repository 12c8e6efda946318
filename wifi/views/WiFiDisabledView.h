// The Wi-Fi off screen (view 4): says Wi-Fi is off and switches it on.
#pragma once

#include "wifi/views/KivoWiFiBaseView.h"

class KivoWiFiFlow;
class QPushButton;
class WiFiDisabledView480x272Class;
class WiFiDisabledView800x480Class;
class phxPushButton;

class WiFiDisabledView : public KivoWiFiBaseView {
    Q_OBJECT
public:
    WiFiDisabledView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiDisabledView() override;

    void setStyleSheets(const QString& mode) override;

public slots:
    // Wi-Fi on, then the network list.
    void onEnableBtnClick();

private:
    WiFiDisabledView480x272Class* m_form = nullptr;
    WiFiDisabledView800x480Class* m_form800 = nullptr;
    QPushButton* m_enableBtn;
    phxPushButton* m_backBtn;
    QWidget* m_background;
    QWidget* m_footer;
    KivoWiFiFlow* m_pFlow;
};
