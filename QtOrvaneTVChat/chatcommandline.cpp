#include "chatcommandline.h"

#include "chattheme.h"
#include "globalmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>
#include <QIODevice>

namespace ChatCommandLine {

namespace {

struct Option
{
    QStringList names;
    const char *valueName;
    const char *description;
};

const Option options[] = {
    {{QStringLiteral("environment")},
     QT_TRANSLATE_NOOP("main", "environment"),
     QT_TRANSLATE_NOOP("main", "Server environment")},
    {{QStringLiteral("token"), QStringLiteral("auth-token")},
     QT_TRANSLATE_NOOP("main", "token"),
     QT_TRANSLATE_NOOP("main", "Token for Core API.")},
    {{QStringLiteral("stream")},
     QT_TRANSLATE_NOOP("main", "stream"),
     QT_TRANSLATE_NOOP("main", "Core stream.")},
    {{QStringLiteral("streamId")},
     QT_TRANSLATE_NOOP("main", "streamId"),
     QT_TRANSLATE_NOOP("main", "Core stream id.")},
    {{QStringLiteral("workspaceId")},
     QT_TRANSLATE_NOOP("main", "workspaceId"),
     QT_TRANSLATE_NOOP("main", "Core workspace id.")},
    {{QStringLiteral("workspaceName")},
     QT_TRANSLATE_NOOP("main", "workspaceName"),
     QT_TRANSLATE_NOOP("main", "Core workspace name.")},
    {{QStringLiteral("company")},
     QT_TRANSLATE_NOOP("main", "company"),
     QT_TRANSLATE_NOOP("main", "Core company.")},
    {{QStringLiteral("companyId")},
     QT_TRANSLATE_NOOP("main", "company id"),
     QT_TRANSLATE_NOOP("main", "Core company id")},
    {{QStringLiteral("textEnabled")},
     QT_TRANSLATE_NOOP("main", "textEnabled"),
     QT_TRANSLATE_NOOP("main", "Text enabled")},
    {{QStringLiteral("voiceEnabled")},
     QT_TRANSLATE_NOOP("main", "voiceEnabled"),
     QT_TRANSLATE_NOOP("main", "Voice enabled")},
    {{QStringLiteral("textReadonly")},
     QT_TRANSLATE_NOOP("main", "textReadonly"),
     QT_TRANSLATE_NOOP("main", "Text read-only")},
    {{QStringLiteral("voiceListenOnly")},
     QT_TRANSLATE_NOOP("main", "voiceListenOnly"),
     QT_TRANSLATE_NOOP("main", "Voice listen only")},
    {{QStringLiteral("theme")}, QT_TRANSLATE_NOOP("main", "theme"), QT_TRANSLATE_NOOP("main", "App theme.")},
};

QString value(const QCommandLineParser &parser, const char *name)
{
    return parser.value(QLatin1String(name));
}

} // namespace

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Chat App for Orvane TV"));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const Option &option : options) {
        parser.addOption(QCommandLineOption(option.names,
                                            QCoreApplication::translate("main", option.description),
                                            QCoreApplication::translate("main", option.valueName)));
    }
}

bool isEnabledValue(const QString &value)
{
    return value == QLatin1String("1") || value == QLatin1String("true");
}

void apply(const QCommandLineParser &parser, GlobalManager &manager, QIODevice *tokenInput)
{
    QString token = value(parser, "token");
    if (token == QLatin1String("-")) {
        token.clear();
        if (tokenInput && (tokenInput->isOpen() || tokenInput->open(QIODevice::ReadOnly)))
            token = QString::fromUtf8(tokenInput->readLine(64 * 1024)).trimmed();
    }
    if (!token.isEmpty()) {
        qDebug() << "Setting auth token!";
        manager.setAuthToken(token);
    }
    const QString company = value(parser, "company");
    if (!company.isEmpty()) {
        qDebug() << "Setting company to" << company;
        manager.setCompany(company);
    }
    const QString companyId = value(parser, "companyId");
    if (!companyId.isEmpty()) {
        qDebug() << "Setting companyId";
        manager.setCompanyId(companyId);
    }
    const QString stream = value(parser, "stream");
    if (!stream.isEmpty()) {
        qDebug() << "Setting stream";
        manager.setStream(stream);
    }
    const QString streamId = value(parser, "streamId");
    if (!streamId.isEmpty()) {
        qDebug() << "Setting stream id";
        manager.setStreamId(streamId);
    }
    const QString workspaceId = value(parser, "workspaceId");
    if (!workspaceId.isEmpty()) {
        qDebug() << "Setting workspace id";
        manager.setWorkspaceId(workspaceId);
    }
    const QString workspaceName = value(parser, "workspaceName");
    if (!workspaceName.isEmpty()) {
        qDebug() << "Setting workspace name";
        manager.setWorkspaceName(workspaceName);
    }
    const QString environment = value(parser, "environment");
    if (!environment.isEmpty()) {
        qDebug() << "Setting server environment";
        manager.setServerEnvironment(environment);
    }
    const QString textEnabled = value(parser, "textEnabled");
    if (!textEnabled.isEmpty()) {
        qDebug() << "Setting text enabled to" << textEnabled;
        manager.setTextEnabled(isEnabledValue(textEnabled));
    }
    const QString voiceEnabled = value(parser, "voiceEnabled");
    if (!voiceEnabled.isEmpty()) {
        qDebug() << "Setting voice enabled";
        manager.setVoiceEnabled(isEnabledValue(voiceEnabled));
    }
    if (value(parser, "theme") == QLatin1String("core_share")) {
        qDebug() << "Setting core share theme";
        ChatTheme::setThemeFlag(1);
        manager.setTheme(QStringLiteral("core_share"));
    }
}

} // namespace ChatCommandLine
