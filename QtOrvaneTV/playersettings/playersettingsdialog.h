#ifndef PLAYERSETTINGSDIALOG_H
#define PLAYERSETTINGSDIALOG_H

#include "archive.h"
#include "session/playersettings.h"
#include "sharedstream.h"
#include "sharedworkspace.h"

#include <QDialog>
#include <QPointer>

class NavigationWidget;
class PlayerSettingsRootWidget;

namespace OrvaneAV {
class AVPlayer;
}

namespace Ui {
class PlayerSettingsDialog;
}

// The player settings of one live feed or recording: a small stack of pages
// (the settings, then a list of colour profiles or ranges). Every change is
// stored at once through the session model, which tells the open players.
class PlayerSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    PlayerSettingsDialog(QWidget *parent, const SharedWorkspace &space, OrvaneAV::AVPlayer *player,
                         const PlayerSettings &settings);
    ~PlayerSettingsDialog() override;

    void setStream(const SharedStream &stream);
    void setArchive(const Archive &archive);
    NavigationWidget *navigation() const { return nav; }
    PlayerSettingsRootWidget *rootPage() const { return root; }
    PlayerSettings currentSettings() const { return settings; }

private:
    void showRoot(PlayerSettingsRootWidget *page);
    void showColorList(bool ranges);
    QString resourceId() const;
    void store();

    Ui::PlayerSettingsDialog *ui;
    NavigationWidget *nav = nullptr;
    PlayerSettingsRootWidget *root = nullptr;
    QPointer<OrvaneAV::AVPlayer> player;
    SharedWorkspace space;
    Archive archive;
    SharedStream stream;
    PlayerSettings settings;
};

#endif // PLAYERSETTINGSDIALOG_H
