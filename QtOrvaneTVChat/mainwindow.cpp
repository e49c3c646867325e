#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "chatmanager.h"
#include "chatresources.h"
#include "chattheme.h"
#include "coreapimanager.h"
#include "globalmanager.h"
#include "localmessageserver.h"

#include <QDateTime>
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
    if (m_globalManager->getTextEnabled())
        m_chatManager->joinTextChannel();
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
void MainWindow::memberCountUpdated(int) { }
void MainWindow::gotMemberAttributes() { }
void MainWindow::voiceCallActive(bool) { }
