#include "playersettings/playersettingsrootwidget.h"
#include "ui_playersettingsrootwidget.h"

#include "playersettings/playersettingscellwidget.h"
#include "session/globalmanager.h"

namespace {
const char profileTitle[] = QT_TRANSLATE_NOOP("PlayerSettingsRootWidget", "Color Profile");
const char rangeTitle[] = QT_TRANSLATE_NOOP("PlayerSettingsRootWidget", "Color Range");
} // namespace

PlayerSettingsRootWidget::PlayerSettingsRootWidget(QWidget *parent, const SharedWorkspace &space,
                                                   const Archive &archive, OrvaneAV::AVPlayer *player)
    : QWidget(parent)
    , ui(new Ui::PlayerSettingsRootWidget)
    , space(space)
    , settings(GlobalManager::sharedInstance()->getPlayerSettings(space, archive.id))
    , resourceId(archive.id)
    , player(player)
{
    build();
    setWindowTitle(archive.encoderName);
    // A recording has no delay to set.
    ui->delaySettings->hide();
}

PlayerSettingsRootWidget::PlayerSettingsRootWidget(QWidget *parent, const SharedWorkspace &space,
                                                   const SharedStream &stream)
    : QWidget(parent)
    , ui(new Ui::PlayerSettingsRootWidget)
    , space(space)
    , settings(GlobalManager::sharedInstance()->getPlayerSettings(space, stream.id))
    , resourceId(stream.id)
{
    build();
    setWindowTitle(stream.name);
    // SRT streams set their own latency: no automatic delay to offer.
    ui->autoWidget->setVisible(!stream.secured);
}

PlayerSettingsRootWidget::~PlayerSettingsRootWidget()
{
    delete ui;
}

void PlayerSettingsRootWidget::build()
{
    ui->setupUi(this);
    for (const char *title : {profileTitle, rangeTitle}) {
        auto *item = new QListWidgetItem(ui->listWidget);
        const QString value = title == profileTitle ? GlobalManager::colorSpaceText(settings.colorProfile)
                                                    : GlobalManager::colorRangeText(settings.colorRange);
        auto *cell = new PlayerSettingsCellWidget(ui->listWidget, tr(title), value);
        item->setSizeHint(cell->sizeHint());
        ui->listWidget->setItemWidget(item, cell);
    }
    connect(ui->listWidget, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        auto *cell = qobject_cast<PlayerSettingsCellWidget *>(ui->listWidget->itemWidget(item));
        if (cell && cell->getTitle() == tr(profileTitle))
            emit colorProfileSelected();
        else if (cell)
            emit colorRangeSelected();
    });
    ui->autoCheckBox->setChecked(settings.autoDelay);
    ui->delayWidget->setVisible(!settings.autoDelay);
    ui->delaySlider->setValue(settings.delay);
    ui->delayMsLabel->setText(QStringLiteral("%1ms").arg(settings.delay));
    connect(ui->delaySlider, &QSlider::valueChanged, this, [this](int value) {
        settings.delay = value;
        ui->delayMsLabel->setText(tr("%1 ms").arg(value));
    });
    // Only the value where the handle is let go is stored.
    connect(ui->delaySlider, &QSlider::sliderReleased, this,
            [this] { emit delayChanged(ui->delaySlider->value()); });
    connect(ui->autoCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        ui->delayWidget->setVisible(!on);
        emit autoDelayChanged(on);
    });
}

PlayerSettingsCellWidget *PlayerSettingsRootWidget::row(const QString &title) const
{
    for (int i = 0; i < ui->listWidget->count(); ++i) {
        auto *cell
            = qobject_cast<PlayerSettingsCellWidget *>(ui->listWidget->itemWidget(ui->listWidget->item(i)));
        if (cell && cell->getTitle() == title)
            return cell;
    }
    return nullptr;
}

void PlayerSettingsRootWidget::setColorProfile(const QString &text)
{
    if (PlayerSettingsCellWidget *cell = row(tr(profileTitle)))
        cell->setSubtitle(text);
}

void PlayerSettingsRootWidget::setColorRange(const QString &text)
{
    if (PlayerSettingsCellWidget *cell = row(tr(rangeTitle)))
        cell->setSubtitle(text);
}
