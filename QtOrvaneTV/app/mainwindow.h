#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "archive.h"
#include "camera.h"
#include "companyshare.h"
#include "sharedstream.h"
#include "sharedworkspace.h"
#include "user.h"

#include "playersettings/playersettingsdialog.h"
#include "recordings/archiveplayerwidget.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class ChatLauncher;
class LoadingWidget;
class NavigationWidget;

namespace OrvaneAV {
class AVPlayer;
}
class QtOVCoreAPIFramework;
class Settings;

namespace Ui {
class MainWindow;
}

// The viewer's one top-level window and the screen flow of a session: the
// sign-in screen, then a navigation stack that starts at the company list and on
// which the project page, the settings screen and loading overlays are pushed.
// Every screen is placed in the black central area; the client and the settings
// store belong to main().
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(QWidget *parent, QtOVCoreAPIFramework *framework, Settings *settings);
    ~MainWindow() override;

    QString appInfo() const { return m_appInfo; }
    NavigationWidget *navigationStack() const { return navigation; }
    // The environment menu's entries, in order.
    static QStringList environmentNames();
    ChatLauncher *chatLauncher() const { return chat; }
    PlayerSettingsDialog *playerSettingsDialog() const { return dialog; }

    ArchivePlayerWidget *archivePlayer() const { return currentArchivePlayer; }

public slots:
    // A recording link from the desktop or a later start: the window comes to the
    // front and plays the recording when it is one of the open space's.
    void openRecording(const QString &recordingId);
    void handleCompaniesGotten(const QString &error);
    void handleCompanySelection(const CompanyShare &share);
    void gotSharedWorkspaces(const QVector<SharedWorkspace> &workspaces, const QString &error);
    void handleSpaceSelection(const SharedWorkspace &space);
    void showEnvironmentMenu(const QPoint &position);
    void showSourcePlayerSettings(const SharedStream &stream, OrvaneAV::AVPlayer *player);
    void showArchivePlayerSettings(const Archive &archive);

private:
    void loginSucceeded(const User &user);
    // Reads the stored token, then shows the sign-in screen, which resumes with it.
    void resumeSession();
    void showLogin(const QString &token);
    void showSettings();
    void signOut();
    void loadWorkspaces(const CompanyShare &share);
    void sharedSourcesLoadedWithError(const QString &error);
    QWidget *makeLiveFeed(const SharedWorkspace &space);
    QWidget *makeDashboard();
    void showDashboard();
    void showOneUp(const Camera &source);
    void showTwoUp();
    void showThreeUp();
    void showFourUp();
    QWidget *makeRecordingFeed(const SharedWorkspace &space);
    void showArchivePlayer(
        const Archive &archive, const SharedWorkspace &space, std::function<void()> callback = [] {});
    void addChatIcon(QWidget *page);
    void openChatApp(bool force, const QString &workspaceId);
    void closeChatApp();
    void openRecordingFromChat(const QString &recordingId);
    void openPlayerSettings(PlayerSettingsDialog *opened);
    void clearCentralLayout();
    void showLoader(QWidget *parent = nullptr);
    void removeLoader();

    Ui::MainWindow *ui;
    Settings *settings;
    QtOVCoreAPIFramework *framework;
    QPointer<LoadingWidget> loadingWidget;
    NavigationWidget *navigation = nullptr;
    User user;
    CompanyShare selectedCompany;
    SharedWorkspace selectedSpace;
    QString m_appInfo;
    QMetaObject::Connection m_globalSettingsConnection;
    ChatLauncher *chat = nullptr;
    QPointer<PlayerSettingsDialog> dialog;
    QPointer<ArchivePlayerWidget> currentArchivePlayer;
};

#endif // MAINWINDOW_H
