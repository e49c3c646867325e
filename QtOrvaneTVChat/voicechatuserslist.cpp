#include "voicechatuserslist.h"
#include "ui_voicechatuserslist.h"

#include "chattheme.h"
#include "coreapimanager.h"
#include "voicechatuserview.h"
#include "voicerecords.h"

#include <QDebug>
#include <QListWidgetItem>

#include <algorithm>

VoiceChatUsersList::VoiceChatUsersList(QWidget *parent, CoreAPIManager *client, const User &ownUser,
                                       const QString &, const QString &workspaceId)
    : QWidget(parent)
    , ui(new Ui::VoiceChatUsersList)
    , m_client(client)
    , m_ownUser(ownUser)
{
    ui->setupUi(this);
    ui->listWidget->setStyleSheet(QStringLiteral("QListWidget#listWidget { background-color: %1; }")
                                      .arg(ChatTheme::windowBackgroundColor().name()));
    SharedUser own;
    own.id = ownUser.id;
    own.email = ownUser.email;
    own.firstName = ownUser.firstName;
    own.lastName = ownUser.lastName;
    m_ownRow = new VoiceChatUserView(ui->currentUserContainer, own, true);
    ui->currentUserContainer->layout()->addWidget(m_ownRow);
    if (m_client) {
        connect(m_client, &CoreAPIManager::gotSharedUsers, this, &VoiceChatUsersList::onSharedUsers);
        m_client->getSharedUsers(workspaceId, QStringLiteral("otv"));
    }
}

VoiceChatUsersList::~VoiceChatUsersList()
{
    delete ui;
}

void VoiceChatUsersList::onSharedUsers(const QVector<SharedUser> &users, const QString &error)
{
    if (!error.isEmpty()) {
        qDebug() << "Error getting company shares" << error;
        return;
    }
    setSharedUsers(users);
}

void VoiceChatUsersList::setSharedUsers(const QVector<SharedUser> &users)
{
    m_sharedUsers = users;
    m_sharedUsers.erase(std::remove_if(m_sharedUsers.begin(), m_sharedUsers.end(),
                                       [this](const SharedUser &user) { return user.id == m_ownUser.id; }),
                        m_sharedUsers.end());
    rebuild();
}

void VoiceChatUsersList::setParticipants(const QVector<VoiceChatParticipant> &participants)
{
    m_participants = participants;
    rebuild();
}

int VoiceChatUsersList::inVoiceCount() const
{
    return int(std::count_if(m_sharedUsers.begin(), m_sharedUsers.end(),
                             [](const SharedUser &user) { return !user.participant.name.isEmpty(); }));
}

void VoiceChatUsersList::rebuild()
{
    for (SharedUser &user : m_sharedUsers) {
        const QString name = VoiceNames::displayName(user);
        const VoiceChatParticipant *match = nullptr;
        for (const VoiceChatParticipant &participant : qAsConst(m_participants)) {
            if (!name.isEmpty() && participant.name == name)
                match = &participant;
        }
        if (match) {
            user.participant = *match;
        } else {
            user.participant.uid = 0;
            user.participant.name.clear();
            user.participant.volumeInfo.volume = 0;
            user.participant.hasAudio = false;
        }
    }
    // In-voice users by ascending uid, the others after them; a stable sort
    // with a valid order (users without a participant compare equal among
    // themselves, never "incomparable" to everyone).
    std::stable_sort(m_sharedUsers.begin(), m_sharedUsers.end(),
                     [](const SharedUser &a, const SharedUser &b) {
                         const bool aIn = a.participant.uid != 0;
                         const bool bIn = b.participant.uid != 0;
                         if (aIn != bIn)
                             return aIn;
                         return aIn && a.participant.uid < b.participant.uid;
                     });
    for (const SharedUser &user : qAsConst(m_sharedUsers)) {
        bool found = false;
        for (int row = 0; row < ui->listWidget->count(); ++row) {
            auto *view
                = qobject_cast<VoiceChatUserView *>(ui->listWidget->itemWidget(ui->listWidget->item(row)));
            if (view && view->userId() == user.id) {
                view->setUser(user);
                found = true;
            }
        }
        if (found)
            continue;
        qDebug() << "Adding widget!";
        auto *view = new VoiceChatUserView(nullptr, user, false);
        auto *item = new QListWidgetItem;
        item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        item->setSizeHint(QSize(view->width() - 10, 60));
        ui->listWidget->addItem(item);
        ui->listWidget->setItemWidget(item, view);
        connect(view, &VoiceChatUserView::toggleMuteRequested, this,
                [this](const VoiceChatParticipant &participant) {
                    emit toggleMuteForUser(participant.uid, !participant.muted);
                });
    }
}
