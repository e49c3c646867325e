#ifndef CHATMANAGER_H
#define CHATMANAGER_H

#include "chatrecords.h"
#include "rtmtypes.h"
#include "textmessage.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class CoreAPIManager;
class GlobalManager;

// Runs one workspace's chat session over the real-time messaging service: it
// gets the credentials through the back-end client, logs in, publishes the
// user's attributes, joins the workspace's text channel, and turns the service's
// notifications into signals.
//
// The service calls its listeners on its own thread; every notification is
// handed over to the thread this object lives on (the main thread) before it
// touches the session state, so the state needs no lock and every signal is
// emitted there.
class ChatManager
    : public QObject
    , public orvane::rtm::IRtmServiceEventHandler
    , public orvane::rtm::IChannelEventHandler
{
    Q_OBJECT
public:
    ChatManager();
    ~ChatManager() override;

    // The application identifier the service is initialised with.
    static QString applicationId();

    void initialize();
    void setGlobalManager(GlobalManager *manager) { m_globalManager = manager; }
    void setCoreAPIManager(CoreAPIManager *manager) { m_coreAPIManager = manager; }
    void setCompany(const QString &company) { m_company = company; }
    void setUser(const User &user) { m_user = user; }
    void setSharedUsers(const QVector<SharedUser> &users) { m_sharedUsers = users; }

    void registerLocalUser(const QString &name);
    void loadChats(const QString &workspaceId, const QString &userId);
    bool login();
    void joinTextChannel();
    void sendMessage(const QString &text);
    bool isFollowUp() const;

    quint32 voiceUid() const { return m_voiceUid; }
    ChatAuth chatAuth() const { return m_chatAuth; }
    QHash<QString, QString> userNames() const { return m_userNames; }

    // The voice uid drawn for a numeric user id: the id with k (0 to 4094) in the
    // bits above bit 20, k = (random x 4095) >> 32.
    static quint32 voiceUidFor(quint32 userId, quint32 random);

signals:
    void agoraLocalUserRegistrationComplete(bool success);
    void loginFinished(bool success, int errorCode);
    void gotAgoraTokens(QString error);
    void joinedAgoraTextChannel();
    void joinedAgoraVoiceChannel();
    void leftAgoraVoiceChannel();
    void micMuteChanged(bool muted);
    void speakersMuteChanged(bool muted);
    void memberCountUpdated(int count);
    void gotMemberAttributes();
    void gotTextMessage(TextMessage message, bool isFollowUp);
    void voiceMemberJoined(QString name);
    void voiceMemberLeft(QString name);
    void voiceMembersUpdated();
    void errorOccurred(QString title, QString message);

private:
    // Messaging service notifications (service thread).
    void onLoginSuccess() override;
    void onLoginFailure(int errorCode) override;
    void onConnectionStateChanged(int state, int reason) override;
    void onSendMessageResult(qint64 messageId, int errorCode) override;
    void onMessageReceivedFromPeer(const QString &peerId, const orvane::rtm::IMessage *message) override;
    void onSetLocalUserAttributesResult(qint64 requestId, int errorCode) override;
    void onGetUserAttributesResult(qint64 requestId, const QString &userId,
                                   const QVector<orvane::rtm::RtmAttribute> &attributes,
                                   int errorCode) override;
    void onGetChannelMemberCountResult(qint64 requestId,
                                       const QVector<orvane::rtm::ChannelMemberCount> &counts,
                                       int errorCode) override;
    // Channel notifications (service thread).
    void onJoinSuccess() override;
    void onJoinFailure(int errorCode) override;
    void onMessageReceived(const QString &userId, const orvane::rtm::IMessage *message) override;
    void onMemberJoined(orvane::rtm::IChannelMember *member) override;
    void onMemberLeft(orvane::rtm::IChannelMember *member) override;
    void onGetMembers(const QVector<orvane::rtm::IChannelMember *> &members, int errorCode) override;
    void onMemberCountUpdated(int memberCount) override;

    // Runs on this object's thread, after the notification has returned.
    template<typename Function>
    void handOver(Function &&function);

    void onGotAgoraAuth(const ChatAuth &auth, const QString &error);
    void publishLocalUserAttributes();
    void refreshMembers();
    void receive(const QString &userId, const QString &text, double serverTimestamp);

    std::shared_ptr<orvane::rtm::IRtmService> m_service;
    orvane::rtm::IChannel *m_channel = nullptr;
    GlobalManager *m_globalManager = nullptr;
    CoreAPIManager *m_coreAPIManager = nullptr;
    quint32 m_voiceUid = 0;
    QString m_userAccount;
    QString m_company;
    QString m_workspaceId;
    User m_user;
    ChatAuth m_chatAuth;
    QHash<QString, QString> m_userNames;
    QHash<QString, QString> m_streamNames;
    QString m_lastSender;
    QVector<SharedUser> m_sharedUsers;
    bool m_registered = false;
};

#endif // CHATMANAGER_H
