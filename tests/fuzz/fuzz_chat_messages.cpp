// What arrives from the real-time hub and from other chat users: sequences of
// hub frames fed to the messaging layer's connection (one frame per line), and
// every line read as a chat message and as the service's chat records.
#include "chatrecords.h"
#include "hubconnection.h"
#include "textmessage.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <sanitizer/lsan_interface.h>

#include <cstddef>
#include <cstdint>

namespace {

// Checks what the connection hands to its listeners.
struct Listener
    : orvane::rtm::IRtmServiceEventHandler
    , orvane::rtm::IChannelEventHandler
{
    void onMessageReceived(const QString &, const orvane::rtm::IMessage *message) override
    {
        if (!message)
            __builtin_trap();
        message->getText().size();
    }
    void onMessageReceivedFromPeer(const QString &, const orvane::rtm::IMessage *message) override
    {
        if (!message)
            __builtin_trap();
    }
    void onGetMembers(const QVector<orvane::rtm::IChannelMember *> &members, int) override
    {
        for (orvane::rtm::IChannelMember *member : members) {
            if (!member)
                __builtin_trap();
            member->getUserId().size();
        }
    }
    void onMemberJoined(orvane::rtm::IChannelMember *member) override
    {
        if (!member)
            __builtin_trap();
    }
};

QCoreApplication *application()
{
    static int argc = 1;
    static char name[] = "fuzz_chat_messages";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return &app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    application();
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    Listener listener;
    orvane::rtm::HubConnection connection(QUrl(QStringLiteral("wss://hub.invalid/rtm/v1")),
                                          QStringLiteral("4f1c9a2e7b3d4c5e8a6f0b1d2c3e4f5a"), &listener);
    connection.addChannel(QStringLiteral("workspace-41"), &listener);
    connection.joinChannel(QStringLiteral("workspace-41"));
    // Qt 5.15's JSON parser leaks on some objects with repeated keys; that is the
    // toolkit's, so it is kept out of the leak check.
    __lsan::ScopedDisabler toolkitParser;
    for (const QString &line : input.split(QLatin1Char('\n'))) {
        connection.onFrame(line);

        const TextMessage message = TextMessage::fromReceived(QStringLiteral("u-1"), line, 1.0);
        // A message always shows something or nothing, and a body is never lost.
        if (message.message.isEmpty() && !line.isEmpty())
            __builtin_trap();
        message.displayText();

        const QJsonObject json = QJsonDocument::fromJson(line.toUtf8()).object();
        ChatAuth::fromJson(json);
        const User user = User::fromJson(json);
        user.getDisplayName(true);
        user.hasProperName();
        const SharedUser shared = SharedUser::fromJson(json);
        if (shared.firstName.isNull() && !json.value(QStringLiteral("firstName")).isString())
            __builtin_trap();
    }
    connection.shutdown();
    return 0;
}
