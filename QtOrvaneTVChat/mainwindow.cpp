#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "chatmanager.h"
#include "chatresources.h"
#include "chattheme.h"
#include "coreapimanager.h"
#include "globalmanager.h"
#include "voicechatuserslist.h"
#include "voicechatwidget.h"
#include "localmessageserver.h"

#include <QDateTime>
#include <QTimer>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTextCodec>

namespace {

const QString timeFormat()
{
    return QStringLiteral("hh:mm:ss AP, MMM d");
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    initChatResources();
    ui->setupUi(this);
    startCommandServer();
}

MainWindow::~MainWindow()
{
    delete m_chatManager;
    delete ui;
}

void MainWindow::startCommandServer()
{
    m_commandServer = new LocalMessageServer(this);
    QString error;
    if (!m_commandServer->listen(commandServerName(), &error)) {
        // The program runs on without a command server: links cannot reach the viewer.
        QMessageBox::critical(this, tr("Local Fortune Server"),
                              tr("Unable to start the server: %1.").arg(error), QMessageBox::Ok);
        close();
    }
}

void MainWindow::storeConnection()
{
    m_commandServer->storeConnection();
}

void MainWindow::sendToViewer(const QString &text)
{
    qDebug() << "Sending " << text << "to" << m_commandServer->connection();
    // Nothing is queued: a link clicked while no viewer listens is dropped.
    if (!m_commandServer->send(text))
        qDebug() << "No connection to send block to!";
}

QString MainWindow::versionText(const QString &resourceText)
{
    QString cleaned = resourceText;
    cleaned.remove(QLatin1Char('\n')).remove(QLatin1Char('\r')).remove(QLatin1Char(' '));
    const QStringList parts = cleaned.split(QLatin1Char('.'));
    QString version = parts.mid(0, 3).join(QLatin1Char('.'));
    if (parts.size() > 3)
        version += QLatin1Char(' ')
            + QStringLiteral("(%1)").arg(parts.at(3).simplified().remove(QLatin1Char(' ')));
    return version.isEmpty() ? version : QLatin1Char('v') + version;
}

QString MainWindow::mapError(const QString &error, const QString &workspaceName)
{
    if (error.contains(QLatin1String("Workspace is not shared")))
        return tr("The workspace %1 is not shared with you anymore. Please contact your company admin.")
            .arg(workspaceName);
    return error;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Shown again after being minimised: the session is already running.
    if (!m_initialized)
        setUpSession();
}

void MainWindow::setUpSession()
{
    if (!m_globalManager)
        return;
    const QString workspaceName = m_globalManager->getWorkspaceName();
    m_chatManager = new ChatManager;
    m_coreAPIManager = new CoreAPIManager(
        this, [workspaceName](const QString &error) { return mapError(error, workspaceName); });
    m_coreAPIManager->setGlobalManager(m_globalManager);
    m_chatManager->setGlobalManager(m_globalManager);
    m_chatManager->setCoreAPIManager(m_coreAPIManager);
    m_chatManager->setCompany(m_globalManager->getCompany());

    QFile versionFile(QStringLiteral(":/VERSION"));
    const QString version = versionFile.open(QIODevice::ReadOnly)
        ? versionText(QString::fromUtf8(versionFile.readAll()))
        : QString();
    setWindowTitle(workspaceName + QStringLiteral(" - ") + version);
    setStyleSheet(QStringLiteral("background: %1;").arg(ChatTheme::windowBackgroundColor().name()));

    connect(m_coreAPIManager, &CoreAPIManager::gotSharedUsers, this, &MainWindow::onSharedUsers);
    m_coreAPIManager->getSharedUsers(m_globalManager->getWorkspaceId(), QStringLiteral("otv"));

    connect(m_chatManager, &ChatManager::agoraLocalUserRegistrationComplete, this,
            &MainWindow::onRegistrationComplete);
    connect(m_chatManager, &ChatManager::errorOccurred, this, &MainWindow::recordError);
    connect(m_coreAPIManager, &CoreAPIManager::gotUserInfo, this, &MainWindow::onUserInfo);
    connect(m_chatManager, &ChatManager::voiceMemberJoined, this,
            [](const QString &name) { qDebug() << name << "joined"; });
    connect(m_chatManager, &ChatManager::voiceMemberLeft, this,
            [](const QString &name) { qDebug() << name << "left"; });
    m_coreAPIManager->getUserInfo();

    m_chatManager->initialize();

    const bool text = m_globalManager->getTextEnabled();
    const bool voice = m_globalManager->getVoiceEnabled();
    ui->textChatWidget->setVisible(text);
    ui->voiceChatWidget->setVisible(voice);
    ui->spacerWidget->setVisible(voice && !text);

    connect(ui->textChatWidget, &TextChatWidget::sendMessage, this, &MainWindow::onSend);
    connect(m_chatManager, &ChatManager::gotTextMessage, this, &MainWindow::onTextMessage);

    if (!text && !voice) {
        m_disabledNotice = new QLabel(tr("Contact your company admin to enable\neither text or voice chat"),
                                      ui->centralwidget);
        QFont font(QStringLiteral("Titillium Web"), 14);
        font.setBold(true);
        m_disabledNotice->setFont(font);
        m_disabledNotice->setStyleSheet(QStringLiteral("color: white;"));
        m_disabledNotice->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        ui->centralwidget->layout()->addWidget(m_disabledNotice);
        m_disabledNotice->show();
    }
    m_initialized = true;
}

void MainWindow::recordError(const QString &title, const QString &message)
{
    qDebug() << "Error: " << title << message;
}

void MainWindow::onUserInfo(const User &user, const QString &error)
{
    if (!error.isEmpty()) {
        qDebug() << "Error getting user info:" << error;
        recordError(QStringLiteral("Error getting user info"), error);
        return;
    }
    // A user who never set a name does not chat.
    if (user.id.isEmpty() || !user.hasProperName())
        return;
    m_globalManager->setUser(user);
    m_chatManager->setUser(user);
    const QByteArray local = QTextCodec::codecForLocale()->fromUnicode(user.getDisplayName(false));
    m_chatManager->registerLocalUser(QTextCodec::codecForLocale()->toUnicode(local));
}

void MainWindow::onRegistrationComplete(bool success)
{
    if (!success) {
        recordError(QStringLiteral("Could not register local Agora user"), QString());
        return;
    }
    connect(m_chatManager, &ChatManager::gotAgoraTokens, this, &MainWindow::onTokens, Qt::UniqueConnection);
    const QString workspaceId = m_globalManager->getWorkspaceId();
    const QString userId = m_globalManager->getUser().id;
    qDebug() << "Loading chats for workspace " << workspaceId << "and user" << userId;
    m_chatManager->loadChats(workspaceId, userId);
}

void MainWindow::onTokens(const QString &error)
{
    if (!error.isEmpty()) {
        qDebug() << "Tokens error: " << error;
        recordError(QStringLiteral("Could not get Agora tokens"), error);
        return;
    }
    qDebug() << "Got tokens!";
    connect(m_chatManager, &ChatManager::joinedAgoraTextChannel, this, &MainWindow::onTextChannelJoined,
            Qt::UniqueConnection);
    connect(m_chatManager, &ChatManager::loginFinished, this, &MainWindow::onLoginFinished,
            Qt::UniqueConnection);
    m_chatManager->login();
}

void MainWindow::onLoginFinished(bool, int errorCode)
{
    if (errorCode != 0) {
        qDebug().nospace() << "Got login failure callback with code " << errorCode << "!";
        recordError(QStringLiteral("Login to Agora failed!"), QString());
        return;
    }
    wireVoicePane();
    if (m_globalManager->getTextEnabled())
        m_chatManager->joinTextChannel();
}

int MainWindow::voiceStatisticsIntervalMs()
{
    // For the suites only: waiting the whole 30 s in each would be long.
    bool ok = false;
    const int forTests = qEnvironmentVariableIntValue("ORVANE_VOICE_STATS_INTERVAL_MS", &ok);
    return ok && forTests > 0 ? forTests : 30000;
}

void MainWindow::wireVoicePane()
{
    if (m_usersList)
        return; // a login again after a lost connection keeps the pane as it is
    m_usersList = new VoiceChatUsersList(this, m_coreAPIManager, m_globalManager->getUser(),
                                         m_globalManager->getCompanyId(), m_globalManager->getWorkspaceId());
    m_usersList->hide();
    VoiceChatWidget *pane = ui->voiceChatWidget;
    connect(pane, &VoiceChatWidget::speakersButtonClicked, m_chatManager, &ChatManager::toggleSpeakers);
    connect(pane, &VoiceChatWidget::micButtonClicked, m_chatManager, &ChatManager::toggleMic);
    connect(pane, &VoiceChatWidget::joinButtonClicked, this, &MainWindow::joinOrLeave);
    connect(pane, &VoiceChatWidget::showingUsersChanged, this, [this](bool showing) {
        m_usersList->setVisible(showing);
        if (showing) {
            placeUsersList();
            m_usersList->raise();
        }
    });
    connect(pane, &VoiceChatWidget::inputRouteChanged, this,
            [this](const AudioRoute &route) { changeRoute(route, true); });
    connect(pane, &VoiceChatWidget::outputRouteChanged, this,
            [this](const AudioRoute &route) { changeRoute(route, false); });
    connect(m_usersList, &VoiceChatUsersList::toggleMuteForUser, m_chatManager, &ChatManager::muteUser);
    connect(m_chatManager, &ChatManager::joinedAgoraVoiceChannel, this, &MainWindow::onVoiceJoined);
    connect(m_chatManager, &ChatManager::leftAgoraVoiceChannel, this, [this] {
        ui->voiceChatWidget->setJoined(false);
        stopVoiceTimer();
    });
    connect(m_chatManager, &ChatManager::voiceMembersUpdated, this, &MainWindow::refreshMembers);
    connect(m_chatManager, &ChatManager::micMuteChanged, pane, &VoiceChatWidget::setMicMuted);
    connect(m_chatManager, &ChatManager::speakersMuteChanged, pane, &VoiceChatWidget::setSpeakersMuted);
}

void MainWindow::joinOrLeave()
{
    if (m_chatManager->isInVoiceChannel()) {
        m_chatManager->leaveVoiceChannel();
        return;
    }
    if (m_chatManager->joinVoiceChannel()) {
        m_chatManager->enableVolumeIndication();
        qDebug() << "Joined voice channel!";
    } else {
        qDebug() << "Failed to join voice channel!";
    }
}

void MainWindow::onVoiceJoined()
{
    ui->voiceChatWidget->setJoined(true);
    ui->voiceChatWidget->setInputRoutes(m_chatManager->currentInputRoute(),
                                        QVector<AudioRoute>{AudioRoute::followSystem()}
                                            + m_chatManager->inputRoutes());
    ui->voiceChatWidget->setOutputRoutes(m_chatManager->currentOutputRoute(),
                                         QVector<AudioRoute>{AudioRoute::followSystem()}
                                             + m_chatManager->outputRoutes());
    stopVoiceTimer();
    delete m_voiceTimer;
    m_voiceTimer = new QTimer(this);
    connect(m_voiceTimer, &QTimer::timeout, m_chatManager, &ChatManager::sendVoiceChatStats);
    qDebug() << "Starting voice chat timer";
    m_voiceTimer->start(voiceStatisticsIntervalMs());
}

void MainWindow::stopVoiceTimer()
{
    if (!m_voiceTimer || !m_voiceTimer->isActive())
        return;
    qDebug() << "Stopping voice chat timer";
    m_voiceTimer->stop();
    qDebug() << "Disconnecting voice chat timer signals";
    disconnect(m_voiceTimer, &QTimer::timeout, nullptr, nullptr);
}

void MainWindow::changeRoute(const AudioRoute &route, bool input)
{
    if (input) {
        if (m_chatManager->setInputRoute(route))
            ui->voiceChatWidget->setInputRoutes(route, m_chatManager->inputRoutes());
    } else if (m_chatManager->setOutputRoute(route)) {
        ui->voiceChatWidget->setOutputRoutes(route, m_chatManager->outputRoutes());
    }
}

void MainWindow::refreshMembers()
{
    m_usersList->setParticipants(m_chatManager->participants());
    ui->voiceChatWidget->setMemberCount(m_usersList->inVoiceCount(), m_usersList->sharedUserCount());
    if (m_usersList->isHidden())
        ui->voiceChatWidget->showSpeaker(m_chatManager->activeSpeakers());
}

void MainWindow::placeUsersList()
{
    if (!m_usersList)
        return;
    const int width = qMax(300, this->width() / 2);
    const int height = qMax(300, int(this->height() * 0.6));
    const QRect pane(ui->voiceChatWidget->mapTo(this, QPoint(0, 0)), ui->voiceChatWidget->size());
    m_usersList->setGeometry(pane.right() - width + 1, pane.bottom() + 5, width, height);
}

void MainWindow::onTextChannelJoined()
{
    // The channel is joined again after a lost connection; one connection serves.
    connect(m_chatManager, &ChatManager::memberCountUpdated, this, &MainWindow::memberCountUpdated,
            Qt::UniqueConnection);
}

void MainWindow::onSend(const QString &text)
{
    const bool followUp = m_chatManager->isFollowUp();
    m_chatManager->sendMessage(text);
    ui->textChatWidget->addSelfChat(text, QDateTime::currentDateTime().toString(timeFormat()), false,
                                    followUp);
}

void MainWindow::onTextMessage(const TextMessage &message, bool isFollowUp)
{
    const QString body = message.message;
    const QString time
        = QDateTime::fromMSecsSinceEpoch(qint64(message.timestamp)).toLocalTime().toString(timeFormat());
    ui->textChatWidget->addOtherChat(
        message.sender, message.displayText(), time, message.isSharedRecording(),
        [this, body] {
            qWarning() << body;
            sendToViewer(body);
        },
        isFollowUp);
}

void MainWindow::onSharedUsers(const QVector<SharedUser> &users, const QString &error)
{
    if (!error.isEmpty()) {
        qDebug() << "Error loading users: " << error;
        return;
    }
    m_chatManager->setSharedUsers(users);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    // The panes follow the window through the central layout; the text pane
    // re-wraps its messages in its own resize.
    QMainWindow::resizeEvent(event);
    if (m_initialized)
        placeUsersList();
}

// Slots kept for the voice pane and older callers; they do nothing by design.
void MainWindow::sendMessageClicked() { }
void MainWindow::joinCallClicked() { }
void MainWindow::leaveCallClicked() { }
void MainWindow::muteSpeakersClicked() { }
void MainWindow::muteMicClicked() { }
void MainWindow::changeSpeakersClicked() { }
void MainWindow::changeMicClicked() { }
void MainWindow::receivedMessage(QString, QString) { }
void MainWindow::memberCountUpdated(int)
{
    if (m_usersList)
        m_usersList->setParticipants(m_chatManager->participants());
}
void MainWindow::gotMemberAttributes() { }
void MainWindow::voiceCallActive(bool) { }
