#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "account/loginwidget.h"
#include "account/settingswidget.h"
#include "app/chatlauncher.h"
#include "company/companyselectionwidget.h"
#include "company/projectfeedselectionwidget.h"
#include "live/dashboardwidget.h"
#include "live/livefeedselectionwidget.h"
#include "navigation/navigationwidget.h"
#include "playersettings/playersettingsdialog.h"
#include "recordings/recordingsselectionwidget.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"
#include "session/globalmanager.h"
#include "session/settings.h"
#include "session/tokenstore.h"
#include "ui/helpers.h"
#include "ui/loadingwidget.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QJsonObject>
#include <QMenu>
#include <QSet>
#include <QTimer>
#include <QtDebug>

#include <functional>
#include <memory>

namespace {

// The environments the hidden menu offers. Environment objects hold no state and
// the client never owns one, so one of each serves the whole run.
struct EnvironmentEntry
{
    const char *name;
    ServerEnvironment *(*make)();
};

template<typename T>
ServerEnvironment *environmentOf()
{
    static T environment;
    return &environment;
}

const EnvironmentEntry environmentEntries[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "Core Production"), &environmentOf<CoreProduction>},
    {QT_TRANSLATE_NOOP("MainWindow", "Core Staging"), &environmentOf<CoreStaging>},
    {QT_TRANSLATE_NOOP("MainWindow", "OTV Production"), &environmentOf<OVTVProduction>},
    {QT_TRANSLATE_NOOP("MainWindow", "OTV Staging"), &environmentOf<OVTVStaging>},
    {QT_TRANSLATE_NOOP("MainWindow", "OTV Dev"), &environmentOf<OVTVDev>},
};

// The watermark rule of a company's global share settings: on without a
// "watermarks" member; with one, on only when its "enabled" is true (a value
// that is not a boolean counts as true).
bool watermarkEnabled(const QJsonObject &settings)
{
    if (!settings.contains(QLatin1String("watermarks")))
        return true;
    const QJsonObject watermarks = settings.value(QLatin1String("watermarks")).toObject();
    if (!watermarks.contains(QLatin1String("enabled")))
        return false;
    const QJsonValue enabled = watermarks.value(QLatin1String("enabled"));
    return enabled.isBool() ? enabled.toBool() : true;
}

} // namespace

MainWindow::MainWindow(QWidget *parent, QtOVCoreAPIFramework *framework, Settings *settings)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , settings(settings)
    , framework(framework)
{
    qInfo("Version %sb%s", qPrintable(Helpers::getVersion()), qPrintable(Helpers::getBuild()));
    ui->setupUi(this);
    m_appInfo = QStringLiteral("Orvane TV");
    const QString fullVersion = Helpers::getFullVersion();
    if (!fullVersion.isEmpty())
        m_appInfo = tr("Orvane TV v%1").arg(fullVersion);
    setWindowTitle(m_appInfo);
    chat = new ChatLauncher(this);
    connect(chat, &ChatLauncher::recordingLinkReceived, this, &MainWindow::openRecordingFromChat);
    GlobalManager::sharedInstance()->setFramework(framework);
    resumeSession();
}

MainWindow::~MainWindow()
{
    closeChatApp();
    delete ui;
}

QStringList MainWindow::environmentNames()
{
    QStringList names;
    for (const EnvironmentEntry &entry : environmentEntries)
        names << tr(entry.name);
    return names;
}

// ---- Sign-in -----------------------------------------------------------------------------

void MainWindow::resumeSession()
{
    // The stored token comes from the desktop's secret store, another process:
    // the loading overlay shows until it has answered.
    showLoader(ui->centralwidget);
    TokenStore *tokens = TokenStore::sharedInstance();
    auto answered = std::make_shared<QMetaObject::Connection>();
    *answered = connect(tokens, &TokenStore::loaded, this, [this, answered](const QString &token) {
        disconnect(*answered);
        clearCentralLayout();
        showLogin(token);
    });
    tokens->load();
}

void MainWindow::showLogin(const QString &token)
{
    auto *login = new LoginWidget(ui->centralwidget, framework, token);
    ui->centralwidget->layout()->addWidget(login);
    connect(login, &LoginWidget::showMenu, this, &MainWindow::showEnvironmentMenu);
    connect(login, &LoginWidget::loginSucceeded, this, &MainWindow::loginSucceeded);
    login->setFocus();
}

void MainWindow::showEnvironmentMenu(const QPoint &position)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("environmentMenu"));
    for (const EnvironmentEntry &entry : environmentEntries) {
        QAction *action = menu.addAction(tr(entry.name));
        auto make = entry.make;
        connect(action, &QAction::triggered, this, [this, make] { framework->setServerEnvironment(make()); });
    }
    menu.exec(position);
}

void MainWindow::loginSucceeded(const User &signedIn)
{
    clearCentralLayout();
    user = signedIn;
    showLoader(ui->centralwidget);
    GlobalManager *manager = GlobalManager::sharedInstance();
    disconnect(manager, &GlobalManager::companySharesLoadedWithError, nullptr, nullptr);
    connect(manager, &GlobalManager::companySharesLoadedWithError, this, &MainWindow::handleCompaniesGotten);
    manager->loadCompanyShares();
}

// ---- Companies and spaces ----------------------------------------------------------------

void MainWindow::handleCompaniesGotten(const QString &error)
{
    clearCentralLayout();
    if (!error.isEmpty()) {
        Helpers::showAlert(this, tr("Error loading shares"), error);
        return;
    }
    // One share stands for each company: the first met in slug order.
    QVector<CompanyShare> companies;
    QSet<QString> seen;
    const auto table = GlobalManager::sharedInstance()->getCompanyShares();
    for (const QVector<CompanyShare> &shares : table) {
        for (const CompanyShare &share : shares) {
            if (seen.contains(share.companyId))
                continue;
            seen.insert(share.companyId);
            companies.append(share);
        }
    }
    auto *list = new CompanySelectionWidget(nullptr, companies);
    delete navigation;
    navigation = new NavigationWidget(ui->centralwidget, list);
    navigation->setButtonIcon(list, RightButton::iconButton(QStringLiteral("SettingsIcon")),
                              [this] { showSettings(); });
    ui->centralwidget->layout()->addWidget(navigation);
    connect(list, &CompanySelectionWidget::companySelected, this, &MainWindow::handleCompanySelection);
}

void MainWindow::handleCompanySelection(const CompanyShare &share)
{
    if (auto *list = qobject_cast<QWidget *>(sender()))
        list->hide();
    loadWorkspaces(share);
}

void MainWindow::loadWorkspaces(const CompanyShare &share)
{
    if (share.companySlug.isEmpty()) {
        Helpers::showAlert(this, tr("Could not load workspaces"), tr("No company selected"));
        return;
    }
    selectedCompany = share;
    GlobalManager *manager = GlobalManager::sharedInstance();
    manager->setCompanySlug(share.companySlug);
    showLoader();

    disconnect(manager, &GlobalManager::sharedSourcesLoadedWithError, nullptr, nullptr);
    connect(manager, &GlobalManager::sharedSourcesLoadedWithError, this,
            &MainWindow::sharedSourcesLoadedWithError);
    manager->loadAllSharedSources();

    disconnect(m_globalSettingsConnection);
    m_globalSettingsConnection = connect(
        framework, &QtOVCoreAPIFramework::gotGlobalShareSettings, this,
        [](const QJsonObject &object, const QString &error) {
            if (!error.isEmpty()) {
                qDebug() << "Error loading global settings" << error;
                return;
            }
            GlobalManager::sharedInstance()->setWatermarkEnabledForCurrentCompany(watermarkEnabled(object));
        });
    framework->getGlobalShareSettings(share.companyId, QStringLiteral("otv"));
}

void MainWindow::sharedSourcesLoadedWithError(const QString &error)
{
    gotSharedWorkspaces(GlobalManager::sharedInstance()->getSharedWorkspaces(), error);
}

void MainWindow::gotSharedWorkspaces(const QVector<SharedWorkspace> &workspaces, const QString &error)
{
    if (loadingWidget)
        loadingWidget->stop();
    if (!error.isEmpty()) {
        Helpers::showAlert(this, tr("Could not load workspaces"), error);
        return;
    }
    for (const SharedWorkspace &workspace : workspaces) {
        if (workspace.id == selectedCompany.shareId) {
            handleSpaceSelection(workspace);
            return;
        }
    }
}

void MainWindow::handleSpaceSelection(const SharedWorkspace &space)
{
    if (!navigation)
        return;
    selectedSpace = space;
    GlobalManager::sharedInstance()->startUpdatingSnapshots();
    auto *page = new ProjectFeedSelectionWidget(navigation, makeLiveFeed(space), makeRecordingFeed(space));
    page->setWindowTitle(space.name);
    // Leaving the space ends its chat.
    connect(page, &ProjectFeedSelectionWidget::stopped, this, &MainWindow::closeChatApp);
    addChatIcon(page);
    navigation->pushWidget(page);
}

QWidget *MainWindow::makeLiveFeed(const SharedWorkspace &space)
{
    auto *page = new LiveFeedSelectionWidget(nullptr, space);
    connect(page, &LiveFeedSelectionWidget::twoUpSelected, this, &MainWindow::showTwoUp);
    connect(page, &LiveFeedSelectionWidget::threeUpSelected, this, &MainWindow::showThreeUp);
    connect(page, &LiveFeedSelectionWidget::fourUpSelected, this, &MainWindow::showFourUp);
    connect(page, &LiveFeedSelectionWidget::cameraSelected, this, &MainWindow::showOneUp);
    return page;
}

void MainWindow::showTwoUp()
{
    settings->setLayoutPref(TwoUp);
    showDashboard();
}

void MainWindow::showThreeUp()
{
    settings->setLayoutPref(ThreeUp);
    showDashboard();
}

void MainWindow::showFourUp()
{
    settings->setLayoutPref(FourUp);
    showDashboard();
}

void MainWindow::showOneUp(const Camera &source)
{
    if (!navigation)
        return;
    settings->setLayoutPref(OneUp);
    auto *dashboard = static_cast<DashboardWidget *>(makeDashboard());
    navigation->pushWidget(dashboard);
    dashboard->playOneUp(source);
}

void MainWindow::showDashboard()
{
    if (navigation)
        navigation->pushWidget(makeDashboard());
}

QWidget *MainWindow::makeDashboard()
{
    const QString overlay
        = GlobalManager::sharedInstance()->isWatermarkEnabledForCurrentCompany() ? user.email : QString();
    auto *dashboard = new DashboardWidget(navigation, selectedSpace, overlay, user, framework);
    dashboard->setWindowTitle(selectedSpace.name);
    connect(dashboard, &DashboardWidget::playerFPSChanged, this, [this] { setWindowTitle(m_appInfo); });
    connect(dashboard, &DashboardWidget::showPlayerSettings, this, &MainWindow::showSourcePlayerSettings);
    addChatIcon(dashboard);
    return dashboard;
}

QWidget *MainWindow::makeRecordingFeed(const SharedWorkspace &space)
{
    auto *page = new RecordingsSelectionWidget(nullptr, space);
    QPointer<RecordingsSelectionWidget> browser = page;
    connect(page, &RecordingsSelectionWidget::selectedArchiveInWorkspace, this,
            [this, browser](const Archive &archive, const SharedWorkspace &chosen) {
                showArchivePlayer(archive, chosen, [browser] {
                    if (browser)
                        browser->reloadRecentlyPlayedRecordings();
                });
            });
    return page;
}

// ---- Archive player and player settings -------------------------------------------------

void MainWindow::showArchivePlayer(const Archive &archive, const SharedWorkspace &space,
                                   std::function<void()> callback)
{
    if (!navigation)
        return;
    // A second recording replaces the player on top instead of stacking another.
    if (currentArchivePlayer && navigation->currentWidget() == currentArchivePlayer) {
        navigation->popWidget();
        currentArchivePlayer.clear();
    }
    const PlayerSettings stored = GlobalManager::sharedInstance()->getPlayerSettings(space, archive.id);
    const QString overlay
        = GlobalManager::sharedInstance()->isWatermarkEnabledForCurrentCompany() ? user.email : QString();
    auto *player = new ArchivePlayerWidget(navigation, archive, space, overlay, framework, stored);
    connect(player, &ArchivePlayerWidget::showPlayerSettings, this, &MainWindow::showArchivePlayerSettings);
    connect(player, &ArchivePlayerWidget::stopped, this, [callback] {
        if (callback)
            callback();
    });
    currentArchivePlayer = player;
    navigation->pushWidget(player);
}

void MainWindow::showArchivePlayerSettings(const Archive &archive)
{
    auto *player = qobject_cast<ArchivePlayerWidget *>(sender());
    const PlayerSettings stored
        = GlobalManager::sharedInstance()->getPlayerSettings(selectedSpace, archive.id);
    auto *opened
        = new PlayerSettingsDialog(nullptr, selectedSpace, player ? player->getPlayer() : nullptr, stored);
    opened->setArchive(archive);
    openPlayerSettings(opened);
}

void MainWindow::showSourcePlayerSettings(const SharedStream &stream, OrvaneAV::AVPlayer *player)
{
    const PlayerSettings stored
        = GlobalManager::sharedInstance()->getPlayerSettings(selectedSpace, stream.id);
    auto *opened = new PlayerSettingsDialog(nullptr, selectedSpace, player, stored);
    opened->setStream(stream);
    openPlayerSettings(opened);
}

void MainWindow::openPlayerSettings(PlayerSettingsDialog *opened)
{
    delete dialog;
    dialog = opened;
    opened->setAttribute(Qt::WA_DeleteOnClose);
    opened->setModal(true);
    opened->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    opened->show();
    // Centred over the window once it has its size.
    QTimer::singleShot(0, opened, [this, opened] {
        opened->move(x() + (width() - opened->width()) / 2, y() + (height() - opened->height()) / 2);
    });
}

// ---- Chat program ------------------------------------------------------------------------

void MainWindow::addChatIcon(QWidget *page)
{
    navigation->setButtonIcon(page, RightButton::iconButton(QStringLiteral("button_chat")), [this] {
        qDebug() << "Open chat app!";
        openChatApp(true, selectedSpace.id);
    });
}

void MainWindow::openChatApp(bool force, const QString &workspaceId)
{
    QString program = ChatLauncher::installedProgram();
    if (program.isEmpty()) {
        program
            = QFileDialog::getOpenFileName(this, tr("Open Chat App"), QCoreApplication::applicationDirPath(),
                                           tr("Executable Files (QtOrvaneTVChat)"));
        if (program.isEmpty())
            return;
    }
    ChatLauncher::Session session;
    session.token = TokenStore::sharedInstance()->token();
    session.companySlug = selectedCompany.companySlug;
    session.companyId = selectedCompany.companyId;
    session.workspaceId = workspaceId;
    session.spaceId = selectedSpace.id;
    session.workspaceName = selectedSpace.name;
    session.textEnabled = selectedSpace.settings.textChatEnabled;
    session.voiceEnabled = selectedSpace.settings.voiceChatEnabled;
    OVTVStaging staging;
    ServerEnvironment *current = framework->getServerEnvironment();
    session.staging = current && current->idEndpoint() == staging.idEndpoint();
    chat->open(program, session, force);
}

void MainWindow::closeChatApp()
{
    chat->close();
}

void MainWindow::openRecording(const QString &recordingId)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    openRecordingFromChat(recordingId);
}

void MainWindow::openRecordingFromChat(const QString &recordingId)
{
    for (const Archive &recording : qAsConst(selectedSpace.sharedRecords)) {
        if (recording.id == recordingId) {
            showArchivePlayer(recording, selectedSpace);
            return;
        }
    }
    // A recording outside the loaded ones of this space does nothing.
}

// ---- Settings screen and sign-out --------------------------------------------------------

void MainWindow::showSettings()
{
    if (!navigation)
        return;
    auto *page = new SettingsWidget(navigation, user);
    connect(page, &SettingsWidget::logout, this, &MainWindow::signOut, Qt::QueuedConnection);
    navigation->pushWidget(page);
}

void MainWindow::signOut()
{
    closeChatApp();
    GlobalManager::sharedInstance()->clearAll();
    delete navigation;
    navigation = nullptr;
    clearCentralLayout();
    showLogin(QString());
}

// ---- Central area and loading overlays ---------------------------------------------------

void MainWindow::clearCentralLayout()
{
    QLayout *layout = ui->centralwidget->layout();
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            if (widget == navigation)
                navigation = nullptr;
            widget->deleteLater();
        }
        delete item;
    }
}

void MainWindow::showLoader(QWidget *parent)
{
    QWidget *host = navigation ? navigation : parent ? parent : ui->centralwidget;
    auto *loader = new LoadingWidget(host, 150);
    loadingWidget = loader;
    connect(loader, &LoadingWidget::done, this, &MainWindow::removeLoader);
    if (navigation) {
        navigation->disableRightButton();
        navigation->pushWidget(loader);
    } else if (host->layout()) {
        host->layout()->addWidget(loader);
    }
}

void MainWindow::removeLoader()
{
    auto *loader = qobject_cast<LoadingWidget *>(sender());
    if (!loader)
        return;
    if (navigation) {
        navigation->enableRightButton();
        navigation->removeWidget(loader, false);
    }
    loader->deleteLater();
}
