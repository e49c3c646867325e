// The realtime preview channel: the Socket.IO connection that pushes encoder
// preview snapshots, its handlers and the preview event rule.
#include "qtovcoreapiframework.h"

#include "sioclient.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>

// ---- Realtime preview channel ----------------------------------------------------------

void QtOVCoreAPIFramework::connectSIO(const QString &url, const QString &cid)
{
    QMap<QString, QString> query;
    query.insert(QStringLiteral("auth_token"), authToken);
    query.insert(QStringLiteral("cid"), cid);
    addDefaultSIOHandlers();
    qDebug().noquote() << "Connecting to " + url;
    sioClient->connect(QUrl(url), query);
}

void QtOVCoreAPIFramework::disconnectSIO()
{
    sioClient->close();
}

void QtOVCoreAPIFramework::setConnectionStatusHandler(std::function<void(bool)> handler)
{
    QMutexLocker lock(&connectionStatusMutex);
    connectionStatusHandler = std::move(handler);
}

void QtOVCoreAPIFramework::reportConnectionStatus(bool connected)
{
    QMutexLocker lock(&connectionStatusMutex);
    if (connectionStatusHandler)
        connectionStatusHandler(connected);
}

void QtOVCoreAPIFramework::addDefaultSIOHandlers()
{
    qDebug().noquote() << "Adding default handlers...";
    sioClient->socket().onError([](const QJsonValue &message) {
        if (message.isString())
            qDebug().noquote() << "SIO Error: " + message.toString();
    });
    sioClient->setOpenListener([this] { reportConnectionStatus(true); });
    sioClient->setFailListener([this] {
        qDebug().noquote() << "SIO Fail!";
        reportConnectionStatus(false);
    });
    sioClient->setCloseListener([this](SocketIo::CloseReason reason) {
        qDebug().noquote() << "SIO Close: " + QString::number(int(reason));
        reportConnectionStatus(false);
    });
}

void QtOVCoreAPIFramework::addPrintSIOHandler() { }

void QtOVCoreAPIFramework::enableSIODebug()
{
    sioClient->setDebugPrint(true);
}

void QtOVCoreAPIFramework::disableSIODebug()
{
    sioClient->setDebugPrint(false);
}

void QtOVCoreAPIFramework::updateEncoderPreview(const QString &sid)
{
    const QString event = QStringLiteral("device:%1:preview").arg(sid);
    qDebug().noquote() << QStringLiteral("Adding preview handler for %1(%2)").arg(sid, event);
    sioClient->socket().on(event, [this](const QString &name, const QJsonValue &message) {
        QString encoder;
        QByteArray data;
        if (previewFromEvent(name, message, &encoder, &data))
            emit encoderPreviewUpdated(encoder, data);
    });
    // The receiver starts from an empty picture.
    emit encoderPreviewUpdated(sid, QByteArray());
}

void QtOVCoreAPIFramework::stopEncoderPreview(const QString &sid)
{
    removeSIOHandlerForEvent(QStringLiteral("device:%1:preview").arg(sid));
}

void QtOVCoreAPIFramework::removeSIOHandlerForEvent(const QString &event)
{
    sioClient->socket().off(event);
}

bool QtOVCoreAPIFramework::previewFromEvent(const QString &event, const QJsonValue &message, QString *sid,
                                            QByteArray *data)
{
    const QJsonValue image = message.isObject() ? message.toObject().value(QStringLiteral("img"))
                                                : QJsonValue(QJsonValue::Undefined);
    if (!image.isString())
        return false;
    const QString text = image.toString();
    // "data:image/jpeg;base64," is 23 characters; other image types' prefixes 22.
    const int skip = text.left(20).contains(QLatin1String("jpeg")) ? 23 : 22;
    if (text.size() < skip)
        return false; // not even a whole prefix: nothing to show
    *sid = event.split(QLatin1Char(':')).value(1);
    *data = text.mid(skip).toUtf8();
    return true;
}
