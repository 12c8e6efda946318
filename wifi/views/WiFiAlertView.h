// The alert screen (view 12): one message and one or two buttons, chosen by
// the flow's alert type each time the screen is shown.
#pragma once

#include "wifi/views/KivoWiFiBaseView.h"

#include <QPixmap>
#include <QTimer>

class KivoWiFiFlow;
class QLabel;
class WiFiAlertView480x272Class;
class phxIcon;
class phxPushButton;

class WiFiAlertView : public KivoWiFiBaseView {
    Q_OBJECT
public:
    static constexpr int LOADING_FRAME_MS = 150;

    WiFiAlertView(const QString& resolution, KivoWiFiFlow* flow);
    ~WiFiAlertView() override;

    // Shows the flow's alert type: message, buttons and their one action
    // each. Types outside the table change nothing.
    void changeAlertType();
    // Stops the loading animation (the program is ending).
    void stopAnimation();

    void setStyleSheets(const QString&) override { }

    // Inserts a line feed after each ". " that is not the text's end.
    static QString withSentenceBreaks(QString text);

public slots:
    void onEnableBtnClick();
    void onSyncBtnClick();
    void onDisNetWorkBtnClick();
    void onEnaNetworkBtnClick();
    void onSyncFailBtnClick();
    void loadpic();

private:
    // OK alone, wired to a slot of this screen or (null slot) to the flow's
    // exit.
    void showOk(const QString& message, const char* slot);
    void wire(phxPushButton* button, const char* slot);

    QTimer m_animationTimer;
    WiFiAlertView480x272Class* m_form;
    QLabel* m_message;
    phxPushButton* m_okBtn;
    KivoWiFiFlow* m_flow;
    phxPushButton* m_yesBtn;
    phxPushButton* m_noBtn;
    phxIcon* m_loadingIcon;
    int m_frame = 1;
    QPixmap m_framePixmap;
    bool m_exitRequested = false;
};
