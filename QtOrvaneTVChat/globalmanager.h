#ifndef GLOBALMANAGER_H
#define GLOBALMANAGER_H

#include "chatrecords.h"

#include <QObject>
#include <QString>

// The session values of the chat program, filled from its command line at start
// and kept for the life of the process.
class GlobalManager : public QObject
{
public:
    explicit GlobalManager(QObject *parent = nullptr);

    User getUser() const { return m_user; }
    void setUser(const User &user) { m_user = user; }
    QString getTheme() const { return m_theme; }
    void setTheme(const QString &theme) { m_theme = theme; }
    QString getStreamId() const { return m_streamId; }
    void setStreamId(const QString &streamId) { m_streamId = streamId; }
    QString getStream() const { return m_stream; }
    void setStream(const QString &stream) { m_stream = stream; }
    QString getCompany() const { return m_company; }
    void setCompany(const QString &company) { m_company = company; }
    QString getCompanyId() const { return m_companyId; }
    void setCompanyId(const QString &companyId) { m_companyId = companyId; }
    QString getWorkspaceId() const { return m_workspaceId; }
    void setWorkspaceId(const QString &workspaceId) { m_workspaceId = workspaceId; }
    QString getWorkspaceName() const { return m_workspaceName; }
    void setWorkspaceName(const QString &workspaceName) { m_workspaceName = workspaceName; }
    QString getServerEnvironment() const { return m_serverEnvironment; }
    void setServerEnvironment(const QString &environment) { m_serverEnvironment = environment; }
    QString getAuthToken() const { return m_authToken; }
    void setAuthToken(const QString &token) { m_authToken = token; }
    bool getTextEnabled() const { return m_textEnabled; }
    void setTextEnabled(bool enabled) { m_textEnabled = enabled; }
    bool getVoiceEnabled() const { return m_voiceEnabled; }
    void setVoiceEnabled(bool enabled) { m_voiceEnabled = enabled; }

private:
    User m_user;
    QString m_theme = QStringLiteral("otv");
    QString m_streamId;
    QString m_stream;
    QString m_company;
    QString m_companyId;
    QString m_workspaceId;
    QString m_workspaceName;
    // Matches no environment name until the command line gives one.
    QString m_serverEnvironment = QString(QChar(0));
    QString m_authToken;
    bool m_textEnabled = false;
    bool m_voiceEnabled = false;
};

#endif // GLOBALMANAGER_H
