// Stands in for the OAuth helper in the end-to-end suite: records the address it
// was given, serves one message on the helper's socket and waits to be ended.
//   ORVANE_STANDIN_RECORD  file that gets "<pid> <address>", one line per start
//   ORVANE_STANDIN_MESSAGE the message to send ("code=..."), to each connection
#include "localmessage.h"
#include "localsockets.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <csignal>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGTERM, [](int) { _exit(0); });
    QFile record(qEnvironmentVariable("ORVANE_STANDIN_RECORD"));
    if (record.open(QIODevice::Append))
        record.write(QByteArray::number(app.applicationPid()) + ' ' + app.arguments().value(1).toUtf8()
                     + '\n');
    record.close();

    QLocalServer server;
    QString error;
    if (!LocalSockets::listen(&server, "qtorvanetvoauth", &error))
        qFatal("cannot listen: %s", qPrintable(error));
    const QString message = qEnvironmentVariable("ORVANE_STANDIN_MESSAGE");
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket *socket = LocalSockets::nextSameUserConnection(&server)) {
            socket->write(LocalMessage::encode(message));
            socket->flush();
        }
    });
    return app.exec();
}
