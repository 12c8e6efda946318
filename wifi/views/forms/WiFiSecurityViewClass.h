// Forms of the security screen and the option chooser (they share them):
// 240 x 400 and 800 x 480.
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QFont>
#include <QLabel>

class WiFiSecurityView480x272Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    phxVirtualList* virtuallist;
    phxIcon* Shade;
    QWidget* wgEnd;
    phxPushButton* btnBack;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(240, 400);
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(0, 0, 240, 27));
        QFont arial(QStringLiteral("Arial"));
        lblTitleText->setFont(arial);
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        // The background picture lies under the list, not over its rows.
        Shade = place<phxIcon>(form, "Shade", QRect(0, 27, 240, 323));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 27, 240, 323));
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 350, 240, 50));
        wgEnd->setStyleSheet(QStringLiteral("background-image: url(:/Under/bkgd_title_bar_settings.png);"));
        btnBack = place<phxPushButton>(wgEnd, "btnBack", QRect(42, 4, 156, 43));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/b_v.png")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/b_v_p.png")));
    }
};

class WiFiSecurityView800x480Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    phxVirtualList* virtuallist;
    phxIcon* Shade;
    phxPushButton* btnBack;
    phxPushButton* UpBtn;
    phxPushButton* DownBtn;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(800, 480);
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 800, 62));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/header_settings_bg.mif")));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(98, 12, 300, 38));
        lblTitleText->setText(QStringLiteral("Security"));
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 62, 716, 418));
        Shade = place<phxIcon>(form, "Shade", QRect(0, 62, 716, 418));
        Shade->setImage(QPixmap(QStringLiteral(":/Background/shadow_bg.mif")));
        btnBack = place<phxPushButton>(form, "btnBack", QRect(10, 2, 72, 56));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/backbutton.mif")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/backbutton_down.mif")));
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(716, 62, 84, 209));
        UpBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_long_up_button_bg.mif")));
        UpBtn->setPressed(QPixmap(QStringLiteral(":/Button/scroll_long_up_button_bg_pressed.mif")));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(716, 271, 84, 209));
        DownBtn->setNormal(QPixmap(QStringLiteral(":/Button/scroll_long_down_button_bg.mif")));
        DownBtn->setPressed(QPixmap(QStringLiteral(":/Button/scroll_long_down_button_bg_pressed.mif")));
    }
};
