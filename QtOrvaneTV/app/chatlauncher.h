#ifndef CHATLAUNCHER_H
#define CHATLAUNCHER_H

#include "session/chatsettings.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>

class LocalMessageClient;

// Starts and ends the chat program for the current workspace and reads the
// recording links it sends back over its local socket. The main window owns one.
//
// The auth token never appears on the chat program's command line (which every
// user of the machine can read): "--token -" tells the program to read it from
// the first line of its standard input, where only this process writes it.
class ChatLauncher : public QObject
{
    Q_OBJECT

public:
    // What the chat program is told about the session.
    struct Session
    {
        QString token;
        QString companySlug;
        QString companyId;
        QString workspaceId; // the workspace asked for
        QString spaceId; // the selected workspace (sent as the second --workspaceId)
        QString workspaceName;
        bool textEnabled = false;
        bool voiceEnabled = false;
        bool staging = false;
    };

    explicit ChatLauncher(QObject *parent = nullptr);
    ~ChatLauncher() override;

    // "OrvaneTV Chat/QtOrvaneTVChat" beside the viewer, or empty when it is not
    // there (the caller then asks for it).
    static QString installedProgram();
    // The command line, in order; the token itself is replaced by "-".
    static QStringList arguments(const Session &session);
    // The argument list as written to the log, every secret value masked.
    static QString loggable(const QStringList &arguments);

    // Starts the program with the session, or restarts it: always with force,
    // otherwise only when the running program was given other chat flags.
    void open(const QString &program, const Session &session, bool force);
    // Asks the running program to end.
    void close();
    bool isRunning() const;
    qint64 processId() const { return chatsProcessId; }

signals:
    // A recording link's "recordingId", once per new link.
    void recordingLinkReceived(QString recordingId);
    // The program has ended (by itself, by close() or by a crash).
    void chatFinished();

private:
    void start(const QString &program, const Session &session, int retriesLeft);
    void processFinished(QProcess *process);
    void readSelectedRecording(const QString &text);

    QPointer<QProcess> chatsProcess;
    qint64 chatsProcessId = -1;
    QMap<qint64, ChatSettings> settingsMap;
    // The chat program's local socket.
    LocalMessageClient *socket;
    QString currentRecording;
    // Counts starts, so that a crash retry knows whether a newer start or a
    // close came after it.
    int generation = 0;
};

#endif // CHATLAUNCHER_H
