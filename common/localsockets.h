#ifndef LOCALSOCKETS_H
#define LOCALSOCKETS_H

#include <QString>

class QLocalServer;
class QLocalSocket;

// Where our programs' local servers live, and who may talk to them. A bare
// server name would put the socket in /tmp, where any user of the machine could
// stand up a server under our name or connect to ours; every server and client
// of the product uses a full path in the user's own runtime folder instead, and
// both ends check that the peer runs as the same user.
namespace LocalSockets {

// The user's runtime folder (XDG_RUNTIME_DIR, or Qt's private fallback, mode
// 0700), created when missing. Empty when no such folder can be had.
QString runtimeFolder();
// The socket path for one of the designed server names ("qtorvanetvoauth",
// "qtorvanetvchat").
QString serverPath(const QString &name);

// Listens on serverPath(name), or on name itself when it is already a full path.
// A socket file left by a program that crashed is removed only when nobody
// answers on it; a live server under the same path makes this fail. Called at
// a program's start (the check of an existing socket waits at most 200 ms). The socket
// is made readable and writable by its owner only. Returns false with *error set.
bool listen(QLocalServer *server, const QString &name, QString *error = nullptr);

// The user id of the process at the other end of a connected socket, or -1.
long long peerUserId(const QLocalSocket *socket);
// Whether the peer runs as this process's user.
bool isSameUser(const QLocalSocket *socket);
// The server's next pending connection of this process's user; connections of
// any other user are closed and deleted on the way. Null when none is left.
QLocalSocket *nextSameUserConnection(QLocalServer *server);

} // namespace LocalSockets

#endif // LOCALSOCKETS_H
