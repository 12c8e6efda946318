#include "controls/instruments/zyrCalendarWidget.h"

#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/instruments/ui_zyrCalendarUI.h"

#include <QLocale>

zyrCalendarWidget::zyrCalendarWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_zyrCalendarUI)
{
    ui->setupUi(this);
    if (ZyrelleControls::GetSoundManager()) {
        connect(ui->calendarWidget, SIGNAL(selectionChanged()), this, SLOT(onClicked()));
        ZyrelleControls::ConnectSoundHook(this, ZyrelleControls::SoundHookKind::ManagerOnly);
    }
    connect(ui->calendarWidget, SIGNAL(selectionChanged()), this, SIGNAL(selectionChanged()));
    connect(ui->calendarWidget, SIGNAL(currentPageChanged(int, int)), this, SIGNAL(currentPageChanged(int, int)));
    connect(ui->calendarWidget, SIGNAL(currentPageChanged(int, int)), this, SLOT(onMonthChanged(int, int)));
    connect(ui->btnPrevMonth, SIGNAL(clicked()), this, SLOT(onPrevMonth()));
    connect(ui->btnNextMonth, SIGNAL(clicked()), this, SLOT(onNextMonth()));
    const QDate shown = ui->calendarWidget->selectedDate();
    onMonthChanged(shown.year(), shown.month());
}

zyrCalendarWidget::~zyrCalendarWidget() = default;

QDate zyrCalendarWidget::selectedDate() const { return ui->calendarWidget->selectedDate(); }
void zyrCalendarWidget::setSelectedDate(const QDate& date) { ui->calendarWidget->setSelectedDate(date); }
QDate zyrCalendarWidget::minimumDate() const { return ui->calendarWidget->minimumDate(); }
void zyrCalendarWidget::setMinimumDate(const QDate& date) { ui->calendarWidget->setMinimumDate(date); }
QDate zyrCalendarWidget::maximumDate() const { return ui->calendarWidget->maximumDate(); }
void zyrCalendarWidget::setMaximumDate(const QDate& date) { ui->calendarWidget->setMaximumDate(date); }
Qt::DayOfWeek zyrCalendarWidget::firstDayOfWeek() const { return ui->calendarWidget->firstDayOfWeek(); }
void zyrCalendarWidget::setFirstDayOfWeek(Qt::DayOfWeek day) { ui->calendarWidget->setFirstDayOfWeek(day); }

QCalendarWidget::HorizontalHeaderFormat zyrCalendarWidget::horizontalHeaderFormat() const
{
    return ui->calendarWidget->horizontalHeaderFormat();
}

void zyrCalendarWidget::setHorizontalHeaderFormat(QCalendarWidget::HorizontalHeaderFormat format)
{
    ui->calendarWidget->setHorizontalHeaderFormat(format);
}

QCalendarWidget::VerticalHeaderFormat zyrCalendarWidget::verticalHeaderFormat() const
{
    return ui->calendarWidget->verticalHeaderFormat();
}

void zyrCalendarWidget::setVerticalHeaderFormat(QCalendarWidget::VerticalHeaderFormat format)
{
    ui->calendarWidget->setVerticalHeaderFormat(format);
}

bool zyrCalendarWidget::isDateEditEnabled() const { return ui->calendarWidget->isDateEditEnabled(); }
void zyrCalendarWidget::setDateEditEnabled(bool enabled) { ui->calendarWidget->setDateEditEnabled(enabled); }

QPixmap zyrCalendarWidget::prevMonthNormal() const { return ui->btnPrevMonth->normal(); }
void zyrCalendarWidget::setPrevMonthNormal(const QPixmap& image) { ui->btnPrevMonth->setNormal(image); }
QPixmap zyrCalendarWidget::prevMonthPressed() const { return ui->btnPrevMonth->pressed(); }
void zyrCalendarWidget::setPrevMonthPressed(const QPixmap& image) { ui->btnPrevMonth->setPressed(image); }
QPixmap zyrCalendarWidget::prevMonthFocused() const { return ui->btnPrevMonth->focused(); }
void zyrCalendarWidget::setPrevMonthFocused(const QPixmap& image) { ui->btnPrevMonth->setFocused(image); }
QPixmap zyrCalendarWidget::prevMonthDisabled() const { return ui->btnPrevMonth->disabled(); }
void zyrCalendarWidget::setPrevMonthDisabled(const QPixmap& image) { ui->btnPrevMonth->setDisabled(image); }
QPixmap zyrCalendarWidget::nextMonthNormal() const { return ui->btnNextMonth->normal(); }
void zyrCalendarWidget::setNextMonthNormal(const QPixmap& image) { ui->btnNextMonth->setNormal(image); }
QPixmap zyrCalendarWidget::nextMonthPressed() const { return ui->btnNextMonth->pressed(); }
void zyrCalendarWidget::setNextMonthPressed(const QPixmap& image) { ui->btnNextMonth->setPressed(image); }
QPixmap zyrCalendarWidget::nextMonthFocused() const { return ui->btnNextMonth->focused(); }
void zyrCalendarWidget::setNextMonthFocused(const QPixmap& image) { ui->btnNextMonth->setFocused(image); }
QPixmap zyrCalendarWidget::nextMonthDisabled() const { return ui->btnNextMonth->disabled(); }
void zyrCalendarWidget::setNextMonthDisabled(const QPixmap& image) { ui->btnNextMonth->setDisabled(image); }

void zyrCalendarWidget::setFont(const QFont& font)
{
    QWidget::setFont(font);
    ui->calendarWidget->setFont(font);
}

int zyrCalendarWidget::fontPixelSize() const
{
    return font().pixelSize();
}

void zyrCalendarWidget::setFontPixelSize(int pixelSize)
{
    QFont sized = font();
    sized.setPixelSize(pixelSize);
    sized.setStyleStrategy(QFont::PreferAntialias);
    setFont(sized);
}

void zyrCalendarWidget::onMonthChanged(int year, int month)
{
    ui->MonthDisplay->setContent(QStringLiteral("%1, %2")
                                     .arg(locale().standaloneMonthName(month, QLocale::LongFormat))
                                     .arg(year, 0, 10, QLatin1Char(' ')));
}

void zyrCalendarWidget::onClicked()
{
    emit clicked(objectName());
}

void zyrCalendarWidget::onPrevMonth()
{
    ui->calendarWidget->setSelectedDate(ui->calendarWidget->selectedDate().addMonths(-1));
}

void zyrCalendarWidget::onNextMonth()
{
    ui->calendarWidget->setSelectedDate(ui->calendarWidget->selectedDate().addMonths(1));
}
