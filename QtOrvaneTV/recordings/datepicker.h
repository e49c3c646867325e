#ifndef DATEPICKER_H
#define DATEPICKER_H

#include <QDateTime>
#include <QWidget>

class RangedCalendar;

namespace Ui {
class DatePicker;
}

// The date filter's pop-up: a ranged calendar with "Reset" and "Apply".
class DatePicker : public QWidget
{
    Q_OBJECT

public:
    explicit DatePicker(QWidget *parent = nullptr);
    ~DatePicker() override;

    RangedCalendar *calendar() const;

signals:
    void datesSelected(QDateTime first, QDateTime last);

private:
    void apply();

    Ui::DatePicker *ui;
    QDateTime minDate;
    QDateTime maxDate;
};

#endif // DATEPICKER_H
