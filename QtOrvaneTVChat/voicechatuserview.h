#ifndef VOICECHATUSERVIEW_H
#define VOICECHATUSERVIEW_H

#include "voicerecords.h"

#include <QWidget>

namespace Ui {
class VoiceChatUserView;
}

// One row of the voice users list: a user the workspace is shared with (or the
// own user, at the top), whether they are in the call, rings while they speak,
// and a button that mutes them for this user only.
class VoiceChatUserView : public QWidget
{
    Q_OBJECT

public:
    VoiceChatUserView(QWidget *parent, const SharedUser &user, bool isOwn);
    ~VoiceChatUserView() override;

    void setUser(const SharedUser &user);
    SharedUser user() const { return m_user; }
    QString userId() const { return m_user.id; }

    // A row's rings light when its volume changes to one above this.
    static constexpr unsigned int ringVolume = 10;

signals:
    void toggleMuteRequested(VoiceChatParticipant user);

private:
    void applyLook(bool active);
    void applyMuteIcon();
    void setRings(bool on);

    Ui::VoiceChatUserView *ui;
    SharedUser m_user;
    bool m_isOwn;
    unsigned int m_lastVolume = 0;
    qint64 m_lastChange = 0;
};

#endif // VOICECHATUSERVIEW_H
