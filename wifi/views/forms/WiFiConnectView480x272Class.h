// Form of the connecting screen (240 x 400): a dialog with the message, the
// connecting animation and Cancel and OK on the same place.
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QLabel>

class WiFiConnectView480x272Class {
public:
    phxVirtualList* virtuallist;
    phxIcon* Shade;
    QLabel* lblConnectMsg;
    phxPushButton* unConnect;
    phxPushButton* BlackJoinView;
    phxIcon* ConnectingIcon;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        if (form->objectName().isEmpty())
            form->setObjectName(QStringLiteral("WiFiConnectView480x272Class"));
        form->resize(240, 400);
        form->setMaximumSize(240, 400);

        virtuallist = place<phxVirtualList>(form, "virtuallist", QRect(0, 0, 0, 0));
        Shade = place<phxIcon>(form, "Shade", QRect(0, 0, 240, 400));
        Shade->setImage(QPixmap(QStringLiteral(":/Dialog/dialogback_confirm.png")));

        QFont arial;
        arial.setFamily(QStringLiteral("Arial"));
        arial.setPointSize(14);

        // Top-aligned, so the animation below the two lines stays clear.
        lblConnectMsg = place<QLabel>(form, "lblConnectMsg", QRect(20, 100, 200, 151));
        lblConnectMsg->setFont(arial);
        lblConnectMsg->setStyleSheet(QStringLiteral("color:rgb(255, 255, 255)"));
        lblConnectMsg->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        lblConnectMsg->setWordWrap(true);

        unConnect = place<phxPushButton>(form, "unConnect", QRect(26, 260, 186, 45));
        unConnect->setFont(arial);
        unConnect->setNormal(QPixmap(QStringLiteral(":/Dialog/b_pop_no.png")));
        unConnect->setPressed(QPixmap(QStringLiteral(":/Dialog/b_pop_no_p.png")));

        BlackJoinView = place<phxPushButton>(form, "BlackJoinView", QRect(26, 260, 186, 45));
        BlackJoinView->setFont(arial);
        BlackJoinView->setNormal(QPixmap(QStringLiteral(":/Dialog/b_pop_yes.png")));
        BlackJoinView->setPressed(QPixmap(QStringLiteral(":/Dialog/b_pop_yes_p.png")));

        ConnectingIcon = place<phxIcon>(form, "ConnectingIcon", QRect(82, 170, 76, 76));

        form->setWindowTitle(QCoreApplication::translate("WiFiConnectView480x272Class", "WiFiConnectView"));
    }
};
