// Forms of the information screen: 240 x 400 (labels) and 800 x 480 (a
// three-row list).
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QFont>
#include <QLabel>

class WiFiNetworkInfoView480x272Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    phxWidget* wgBackground;
    QLabel* IP_Address_title;
    QLabel* IP_Address;
    QLabel* Subnet_Mask_title;
    QLabel* Subnet_Mask;
    QLabel* Gateway_title;
    QLabel* Gateway;
    phxPushButton* lefBtn;
    QWidget* wgEnd;
    phxPushButton* btnBack;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(240, 400);
        wgBackground = place<phxWidget>(form, "wgBackground", QRect(0, 25, 240, 325));
        wgBackground->setBackground(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(0, 0, 240, 27));
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        QFont arial(QStringLiteral("Arial"), 12);
        const struct {
            QLabel** label;
            const char* name;
            QRect geometry;
        } labels[] = {
            { &IP_Address_title, "IP_Address_title", QRect(10, 42, 111, 21) },
            { &IP_Address, "IP_Address", QRect(28, 61, 151, 21) },
            { &Subnet_Mask_title, "Subnet_Mask_title", QRect(10, 102, 131, 21) },
            { &Subnet_Mask, "Subnet_Mask", QRect(28, 121, 151, 21) },
            { &Gateway_title, "Gateway_title", QRect(10, 162, 111, 31) },
            { &Gateway, "Gateway", QRect(28, 185, 151, 21) },
        };
        for (const auto& l : labels) {
            *l.label = place<QLabel>(form, l.name, l.geometry);
            (*l.label)->setFont(arial);
        }
        lefBtn = place<phxPushButton>(form, "lefBtn", QRect(15, 245, 210, 45));
        lefBtn->setFont(QFont(QStringLiteral("Arial"), 11));
        lefBtn->setNormal(QPixmap(QStringLiteral(":/Button/button_normal.png")));
        lefBtn->setPressed(QPixmap(QStringLiteral(":/Button/button_normal_p.png")));
        lefBtn->setDisabled(QPixmap(QStringLiteral(":/Button/button_normal_d.png")));
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 350, 240, 50));
        btnBack = place<phxPushButton>(wgEnd, "btnBack", QRect(42, 4, 156, 43));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/b_v.png")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/b_v_p.png")));
        btnBack->setDisabled(QPixmap(QStringLiteral(":/Button/b_v_d.png")));
    }
};

class WiFiNetworkInfoView800x480Class {
public:
    phxWidget* wgTitle;
    phxPushButton* btnBack;
    QLabel* lblTitleText;
    phxIcon* Shade;
    phxVirtualList* virtuallist;
    QWidget* wgEnd;
    phxPushButton* lefBtn;
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
        lblTitleText->setText(QStringLiteral("WiFi"));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 62, 716, 356));
        Shade = place<phxIcon>(form, "Shade", QRect(0, 62, 716, 356));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/shadow_footer_bg.mif")));
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 418, 800, 62));
        lefBtn = place<phxPushButton>(wgEnd, "lefBtn", QRect(286, 8, 211, 50));
        lefBtn->setText(QStringLiteral("Leave NetWork"));
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(716, 62, 84, 178));
        UpBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_up_button_bg.mif")));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(716, 240, 84, 178));
        DownBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_down_button_bg.mif")));
    }
};
