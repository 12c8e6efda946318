// The calendar widget's form: a row of two month buttons round the month
// label, over a calendar without its own navigation bar.
#pragma once

#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrTextBox.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QPalette>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>

class Ui_zyrCalendarUI {
public:
    QVBoxLayout* verticalLayout;
    QHBoxLayout* horizontalLayout;
    ZyrPushButton* btnPrevMonth;
    ZyrTextBox* MonthDisplay;
    ZyrPushButton* btnNextMonth;
    QCalendarWidget* calendarWidget;

    void setupUi(QWidget* zyrCalendarUI)
    {
        if (zyrCalendarUI->objectName().isEmpty())
            zyrCalendarUI->setObjectName(QStringLiteral("zyrCalendarUI"));
        zyrCalendarUI->resize(231, 191);
        verticalLayout = new QVBoxLayout(zyrCalendarUI);
        verticalLayout->setSpacing(3);
        verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
        verticalLayout->setSizeConstraint(QLayout::SetDefaultConstraint);
        verticalLayout->setContentsMargins(0, 0, 0, 0);
        horizontalLayout = new QHBoxLayout();
        horizontalLayout->setSpacing(3);
        horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
        horizontalLayout->setContentsMargins(3, 3, 3, -1);

        btnPrevMonth = new ZyrPushButton(zyrCalendarUI);
        btnPrevMonth->setObjectName(QStringLiteral("btnPrevMonth"));
        btnPrevMonth->setNormal(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveLeft.mif")));
        btnPrevMonth->setPressed(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveLeft_h.mif")));
        btnPrevMonth->setFocused(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveLeft_f.mif")));
        btnPrevMonth->setDisabled(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveLeft.mif")));
        horizontalLayout->addWidget(btnPrevMonth);

        MonthDisplay = new ZyrTextBox(zyrCalendarUI);
        MonthDisplay->setObjectName(QStringLiteral("MonthDisplay"));
        QPalette palette;
        QBrush black(QColor(0, 0, 0, 255));
        black.setStyle(Qt::SolidPattern);
        palette.setBrush(QPalette::Active, QPalette::WindowText, black);
        palette.setBrush(QPalette::Inactive, QPalette::WindowText, black);
        QBrush clear(QColor(0, 0, 0, 0));
        clear.setStyle(Qt::SolidPattern);
        palette.setBrush(QPalette::Disabled, QPalette::WindowText, clear);
        MonthDisplay->setPalette(palette);
        MonthDisplay->setAlignment(Qt::AlignCenter);
        MonthDisplay->setFontPixelSize(18);
        horizontalLayout->addWidget(MonthDisplay);

        btnNextMonth = new ZyrPushButton(zyrCalendarUI);
        btnNextMonth->setObjectName(QStringLiteral("btnNextMonth"));
        btnNextMonth->setNormal(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveRight.mif")));
        btnNextMonth->setPressed(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveRight_h.mif")));
        btnNextMonth->setFocused(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveRight_f.mif")));
        btnNextMonth->setDisabled(QPixmap(QStringLiteral(":/Buttons/b_KB_MoveRight.mif")));
        horizontalLayout->addWidget(btnNextMonth);

        verticalLayout->addLayout(horizontalLayout);

        calendarWidget = new QCalendarWidget(zyrCalendarUI);
        calendarWidget->setObjectName(QStringLiteral("calendarWidget"));
        calendarWidget->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        calendarWidget->setNavigationBarVisible(false);
        verticalLayout->addWidget(calendarWidget);

        retranslateUi(zyrCalendarUI);
        QMetaObject::connectSlotsByName(zyrCalendarUI);
    }

    void retranslateUi(QWidget* zyrCalendarUI)
    {
        zyrCalendarUI->setWindowTitle(QCoreApplication::translate("zyrCalendarUI", "Zyrelle Calendar", nullptr));
    }
};
