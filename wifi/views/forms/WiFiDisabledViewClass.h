// Forms of the Wi-Fi off screen: 480 x 272 and 800 x 480.
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxWidget.h"
#include "wifi/views/forms/form_helpers.h"

#include <QLabel>
#include <QPushButton>

// Both forms share their objects; only the geometry differs.
class WiFiDisabledViewForm {
public:
    phxWidget* wgTitle;
    phxPushButton* btnBack;
    QLabel* lblTitleText;
    QWidget* bgWidget;
    QLabel* lblDisabledMsg;
    phxIcon* Shade;
    phxPushButton* UpBtn;
    phxPushButton* DownBtn;
    QWidget* wgEnd;
    QPushButton* enBtn;

protected:
    struct Layout {
        QSize window;
        QRect title, back, titleText, background, message, shade, up, down, end, enable;
    };

    void build(QWidget* form, const Layout& l)
    {
        using kivowifi::forms::place;
        form->resize(l.window);
        wgTitle = place<phxWidget>(form, "wgTitle", l.title);
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/header_settings_bg.mif")));
        btnBack = place<phxPushButton>(form, "btnBack", l.back);
        btnBack->setNormal(QPixmap(QStringLiteral(":/Button/backbutton.mif")));
        btnBack->setPressed(QPixmap(QStringLiteral(":/Button/backbutton_down.mif")));
        lblTitleText = place<QLabel>(form, "lblTitleText", l.titleText);
        lblTitleText->setText(QStringLiteral("WiFi"));
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        // The shade lies under the message, not over it.
        Shade = place<phxIcon>(form, "Shade", l.shade);
        Shade->setImage(QPixmap(QStringLiteral(":/Background/shadow_footer_bg.mif")));
        bgWidget = place<QWidget>(form, "bgWidget", l.background);
        lblDisabledMsg = place<QLabel>(form, "lblDisabledMsg", l.message);
        lblDisabledMsg->setText(QStringLiteral(
            "WiFi is turned off. \nTo find the wireless access points nearby, you need to enable the WiFi."));
        lblDisabledMsg->setWordWrap(true);
        lblDisabledMsg->setAlignment(Qt::AlignCenter);
        UpBtn = place<phxPushButton>(form, "UpBtn", l.up);
        DownBtn = place<phxPushButton>(form, "DownBtn", l.down);
        wgEnd = place<QWidget>(form, "wgEnd", l.end);
        enBtn = place<QPushButton>(wgEnd, "enBtn", l.enable);
        enBtn->setText(QStringLiteral("Enable WiFi"));
    }
};

class WiFiDisabledView480x272Class : public WiFiDisabledViewForm {
public:
    void setupUi(QWidget* form)
    {
        build(form,
            { QSize(480, 272), QRect(0, 0, 480, 38), QRect(3, 2, 44, 34), QRect(54, 6, 291, 26), QRect(0, 38, 425, 196),
                QRect(0, 38, 425, 211), QRect(0, 38, 425, 196), QRect(425, 38, 55, 98), QRect(425, 136, 55, 98),
                QRect(0, 234, 480, 38), QRect(120, 2, 200, 34) });
    }
};

class WiFiDisabledView800x480Class : public WiFiDisabledViewForm {
public:
    void setupUi(QWidget* form)
    {
        build(form,
            { QSize(800, 480), QRect(0, 0, 800, 62), QRect(10, 2, 72, 56), QRect(98, 12, 600, 38), QRect(0, 65, 716, 356),
                QRect(38, 40, 640, 211), QRect(0, 62, 716, 356), QRect(716, 62, 84, 178), QRect(716, 240, 84, 178),
                QRect(0, 418, 800, 62), QRect(200, 8, 411, 50) });
    }
};
