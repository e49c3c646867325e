#include "logutils.h"

#include "logcategories.h"

#include "privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <cstdlib>

namespace LogUtils {

namespace {

// The handler in force before ours, taken at static initialisation: installing
// a null handler makes Qt's default one current and hands back the previous one.
const QtMessageHandler defaultHandler = qInstallMessageHandler(nullptr);

struct State
{
    Configuration configuration = Configuration::viewer();
    QString folder;
    QString fileName;
};

State &state()
{
    static State instance;
    return instance;
}

// One lock serialises the handler: rotation changes the file name while other
// threads may be writing. Recursive, as the handler rotates under it.
QRecursiveMutex &handlerMutex()
{
    static QRecursiveMutex mutex;
    return mutex;
}

QString dataLocation(const Configuration &configuration)
{
    // The generic location is the application-data location without the
    // organisation and application sub-folders.
    return configuration.baseFolder.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        : configuration.baseFolder;
}

QString letter(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("D");
    case QtWarningMsg: return QStringLiteral("W");
    case QtCriticalMsg: return QStringLiteral("C");
    case QtFatalMsg: return QStringLiteral("F");
    case QtInfoMsg: return QStringLiteral("I");
    }
    return QStringLiteral("D");
}

void pruneFolder(const QString &path, int keep)
{
    QDir folder(path);
    const QFileInfoList files
        = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Time | QDir::Reversed);
    for (int i = 0; i < files.size() - keep; ++i)
        QFile::remove(files.at(i).absoluteFilePath());
}

int filesIn(const QString &path)
{
    return QDir(path).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks).size();
}

} // namespace

Configuration Configuration::viewer()
{
    return {QStringLiteral("/Orvane TV"), true, true, 5, QString()};
}

Configuration Configuration::chat()
{
    return {QStringLiteral("/Orvane TV Chat"), false, false, 5, QString()};
}

Configuration Configuration::oauth()
{
    return {QStringLiteral("/Orvane TV Auth"), true, true, 5, QString()};
}

void configure(const Configuration &configuration)
{
    QMutexLocker lock(&handlerMutex());
    state().configuration = configuration;
    state().folder = dataLocation(configuration) + configuration.folderName;
    state().fileName.clear();
}

QString logFolderName()
{
    QMutexLocker lock(&handlerMutex());
    if (state().folder.isEmpty())
        state().folder = dataLocation(state().configuration) + state().configuration.folderName;
    return state().folder;
}

QString crashFolderName()
{
    return logFolderName() + QStringLiteral("/crashes");
}

QString logFileName()
{
    QMutexLocker lock(&handlerMutex());
    return state().fileName;
}

QString formatLine(QtMsgType type, const QString &message, const QTime &time)
{
    return QStringLiteral("[ %3 ] - %2 - %1").arg(message, time.toString(Qt::TextDate), letter(type));
}

void initLogFileName()
{
    QMutexLocker lock(&handlerMutex());
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = logFolderName();
    state().fileName = folder
        + QStringLiteral("/Log_%1__%2.log")
              .arg(now.toString(QStringLiteral("yyyy_MM_dd")), now.toString(QStringLiteral("hh_mm_ss_zzz")));
}

void deleteOldLogs()
{
    QMutexLocker lock(&handlerMutex());
    const QString folder = logFolderName();
    const Configuration configuration = state().configuration;
    if (filesIn(folder) <= configuration.keepFiles)
        return;
    pruneFolder(folder, configuration.keepFiles);
    if (configuration.pruneCrashFolder)
        pruneFolder(folder + QStringLiteral("/crashes"), configuration.keepFiles);
}

bool initLogging()
{
    const QString folder = logFolderName();
    // The whole path: on a fresh account the data location itself may not exist
    // yet. The folder and the crash folder inside it are the user's alone.
    PrivateFiles::makePrivateFolder(folder);
    PrivateFiles::makePrivateFolder(crashFolderName());
    deleteOldLogs();
    initLogFileName();
    QFile file(logFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.close();
    PrivateFiles::makePrivateFile(file.fileName());
    qInstallMessageHandler(messageHandler);
    return true;
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    // Our layers' categories keep the prefixes their lines always had.
    const QString message = LogCategories::prefix(context.category) + text;
    {
        QMutexLocker lock(&handlerMutex());
        State &current = state();

        if (QFileInfo(current.fileName).size() > rotationBytes) {
            deleteOldLogs();
            initLogFileName();
        }

        const QString line = formatLine(type, message, QTime::currentTime());
        const QString sourceFile = context.file ? QString::fromUtf8(context.file) : QString();
        const bool clientDataDump = sourceFile.contains(QLatin1String("QtOVCoreAPIFramework"))
            && message.contains(QLatin1String("Data type:"));
        const bool formatting
            = current.configuration.dropFormatting && message.startsWith(QLatin1String("Formatting"));
        if (clientDataDump || formatting)
            return;

        if (defaultHandler)
            defaultHandler(type, context, message);

        QFile file(current.fileName);
        const bool created = !file.exists();
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (created)
                PrivateFiles::makePrivateFile(current.fileName);
            file.write(line.toUtf8() + '\n');
            file.flush();
            file.close();
        }
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace LogUtils
