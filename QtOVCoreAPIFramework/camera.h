#ifndef CAMERA_H
#define CAMERA_H

#include "qtovcoreapiframework_global.h"
#include "sharedstream.h"

#include <QDateTime>
#include <QJsonValue>
#include <QMetaType>
#include <QString>

// The person operating a camera; the service does not send it yet.
class QTOVCOREAPIFRAMEWORK_EXPORT Operator
{
public:
    Operator() = default;
    // Like every record, made from the service's JSON; nothing of it is read
    // until the service defines the operator's members.
    explicit Operator(const QJsonValue &json);

    QString name;
    QString email;
};

// A live source inside a workspace.
class QTOVCOREAPIFRAMEWORK_EXPORT Camera
{
public:
    Camera() = default;
    explicit Camera(const QJsonValue &json);

    // True when the camera has a live stream to play.
    bool hasStream() const;

    // ISO 8601 text as a UTC date-time (the written clock time, labelled UTC).
    static QDateTime formatDate(const QString &isoText);

    QString id;
    QString serverId;
    // The encoder's id; also the key of its preview events.
    QString encoderSid;
    QDateTime createdAt;
    QString unit;
    QString name;
    bool muted = false;
    Operator cameraOperator;
    SharedStream sharedStream;
};

Q_DECLARE_METATYPE(Camera)

#endif // CAMERA_H
