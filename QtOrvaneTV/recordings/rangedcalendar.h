#ifndef RANGEDCALENDAR_H
#define RANGEDCALENDAR_H

#include <QCalendarWidget>
#include <QDate>
#include <QDateTime>
#include <QPair>
#include <QTextCharFormat>

// A calendar that picks a range of days: the first click sets its start, the
// second its end (the same day twice is a one-day range), a third clears it.
class RangedCalendar : public QCalendarWidget
{
    Q_OBJECT

public:
    explicit RangedCalendar(QWidget *parent = nullptr);

    void reset();
    QPair<QDate, QDate> range() const { return dates; }

signals:
    void dateRangeSelectionChanged(QDateTime first, QDateTime last);

private:
    void dayClicked(const QDate &day);
    void paint(const QTextCharFormat &format);

    QPair<QDate, QDate> dates;
    QTextCharFormat highlighter;
    QTextCharFormat resetFormatter;
};

#endif // RANGEDCALENDAR_H
