// Form of the searching screen (240 x 400): title, the status text over an
// empty list, the loading animation, "Sync at Start-up" with its tick, the
// way to the network list and the exit button in the bottom bar.
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

class WiFiSearchingView480x272Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    QWidget* wgEnd;
    phxVirtualList* virtuallist;
    QWidget* wgInfo;
    QLabel* SearchInfo;
    phxIcon* Shade_2;
    QWidget* wgAutoSync;
    phxPushButton* AutoSyncBtn;
    phxIcon* icon;
    QPushButton* RefBtn;
    phxPushButton* UpBtn;
    phxPushButton* DownBtn;
    QPushButton* DisBtn;
    QPushButton* JoinBtn;
    phxWidget* wgDown;
    phxPushButton* btnBack;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        if (form->objectName().isEmpty())
            form->setObjectName(QStringLiteral("WiFiSearchingView480x272Class"));
        form->resize(240, 400);

        QFont arial;
        arial.setFamily(QStringLiteral("Arial"));
        arial.setPointSize(14);
        QFont title = arial;
        title.setPointSize(12);
        title.setBold(true);

        // The background area lies under everything else.
        wgEnd = place<QWidget>(form, "wgEnd", QRect(0, 230, 240, 121));
        wgEnd->setAttribute(Qt::WA_StyledBackground);
        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 40, 240, 120));

        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        lblTitleText = place<QLabel>(wgTitle, "lblTitleText", QRect(0, 0, 240, 27));
        lblTitleText->setFont(title);
        lblTitleText->setAlignment(Qt::AlignCenter);
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));

        // The status text over the (empty) list.
        wgInfo = place<QWidget>(form, "wgInfo", QRect(0, 40, 240, 121));
        SearchInfo = place<QLabel>(wgInfo, "SearchInfo", QRect(0, 0, 241, 121));
        SearchInfo->setFont(arial);
        SearchInfo->setAlignment(Qt::AlignCenter);
        SearchInfo->setWordWrap(true);

        Shade_2 = place<phxIcon>(form, "Shade_2", QRect(82, 170, 76, 76));

        // "Sync at Start-up" takes its picture's size; its tick sits just
        // right of it.
        wgAutoSync = place<QWidget>(form, "wgAutoSync", QRect(0, 252, 240, 45));
        AutoSyncBtn = place<phxPushButton>(wgAutoSync, "AutoSyncBtn", QRect(15, 1, 156, 43));
        QFont buttonFont = arial;
        buttonFont.setPointSize(11);
        AutoSyncBtn->setFont(buttonFont);
        AutoSyncBtn->setNormal(QPixmap(QStringLiteral(":/Button/button_normal.png")));
        AutoSyncBtn->setPressed(QPixmap(QStringLiteral(":/Button/button_normal_p.png")));
        icon = place<phxIcon>(wgAutoSync, "icon", QRect(173, 8, 30, 30));
        icon->setImage(QPixmap(QStringLiteral(":/Join_network/i_v.png")));

        RefBtn = place<QPushButton>(form, "RefBtn", QRect(15, 300, 210, 45));
        RefBtn->setFont(buttonFont);

        // Buttons the form shares with the list screens; no role here.
        UpBtn = place<phxPushButton>(form, "UpBtn", QRect(0, 0, 0, 0));
        DownBtn = place<phxPushButton>(form, "DownBtn", QRect(0, 0, 0, 0));
        DisBtn = place<QPushButton>(form, "DisBtn", QRect(0, 0, 0, 0));
        JoinBtn = place<QPushButton>(form, "JoinBtn", QRect(0, 0, 0, 0));
        for (QWidget* unused : { static_cast<QWidget*>(UpBtn), static_cast<QWidget*>(DownBtn),
                 static_cast<QWidget*>(DisBtn), static_cast<QWidget*>(JoinBtn) })
            unused->hide();

        wgDown = place<phxWidget>(form, "wgDown", QRect(0, 353, 240, 47));
        wgDown->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        btnBack = place<phxPushButton>(wgDown, "btnBack", QRect(46, 2, 156, 43));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/b_v.png")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/b_v_p.png")));

        retranslateUi(form);
    }

    void retranslateUi(QWidget* form)
    {
        form->setWindowTitle(QCoreApplication::translate("WiFiSearchingView480x272Class", "WiFiSearchingView"));
        DisBtn->setText(QCoreApplication::translate("WiFiSearchingView480x272Class", "Disconnect"));
        JoinBtn->setText(QCoreApplication::translate("WiFiSearchingView480x272Class", "Join"));
    }
};
