#include "logcapture.h"

#include <QMutexLocker>

QMutex LogCapture::s_mutex;
QVector<QPair<QtMsgType, QString>> LogCapture::s_lines;
QtMessageHandler LogCapture::s_previous = nullptr;

LogCapture::LogCapture()
{
    {
        QMutexLocker lock(&s_mutex);
        s_lines.clear();
    }
    s_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(s_previous);
    s_previous = nullptr;
}

QStringList LogCapture::lines(QtMsgType type)
{
    QMutexLocker lock(&s_mutex);
    QStringList result;
    for (const auto &line : qAsConst(s_lines)) {
        if (line.first == type)
            result << line.second;
    }
    return result;
}

QString LogCapture::all()
{
    QMutexLocker lock(&s_mutex);
    QStringList result;
    for (const auto &line : qAsConst(s_lines))
        result << line.second;
    return result.join(QLatin1Char('\n'));
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&s_mutex);
        s_lines.append({type, message});
    }
    if (s_previous)
        s_previous(type, context, message);
}
