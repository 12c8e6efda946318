// Form of the sync screen (240 x 400). It is laid out as the searching
// screen, whose objects it shares: title, the status text over an empty list,
// the loading animation, "Sync at Start-up" with its tick, the way to the
// network list and the exit button in the bottom bar.
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

class WiFiSyncView480x272Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    QWidget* wgEnd;
    phxVirtualList* virtuallist;
    QWidget* wgInfo;
    QLabel* SearchInfo;
    phxIcon* Shade_2;
    phxPushButton* AutoSyncBtn;
    phxIcon* icon;
    QPushButton* RefBtn;
    phxWidget* wgDown;
    phxPushButton* btnBack;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        if (form->objectName().isEmpty())
            form->setObjectName(QStringLiteral("WiFiSyncView480x272Class"));
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

        // The progress and result texts over the (empty) list.
        wgInfo = place<QWidget>(form, "wgInfo", QRect(0, 40, 240, 121));
        SearchInfo = place<QLabel>(wgInfo, "SearchInfo", QRect(0, 0, 241, 121));
        SearchInfo->setFont(arial);
        SearchInfo->setAlignment(Qt::AlignCenter);
        SearchInfo->setWordWrap(true);

        Shade_2 = place<phxIcon>(form, "Shade_2", QRect(82, 170, 76, 76));

        AutoSyncBtn = place<phxPushButton>(form, "AutoSyncBtn", QRect(15, 252, 210, 45));
        AutoSyncBtn->setFont(arial);
        // As wide as the other button, with room for the tick on its right:
        // its pictures are stretched to it.
        AutoSyncBtn->setAutoResize(false);
        AutoSyncBtn->setGeometry(QRect(15, 252, 210, 45));
        auto stretched = [](const char* picture) {
            return QPixmap(QLatin1String(picture)).scaled(210, 45, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        AutoSyncBtn->setNormal(stretched(":/Button/button_normal.png"));
        AutoSyncBtn->setPressed(stretched(":/Button/button_normal_p.png"));
        icon = place<phxIcon>(AutoSyncBtn, "icon", QRect(173, 8, 30, 30));
        icon->setImage(QPixmap(QStringLiteral(":/Join_network/i_v.png")));
        icon->setAttribute(Qt::WA_TransparentForMouseEvents);

        RefBtn = place<QPushButton>(form, "RefBtn", QRect(15, 300, 210, 45));
        RefBtn->setFont(arial);

        wgDown = place<phxWidget>(form, "wgDown", QRect(0, 353, 240, 47));
        wgDown->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        btnBack = place<phxPushButton>(wgDown, "btnBack", QRect(46, 2, 156, 43));
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/b_v.png")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/b_v_p.png")));

        retranslateUi(form);
    }

    void retranslateUi(QWidget* form)
    {
        form->setWindowTitle(QCoreApplication::translate("WiFiSyncView480x272Class", "WiFiSyncView"));
    }
};
