#ifndef COREAPIMANAGER_H
#define COREAPIMANAGER_H

#include "chatrecords.h"

#include <QJsonValue>
#include <QObject>
#include <QUrl>
#include <QVector>

#include <functional>

class GlobalManager;
class QNetworkAccessManager;
class QNetworkReply;

// The chat program's own small client of the service: the signed-in user, the
// chat credentials of a workspace, the voice statistics and the users a
// workspace is shared with. Each call gives exactly one signal; its last
// argument is the error text, empty on success.
class CoreAPIManager : public QObject
{
    Q_OBJECT
public:
    enum RequestKind {
        ChatCredentials = 1,
        UserInfo = 3,
        ChatStatistics = 4,
        SharedUsers = 7,
    };

    CoreAPIManager(QObject *parent, std::function<QString(QString)> errorMapper);
    ~CoreAPIManager() override;

    // Also chooses the environment: "staging" exactly, else the core deployment
    // under the "core_share" theme, else production.
    void setGlobalManager(GlobalManager *manager);
    int environment() const { return m_environment; }

    QUrl identityUrl(const QString &relativePath, bool withToken) const;
    QUrl coreUrl(const QString &relativePath, bool withToken) const;

    void getUserInfo();
    void getChatAuth(const QString &company, const QString &workspaceId, const QString &userId,
                     quint32 voiceStreamId);
    void sendChatStats(const QString &company, const QString &workspaceId, const QString &sessionId);
    void getSharedUsers(const QString &shareId, const QString &serviceSlug);

signals:
    void gotUserInfo(User user, QString error);
    void gotAgoraTokens(QString error);
    void sentChatStats(QString error);
    void updatedUserInfo(QString error);
    void gotAgoraAuth(ChatAuth auth, QString error);
    void gotCompanySharesById(QVector<CompanyShare> shares, QString error);
    void gotSharedUsers(QVector<SharedUser> users, QString error);

private:
    QUrl url(bool identity, const QString &relativePath, bool withToken) const;
    void get(int kind, const QUrl &url);
    void post(int kind, const QUrl &url, const QByteArray &body);
    void watch(QNetworkReply *reply, int kind);
    void onFinished(QNetworkReply *reply, int kind);
    void handleSuccess(int kind, const QJsonValue &response);
    void handleError(int kind, const QString &error);

    std::function<QString(QString)> m_errorMapper;
    bool m_printRequest = true;
    bool m_printResponse = false;
    QNetworkAccessManager *m_network;
    GlobalManager *m_globalManager = nullptr;
    int m_environment = 0;
};

#endif // COREAPIMANAGER_H
