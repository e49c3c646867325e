#ifndef LOGCAPTURE_H
#define LOGCAPTURE_H

#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

// Collects the messages written through Qt's log functions while it lives, from
// any thread (the player's and the SRT library's threads log too), and passes
// them on to the handler that was there before.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The messages of one type, or all of them joined by line breaks.
    static QStringList lines(QtMsgType type);
    static QString all();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static QMutex s_mutex;
    static QVector<QPair<QtMsgType, QString>> s_lines;
    static QtMessageHandler s_previous;
};

#endif // LOGCAPTURE_H
