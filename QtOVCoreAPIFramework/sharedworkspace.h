#ifndef SHAREDWORKSPACE_H
#define SHAREDWORKSPACE_H

#include "archive.h"
#include "camera.h"
#include "qtovcoreapiframework_global.h"
#include "sharedstream.h"

#include <QDate>
#include <QJsonValue>
#include <QMetaType>
#include <QString>
#include <QVector>

class QTOVCOREAPIFRAMEWORK_EXPORT WorkspaceSettings
{
public:
    WorkspaceSettings() = default;
    explicit WorkspaceSettings(const QJsonValue &json);

    bool hideOverlays = false;
    bool autoAddRecords = false;
    bool recordsAsSharing = false;
    bool chatEnabled = false;
    bool voiceChatEnabled = false;
    bool textChatEnabled = false;
};

// A project space shared through a company share.
class QTOVCOREAPIFRAMEWORK_EXPORT SharedWorkspace
{
public:
    SharedWorkspace() = default;
    explicit SharedWorkspace(const QJsonValue &json);

    QString id;
    QString name;
    bool isDefault = false;
    QDate createdAt;
    WorkspaceSettings settings;
    QVector<Camera> sharedCameras;
    QVector<SharedStream> sharedStreams;
    QVector<Archive> sharedRecords;
};

Q_DECLARE_METATYPE(WorkspaceSettings)
Q_DECLARE_METATYPE(SharedWorkspace)

#endif // SHAREDWORKSPACE_H
