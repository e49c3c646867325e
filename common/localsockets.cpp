#include "localsockets.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LocalSockets {

QString runtimeFolder()
{
    // Qt checks XDG_RUNTIME_DIR's owner and mode, and otherwise makes a private
    // folder of its own (/tmp/runtime-<user>, 0700).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return QString();
    QDir().mkpath(folder);
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || info.st_uid != ::geteuid()
        || (info.st_mode & 077) != 0)
        return QString();
    return folder;
}

QString serverPath(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

bool listen(QLocalServer *server, const QString &name, QString *error)
{
    const QString path = serverPath(name);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no private runtime folder for local sockets");
        return false;
    }
    // Qt binds a socket with access options under a temporary name and renames it
    // into place, which would silently replace a live server's socket: whoever
    // answers on the path keeps it, and only a file nobody answers on is removed.
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
        QLocalSocket probe;
        probe.connectToServer(path);
        const bool alive = probe.state() == QLocalSocket::ConnectedState || probe.waitForConnected(200);
        probe.abort();
        if (alive) {
            if (error)
                *error = QStringLiteral("another program already listens on %1").arg(path);
            return false;
        }
        if (existing.isDir() || !QFile::remove(path)) {
            if (error)
                *error = QStringLiteral("cannot remove the stale socket %1").arg(path);
            return false;
        }
    }
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(path))
        return true;
    if (error)
        *error = server->errorString();
    return false;
}

long long peerUserId(const QLocalSocket *socket)
{
    if (!socket || socket->socketDescriptor() < 0)
        return -1;
    struct ucred credentials;
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return -1;
    return credentials.uid;
}

bool isSameUser(const QLocalSocket *socket)
{
    return peerUserId(socket) == (long long)::geteuid();
}

QLocalSocket *nextSameUserConnection(QLocalServer *server)
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        if (isSameUser(socket))
            return socket;
        qWarning("Local connection of user %lld refused", peerUserId(socket));
        socket->abort();
        socket->deleteLater();
    }
    return nullptr;
}

} // namespace LocalSockets
