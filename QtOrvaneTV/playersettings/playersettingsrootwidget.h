#ifndef PLAYERSETTINGSROOTWIDGET_H
#define PLAYERSETTINGSROOTWIDGET_H

#include "archive.h"
#include "session/playersettings.h"
#include "sharedstream.h"
#include "sharedworkspace.h"

#include <QWidget>

class PlayerSettingsCellWidget;

namespace OrvaneAV {
class AVPlayer;
}

namespace Ui {
class PlayerSettingsRootWidget;
}

// The first page of the player settings: the colour profile and range rows and,
// for a live stream, the delay (automatic, or a slider in milliseconds).
class PlayerSettingsRootWidget : public QWidget
{
    Q_OBJECT

public:
    PlayerSettingsRootWidget(QWidget *parent, const SharedWorkspace &space, const Archive &archive,
                             OrvaneAV::AVPlayer *player);
    PlayerSettingsRootWidget(QWidget *parent, const SharedWorkspace &space, const SharedStream &stream);
    ~PlayerSettingsRootWidget() override;

    void setColorProfile(const QString &text);
    void setColorRange(const QString &text);
    PlayerSettingsCellWidget *row(const QString &title) const;

signals:
    void colorProfileSelected();
    void colorRangeSelected();
    void delayChanged(int delay);
    void autoDelayChanged(bool on);

private:
    void build();

    Ui::PlayerSettingsRootWidget *ui;
    SharedWorkspace space;
    PlayerSettings settings;
    QString resourceId;
    OrvaneAV::AVPlayer *player = nullptr;
};

#endif // PLAYERSETTINGSROOTWIDGET_H
