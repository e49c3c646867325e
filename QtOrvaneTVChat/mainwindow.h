#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "chatrecords.h"
#include "textmessage.h"

#include <QMainWindow>

class ChatManager;
class QTimer;
class VoiceChatUsersList;
struct AudioRoute;
class LocalMessageServer;
class CoreAPIManager;
class GlobalManager;
class QLabel;

namespace Ui {
class MainWindow;
}

// The chat program's one window. Its first show sets the session up and runs it
// from the user info to the joined text channel: user info -> registration ->
// credentials -> login -> text channel. Each step starts on the previous step's
// signal; a failing step is logged and ends the sequence there.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setGlobalManager(GlobalManager *manager) { m_globalManager = manager; }
    // Sends one text (a recording link) to the connected viewer.
    void sendToViewer(const QString &text);

    // The local server through which recording links reach the viewer.
    static QString commandServerName() { return QStringLiteral("qtorvanetvchat"); }
    static QString versionText(const QString &resourceText);
    // Replaces the service's "not shared" error with the workspace's own notice.
    static QString mapError(const QString &error, const QString &workspaceName);

    ChatManager *chatManager() const { return m_chatManager; }
    VoiceChatUsersList *usersList() const { return m_usersList; }
    // The statistics timer of the voice session (null outside one).
    QTimer *voiceTimer() const { return m_voiceTimer; }
    // How often the voice statistics go out; 30 s unless a suite shortens it.
    static int voiceStatisticsIntervalMs();
    QLabel *disabledNotice() const { return m_disabledNotice; }

public slots:
    void sendMessageClicked();
    void joinCallClicked();
    void leaveCallClicked();
    void muteSpeakersClicked();
    void muteMicClicked();
    void changeSpeakersClicked();
    void changeMicClicked();
    void receivedMessage(QString from, QString message);
    void memberCountUpdated(int count);
    void gotMemberAttributes();
    void voiceCallActive(bool active);
    void storeConnection();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void startCommandServer();
    void setUpSession();
    void recordError(const QString &title, const QString &message);
    void onUserInfo(const User &user, const QString &error);
    void onRegistrationComplete(bool success);
    void onTokens(const QString &error);
    void onLoginFinished(bool success, int errorCode);
    void onTextChannelJoined();
    void onSend(const QString &text);
    void onTextMessage(const TextMessage &message, bool isFollowUp);
    void onSharedUsers(const QVector<SharedUser> &users, const QString &error);
    void wireVoicePane();
    void joinOrLeave();
    void onVoiceJoined();
    void stopVoiceTimer();
    void refreshMembers();
    void placeUsersList();
    void changeRoute(const AudioRoute &route, bool input);

    Ui::MainWindow *ui;
    bool m_initialized = false;
    GlobalManager *m_globalManager = nullptr;
    ChatManager *m_chatManager = nullptr;
    CoreAPIManager *m_coreAPIManager = nullptr;
    LocalMessageServer *m_commandServer = nullptr;
    QLabel *m_disabledNotice = nullptr;
    VoiceChatUsersList *m_usersList = nullptr;
    QTimer *m_voiceTimer = nullptr;
};

#endif // MAINWINDOW_H
