#ifndef VOICECHATUSERSLIST_H
#define VOICECHATUSERSLIST_H

#include "chatrecords.h"

#include <QVector>
#include <QWidget>

class CoreAPIManager;
class VoiceChatUserView;

namespace Ui {
class VoiceChatUsersList;
}

// The voice users pop-up: the own user at the top and a row for every user the
// workspace is shared with, each showing whether they are in the call and
// speaking, with a button that mutes them for this user only. Rows are added as
// users are first seen and then only updated.
class VoiceChatUsersList : public QWidget
{
    Q_OBJECT

public:
    // companyId is accepted for the callers' sake and not used.
    VoiceChatUsersList(QWidget *parent, CoreAPIManager *client, const User &ownUser, const QString &companyId,
                       const QString &workspaceId);
    ~VoiceChatUsersList() override;

    void setParticipants(const QVector<VoiceChatParticipant> &participants);
    // The users the workspace is shared with, as the back-end client answered;
    // the own user among them gets no row.
    void setSharedUsers(const QVector<SharedUser> &users);
    // Shared users whose participant has a name: those in the call.
    int inVoiceCount() const;
    int sharedUserCount() const { return m_sharedUsers.size(); }

signals:
    void toggleMuteForUser(quint32 userId, bool mute);

private:
    void onSharedUsers(const QVector<SharedUser> &users, const QString &error);
    void rebuild();

    Ui::VoiceChatUsersList *ui;
    CoreAPIManager *m_client;
    User m_ownUser;
    VoiceChatUserView *m_ownRow = nullptr;
    QVector<SharedUser> m_sharedUsers;
    QVector<VoiceChatParticipant> m_participants;
};

#endif // VOICECHATUSERSLIST_H
