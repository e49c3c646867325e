#ifndef RECORDINGLINKS_H
#define RECORDINGLINKS_H

#include <QObject>
#include <QString>

class QLocalServer;

// Recording links ("orvanetv://...?recordingId=<id>") reach the viewer from the
// chat program, from the desktop (the "orvanetv" URL scheme starts the viewer
// with the link), and from a second start of the viewer, which hands its link
// to the running one over the "qtorvanetv" local socket and ends.
class RecordingLinks : public QObject
{
    Q_OBJECT
public:
    explicit RecordingLinks(QObject *parent = nullptr);

    static QString serverName() { return QStringLiteral("qtorvanetv"); }
    // The recording id of a link; empty (with the reason logged) for any other text.
    static QString recordingIdOf(const QString &text);
    // The first argument that is a recording link, or empty.
    static QString linkArgument(const QStringList &arguments);
    // Hands the link to a viewer that already runs; false when none answers.
    static bool forwardToRunningViewer(const QString &link);

    // Listens for links from later starts; false when another viewer listens.
    bool listen();

signals:
    void recordingRequested(QString recordingId);

private:
    QLocalServer *m_server = nullptr;
};

#endif // RECORDINGLINKS_H
