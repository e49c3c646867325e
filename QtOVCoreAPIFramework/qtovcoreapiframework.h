#ifndef QTOVCOREAPIFRAMEWORK_H
#define QTOVCOREAPIFRAMEWORK_H

#include "archive.h"
#include "camera.h"
#include "company.h"
#include "companyshare.h"
#include "qtovcoreapiframework_global.h"
#include "serverenvironment.h"
#include "sharedstream.h"
#include "sharedworkspace.h"
#include "user.h"

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <QVector>

#include <chrono>
#include <functional>
#include <memory>

namespace SocketIo {
class Client;
}

// The client of the service's REST API. Every operation builds its URL on the
// current environment, sends one request and returns at once; the reply arrives
// later as exactly one result signal carrying the parsed result and an empty error
// text, or empty defaults and an error text (already passed through the mapper).
class QTOVCOREAPIFRAMEWORK_EXPORT QtOVCoreAPIFramework : public QObject
{
    Q_OBJECT

public:
    // Selects, for a finished request, how the reply is parsed and which signal
    // carries it. The values are part of the client's interface and never change.
    enum RequestType {
        None = 0,
        Login = 1,
        CodeRequest = 2,
        CodeLogin = 3,
        OAuthProviders = 4,
        OAuthLogin = 5,
        UpdateUser = 6,
        MyUserInfo = 7,
        MyCompanies = 8,
        MyCompanyDetails = 9,
        MyCompanyUsers = 10,
        CompanyShares = 11,
        GlobalShareSettings = 12,
        SharedWorkspaces = 13,
        SharedStreams = 14,
        SharedArchives = 15,
        AuthTokenCheck = 16,
        StreamView = 17,
        Archives = 18,
        ResetPassword = 19,
    };
    Q_ENUM(RequestType)
    // One more than the last request type. The result table is checked against
    // it when the library builds, and the engine suite checks it against the enum.
    static constexpr int requestTypeCount = ResetPassword + 1;

    // The text of every failure that happens below the HTTP layer.
    static QString networkFailureText();

    QtOVCoreAPIFramework(std::function<QString(QString)> errorMapper, ServerEnvironment *environment);
    ~QtOVCoreAPIFramework() override;

    // Environments and URLs
    void setServerEnvironment(ServerEnvironment *environment);
    ServerEnvironment *getServerEnvironment() const;
    QUrl getIDBaseURL() const;
    QUrl getCoreBaseURL() const;
    QUrl getIDUrl(const QString &relativePath, bool withToken) const;
    QUrl getCoreUrl(const QString &relativePath, bool withToken) const;

    // Session and diagnostics
    void setAuthToken(const QString &token);
    QString getAuthToken() const;
    void setPrintRequest(bool on);
    void setPrintResponse(bool on);
    // A request whose reply stalls for this long without any data is abandoned and
    // reported as a network failure. 0 waits for ever.
    void setRequestTimeout(int milliseconds);
    int requestTimeout() const;
    // No request lasts longer than this, however its reply trickles in; it is then
    // abandoned and reported as a network failure.
    static constexpr int defaultRequestTimeLimit = 120000;
    void setRequestTimeLimit(int milliseconds);
    int requestTimeLimit() const { return m_requestTimeLimit; }

    // Account operations (identity endpoint)
    void login(const QString &email, const QString &password);
    void getCode(const QString &email, const QString &principal, const QString &serviceSlug);
    void codeLogin(const QString &email, const QString &code);
    void getCodeByPhone(const QString &phone);
    void codeLoginWithPhone(const QString &phone, const QString &code);
    void oauthLogin(const QString &provider, const QString &code, const QString &app);
    void resetPassword(const QString &email, const QString &redirectUrl);
    void checkAuthToken(const QString &token);
    void getMe();
    void updateUserProfile(const QString &firstName, const QString &lastName);

    // Company, sharing and catalogue queries
    void getMyCompanies(bool detailed);
    void getCompanyDetails(const QString &companyId);
    void getCompanyUsers(const QString &companyId);
    void getCompanyShares(const QString &serviceSlug);
    void getGlobalShareSettings(const QString &companyId, const QString &serviceSlug);
    void getSharedWorkspaces(const QString &companySlug, const QString &serviceSlug);
    void getSharedStreams(const QString &companySlug);
    void getSharedArchives(const QString &companySlug, const QString &workspaceId, int count, int offset,
                           const QVector<QString> &sids, const QVector<QDate> &dates,
                           const QVector<QString> &cameraIds);
    void getArchives(const QString &owner, int count, int offset);
    void sendStreamView(const QString &companySlug, bool isRecord, const QString &id, int shareId,
                        int totalBytes);

    // Request engine
    void request(QNetworkAccessManager::Operation operation, RequestType type, const QUrl &url,
                 const QByteArray &body);
    void get(RequestType type, const QUrl &url);
    void post(RequestType type, const QUrl &url, const QJsonObject &body);
    void put(RequestType type, const QUrl &url, const QJsonObject &body);
    void removeResource(RequestType type, const QUrl &url);
    void handleReply(QNetworkReply *reply, RequestType type);
    void handleSuccess(RequestType type, const QJsonValue &response, const QJsonObject &meta);
    void handleError(RequestType type, const QString &error);

    // Realtime preview channel (socket.io). Its listeners run on the channel's own
    // network thread; encoderPreviewUpdated is emitted there.
    void connectSIO(const QString &url, const QString &cid);
    void disconnectSIO();
    // Called with true when the channel opens and false when it fails or closes,
    // on the network thread. Safe to replace at any time: once this returns, the
    // handler it replaced is not called again.
    void setConnectionStatusHandler(std::function<void(bool)> handler);
    void addDefaultSIOHandlers();
    void addPrintSIOHandler();
    void enableSIODebug();
    void disableSIODebug();
    void updateEncoderPreview(const QString &sid);
    void stopEncoderPreview(const QString &sid);
    void removeSIOHandlerForEvent(const QString &event);
    // The encoder id and base64 picture of a preview event; false when the event
    // is not a preview the channel understands.
    static bool previewFromEvent(const QString &event, const QJsonValue &message, QString *sid,
                                 QByteArray *data);

    static void addQueryItems(QUrl &url, const QVector<QString> &keys, const QVector<QString> &values);
    static QString join(const QVector<QString> &items, const QString &separator);
    static QString getMethodName(QNetworkAccessManager::Operation operation);
    static bool isNetworkLayerError(QNetworkReply::NetworkError error);

signals:
    void authTokenCheckFinished(User user, QString error);
    void loginFinished(QJsonObject object, QString error);
    void codeRequestFinished(QJsonObject object, QString error);
    void codeLoginFinished(QJsonObject object, QString error);
    void gotOAuthProviders(QJsonObject object, QString error);
    void oauthLoginFinished(QJsonObject object, QString error);
    void gotGlobalShareSettings(QJsonObject object, QString error);
    void updateUserFinished(QString error);
    void myUserInfoGotten(User user, QString error);
    void myCompaniesGotten(QVector<Company>, QString error);
    void myCompanyDetailsGotten(Company, QString error);
    void myCompanyUsersGotten(QVector<User> users, QString error);
    void companySharesGotten(QMap<QString, QVector<CompanyShare>> shares, QString error);
    void gotSharedWorkspaces(QVector<SharedWorkspace>, QString error);
    void gotSharedStreams(QVector<SharedStream>, QString error);
    void gotSharedArchives(QVector<Archive>, QVariantMap paging, QString error);
    void gotStreamViewResponse(QString error);
    void encoderPreviewUpdated(QString sid, QByteArray data);
    void gotArchiveResponse(QVector<Archive>, QString error, bool hasNextPage, int nextPageOffset);
    void gotResetPasswordResponse(QString error);

private:
    void onReplyFinished(QNetworkReply *reply, RequestType type);
    QUrl endpointUrl(const QUrl &base, const QString &relativePath, bool withToken) const;
    void reportConnectionStatus(bool connected);

    std::function<QString(QString)> errorMapper;
    QString authToken;
    bool printRequest = false;
    bool printResponse = false;
    int m_requestTimeout = 30000;
    int m_requestTimeLimit = defaultRequestTimeLimit;
    ServerEnvironment *serverEnvironment = nullptr;
    QMap<QString, std::chrono::steady_clock::time_point> requestStartTimes;
    QNetworkAccessManager *networkManager = nullptr;
    std::unique_ptr<SocketIo::Client> sioClient;
    std::function<void(bool)> connectionStatusHandler;
    QRecursiveMutex connectionStatusMutex;
};

#endif // QTOVCOREAPIFRAMEWORK_H
