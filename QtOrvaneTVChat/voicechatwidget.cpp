#include "voicechatwidget.h"
#include "ui_voicechatwidget.h"

#include "chattheme.h"

#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <QWidgetAction>

VoiceChatWidget::VoiceChatWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::VoiceChatWidget)
{
    ui->setupUi(this);
    ui->outerWave->hide();
    connect(ui->joinButton, &QToolButton::clicked, this, &VoiceChatWidget::joinButtonClicked);
    connect(ui->micButton, &QToolButton::clicked, this, &VoiceChatWidget::micButtonClicked);
    connect(ui->speakersButton, &QToolButton::clicked, this, &VoiceChatWidget::speakersButtonClicked);
    connect(ui->usersButton, &QToolButton::clicked, this, [this] {
        if (!m_joined)
            return;
        m_showingUsers = !m_showingUsers;
        emit showingUsersChanged(m_showingUsers);
    });
    setJoined(false);
    m_ringTimer.setInterval(500);
    connect(&m_ringTimer, &QTimer::timeout, this, &VoiceChatWidget::updateRings);
    m_ringTimer.start();
}

VoiceChatWidget::~VoiceChatWidget()
{
    delete ui;
}

QString VoiceChatWidget::innerRingStyle(bool on)
{
    return on ? QStringLiteral("border-radius: 24; border: 2px solid #61D14F; background: transparent;")
              : QStringLiteral("border-radius: 24; border: 0px solid #61D14F; background: transparent;");
}

QString VoiceChatWidget::outerRingStyle(bool on)
{
    return on ? QStringLiteral("border-radius: 28; border: 2px solid #285421; background: transparent;")
              : QStringLiteral("border-radius: 28; border: 0px solid #285421; background: transparent;");
}

void VoiceChatWidget::setJoined(bool joined)
{
    m_joined = joined;
    m_lastSpeakerUid = 0;
    m_lastSpeakerTime = 0;
    if (joined) {
        ui->joinButton->setIcon(QIcon(QStringLiteral(":/hang_up.png")));
        ui->joinButton->setText(tr("Leave"));
        ui->usersButton->setIcon(QIcon(QStringLiteral(":/icon_users.png")));
        ui->usersLabel->setText(QString());
        ui->usersLabel->show();
        ui->speakersContainer->show();
        ui->micContainer->show();
        return;
    }
    ui->joinButton->setIcon(QIcon(QStringLiteral(":/join.png")));
    ui->joinButton->setText(tr("Join"));
    ui->usersButton->setIcon(QIcon(QStringLiteral(":/icon_users_disabled.png")));
    ui->micContainer->hide();
    ui->speakersContainer->hide();
    ui->usersLabel->hide();
    m_showingUsers = false;
    emit showingUsersChanged(false);
}

void VoiceChatWidget::setMicMuted(bool muted)
{
    ui->micButton->setIcon(
        QIcon(muted ? QStringLiteral(":/icon_mic_muted.png") : QStringLiteral(":/button_mic_active.png")));
    ui->micButton->setIconSize(muted ? QSize(24, 24) : QSize(40, 40));
}

void VoiceChatWidget::setSpeakersMuted(bool muted)
{
    ui->speakersButton->setIcon(QIcon(muted ? QStringLiteral(":/icon_speaker_muted.png")
                                            : QStringLiteral(":/button_speaker_active.png")));
    ui->speakersButton->setIconSize(muted ? QSize(24, 24) : QSize(40, 40));
}

void VoiceChatWidget::setMemberCount(int inVoice, int total)
{
    ui->usersLabel->setText(QStringLiteral("%1/%2").arg(inVoice).arg(total));
}

void VoiceChatWidget::showSpeaker(const QVector<VoiceChatParticipant> &speakers)
{
    if (speakers.isEmpty())
        return;
    const VoiceChatParticipant &loudest = speakers.first();
    if (loudest.volumeInfo.volume == m_lastSpeakerVolume || loudest.volumeInfo.volume < badgeVolume)
        return;
    ui->initialsLabel->setStyleSheet(QStringLiteral("border-radius: 20; color: white; background-color: %1")
                                         .arg(ChatTheme::nameColor(loudest.name).name()));
    ui->initialsLabel->setText(VoiceNames::initials(loudest.name));
    m_lastSpeakerUid = loudest.uid;
    m_lastSpeakerVolume = loudest.volumeInfo.volume;
    m_lastSpeakerTime = QDateTime::currentMSecsSinceEpoch();
}

void VoiceChatWidget::updateRings()
{
    if (m_joined && !m_showingUsers && QDateTime::currentMSecsSinceEpoch() - m_lastSpeakerTime <= badgeMs) {
        ui->outerWave->show();
        ui->innerWave->setStyleSheet(innerRingStyle(m_ringPhase >= 1));
        ui->outerWave->setStyleSheet(outerRingStyle(m_ringPhase == 2));
        m_ringPhase = (m_ringPhase + 1) % m_ringCount;
        return;
    }
    ui->outerWave->hide();
}

QMenu *VoiceChatWidget::buildMenu(QMenu *previous, const AudioRoute &current, QVector<AudioRoute> *routes,
                                  QToolButton *button, bool input)
{
    const AudioRoute system = AudioRoute::followSystem();
    if (!routes->contains(system))
        routes->prepend(system);
    // Later, not now: a route chosen from the previous menu rebuilds the menus
    // while that menu is still delivering its action's signal.
    if (previous) {
        previous->hide();
        previous->deleteLater();
    }
    auto *menu = new QMenu(this);
    menu->setStyleSheet(QStringLiteral("color: white;"));
    for (const AudioRoute &route : qAsConst(*routes)) {
        auto *action = new QWidgetAction(menu);
        auto *row = new QWidget;
        auto *layout = new QVBoxLayout(row);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(new QLabel(route.name, row));
        row->setStyleSheet(route == current
                               ? QStringLiteral("QWidget { background-color: #3d55f2; color: white; } ")
                               : QStringLiteral("QWidget { background-color: #202123; color: white; } "));
        action->setDefaultWidget(row);
        action->setObjectName(route.name);
        menu->addAction(action);
        connect(action, &QAction::triggered, this, [this, route, input] {
            if (input)
                emit inputRouteChanged(route);
            else
                emit outputRouteChanged(route);
        });
    }
    button->disconnect(this);
    connect(button, &QToolButton::clicked, this, [this, button, menu] {
        const QPoint corner
            = mapToGlobal(button->parentWidget()->mapTo(this, button->frameGeometry().bottomLeft()));
        menu->move(corner + QPoint(0, 10));
        menu->show();
    });
    return menu;
}

void VoiceChatWidget::setInputRoutes(const AudioRoute &current, const QVector<AudioRoute> &routes)
{
    m_inputRoute = current;
    m_inputRoutes = routes;
    m_inputMenu = buildMenu(m_inputMenu, current, &m_inputRoutes, ui->micOptionsButton, true);
}

void VoiceChatWidget::setOutputRoutes(const AudioRoute &current, const QVector<AudioRoute> &routes)
{
    m_outputRoute = current;
    m_outputRoutes = routes;
    m_outputMenu = buildMenu(m_outputMenu, current, &m_outputRoutes, ui->speakerOptionsButton, false);
}
