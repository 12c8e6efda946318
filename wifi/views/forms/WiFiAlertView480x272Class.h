// Form of the alert screen (240 x 400).
#pragma once

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxWidget.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QVariant>

class WiFiAlertView480x272Class {
public:
    phxWidget* Background;
    phxPushButton* BlackView;
    QLabel* AlertInfo;
    phxPushButton* Nox;
    phxPushButton* Yes;
    phxIcon* LoadingIcon;

    void setupUi(QWidget* form)
    {
        if (form->objectName().isEmpty())
            form->setObjectName(QStringLiteral("WiFiAlertView480x272Class"));
        form->resize(240, 400);
        form->setProperty("Background", QVariant(QStringLiteral(":/Dialog/dialogback_confirm.png")));

        Background = new phxWidget(form);
        Background->setObjectName(QStringLiteral("Background"));
        Background->setGeometry(QRect(0, 0, 240, 400));
        Background->setBackground(QPixmap(QStringLiteral(":/Dialog/dialogback_confirm.png")));

        QFont buttonFont;
        buttonFont.setFamily(QStringLiteral("Arial"));
        buttonFont.setPointSize(14);

        BlackView = new phxPushButton(form);
        BlackView->setObjectName(QStringLiteral("BlackView"));
        BlackView->setGeometry(QRect(26, 259, 186, 45));
        BlackView->setFont(buttonFont);
        BlackView->setNormal(QPixmap(QStringLiteral(":/Dialog/b_pop_yes.png")));
        BlackView->setPressed(QPixmap(QStringLiteral(":/Dialog/b_pop_yes_p.png")));

        AlertInfo = new QLabel(form);
        AlertInfo->setObjectName(QStringLiteral("AlertInfo"));
        AlertInfo->setGeometry(QRect(20, 105, 200, 131));
        QFont messageFont;
        messageFont.setFamily(QStringLiteral("Arial"));
        messageFont.setPointSize(16);
        messageFont.setKerning(false);
        AlertInfo->setFont(messageFont);
        QPalette white;
        white.setColor(QPalette::Active, QPalette::WindowText, Qt::white);
        white.setColor(QPalette::Inactive, QPalette::WindowText, Qt::white);
        white.setColor(QPalette::Disabled, QPalette::WindowText, Qt::white);
        AlertInfo->setPalette(white);
        AlertInfo->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
        AlertInfo->setLineWidth(10);
        AlertInfo->setAlignment(Qt::AlignCenter);
        AlertInfo->setWordWrap(true);

        Nox = new phxPushButton(form);
        Nox->setObjectName(QStringLiteral("Nox"));
        Nox->setGeometry(QRect(124, 224, 88, 72));
        Nox->setFont(buttonFont);
        Nox->setFocusPolicy(Qt::NoFocus);
        Nox->setStyleSheet(QStringLiteral("#No{border: none;}"));
        Nox->setFlat(true);
        Nox->setNormal(QPixmap(QStringLiteral(":/Dialog/b_pop_no_s.png")));
        Nox->setPressed(QPixmap(QStringLiteral(":/Dialog/b_pop_no_s_p.png")));

        Yes = new phxPushButton(form);
        Yes->setObjectName(QStringLiteral("Yes"));
        Yes->setGeometry(QRect(26, 224, 88, 72));
        Yes->setFont(buttonFont);
        Yes->setFocusPolicy(Qt::NoFocus);
        Yes->setStyleSheet(QStringLiteral("#Yes{border: none;}"));
        Yes->setFlat(true);
        Yes->setNormal(QPixmap(QStringLiteral(":/Dialog/b_pop_yes_s.png")));
        Yes->setPressed(QPixmap(QStringLiteral(":/Dialog/b_pop_yes_s_p.png")));

        LoadingIcon = new phxIcon(form);
        LoadingIcon->setObjectName(QStringLiteral("LoadingIcon"));
        LoadingIcon->setGeometry(QRect(82, 170, 76, 76));

        retranslateUi(form);
    }

    void retranslateUi(QWidget* form)
    {
        form->setWindowTitle(QCoreApplication::translate("WiFiAlertView480x272Class", "WiFiSearchingView"));
        AlertInfo->setText(QString());
        BlackView->setText(QString());
        Nox->setText(QString());
        Yes->setText(QString());
    }
};
