#include "platform/displaykeeper.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>

DisplayKeeper::DisplayKeeper(QObject *parent)
    : QObject(parent)
{ }

DisplayKeeper *DisplayKeeper::keepDisplayOn(const QString &applicationName, const QString &reason)
{
    auto *keeper = new DisplayKeeper(QCoreApplication::instance());
    keeper->request(applicationName, reason);
    return keeper;
}

void DisplayKeeper::request(const QString &applicationName, const QString &reason)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no desktop session: nothing to keep awake
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("Inhibit"));
    call << applicationName << reason;
    // Asynchronous: start-up does not wait for the desktop.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        const QDBusPendingReply<quint32> reply = *done;
        done->deleteLater();
        if (reply.isError()) {
            qDebug().noquote() << "Display stays under the screensaver's control:" << reply.error().message();
            return;
        }
        m_cookie = reply.value();
        emit inhibited(m_cookie);
    });
}
