#ifndef LOCALMESSAGESERVER_H
#define LOCALMESSAGESERVER_H

#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;

// The server end of our programs' local sockets (the chat program's command
// server, the OAuth helper's code server): it listens in the user's runtime
// folder, keeps the latest connection of the same user and writes framed texts
// to it. It never reads.
class LocalMessageServer : public QObject
{
    Q_OBJECT
public:
    explicit LocalMessageServer(QObject *parent = nullptr);

    // False with *error set when the name is taken by a running server or the
    // socket cannot be made.
    bool listen(const QString &name, QString *error);
    bool isListening() const { return m_server != nullptr; }
    // Writes one framed text to the kept connection and flushes it; false (and
    // the text dropped) without a connection.
    bool send(const QString &text);
    bool hasConnection() const { return !m_connection.isNull(); }
    QLocalSocket *connection() const { return m_connection.data(); }
    // Stops listening and lets the kept connection go.
    void close();

public slots:
    // Keeps the server's next pending connection; a later one replaces it (the
    // earlier socket is neither closed nor written to again).
    void storeConnection();

signals:
    void connectionStored();

private:
    QLocalServer *m_server = nullptr;
    QPointer<QLocalSocket> m_connection;
};

#endif // LOCALMESSAGESERVER_H
