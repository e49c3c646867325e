// Arbitrary text as WebSocket frames of the realtime channel: the Engine.IO frame,
// the handshake, the Socket.IO packet inside it, and the preview payload rule.
#include "qtovcoreapiframework.h"
#include "sioprotocol.h"

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

using namespace SocketIo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString frame = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    EnginePacket engine;
    EngineHandshake handshake;
    SocketPacket packet;
    {
        // Qt 5.15's JSON parser leaks on some objects with repeated keys; that is
        // the toolkit's, so it is kept out of the leak check.
        __lsan::ScopedDisabler toolkitParser;
        engine = EnginePacket::decode(frame);
        handshake = EngineHandshake::decode(engine.data);
        packet = SocketPacket::decode(engine.data);
    }
    if (handshake.valid && (handshake.pingInterval < 1 || handshake.pingTimeout < 1))
        __builtin_trap();
    if (packet.type == SocketPacket::Event || packet.type == SocketPacket::BinaryEvent) {
        const QString name = packet.eventName();
        if (name.isEmpty() && !packet.data.toArray().at(0).isString())
            __builtin_trap(); // events always carry a name
        QString sid;
        QByteArray preview;
        QtOVCoreAPIFramework::previewFromEvent(name, packet.eventArguments().at(0), &sid, &preview);
    }
    SocketPacket::encode(SocketPacket::Event, packet.nsp,
                         packet.data.isUndefined() ? QJsonArray() : packet.data);
    EnginePacket::encode(EnginePacket::Message, engine.data);
    return 0;
}
