#ifndef LOGUTILS_H
#define LOGUTILS_H

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The file log of every program: each Qt message goes on to the handler that was
// in force before and is appended, as one line, to a log file in the program's
// data folder. A file that grows past 20480 bytes is followed by a new one; the
// folder keeps the newest few files, and so does its crash folder.
namespace LogUtils {

// What differs between the programs.
struct Configuration
{
    QString folderName; // appended to the data location, for example "/Orvane TV"
    bool dropFormatting = true; // drop messages that start with "Formatting"
    bool pruneCrashFolder = true;
    int keepFiles = 5; // files kept by pruning, in each folder
    QString baseFolder; // the data location; empty: the user's application data

    static Configuration viewer();
    static Configuration chat();
    static Configuration oauth();
};

constexpr qint64 rotationBytes = 20480;

// Sets the program's configuration; call before initLogging().
void configure(const Configuration &configuration);

// Prepares the folder and the first log file and installs the handler; true when
// the handler was installed.
bool initLogging();
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
// Keeps the newest files of the data folder and, when that needed pruning, of
// the crash folder.
void deleteOldLogs();
void initLogFileName();

QString logFolderName();
QString crashFolderName();
QString logFileName();
// "[ <letter> ] - <HH:mm:ss> - <message>"
QString formatLine(QtMsgType type, const QString &message, const QTime &time);

} // namespace LogUtils

#endif // LOGUTILS_H
