// Stands in for the chat program in the launcher suite: records how it was
// started, may crash, and may serve recording links on the chat socket.
//   ORVANE_STANDIN_RECORD  file that gets one JSON line per start
//   ORVANE_STANDIN_MODE    "run" (default), "crash-once" or "crash-always"
//   ORVANE_STANDIN_LINKS   texts to send, one per line, to each connection
#include "localmessage.h"
#include "localsockets.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Ends cleanly when asked to, as the chat program does.
    std::signal(SIGTERM, [](int) { _exit(0); });

    QTextStream in(stdin);
    const QString stdinLine = in.readLine();
    const QString record = qEnvironmentVariable("ORVANE_STANDIN_RECORD");
    QFile file(record);
    if (file.open(QIODevice::Append)) {
        QJsonObject line{{"args", QJsonArray::fromStringList(app.arguments().mid(1))},
                         {"stdin", stdinLine},
                         {"pid", qint64(app.applicationPid())}};
        file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
        file.close();
    }
    const QString mode = qEnvironmentVariable("ORVANE_STANDIN_MODE", "run");
    if (mode == "crash-always")
        std::abort();
    if (mode == "crash-once" && !QFile::exists(record + ".crashed")) {
        QFile(record + ".crashed").open(QIODevice::WriteOnly);
        std::abort();
    }

    const QStringList links = qEnvironmentVariable("ORVANE_STANDIN_LINKS").split('\n', Qt::SkipEmptyParts);
    QLocalServer server;
    if (!links.isEmpty()) {
        QString error;
        if (!LocalSockets::listen(&server, "qtorvanetvchat", &error))
            qFatal("cannot listen: %s", qPrintable(error));
        QObject::connect(&server, &QLocalServer::newConnection, [&] {
            while (QLocalSocket *socket = LocalSockets::nextSameUserConnection(&server)) {
                for (const QString &link : links)
                    socket->write(LocalMessage::encode(link));
                socket->flush();
            }
        });
    }
    return app.exec();
}
