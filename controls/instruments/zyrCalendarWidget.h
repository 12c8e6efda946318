// A touch-friendly date picker: two image buttons round a month label step
// the selected date by a month, and below them a calendar whose own
// navigation bar is hidden. The label shows the month and year of the page
// on display. With a sound manager registered when the widget is made, a
// day selection reports clicked(objectName()) and plays the widget sound.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QCalendarWidget>
#include <QDate>
#include <QPixmap>
#include <QWidget>

#include <memory>

class Ui_zyrCalendarUI;

class ZYRCONTROLS_EXPORT zyrCalendarWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QDate selectedDate READ selectedDate WRITE setSelectedDate)
    Q_PROPERTY(QDate minimumDate READ minimumDate WRITE setMinimumDate)
    Q_PROPERTY(QDate maximumDate READ maximumDate WRITE setMaximumDate)
    Q_PROPERTY(Qt::DayOfWeek firstDayOfWeek READ firstDayOfWeek WRITE setFirstDayOfWeek)
    Q_PROPERTY(QCalendarWidget::HorizontalHeaderFormat horizontalHeaderFormat READ horizontalHeaderFormat WRITE
            setHorizontalHeaderFormat)
    Q_PROPERTY(QCalendarWidget::VerticalHeaderFormat verticalHeaderFormat READ verticalHeaderFormat WRITE
            setVerticalHeaderFormat)
    Q_PROPERTY(bool dateEditEnabled READ isDateEditEnabled WRITE setDateEditEnabled)
    Q_PROPERTY(QPixmap prevMonthNormal READ prevMonthNormal WRITE setPrevMonthNormal)
    Q_PROPERTY(QPixmap prevMonthPressed READ prevMonthPressed WRITE setPrevMonthPressed)
    Q_PROPERTY(QPixmap prevMonthFocused READ prevMonthFocused WRITE setPrevMonthFocused)
    Q_PROPERTY(QPixmap prevMonthDisabled READ prevMonthDisabled WRITE setPrevMonthDisabled)
    Q_PROPERTY(QPixmap nextMonthNormal READ nextMonthNormal WRITE setNextMonthNormal)
    Q_PROPERTY(QPixmap nextMonthPressed READ nextMonthPressed WRITE setNextMonthPressed)
    Q_PROPERTY(QPixmap nextMonthFocused READ nextMonthFocused WRITE setNextMonthFocused)
    Q_PROPERTY(QPixmap nextMonthDisabled READ nextMonthDisabled WRITE setNextMonthDisabled)
    Q_PROPERTY(int fontPixelSize READ fontPixelSize WRITE setFontPixelSize)
public:
    explicit zyrCalendarWidget(QWidget* parent = nullptr);
    ~zyrCalendarWidget() override;

    // Passed through to the calendar.
    QDate selectedDate() const;
    void setSelectedDate(const QDate& date);
    QDate minimumDate() const;
    void setMinimumDate(const QDate& date);
    QDate maximumDate() const;
    void setMaximumDate(const QDate& date);
    Qt::DayOfWeek firstDayOfWeek() const;
    void setFirstDayOfWeek(Qt::DayOfWeek day);
    QCalendarWidget::HorizontalHeaderFormat horizontalHeaderFormat() const;
    void setHorizontalHeaderFormat(QCalendarWidget::HorizontalHeaderFormat format);
    QCalendarWidget::VerticalHeaderFormat verticalHeaderFormat() const;
    void setVerticalHeaderFormat(QCalendarWidget::VerticalHeaderFormat format);
    bool isDateEditEnabled() const;
    void setDateEditEnabled(bool enabled);

    // The month buttons' images.
    QPixmap prevMonthNormal() const;
    void setPrevMonthNormal(const QPixmap& image);
    QPixmap prevMonthPressed() const;
    void setPrevMonthPressed(const QPixmap& image);
    QPixmap prevMonthFocused() const;
    void setPrevMonthFocused(const QPixmap& image);
    QPixmap prevMonthDisabled() const;
    void setPrevMonthDisabled(const QPixmap& image);
    QPixmap nextMonthNormal() const;
    void setNextMonthNormal(const QPixmap& image);
    QPixmap nextMonthPressed() const;
    void setNextMonthPressed(const QPixmap& image);
    QPixmap nextMonthFocused() const;
    void setNextMonthFocused(const QPixmap& image);
    QPixmap nextMonthDisabled() const;
    void setNextMonthDisabled(const QPixmap& image);

    // The font of the widget and of its calendar.
    void setFont(const QFont& font);
    int fontPixelSize() const;
    void setFontPixelSize(int pixelSize);

signals:
    void currentPageChanged(int year, int month);
    void selectionChanged();
    void clicked(QString strObjName);

protected slots:
    // Shows "<month name>, <year>" in the label.
    void onMonthChanged(int year, int month);
    void onClicked();
    void onPrevMonth();
    void onNextMonth();

private:
    std::unique_ptr<Ui_zyrCalendarUI> ui;
};
