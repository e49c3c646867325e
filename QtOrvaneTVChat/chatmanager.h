#ifndef CHATMANAGER_H
#define CHATMANAGER_H

#include "chatrecords.h"
#include "rtctypes.h"
#include "rtmtypes.h"
#include "textmessage.h"
#include "voicerecords.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class CoreAPIManager;
class GlobalManager;

namespace orvane {
namespace rtc {
class RtcEngine;
}
} // namespace orvane

// Runs one workspace's chat session over the real-time messaging service and
// the voice engine: it gets the credentials through the back-end client, logs
// in, publishes the user's attributes, joins the workspace's text channel and,
// on request, its voice channel, and turns the notifications into signals.
//
// The service and the engine call their listeners on their own threads; every
// notification is handed over to the thread this object lives on (the main
// thread) before it touches the session state, so the state needs no lock and
// every signal is emitted there.
class ChatManager
    : public QObject
    , public orvane::rtm::IRtmServiceEventHandler
    , public orvane::rtm::IChannelEventHandler
    , public orvane::rtc::IRtcEngineEventHandler
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

    // Voice.
    bool joinVoiceChannel();
    void leaveVoiceChannel();
    bool isInVoiceChannel() const { return m_inVoiceChannel; }
    void enableVolumeIndication();
    void toggleMic();
    void toggleSpeakers();
    bool isMicMuted() const { return m_micMuted; }
    bool areSpeakersMuted() const { return m_speakersMuted; }
    void muteUser(quint32 participant, bool mute);
    QVector<VoiceChatParticipant> participants() const { return m_participants; }
    // The participants heard in the last report, loudest first.
    QVector<VoiceChatParticipant> activeSpeakers() const;
    QVector<AudioRoute> inputRoutes() const;
    QVector<AudioRoute> outputRoutes() const;
    AudioRoute currentInputRoute();
    AudioRoute currentOutputRoute();
    bool setInputRoute(const AudioRoute &route);
    bool setOutputRoute(const AudioRoute &route);
    void sendVoiceChatStats();
    // The engine's encryption mode for a mode text of the credentials (9 for
    // one it does not know).
    static int encryptionModeFor(const QString &mode);
    // How many times in a row the engine's errors 17 and 120 start a new join.
    static constexpr int rejoinLimit = 3;

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
    void activeSpeakersUpdated(QVector<VoiceChatParticipant> speakers);
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

    // Voice engine notifications (engine thread).
    void onJoinChannelSuccess(const QString &channel, quint32 uid, int elapsedMs) override;
    void onLeaveChannel() override;
    void onError(int code, const QString &message) override;
    void onAudioVolumeIndication(const orvane::rtc::AudioVolumeInfo *speakers, unsigned int count,
                                 int totalVolume) override;
    void onUserJoined(quint32 uid, int elapsedMs) override;
    void onUserOffline(quint32 uid, int reason) override;
    void onFirstRemoteAudioDecoded(quint32 uid, int elapsedMs) override;

    void enableEncryption(const QString &mode, const QString &secret);
    int participantIndex(quint32 number) const;

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

    std::unique_ptr<orvane::rtc::RtcEngine> m_engine;
    QVector<VoiceChatParticipant> m_participants;
    // The engine's uid of each participant number: mutes go to the whole uid.
    QHash<quint32, quint32> m_engineUids;
    QMap<quint32, bool> m_rememberedMutes;
    bool m_micMuted = false;
    bool m_speakersMuted = false;
    bool m_inVoiceChannel = false;
    int m_rejoins = 0;
    AudioRoute m_inputRoute;
    AudioRoute m_outputRoute;
};

#endif // CHATMANAGER_H
