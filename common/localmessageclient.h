#ifndef LOCALMESSAGECLIENT_H
#define LOCALMESSAGECLIENT_H

#include "localmessage.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalSocket;

// The reading end of one of our local sockets (the viewer's side of the OAuth
// helper and of the chat program): connects to the server's path in the user's
// runtime folder, retries every 500 ms for as long as keepTrying() says the
// other program still runs, checks that it runs as the same user, and hands out
// whole messages. A malformed message drops the connection.
class LocalMessageClient : public QObject
{
    Q_OBJECT

public:
    LocalMessageClient(const QString &serverName, std::function<bool()> keepTrying,
                       QObject *parent = nullptr);

    // (Re)connects from scratch.
    void connectToServer();
    void abort();

signals:
    void messageReceived(QString text);

private:
    void read();

    QString m_serverName;
    std::function<bool()> m_keepTrying;
    QLocalSocket *m_socket = nullptr;
    LocalMessageReader m_reader;
};

#endif // LOCALMESSAGECLIENT_H
