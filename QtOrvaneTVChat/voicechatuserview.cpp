#include "voicechatuserview.h"
#include "ui_voicechatuserview.h"

#include "chattheme.h"
#include "voicechatwidget.h"

#include <QDateTime>

VoiceChatUserView::VoiceChatUserView(QWidget *parent, const SharedUser &user, bool isOwn)
    : QWidget(parent)
    , ui(new Ui::VoiceChatUserView)
    , m_user(user)
    , m_isOwn(isOwn)
{
    ui->setupUi(this);
    const QString name = VoiceNames::displayName(user);
    ui->initialsLabel->setText(VoiceNames::initials(name));
    ui->label->setText(name);
    ui->muteButton->setVisible(!isOwn);
    connect(ui->muteButton, &QToolButton::clicked, this,
            [this] { emit toggleMuteRequested(m_user.participant); });
    applyLook(isOwn || user.participant.hasAudio || !user.participant.name.isEmpty());
    applyMuteIcon();
}

VoiceChatUserView::~VoiceChatUserView()
{
    delete ui;
}

void VoiceChatUserView::setRings(bool on)
{
    ui->innerWave->setStyleSheet(VoiceChatWidget::innerRingStyle(on));
    ui->outerWave->setStyleSheet(VoiceChatWidget::outerRingStyle(on));
}

void VoiceChatUserView::applyMuteIcon()
{
    ui->muteButton->setIcon(QIcon(m_user.participant.muted ? QStringLiteral(":/icon_speaker_muted.png")
                                                           : QStringLiteral(":/icon_speaker_on.png")));
}

void VoiceChatUserView::applyLook(bool active)
{
    const QString name = VoiceNames::displayName(m_user);
    if (!active) {
        setStyleSheet(QStringLiteral("QWidget#rootWidget { background-color: transparent; }"));
        ui->initialsLabel->setStyleSheet(
            QStringLiteral("color: #333; background-color: #1e2427; border-radius: 20;"));
        ui->label->setStyleSheet(QStringLiteral("color: #808080; background: transparent;"));
        ui->muteButton->hide();
        return;
    }
    const QString background = m_isOwn ? ChatTheme::panelColor().name() : QStringLiteral("transparent");
    setStyleSheet(QStringLiteral("QWidget#rootWidget { background-color: %1; }").arg(background));
    ui->label->setStyleSheet(QStringLiteral("color: #ccc; background: transparent;"));
    ui->initialsLabel->setStyleSheet(
        QStringLiteral("color: %1; background-color: %2; border-radius: 20; border: none;")
            .arg(ChatTheme::panelColor().name(), ChatTheme::nameColor(name).name()));
    ui->muteButton->setVisible(!m_isOwn);
    const unsigned int volume = m_user.participant.volumeInfo.volume;
    if (!m_isOwn && volume != m_lastVolume) {
        if (volume > ringVolume)
            setRings(true);
        m_lastVolume = volume;
        m_lastChange = QDateTime::currentMSecsSinceEpoch();
    }
}

void VoiceChatUserView::setUser(const SharedUser &user)
{
    m_user = user;
    applyMuteIcon();
    applyLook(user.participant.hasAudio || !user.participant.name.isEmpty());
    if (!m_isOwn && QDateTime::currentMSecsSinceEpoch() - m_lastChange > VoiceChatWidget::badgeMs) {
        m_lastChange = QDateTime::currentMSecsSinceEpoch();
        setRings(false);
    }
}
