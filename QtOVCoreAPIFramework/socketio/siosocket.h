#ifndef SIOSOCKET_H
#define SIOSOCKET_H

#include <QHash>
#include <QJsonValue>
#include <QMutex>
#include <QString>

#include <functional>

namespace SocketIo {

// The event handlers of one namespace. Handlers are added and removed from any
// thread and run on the client's network thread; once off() returns, the removed
// handler is not called again.
class Socket
{
public:
    using EventHandler = std::function<void(const QString &event, const QJsonValue &message)>;
    using ErrorHandler = std::function<void(const QJsonValue &message)>;

    // Replaces any handler of the event.
    void on(const QString &event, EventHandler handler);
    void off(const QString &event);
    void offAll();
    void onError(ErrorHandler handler);
    int handlerCount() const;

    // Network thread: runs the handler of an event, or of an error, if there is one.
    void dispatch(const QString &event, const QJsonValue &message) const;
    void dispatchError(const QJsonValue &message) const;

private:
    // Held while a handler runs, so off() waits for a running call to end.
    mutable QRecursiveMutex m_mutex;
    QHash<QString, EventHandler> m_handlers;
    ErrorHandler m_errorHandler;
};

} // namespace SocketIo

#endif // SIOSOCKET_H
