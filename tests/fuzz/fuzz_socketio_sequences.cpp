// Arbitrary sequences of WebSocket frames into one Socket.IO connection, as a
// server could send them: handshakes, pings, namespace connects, events and
// closes in any order. Events reach their handlers only on a connected
// namespace, the connection reports "open" only after a valid handshake, and
// the heartbeat never gets a negative or overflowed interval.
#include "sioconnection.h"
#include "siosocket.h"

#include <QCoreApplication>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

namespace SocketIo {

struct ConnectionFrameFeeder
{
    static void beginOpening(Connection &connection) { connection.m_state = Connection::State::Connecting; }
    static void feed(Connection &connection, const QString &frame) { connection.onTextFrame(frame); }
    static bool connected(const Connection &connection)
    {
        return connection.m_state == Connection::State::Connected;
    }
    static bool handshaken(const Connection &connection) { return connection.m_handshake.valid; }
    static bool heartbeatSound(const Connection &connection)
    {
        return !connection.m_heartbeat.isActive() || connection.m_heartbeat.interval() > 0;
    }
};

} // namespace SocketIo

using namespace SocketIo;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One frame per line.
    const QStringList frames
        = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)).split(QLatin1Char('\n'));
    Socket socket;
    Connection *current = nullptr;
    bool eventOutsideConnection = false;
    socket.on(QStringLiteral("preview"), [&](const QString &, const QJsonValue &) {
        if (!current || !ConnectionFrameFeeder::connected(*current))
            eventOutsideConnection = true;
    });
    bool openWithoutHandshake = false;
    ConnectionListeners listeners;
    listeners.open = [&] {
        if (!current || !ConnectionFrameFeeder::handshaken(*current))
            openWithoutHandshake = true;
    };
    {
        // Qt 5.15's JSON parser leaks on some objects with repeated keys; that is
        // the toolkit's, so it is kept out of the leak check.
        __lsan::ScopedDisabler toolkitParser;
        Connection connection(&socket, listeners);
        current = &connection;
        ConnectionFrameFeeder::beginOpening(connection);
        for (const QString &frame : frames) {
            ConnectionFrameFeeder::feed(connection, frame);
            if (!ConnectionFrameFeeder::heartbeatSound(connection))
                __builtin_trap();
        }
        current = nullptr;
    }
    if (eventOutsideConnection || openWithoutHandshake)
        __builtin_trap();
    return 0;
}
