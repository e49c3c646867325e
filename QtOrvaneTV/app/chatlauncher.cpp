#include "app/chatlauncher.h"

#include "app/recordinglinks.h"

#include "localmessageclient.h"
#include "logredaction.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QtDebug>

namespace {

// A crash is retried after a second, up to three times in a row: a program that
// crashes at every start must not be restarted for ever.
constexpr int crashRetryDelayMs = 1000;
constexpr int crashRetries = 3;
// How long a program that was asked to end may take before it is killed.
constexpr int terminateGraceMs = 3000;

QString flag(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

void endProcess(QProcess *process)
{
    // Our handlers are gone; the object goes once the program has ended.
    QObject::disconnect(process, nullptr, nullptr, nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    QObject::connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), process,
                     &QObject::deleteLater);
    QTimer::singleShot(terminateGraceMs, process, [process] { process->kill(); });
    process->terminate();
}

} // namespace

ChatLauncher::ChatLauncher(QObject *parent)
    : QObject(parent)
    ,
    // Retried while the chat program runs: once it has gone nobody will answer.
    socket(new LocalMessageClient(
        QStringLiteral("qtorvanetvchat"), [this] { return isRunning(); }, this))
{
    connect(socket, &LocalMessageClient::messageReceived, this, &ChatLauncher::readSelectedRecording);
}

ChatLauncher::~ChatLauncher()
{
    close();
    // The window is going: a program that ignores the request is killed.
    for (QProcess *process : findChildren<QProcess *>()) {
        QObject::disconnect(process, nullptr, nullptr, nullptr);
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(terminateGraceMs)) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

QString ChatLauncher::installedProgram()
{
    const QFileInfo program(QCoreApplication::applicationDirPath()
                            + QStringLiteral("/OrvaneTV Chat/QtOrvaneTVChat"));
    return program.exists() && program.isFile() && program.isExecutable() ? program.absoluteFilePath()
                                                                          : QString();
}

QStringList ChatLauncher::arguments(const Session &session)
{
    return {QStringLiteral("--token"),
            QStringLiteral("-"),
            QStringLiteral("--company"),
            session.companySlug,
            QStringLiteral("--companyId"),
            session.companyId,
            QStringLiteral("--workspaceId"),
            session.workspaceId,
            QStringLiteral("--textEnabled"),
            flag(session.textEnabled),
            QStringLiteral("--voiceEnabled"),
            flag(session.voiceEnabled),
            QStringLiteral("--workspaceName"),
            session.workspaceName,
            QStringLiteral("--workspaceId"),
            session.spaceId,
            QStringLiteral("--environment"),
            session.staging ? QStringLiteral("staging") : QStringLiteral("production")};
}

QString ChatLauncher::loggable(const QStringList &arguments)
{
    QStringList shown;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        shown << argument;
        const bool secret = argument == QLatin1String("--token") || argument == QLatin1String("--auth-token");
        if (secret && i + 1 < arguments.size() && arguments.at(i + 1) != QLatin1String("-")) {
            shown << LogRedaction::mask();
            ++i;
        }
    }
    return shown.join(QLatin1Char(' '));
}

bool ChatLauncher::isRunning() const
{
    return chatsProcess && chatsProcess->state() != QProcess::NotRunning;
}

void ChatLauncher::open(const QString &program, const Session &session, bool force)
{
    const ChatSettings flags(session.textEnabled, session.voiceEnabled);
    qInfo() << "Opening with arguments" << loggable(arguments(session));
    const bool changed
        = settingsMap.contains(chatsProcessId) && !settingsMap.value(chatsProcessId).isEqual(flags);
    if (!force && !changed)
        return;
    start(program, session, crashRetries);
}

void ChatLauncher::start(const QString &program, const Session &session, int retriesLeft)
{
    QPointer<QProcess> previous = chatsProcess;
    close();
    const int startGeneration = ++generation;
    auto *process = new QProcess(this);
    chatsProcess = process;
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, process] { processFinished(process); });
    connect(process, &QProcess::readyReadStandardOutput, this, [process] {
        const QString output = QString::fromUtf8(process->readAllStandardOutput());
        qDebug() << "Chat app:" << output;
        if (output.startsWith(QLatin1String("orvanetv://")))
            qDebug() << "Chat app selected " << output;
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, program, session, retriesLeft, startGeneration](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    qDebug() << "Failed to start!" << process->errorString();
                } else if (error == QProcess::Crashed) {
                    QTimer::singleShot(crashRetryDelayMs, this, [=] {
                        // Only when nothing was started or closed since.
                        if (generation != startGeneration || retriesLeft <= 0)
                            return;
                        qDebug() << "Retrying open...";
                        start(program, session, retriesLeft - 1);
                    });
                }
            });
    connect(process, &QProcess::started, this, [this, process, session] {
        process->write(session.token.toUtf8() + '\n');
        process->closeWriteChannel();
        QTimer::singleShot(1000, this, [this, process] {
            if (process == chatsProcess)
                socket->connectToServer();
        });
    });
    process->setProgram(program);
    process->setArguments(arguments(session));
    process->setProcessChannelMode(QProcess::SeparateChannels);
    qInfo() << "Chat app:" << program;

    const auto launch = [this, process, session] {
        if (process != chatsProcess)
            return;
        process->start(QIODevice::ReadWrite);
        chatsProcessId = process->processId();
        if (chatsProcessId > 0)
            settingsMap.insert(chatsProcessId, ChatSettings(session.textEnabled, session.voiceEnabled));
    };
    // Two chat programs cannot serve one socket: the new one starts once the
    // old one has gone.
    if (previous && previous->state() != QProcess::NotRunning)
        connect(previous, &QObject::destroyed, this, launch);
    else
        launch();
}

void ChatLauncher::close()
{
    socket->abort();
    ++generation;
    if (!chatsProcess)
        return;
    QProcess *process = chatsProcess;
    chatsProcess.clear();
    if (process->processId() > 0)
        qInfo() << "Killing" << process->processId();
    settingsMap.remove(chatsProcessId);
    chatsProcessId = -1;
    endProcess(process);
}

void ChatLauncher::processFinished(QProcess *process)
{
    if (process != chatsProcess)
        return;
    qDebug() << "Chats process finished";
    settingsMap.remove(chatsProcessId);
    chatsProcessId = -1;
    emit chatFinished();
}

void ChatLauncher::readSelectedRecording(const QString &text)
{
    // A link repeated in a row is one click.
    if (text == currentRecording)
        return;
    qDebug() << text;
    currentRecording = text;
    const QString recordingId = RecordingLinks::recordingIdOf(text);
    if (!recordingId.isEmpty())
        emit recordingLinkReceived(recordingId);
}
