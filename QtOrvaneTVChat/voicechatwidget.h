#ifndef VOICECHATWIDGET_H
#define VOICECHATWIDGET_H

#include "voicerecords.h"

#include <QPointer>
#include <QTimer>
#include <QVector>
#include <QWidget>

class QMenu;
class QToolButton;

namespace Ui {
class VoiceChatWidget;
}

// The voice bar at the top of the chat window: join and leave, the microphone
// and speakers with their device menus, the users button with the count of
// users in the call, and a badge with the initials of the loudest recent speaker
// inside two rings that pulse while they speak. It holds no session: the window
// hands it what to show and turns its signals into session calls.
class VoiceChatWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VoiceChatWidget(QWidget *parent = nullptr);
    ~VoiceChatWidget() override;

    void setJoined(bool joined);
    bool isJoined() const { return m_joined; }
    void setMicMuted(bool muted);
    void setSpeakersMuted(bool muted);
    void setMemberCount(int inVoice, int total);
    // The list comes loudest first.
    void showSpeaker(const QVector<VoiceChatParticipant> &speakers);
    void setInputRoutes(const AudioRoute &current, const QVector<AudioRoute> &routes);
    void setOutputRoutes(const AudioRoute &current, const QVector<AudioRoute> &routes);

    // The ring styles, shared with the users list's rows.
    static QString innerRingStyle(bool on);
    static QString outerRingStyle(bool on);
    // A speaker update is accepted from this volume on.
    static constexpr unsigned int badgeVolume = 30;
    // The badge shows this long after the last accepted update.
    static constexpr qint64 badgeMs = 3000;

signals:
    void showingUsersChanged(bool showingUsers);
    void joinButtonClicked();
    void micButtonClicked();
    void speakersButtonClicked();
    void inputRouteChanged(AudioRoute route);
    void outputRouteChanged(AudioRoute route);

private slots:
    void updateRings();

private:
    // Rebuilds one device menu; returns it (owned by this widget).
    QMenu *buildMenu(QMenu *previous, const AudioRoute &current, QVector<AudioRoute> *routes,
                     QToolButton *button, bool input);

    Ui::VoiceChatWidget *ui;
    QPointer<QMenu> m_inputMenu;
    AudioRoute m_inputRoute{QString(), QStringLiteral("-100")};
    QVector<AudioRoute> m_inputRoutes;
    QPointer<QMenu> m_outputMenu;
    AudioRoute m_outputRoute{QString(), QStringLiteral("-100")};
    QVector<AudioRoute> m_outputRoutes;
    quint32 m_lastSpeakerUid = 0;
    unsigned int m_lastSpeakerVolume = 0;
    qint64 m_lastSpeakerTime = 0;
    QTimer m_ringTimer;
    int m_ringPhase = 0;
    const int m_ringCount = 3;
    bool m_joined = false;
    bool m_showingUsers = false;
};

#endif // VOICECHATWIDGET_H
