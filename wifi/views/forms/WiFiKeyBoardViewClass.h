// Form of the keyboard screen (240 x 400): title, the line being edited and
// the on-screen keyboard below it.
#pragma once

#include "controls/core/phxWidget.h"
#include "controls/keyboard/zyrKBContainer.h"
#include "wifi/views/forms/form_helpers.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QLineEdit>

class WiFiKeyBoardView400x240Class {
public:
    phxWidget* wgTitle;
    QLabel* lblTitleText;
    phxWidget* wgBackground;
    QLineEdit* InputEdit;
    zyrKBContainer* KeyboardContainer;

    void setupUi(QWidget* form)
    {
        using kivowifi::forms::place;
        form->resize(240, 400);
        wgBackground = place<phxWidget>(form, "wgBackground", QRect(0, 25, 240, 375));
        wgBackground->setBackground(QPixmap(QStringLiteral(":/Background/main_bg.png")));
        wgTitle = place<phxWidget>(form, "wgTitle", QRect(0, 0, 240, 27));
        wgTitle->setBackground(QPixmap(QStringLiteral(":/Common/Header/bkgd_status_bar.png")));
        lblTitleText = place<QLabel>(form, "lblTitleText", QRect(0, 0, 240, 27));
        lblTitleText->setAlignment(Qt::AlignCenter);
        lblTitleText->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        InputEdit = place<QLineEdit>(form, "InputEdit", QRect(8, 30, 224, 35));
        QFont font(QStringLiteral("Arial"), 16);
        font.setBold(true);
        InputEdit->setFont(font);
        InputEdit->setStyleSheet(QStringLiteral("border-image: url(:/Join_network/bkgd_search_key.png);"));
        InputEdit->setEchoMode(QLineEdit::Normal);
        KeyboardContainer = place<zyrKBContainer>(form, "KeyboardContainer", QRect(0, 80, 241, 320));
        InputEdit->setText(QCoreApplication::translate("WiFiKeyBoardView400x240Class", "   Enter user name"));
    }
};
