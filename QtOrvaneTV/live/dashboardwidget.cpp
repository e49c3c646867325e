#include "live/dashboardwidget.h"
#include "ui_dashboardwidget.h"

#include "live/dashboardplayerwidget.h"
#include "live/dashboardsourcewidget.h"
#include "audiooutput.h"
#include "averror.h"
#include "qtovcoreapiframework.h"
#include "session/globalmanager.h"
#include "statistics.h"
#include "ui/theme.h"

#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <QtDebug>

#include <climits>

using OrvaneAV::AVPlayer;

namespace {

int playersFor(LayoutPreference layout)
{
    return int(layout) + 1;
}

} // namespace

DashboardWidget::DashboardWidget(QWidget *parent, const SharedWorkspace &space, const QString &overlayText,
                                 const User &user, QtOVCoreAPIFramework *framework)
    : QWidget(parent)
    , ui(new Ui::DashboardWidget)
    , space(space)
    , overlayText(overlayText)
    , streamTimer(new QTimer(this))
    , user(user)
    , framework(framework)
{
    ui->setupUi(this);
    ui->layoutButton->setSourceIcon(QIcon(QStringLiteral(":/LayoutIcon.png")));
    ui->sourcesButton->setSourceIcon(QIcon(QStringLiteral(":/SourcesTab.png")));
    ui->sourcesButton->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(ui->layoutButton, &QToolButton::clicked, this, &DashboardWidget::layoutButtonClicked);
    connect(ui->sourcesButton, &QToolButton::clicked, this, &DashboardWidget::sourcesButtonClicked);
    setFocusPolicy(Qt::StrongFocus);
    setState(closed);
}

DashboardWidget::~DashboardWidget()
{
    streamTimer->stop();
    // The players are this widget's children and go with it; the tiles detach
    // their renderers first.
    delete ui;
}

QVector<Camera> DashboardWidget::sources() const
{
    return GlobalManager::sharedInstance()->getSharedCamerasForSpace(space, false);
}

LayoutPreference DashboardWidget::layout() const
{
    return Settings::sharedInstance()->getLayoutPreference();
}

DashboardPlayerWidget *DashboardWidget::preview(int index) const
{
    switch (index) {
    case 1: return ui->preview1;
    case 2: return ui->preview2;
    case 3: return ui->preview3;
    case 4: return ui->preview4;
    default: return nullptr;
    }
}

DashboardPlayerWidget *DashboardWidget::slotTile(int slot) const
{
    // Three-up puts one tile on top and two below; preview2 is not used.
    static const int threeUp[] = {1, 3, 4, 0};
    if (slot < 0 || slot > 3)
        return nullptr;
    return preview(layout() == ThreeUp ? threeUp[slot] : slot + 1);
}

bool DashboardWidget::toolbarShown() const
{
    return !ui->widget->isHidden();
}

QStringList DashboardWidget::stripLayouts() const
{
    return m_stripLayouts;
}

// ---- Starting, stopping and layouts -----------------------------------------------------

void DashboardWidget::start()
{
    ui->widget->setVisible(sources().size() > 1);
    setupSavedLayout();
}

void DashboardWidget::stop()
{
    for (int i = 1; i <= 4; ++i)
        preview(i)->stop();
    streamToPlayerMap.clear();
    emit playerFPSChanged(-1, -1);
}

void DashboardWidget::setupSavedLayout()
{
    switch (layout()) {
    case OneUp: showOneUp(); break;
    case TwoUp: showTwoUp(); break;
    case ThreeUp: showThreeUp(); break;
    case FourUp: showFourUp(); break;
    }
    if (layout() == FourUp && sources().size() <= 3)
        showThreeUp();
}

void DashboardWidget::showOneUp()
{
    showLayout(OneUp);
}

void DashboardWidget::showTwoUp()
{
    showLayout(TwoUp);
}

void DashboardWidget::showThreeUp()
{
    showLayout(ThreeUp);
}

void DashboardWidget::showFourUp()
{
    showLayout(FourUp);
}

void DashboardWidget::showLayout(LayoutPreference chosen)
{
    const bool bottomRow = chosen == ThreeUp || chosen == FourUp;
    ui->previewsLayout->setStretch(0, chosen == ThreeUp ? 6 : 1);
    ui->previewsLayout->setStretch(1, 1);
    ui->bottomPreviews->setVisible(bottomRow);
    ui->preview1->show();
    ui->preview2->setVisible(chosen == TwoUp || chosen == FourUp);
    ui->preview3->setVisible(bottomRow);
    ui->preview4->setVisible(bottomRow);
    if (layout() != chosen) {
        stop();
        Settings::sharedInstance()->setLayoutPref(chosen);
    }
    finishLayoutSetup();
}

void DashboardWidget::finishLayoutSetup()
{
    setupPlayer();
    setPreviewMinimumWidths();
    rebuildStrip();
}

void DashboardWidget::setupPlayer()
{
    const QVector<Camera> all = sources();
    const int players = playersFor(layout());
    int next = 0;
    for (int slot = 0; slot < 4; ++slot) {
        DashboardPlayerWidget *tile = slotTile(slot);
        if (!tile || tile->isHidden())
            continue;
        connectTile(tile);
        if (next < all.size() && next < players) {
            if (!tile->isPlaying())
                playInTile(tile, all.at(next));
            ++next;
        }
    }
}

void DashboardWidget::playInTile(DashboardPlayerWidget *tile, const Camera &source)
{
    const QString streamId = source.sharedStream.id;
    AVPlayer *player = makePlayerForId(streamId);
    tile->playSourceUsingPlayer(source, player,
                                GlobalManager::sharedInstance()->getPlayerSettings(space, streamId));
    if (!streamToBitrateMap.contains(streamId))
        streamToBitrateMap.insert(streamId, 0);
}

void DashboardWidget::connectTile(DashboardPlayerWidget *tile)
{
    disconnect(tile, nullptr, this, nullptr);
    connect(tile, &DashboardPlayerWidget::selected, this, &DashboardWidget::tileSelected);
    connect(tile, &DashboardPlayerWidget::showPlayerSettings, this, [this](const Camera &camera) {
        emit showPlayerSettings(camera.sharedStream, makePlayerForId(camera.sharedStream.id));
    });
    connect(tile, &DashboardPlayerWidget::muteChanged, this, &DashboardWidget::muteChanged);
    connect(tile, &DashboardPlayerWidget::fullScreenRequested, this, &DashboardWidget::toggleFullScreen);
}

void DashboardWidget::playOneUp(const Camera &camera)
{
    if (DashboardPlayerWidget *tile = slotTile(0))
        playInTile(tile, camera);
    startStreamTimer();
}

void DashboardWidget::setPreviewMinimumWidths()
{
    // The tiles share the width through their layouts. Minimum widths taken
    // from the current width would stop the window from ever getting narrower,
    // so the floor is a tile's own minimum size.
    for (int i = 1; i <= 4; ++i)
        preview(i)->setMinimumWidth(160);
}

void DashboardWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setPreviewMinimumWidths();
}

// ---- Player pool -------------------------------------------------------------------------

AVPlayer *DashboardWidget::makePlayerForId(const QString &streamId)
{
    if (AVPlayer *existing = streamToPlayerMap.value(streamId))
        return existing;
    AVPlayer *player = nullptr;
    while (!waitingPlayers.isEmpty() && !player)
        player = waitingPlayers.takeFirst();
    if (player)
        qDebug() << "Using waiting player";
    else
        player = new AVPlayer(this);
    player->setVideoDecoderPriority(PlayerSettings::decoderPriority());
    disconnect(player, nullptr, this, nullptr);
    connect(player, &AVPlayer::error, this,
            [](const OrvaneAV::AVError &error) { qDebug() << "QtAV Error:" << error.string(); });
    player->setBufferMode(OrvaneAV::BufferTime);
    streamToPlayerMap.insert(streamId, player);
    connect(player, &AVPlayer::stopped, this, [this, player] {
        if (!waitingPlayers.contains(player))
            waitingPlayers.append(player);
    });

    const PlayerSettings settings = GlobalManager::sharedInstance()->getPlayerSettings(space, streamId);
    applySettings(player, settings, true);
    disconnect(m_settingsConnections.value(player));
    m_settingsConnections.insert(
        player,
        connect(GlobalManager::sharedInstance(), &GlobalManager::playerSettingsChanged, this,
                [this, player, streamId](const SharedWorkspace &, const QString &resourceId,
                                         const PlayerSettings &changed) {
                    if (resourceId == streamId)
                        applySettings(player, changed, true);
                }));
    connect(player, &AVPlayer::stateChanged, this, [this] { framerates.clear(); });
    connect(player, &AVPlayer::started, this, [this, player, settings] {
        startStreamTimer();
        applySettings(player, settings, false);
        player->setOverlayText(overlayText);
    });
    return player;
}

void DashboardWidget::applySettings(AVPlayer *player, const PlayerSettings &settings, bool delayAndAudio)
{
    if (delayAndAudio) {
        const bool autoDelay = settings.autoDelay
            || Settings::sharedInstance()->getSelectedStreamUrl().toLower().startsWith(QLatin1String("srt"));
        player->setBufferValue(autoDelay ? -1 : settings.delay);
        player->audio()->setVolume(60.0);
        player->audio()->setMute(settings.muted);
    }
    player->setColorSpace(OrvaneAV::ColorSpace(GlobalManager::colorSpaceForProfile(settings.colorProfile)));
    player->setColorRange(OrvaneAV::ColorRange(GlobalManager::colorRangeForIndex(settings.colorRange)));
}

// ---- The strip under the tiles ------------------------------------------------------------

void DashboardWidget::layoutButtonClicked()
{
    setState(m_state == showingLayouts ? closed : showingLayouts);
}

void DashboardWidget::sourcesButtonClicked()
{
    setState(m_state == showingSources ? closed : showingSources);
}

void DashboardWidget::setState(State state)
{
    m_state = state;
    rebuildStrip();
}

void DashboardWidget::rebuildStrip()
{
    QGridLayout *strip = ui->stripLayout;
    while (QLayoutItem *item = strip->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    m_stripSources.clear();
    m_stripLayouts.clear();
    clearSourceSelection();
    ui->gridWidget->setVisible(m_state != closed);
    ui->layoutButton->setSelected(m_state == showingLayouts);
    ui->sourcesButton->setSelected(m_state == showingSources);

    const QVector<Camera> all = sources();
    if (m_state == showingLayouts) {
        static const char *const names[] = {"LayoutOne", "LayoutTwo", "LayoutThree", "LayoutFour"};
        for (int column = 0; column < 4; ++column) {
            if (column > 0 && all.size() <= column)
                break;
            auto *button = new QToolButton(ui->gridWidget);
            const QString name = QString::fromLatin1(names[column]);
            button->setObjectName(name);
            button->setIcon(QIcon(QStringLiteral(":/%1.png").arg(name)));
            button->setIconSize(QSize(64, 64));
            button->setStyleSheet(
                QStringLiteral("border: %1px solid %2; background: %3; border-radius: 8px;")
                    .arg(int(layout()) == column ? 2 : 0)
                    .arg(Theme::styleColor(Theme::appOrange), Theme::styleColor(Theme::cellBackground)));
            const LayoutPreference chosen = LayoutPreference(column);
            connect(button, &QToolButton::clicked, this, [this, chosen] { showLayout(chosen); });
            strip->addWidget(button, 0, column);
            m_stripLayouts << name;
        }
    } else if (m_state == showingSources) {
        m_stripBuiltOneUp = layout() == OneUp;
        for (int column = 0; column < all.size(); ++column) {
            auto *tile = new DashboardSourceWidget(ui->gridWidget);
            tile->setCameraId(all.at(column).id);
            tile->setMinimumSize(160, 90);
            tile->setMaximumSize(160, 90);
            tile->resize(160, 90);
            connect(tile, &DashboardSourceWidget::selected, this, &DashboardWidget::stripSourceClicked);
            strip->addWidget(tile, 0, column);
            m_stripSources << tile;
        }
        if (layout() != OneUp)
            ui->preview1->setHighlighted(true);
        highlightBrowserCell(ui->preview1->currentSource().id);
    }
}

void DashboardWidget::clearSourceSelection()
{
    for (int i = 1; i <= 4; ++i)
        preview(i)->setHighlighted(false);
}

void DashboardWidget::highlightBrowserCell(const QString &cameraId)
{
    if (m_state != showingSources)
        return;
    for (DashboardSourceWidget *tile : qAsConst(m_stripSources))
        tile->setHighlighted(tile->cameraId() == cameraId);
}

void DashboardWidget::tileSelected(const QString &cameraId)
{
    if (m_state != showingSources)
        return;
    clearSourceSelection();
    if (auto *tile = qobject_cast<DashboardPlayerWidget *>(sender()))
        tile->setHighlighted(true);
    highlightBrowserCell(cameraId);
}

void DashboardWidget::stripSourceClicked(const QString &cameraId)
{
    const QVector<Camera> all = sources();
    Camera clicked;
    for (const Camera &camera : all) {
        if (camera.id == cameraId) {
            clicked = camera;
            break;
        }
    }
    if (clicked.id.isEmpty())
        return;
    int rememberedSlot = -1;
    Camera remembered;
    const int slotCount = qMin(4, all.size());
    for (int s = 0; s < slotCount; ++s) {
        DashboardPlayerWidget *tile = slotTile(s);
        // In one-up every shown tile takes the choice; hidden tiles play nothing.
        if (!tile || tile->isHidden() || !(tile->isHighlighted() || m_stripBuiltOneUp))
            continue;
        for (int t = 0; t < 4; ++t) {
            DashboardPlayerWidget *other = slotTile(t);
            if (other && other->currentSource().id == cameraId) {
                rememberedSlot = t;
                remembered = tile->currentSource();
                break;
            }
        }
        framerates.clear();
        playInTile(tile, clicked);
        highlightBrowserCell(cameraId);
    }
    // The tile that showed the clicked source takes the one it replaced: a swap.
    if (rememberedSlot >= 0 && !remembered.id.isEmpty())
        playInTile(slotTile(rememberedSlot), remembered);
}

// ---- Enlarging, muting, keys -------------------------------------------------------------

void DashboardWidget::toggleFullScreen(const Camera &camera)
{
    if (!isShowingFullScreen) {
        isShowingFullScreen = true;
        previousLayout = layout();
        showOneUp();
        playInTile(ui->preview1, camera);
        return;
    }
    isShowingFullScreen = false;
    Settings::sharedInstance()->setLayoutPref(previousLayout);
    stop();
    start();
}

void DashboardWidget::muteChanged(const Camera &camera, bool muted)
{
    const QString streamId = camera.sharedStream.id;
    GlobalManager *manager = GlobalManager::sharedInstance();
    PlayerSettings settings = manager->getPlayerSettings(space, streamId);
    settings.muted = muted;
    manager->setPlayerSettings(space, streamId, settings);
    if (AVPlayer *player = streamToPlayerMap.value(streamId))
        player->audio()->setMute(muted);
}

void DashboardWidget::keyPressEvent(QKeyEvent *event)
{
    const int offered = sources().size();
    switch (event->key()) {
    case Qt::Key_1: showOneUp(); return;
    case Qt::Key_2:
        if (offered > 1)
            showTwoUp();
        return;
    case Qt::Key_3:
        if (offered > 2)
            showThreeUp();
        return;
    case Qt::Key_4:
        if (offered > 3)
            showFourUp();
        return;
    case Qt::Key_Escape:
        if (isShowingFullScreen) {
            toggleFullScreen(ui->preview1->currentSource());
            return;
        }
        break;
    default: break;
    }
    QWidget::keyPressEvent(event);
}

// ---- Frame rate and stream-view reports ---------------------------------------------------

void DashboardWidget::startStreamTimer()
{
    streamTimer->stop();
    disconnect(streamTimer, &QTimer::timeout, this, nullptr);
    connect(streamTimer, &QTimer::timeout, this, &DashboardWidget::streamTimerTick);
    streamTimer->start(1000);
}

void DashboardWidget::streamTimerTick()
{
    if (streamToPlayerMap.isEmpty())
        return;
    ++ticks;

    const QString firstStream = ui->preview1->currentSource().sharedStream.id;
    if (AVPlayer *first = streamToPlayerMap.value(firstStream)) {
        const int rate = int(first->statistics().video_only.currentDisplayFPS());
        if (rate > 0 && rate < 120) {
            framerates.append(rate);
            qint64 sum = 0;
            for (int sample : qAsConst(framerates))
                sum += sample;
            emit playerFPSChanged(rate, int(sum / framerates.size()));
        }
    }

    for (auto it = streamToBitrateMap.begin(); it != streamToBitrateMap.end(); ++it) {
        AVPlayer *player = streamToPlayerMap.value(it.key());
        if (!player)
            continue;
        const OrvaneAV::Statistics statistics = player->statistics();
        it.value() += statistics.video.bit_rate / 8 + statistics.audio.bit_rate / 8;
    }

    if (ticks % 15 != 0)
        return;
    const QString slug = Settings::sharedInstance()->getCompanySlug();
    if (slug.isEmpty())
        return;
    GlobalManager *manager = GlobalManager::sharedInstance();
    const auto table = manager->getCompanyShares();
    for (const QVector<CompanyShare> &shares : table) {
        for (const CompanyShare &share : shares) {
            if (share.companySlug == manager->getCompanySlug()) {
                sendStreamStats(slug, share, streamToBitrateMap);
                ticks = 0;
                return;
            }
        }
    }
}

void DashboardWidget::sendStreamStats(const QString &slug, const CompanyShare &share,
                                      QMap<QString, qint64> pending)
{
    while (!pending.isEmpty()) {
        const QString streamId = pending.firstKey();
        const qint64 bytes = pending.take(streamId);
        if (bytes <= 0)
            continue;
        // The service takes a 32-bit count; a larger one goes in the next report.
        const int sent = int(qMin<qint64>(bytes, INT_MAX));
        disconnect(m_reportConnection);
        m_reportConnection = connect(framework, &QtOVCoreAPIFramework::gotStreamViewResponse, this,
                                     [this, slug, share, pending, streamId, sent](const QString &error) {
                                         disconnect(m_reportConnection);
                                         if (error.isEmpty()) {
                                             qint64 &count = streamToBitrateMap[streamId];
                                             count = qMax<qint64>(0, count - sent);
                                         } else {
                                             qDebug() << "Stream View Error: " << error;
                                         }
                                         sendStreamStats(slug, share, pending);
                                     });
        framework->sendStreamView(slug, false, streamId, share.id.toInt(), sent);
        return;
    }
}
