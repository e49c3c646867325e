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
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(path))
        return true;
    if (server->serverError() == QAbstractSocket::AddressInUseError) {
        // Connecting to a Unix socket answers at once: refused when nobody listens.
        QLocalSocket probe;
        probe.connectToServer(path);
        const bool alive = probe.waitForConnected(0) || probe.state() == QLocalSocket::ConnectedState;
        probe.abort();
        if (!alive && QFileInfo(path).exists() && !QFileInfo(path).isDir()) {
            QLocalServer::removeServer(path);
            if (server->listen(path))
                return true;
        }
    }
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

} // namespace LocalSockets
