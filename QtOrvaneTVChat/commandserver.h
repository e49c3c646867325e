#ifndef COMMANDSERVER_H
#define COMMANDSERVER_H

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The local server through which the chat program hands texts (recording links)
// to the viewer. The chat program only writes; the latest connection of the same
// user is the one written to.
class CommandServer : public QObject
{
    Q_OBJECT
public:
    explicit CommandServer(QObject *parent = nullptr);

    static QString serverName() { return QStringLiteral("qtorvanetvchat"); }

    // Listens in the user's runtime folder; false with *error set when it cannot.
    bool listen(const QString &name, QString *error);
    // Frames the text and writes it to the kept connection; without one the text
    // is dropped (nothing is queued).
    void send(const QString &text);
    bool hasConnection() const { return !m_connection.isNull(); }

public slots:
    // Keeps the server's next pending connection; a later one replaces it.
    void storeConnection();

private:
    QLocalServer *m_server = nullptr;
    QPointer<QLocalSocket> m_connection;
};

#endif // COMMANDSERVER_H
