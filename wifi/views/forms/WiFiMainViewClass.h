// Forms of the network list: 240 x 400 (status line with the searching
// animation, three rows, add and refresh buttons, scroll and back buttons
// below) and 800 x 480 (a list with scroll bars and three buttons).
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>

class WiFiMainView480x272Class {
public:
    phxWidget* wgTitle;
    phxPushButton* btnBack;
    QLabel* lblTitleText;
    phxWidget* wgWiFi;
    phxIcon* Loading;
    QLabel* WiFiSituation;
    phxIcon* Shade;
    phxVirtualList* virtuallist;
    QWidget* wgEnd;
    QPushButton* JoinBtn;
    QPushButton* RefBtn;
    QPushButton* DisBtn;
    phxWidget* wgDown;
    phxPushButton* UpBtn;
    phxPushButton* ConfirmBtn;
    phxPushButton* DownBtn;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(240, 400);
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        btnBack = place<phxPushButton>(form, "btnBack", QRect(0, 0, 0, 0));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(0, 0, 240, 29));
        lblTitleText->setFont(QFont(QStringLiteral("Arial"), 11));
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        wgWiFi = place<phxWidget>(form, "wgWiFi", QRect(0, 24, 240, 46));
        wgWiFi->setBackground(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        Loading = place<phxIcon>(wgWiFi, "Loading", QRect(115, 11, 30, 30));
        WiFiSituation = place<QLabel>(wgWiFi, "WiFiSituation", QRect(18, 18, 150, 21));
        WiFiSituation->setFont(QFont(QStringLiteral("Arial"), 14));
        // The background picture lies under the list, not over its rows.
        Shade = place<phxIcon>(form, "Shade", QRect(0, 70, 240, 167));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 70, 240, 167));
        // The footer covers the list's last pixels: three rows show.
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 210, 240, 141));
        JoinBtn = place<QPushButton>(wgEnd, "JoinBtn", QRect(15, 35, 210, 45));
        RefBtn = place<QPushButton>(wgEnd, "RefBtn", QRect(15, 88, 210, 45));
        const QFont arial16(QStringLiteral("Arial"), 16);
        JoinBtn->setFont(arial16);
        RefBtn->setFont(arial16);
        // Zero size: Wi-Fi cannot be switched off from this form.
        DisBtn = place<QPushButton>(wgEnd, "DisBtn", QRect(30, 2, 0, 0));
        DisBtn->setFont(QFont(QStringLiteral("Lorden Sarvick"), 14));
        wgDown = place<phxWidget>(form, "wgDown", QRect(0, 350, 240, 50));
        wgDown->setBackground(QPixmap(QStringLiteral(":/Under/bkgd_title_bar_settings.png")));
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(3, 354, 76, 43));
        UpBtn->setNormal(QPixmap(QStringLiteral(":/Button/button_list_up.png")));
        UpBtn->setPressed(QPixmap(QStringLiteral(":/Button/button_list_up_p.png")));
        UpBtn->setDisabled(QPixmap(QStringLiteral(":/Button/button_list_up_d.png")));
        ConfirmBtn = place<phxPushButton>(form, "ConfirmBtn", QRect(82, 354, 76, 43));
        ConfirmBtn->setNormal(QPixmap(QStringLiteral(":/Button/b_v_s.png")));
        ConfirmBtn->setPressed(QPixmap(QStringLiteral(":/Button/b_v_s_p.png")));
        ConfirmBtn->setDisabled(QPixmap(QStringLiteral(":/Button/b_v_s_d.png")));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(161, 354, 76, 43));
        DownBtn->setNormal(QPixmap(QStringLiteral(":/Button/button_list_down.png")));
        DownBtn->setPressed(QPixmap(QStringLiteral(":/Button/button_list_down_p.png")));
        DownBtn->setDisabled(QPixmap(QStringLiteral(":/Button/button_list_down_d.png")));
        DisBtn->setText(QCoreApplication::translate("WiFiMainView480x272Class", "Disable WiFi"));
    }
};

class WiFiMainView800x480Class {
public:
    phxWidget* wgTitle;
    phxPushButton* btnBack;
    QLabel* lblTitleText;
    phxIcon* Shade;
    phxVirtualList* virtuallist;
    QWidget* wgEnd;
    QPushButton* DisBtn;
    QPushButton* JoinBtn;
    QPushButton* RefBtn;
    phxPushButton* UpBtn;
    phxPushButton* DownBtn;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(800, 480);
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 800, 62));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/header_settings_bg.mif")));
        btnBack = place<phxPushButton>(form, "btnBack", QRect(10, 2, 72, 56));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/backbutton.mif")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/backbutton_down.mif")));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(98, 12, 300, 38));
        Shade = place<phxIcon>(form, "Shade", QRect(0, 62, 716, 356));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/shadow_footer_bg.mif")));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 62, 716, 356));
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 418, 800, 62));
        DisBtn = place<QPushButton>(wgEnd, "DisBtn", QRect(52, 6, 214, 50));
        JoinBtn = place<QPushButton>(wgEnd, "JoinBtn", QRect(293, 6, 214, 50));
        RefBtn = place<QPushButton>(wgEnd, "RefBtn", QRect(534, 6, 214, 50));
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(716, 62, 84, 178));
        UpBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_up_button_bg.mif")));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(716, 240, 84, 178));
        DownBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_down_button_bg.mif")));
        lblTitleText->setText(QCoreApplication::translate("WiFiMainView800x480Class", "WiFi"));
        DisBtn->setText(QCoreApplication::translate("WiFiMainView800x480Class", "Disable WiFi"));
        JoinBtn->setText(QCoreApplication::translate("WiFiMainView800x480Class", "Join NetWork"));
        RefBtn->setText(QCoreApplication::translate("WiFiMainView800x480Class", "Refresh"));
    }
};
