#ifndef DISPLAYKEEPER_H
#define DISPLAYKEEPER_H

#include <QObject>
#include <QString>

// Keeps the display on for as long as the viewer runs: asks the desktop's
// screensaver (the freedesktop ScreenSaver service on the session bus) not to
// blank the screen. Without a session bus, or without the service, nothing
// happens. The request ends with the process.
class DisplayKeeper : public QObject
{
    Q_OBJECT

public:
    static DisplayKeeper *keepDisplayOn(const QString &applicationName, const QString &reason);

    // True once the screensaver has accepted the request.
    bool isInhibiting() const { return m_cookie != 0; }
    quint32 cookie() const { return m_cookie; }

signals:
    void inhibited(quint32 cookie);

private:
    explicit DisplayKeeper(QObject *parent = nullptr);
    void request(const QString &applicationName, const QString &reason);

    quint32 m_cookie = 0;
};

#endif // DISPLAYKEEPER_H
