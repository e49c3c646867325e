#include "recordings/rangedcalendar.h"

RangedCalendar::RangedCalendar(QWidget *parent)
    : QCalendarWidget(parent)
{
    highlighter.setBackground(palette().brush(QPalette::Highlight));
    highlighter.setForeground(palette().brush(QPalette::HighlightedText));
    resetFormatter.setBackground(Qt::black);
    resetFormatter.setForeground(Qt::white);
    connect(this, &QCalendarWidget::clicked, this, &RangedCalendar::dayClicked);
}

void RangedCalendar::dayClicked(const QDate &day)
{
    if (!dates.first.isValid()) {
        dates.first = day;
    } else if (!dates.second.isValid()) {
        dates.second = day;
    } else {
        reset();
        return;
    }
    paint(highlighter);
    const QDate only = dates.second.isValid() ? dates.second : dates.first;
    const QDate start = qMin(dates.first, only);
    const QDate end = qMax(dates.first, only);
    emit dateRangeSelectionChanged(start.startOfDay(), end.endOfDay());
}

void RangedCalendar::paint(const QTextCharFormat &format)
{
    if (!dates.first.isValid())
        return;
    const QDate only = dates.second.isValid() ? dates.second : dates.first;
    for (QDate day = qMin(dates.first, only); day <= qMax(dates.first, only); day = day.addDays(1)) {
        QTextCharFormat shown = format;
        if (&format == &resetFormatter && day.dayOfWeek() >= Qt::Saturday)
            shown.setForeground(Qt::red);
        setDateTextFormat(day, shown);
    }
}

void RangedCalendar::reset()
{
    paint(resetFormatter);
    dates = {};
    setSelectedDate(QDate::currentDate());
    emit dateRangeSelectionChanged(QDateTime(), QDateTime());
}
