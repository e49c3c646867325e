#include "recordings/datepicker.h"
#include "ui_datepicker.h"

#include "recordings/rangedcalendar.h"

#include <QMessageBox>

DatePicker::DatePicker(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DatePicker)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    connect(ui->calendarWidget, &RangedCalendar::dateRangeSelectionChanged, this,
            [this](const QDateTime &first, const QDateTime &last) {
                minDate = first;
                maxDate = last;
            });
    connect(ui->cancelButton, &QPushButton::clicked, ui->calendarWidget, &RangedCalendar::reset);
    connect(ui->applyButton, &QPushButton::clicked, this, &DatePicker::apply);
}

DatePicker::~DatePicker()
{
    delete ui;
}

RangedCalendar *DatePicker::calendar() const
{
    return ui->calendarWidget;
}

void DatePicker::apply()
{
    if (!minDate.isValid()) {
        QMessageBox::information(this, QString(), tr("Please select a date or a range of dates"));
        return;
    }
    emit datesSelected(minDate, maxDate);
    close();
}
