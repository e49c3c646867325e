// A chat session in a process of its own, for the voice suites: a seeded user
// in workspace 41's voice channel with the given microphone and speakers.
//   voice_peer EMAIL PASSWORD MICROPHONE SPEAKERS
// Prints "joined" once in the call; reads commands, one per line, on standard
// input: "mic" (toggle the microphone), "leave", "join"; ends when it closes.
#include "chattestsupport.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<VoiceChatParticipant>();
    qRegisterMetaType<QVector<VoiceChatParticipant>>();
    const QStringList arguments = app.arguments();
    if (arguments.size() != 5)
        return 2;
    ChatTestSupport::VoiceSession session;
    if (!session.open(arguments.at(1), arguments.at(2), arguments.at(3), arguments.at(4)))
        return 3;
    QObject::connect(session.chat.get(), &ChatManager::joinedAgoraVoiceChannel, [] {
        std::printf("joined\n");
        std::fflush(stdout);
    });
    QObject::connect(session.chat.get(), &ChatManager::leftAgoraVoiceChannel, [] {
        std::printf("left\n");
        std::fflush(stdout);
    });
    if (!session.chat->joinVoiceChannel())
        return 4;
    session.chat->enableVolumeIndication();

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char line[64];
        const ssize_t size = ::read(STDIN_FILENO, line, sizeof(line) - 1);
        if (size <= 0) {
            app.quit();
            return;
        }
        line[size] = '\0';
        for (const QString &command :
             QString::fromLatin1(line).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (command == QLatin1String("mic"))
                session.chat->toggleMic();
            else if (command == QLatin1String("leave"))
                session.chat->leaveVoiceChannel();
            else if (command == QLatin1String("join"))
                session.chat->joinVoiceChannel();
        }
    });
    return app.exec();
}
