#ifndef RTMTYPES_H
#define RTMTYPES_H

#include <QString>
#include <QVector>
#include <QtGlobal>

// The real-time messaging service the chat program talks to: a service object
// that logs a user in, channels with members and messages, per-user attributes
// and messages between two users. It carries the calls and listener notifications
// of the vendor SDK the chat session manager was written for, over a WebSocket
// to the deployment's real-time hub.
//
// Every notification arrives on the service's own thread, never on the caller's;
// a listener hands what it needs over to its own thread. Calls may be made from
// any thread; they return at once and their outcome arrives by notification.
namespace orvane {
namespace rtm {

enum CONNECTION_STATE {
    CONNECTION_STATE_DISCONNECTED = 1,
    CONNECTION_STATE_CONNECTING = 2,
    CONNECTION_STATE_CONNECTED = 3,
    CONNECTION_STATE_RECONNECTING = 4,
    CONNECTION_STATE_ABORTED = 5,
};

enum CONNECTION_CHANGE_REASON {
    CONNECTION_CHANGE_REASON_LOGIN = 1,
    CONNECTION_CHANGE_REASON_LOGIN_SUCCESS = 2,
    CONNECTION_CHANGE_REASON_LOGIN_FAILURE = 3,
    CONNECTION_CHANGE_REASON_LOGIN_TIMEOUT = 4,
    CONNECTION_CHANGE_REASON_INTERRUPTED = 5,
    CONNECTION_CHANGE_REASON_LOGOUT = 6,
    CONNECTION_CHANGE_REASON_BANNED_BY_SERVER = 7,
    CONNECTION_CHANGE_REASON_REMOTE_LOGIN = 8,
};

enum LOGIN_ERR_CODE {
    LOGIN_ERR_OK = 0,
    LOGIN_ERR_UNKNOWN = 1,
    LOGIN_ERR_REJECTED = 2,
    LOGIN_ERR_INVALID_ARGUMENT = 3,
    LOGIN_ERR_INVALID_APP_ID = 4,
    LOGIN_ERR_INVALID_TOKEN = 5,
    LOGIN_ERR_TIMEOUT = 9,
    LOGIN_ERR_NOT_INITIALIZED = 101,
};

// Results of the calls themselves (the immediate return value).
enum CALL_RESULT {
    CALL_OK = 0,
    CALL_ERR_FAILURE = 1,
    CALL_ERR_INVALID_ARGUMENT = 2,
    CALL_ERR_NOT_INITIALIZED = 101,
};

struct RtmAttribute
{
    QString key;
    QString value;
};

struct ChannelMemberCount
{
    QString channelId;
    int count = 0;
};

struct SendMessageOptions
{
    bool enableOfflineMessaging = false;
    bool enableHistoricalMessaging = false;
};

class IMessage
{
public:
    virtual ~IMessage() = default;
    virtual qint64 getMessageId() const = 0;
    virtual void setText(const QString &text) = 0;
    virtual QString getText() const = 0;
    // When the hub received the message, in milliseconds since the epoch (0 for a
    // message not yet sent).
    virtual qint64 getServerReceivedTs() const = 0;
    virtual void release() = 0;
};

class IChannelMember
{
public:
    virtual ~IChannelMember() = default;
    virtual QString getUserId() const = 0;
    virtual QString getChannelId() const = 0;
};

class IRtmServiceEventHandler
{
public:
    virtual ~IRtmServiceEventHandler() = default;
    virtual void onLoginSuccess() { }
    virtual void onLoginFailure(int /*errorCode*/) { }
    virtual void onConnectionStateChanged(int /*state*/, int /*reason*/) { }
    virtual void onSendMessageResult(qint64 /*messageId*/, int /*errorCode*/) { }
    virtual void onMessageReceivedFromPeer(const QString & /*peerId*/, const IMessage * /*message*/) { }
    virtual void onSetLocalUserAttributesResult(qint64 /*requestId*/, int /*errorCode*/) { }
    virtual void onGetUserAttributesResult(qint64 /*requestId*/, const QString & /*userId*/,
                                           const QVector<RtmAttribute> & /*attributes*/, int /*errorCode*/)
    { }
    virtual void onGetChannelMemberCountResult(qint64 /*requestId*/,
                                               const QVector<ChannelMemberCount> & /*counts*/,
                                               int /*errorCode*/)
    { }
};

class IChannelEventHandler
{
public:
    virtual ~IChannelEventHandler() = default;
    virtual void onJoinSuccess() { }
    virtual void onJoinFailure(int /*errorCode*/) { }
    virtual void onLeave(int /*errorCode*/) { }
    virtual void onMessageReceived(const QString & /*userId*/, const IMessage * /*message*/) { }
    virtual void onSendMessageResult(qint64 /*messageId*/, int /*state*/) { }
    virtual void onMemberJoined(IChannelMember * /*member*/) { }
    virtual void onMemberLeft(IChannelMember * /*member*/) { }
    virtual void onGetMembers(const QVector<IChannelMember *> & /*members*/, int /*errorCode*/) { }
    virtual void onMemberCountUpdated(int /*memberCount*/) { }
};

class IChannel
{
public:
    virtual ~IChannel() = default;
    // Joined channels are joined again by themselves after a lost connection comes back.
    virtual int join() = 0;
    virtual int leave() = 0;
    // A message sent while the connection is down waits and goes out once it is back.
    virtual int sendMessage(const IMessage *message, const SendMessageOptions &options) = 0;
    virtual QString getId() const = 0;
    virtual int getMembers() = 0;
    // No notification reaches the channel's listener once this returns.
    virtual void release() = 0;
};

class IRtmService
{
public:
    virtual ~IRtmService() = default;
    virtual int initialize(const QString &appId, IRtmServiceEventHandler *handler) = 0;
    // The connection is kept: when it is lost, the service logs in again by itself
    // with growing pauses (0.5 s doubling up to 10 s) and rejoins its channels.
    virtual int login(const QString &token, const QString &userId) = 0;
    virtual int logout() = 0;
    virtual IChannel *createChannel(const QString &channelId, IChannelEventHandler *handler) = 0;
    virtual IMessage *createMessage() = 0;
    virtual int sendMessageToPeer(const QString &peerId, const IMessage *message,
                                  const SendMessageOptions &options)
        = 0;
    virtual int clearLocalUserAttributes(qint64 requestId) = 0;
    virtual int addOrUpdateLocalUserAttributes(const QVector<RtmAttribute> &attributes, qint64 requestId) = 0;
    virtual int getUserAttributes(const QString &userId, qint64 requestId) = 0;
    virtual int getChannelMemberCount(const QStringList &channelIds, qint64 requestId) = 0;
    // Ends the connection; no notification arrives afterwards. The owner deletes the object.
    virtual void release(bool sync = false) = 0;
};

} // namespace rtm
} // namespace orvane

// The entry points of the messaging library.
orvane::rtm::IRtmService *createRtmService();
const char *getRtmSdkVersion();

#endif // RTMTYPES_H
