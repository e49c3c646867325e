#include "playersettings/playersettingsdialog.h"
#include "ui_playersettingsdialog.h"

#include "avplayer.h"
#include "navigation/navigationwidget.h"
#include "playersettings/colorprofilewidget.h"
#include "playersettings/playersettingsrootwidget.h"
#include "session/globalmanager.h"

#include <QVBoxLayout>

PlayerSettingsDialog::PlayerSettingsDialog(QWidget *parent, const SharedWorkspace &space,
                                           OrvaneAV::AVPlayer *player, const PlayerSettings &settings)
    : QDialog(parent)
    , ui(new Ui::PlayerSettingsDialog)
    , player(player)
    , space(space)
    , settings(settings)
{
    ui->setupUi(this);
}

PlayerSettingsDialog::~PlayerSettingsDialog()
{
    delete ui;
}

void PlayerSettingsDialog::setStream(const SharedStream &newStream)
{
    stream = newStream;
    setWindowTitle(tr("Player settings for ") + stream.name);
    showRoot(new PlayerSettingsRootWidget(nullptr, space, stream));
}

void PlayerSettingsDialog::setArchive(const Archive &newArchive)
{
    archive = newArchive;
    showRoot(new PlayerSettingsRootWidget(nullptr, space, archive, player));
}

QString PlayerSettingsDialog::resourceId() const
{
    return !stream.id.isEmpty() ? stream.id : archive.id;
}

void PlayerSettingsDialog::store()
{
    GlobalManager::sharedInstance()->setPlayerSettings(space, resourceId(), settings);
}

void PlayerSettingsDialog::showRoot(PlayerSettingsRootWidget *page)
{
    root = page;
    connect(page, &PlayerSettingsRootWidget::colorProfileSelected, this, [this] { showColorList(false); });
    connect(page, &PlayerSettingsRootWidget::colorRangeSelected, this, [this] { showColorList(true); });
    connect(page, &PlayerSettingsRootWidget::delayChanged, this, [this](int delay) {
        settings.delay = delay;
        // The dialog's own player follows at once, before the notification.
        if (player && !stream.id.isEmpty())
            player->setBufferValue(settings.autoDelay ? -1 : delay);
        store();
    });
    connect(page, &PlayerSettingsRootWidget::autoDelayChanged, this, [this](bool on) {
        settings.autoDelay = on;
        if (player)
            player->setBufferValue(on ? -1 : settings.delay);
        store();
    });
    if (!nav) {
        nav = new NavigationWidget(ui->centralWidget, page);
        ui->centralWidget->layout()->addWidget(nav);
    } else {
        nav->setWidgets({page});
    }
    nav->setButtonIcon(page, RightButton::textButton(tr("Done")), [this] { close(); });
}

void PlayerSettingsDialog::showColorList(bool ranges)
{
    auto *list = new ColorProfileWidget(nullptr, ranges, settings);
    connect(list, &ColorProfileWidget::profileSelected, this, [this](int row) {
        root->setColorProfile(GlobalManager::colorSpaceText(row));
        settings.colorProfile = row;
        store();
        nav->popWidget();
    });
    connect(list, &ColorProfileWidget::rangeSelected, this, [this](int row) {
        settings.colorRange = row;
        store();
        root->setColorRange(GlobalManager::colorRangeText(row));
        nav->popWidget();
    });
    nav->pushWidget(list);
}
