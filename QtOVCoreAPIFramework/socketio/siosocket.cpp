#include "siosocket.h"

namespace SocketIo {

void Socket::on(const QString &event, EventHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handlers.insert(event, std::move(handler));
}

void Socket::off(const QString &event)
{
    QMutexLocker lock(&m_mutex);
    m_handlers.remove(event);
}

void Socket::offAll()
{
    QMutexLocker lock(&m_mutex);
    m_handlers.clear();
    m_errorHandler = nullptr;
}

void Socket::onError(ErrorHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_errorHandler = std::move(handler);
}

int Socket::handlerCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_handlers.size();
}

void Socket::dispatch(const QString &event, const QJsonValue &message) const
{
    QMutexLocker lock(&m_mutex);
    const auto handler = m_handlers.constFind(event);
    if (handler != m_handlers.constEnd() && handler.value())
        handler.value()(event, message);
}

void Socket::dispatchError(const QJsonValue &message) const
{
    QMutexLocker lock(&m_mutex);
    if (m_errorHandler)
        m_errorHandler(message);
}

} // namespace SocketIo
