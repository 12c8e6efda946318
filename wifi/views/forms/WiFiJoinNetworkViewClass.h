// Forms of the add-network screen: 240 x 400 (name, security and password
// fields) and 800 x 480 (a list that no entries fill).
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class WiFiJoinNetworkView480x272Class {
public:
    phxWidget* wgBackground;
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    QWidget* wgEnd;
    phxPushButton* JoinBtn;
    QLabel* Network;
    QLabel* Security;
    phxPushButton* SecurityBtn;
    QLabel* SecurityType;
    QLabel* Password;
    QLineEdit* PasswordEdit;
    QLineEdit* NameEdit;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(240, 400);
        form->setFocusPolicy(Qt::ClickFocus);
        // The page lies under the fields and the title bar over its top edge.
        wgBackground = place<phxWidget>(form, "wgBackground", QRect(0, 20, 240, 330));
        wgBackground->setBackground(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        lblTitleText = place<QLabel>(wgTitle, "lblTitleText", QRect(0, 0, 240, 27));
        lblTitleText->setFont(QFont(QStringLiteral("Arial"), 11));
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));

        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 350, 240, 50));
        JoinBtn = place<phxPushButton>(wgEnd, "JoinBtn", QRect(42, 4, 156, 43));
        JoinBtn->setNormal(QPixmap(QStringLiteral(":/Button/b_v.png")));
        JoinBtn->setPressed(QPixmap(QStringLiteral(":/Button/b_v_p.png")));
        JoinBtn->setDisabled(QPixmap(QStringLiteral(":/Button/b_v_d.png")));

        Network = place<QLabel>(form, "Network", QRect(18, 34, 141, 20));
        Network->setFont(QFont(QStringLiteral("Arial"), 14));
        Security = place<QLabel>(form, "Security", QRect(18, 115, 120, 20));
        SecurityBtn = place<phxPushButton>(form, "SecurityBtn", QRect(15, 137, 210, 35));
        SecurityBtn->setNormal(QPixmap(QStringLiteral(":/Join_network/b_security.png")));
        SecurityBtn->setPressed(QPixmap(QStringLiteral(":/Join_network/b_security_p.png")));
        SecurityType = place<QLabel>(SecurityBtn, "SecurityType", QRect(10, 0, 200, 35));
        SecurityType->setFont(QFont(QStringLiteral("Arial"), 16));
        Password = place<QLabel>(form, "Password", QRect(18, 196, 120, 20));

        PasswordEdit = place<QLineEdit>(form, "PasswordEdit", QRect(15, 218, 210, 35));
        PasswordEdit->setFont(QFont(QStringLiteral("Arial"), 16));
        PasswordEdit->setFrame(false);
        PasswordEdit->setEchoMode(QLineEdit::Password);
        PasswordEdit->setAlignment(Qt::AlignCenter);
        NameEdit = place<QLineEdit>(form, "NameEdit", QRect(15, 56, 210, 35));
        NameEdit->setAlignment(Qt::AlignCenter);
    }
};

class WiFiJoinNetworkView800x480Class {
public:
    phxWidget* wgTitle;
    phxPushButton* btnBack;
    QLabel* lblTitleText;
    phxIcon* Shade;
    phxVirtualList* virtuallist;
    phxPushButton* UpBtn;
    phxPushButton* DownBtn;
    QWidget* wgEnd;
    QPushButton* JoinBtn;

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
        lblTitleText->setText(QCoreApplication::translate("WiFiJoinNetworkView800x480Class", "Join Network"));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 62, 716, 356));
        Shade = place<phxIcon>(form, "Shade", QRect(0, 62, 716, 356));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/shadow_footer_bg.mif")));
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(716, 62, 84, 178));
        UpBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_up_button_bg.mif")));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(716, 240, 84, 178));
        DownBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_down_button_bg.mif")));
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 418, 800, 62));
        JoinBtn = place<QPushButton>(wgEnd, "JoinBtn", QRect(200, 8, 411, 50));
        JoinBtn->setText(QCoreApplication::translate("WiFiJoinNetworkView800x480Class", "Join"));
    }
};
