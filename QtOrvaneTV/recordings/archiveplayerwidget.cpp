#include "recordings/archiveplayerwidget.h"
#include "ui_archiveplayerwidget.h"

#include "audiooutput.h"
#include "averror.h"
#include "openglwidgetrenderer.h"
#include "qtovcoreapiframework.h"
#include "session/globalmanager.h"
#include "statistics.h"
#include "ui/theme.h"

#include <QKeyEvent>
#include <QMenu>
#include <QTime>
#include <QTimer>
#include <QtDebug>

#include <climits>

using OrvaneAV::AVPlayer;

namespace {
constexpr int controlsHeight = 105;
constexpr int headerHeight = 30;
constexpr int longestRetryMs = 10000;
} // namespace

ArchivePlayerWidget::ArchivePlayerWidget(QWidget *parent, const Archive &archive,
                                         const SharedWorkspace &space, const QString &overlayText,
                                         QtOVCoreAPIFramework *framework, const PlayerSettings &settings)
    : QWidget(parent)
    , ui(new Ui::ArchivePlayerWidget)
    , archive(archive)
    , space(space)
    , overlayText(overlayText)
    , settings(settings)
    , framework(framework)
{
    ui->setupUi(this);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { showContextMenu(mapToGlobal(position)); });
    ui->archiveName->setText(archive.encoderName.isEmpty() ? archive.id : archive.encoderName);
    setWindowTitle(ui->archiveName->text());
    if (parent)
        resize(parent->size());
    handleSize();

    GlobalManager *manager = GlobalManager::sharedInstance();
    manager->setArchiveViewedInWorkspace(archive, space);

    player = std::make_unique<AVPlayer>();
    player->setVideoDecoderPriority(PlayerSettings::decoderPriority());
    connect(player.get(), &AVPlayer::error, this, &ArchivePlayerWidget::handleError, Qt::QueuedConnection);
    m_settingsConnection
        = connect(manager, &GlobalManager::playerSettingsChanged, this,
                  [this](const SharedWorkspace &changedSpace, const QString &resourceId,
                         const PlayerSettings &changed) {
                      if (resourceId == this->archive.id && changedSpace.id == this->space.id)
                          applySettings(changed);
                  });

    renderer = new OrvaneAV::OpenGLWidgetRenderer(ui->playerContainer);
    renderer->setObjectName(QStringLiteral("videoRenderer"));
    static_cast<QGridLayout *>(ui->playerContainer->layout())->addWidget(renderer->widget(), 0, 0);
    player->setRenderer(renderer);
    connect(player.get(), &AVPlayer::stateChanged, this, &ArchivePlayerWidget::playerStateChanged,
            Qt::QueuedConnection);
    connect(player.get(), &AVPlayer::positionChanged, this, &ArchivePlayerWidget::positionChanged,
            Qt::QueuedConnection);

    const int frameWidth = ui->extendedPreviewImageView->maximumHeight() * 16 / 9;
    ui->extendedPreviewImageView->setMaximumWidth(qMax(1, archive.info.extendedPreviewFrameCount)
                                                  * frameWidth);
    connect(manager, &GlobalManager::loadedImageForUrl, this, [this](const QUrl &url, const QImage &image) {
        if (url == QUrl(this->archive.extendedPreviewUrl))
            ui->extendedPreviewImageView->setPixmap(QPixmap::fromImage(image));
    });
    if (!archive.extendedPreviewUrl.isEmpty())
        manager->loadImage(QUrl(archive.extendedPreviewUrl));

    connect(ui->playButton, &QToolButton::clicked, this, &ArchivePlayerWidget::playClicked);
    connect(ui->timeSlider, &QSlider::sliderPressed, this, [this] { isDraggingSlider = true; });
    connect(ui->timeSlider, &QSlider::sliderReleased, this, [this] {
        isDraggingSlider = false;
        player->seek(ui->timeSlider->value());
    });
    connect(ui->toolButton, &QToolButton::clicked, this,
            [this] { showContextMenu(ui->toolButton->mapToGlobal(ui->toolButton->rect().center())); });
    updatePlayIcon();
}

ArchivePlayerWidget::~ArchivePlayerWidget()
{
    if (streamTimer)
        streamTimer->stop();
    player->stop();
    player->removeVideoRenderer(renderer);
    delete ui;
}

QString ArchivePlayerWidget::timeFormat(qint64 durationMs)
{
    return durationMs > 3632400 ? QStringLiteral("HH:mm:ss") : QStringLiteral("mm:ss");
}

void ArchivePlayerWidget::start()
{
    player->play(archive.webVideoUrl);
}

void ArchivePlayerWidget::stop()
{
    disconnect(m_settingsConnection);
    if (streamTimer)
        streamTimer->stop();
    m_resumeAt = -1;
    player->stop();
    emit stopped();
}

void ArchivePlayerWidget::applySettings(const PlayerSettings &newSettings)
{
    settings = newSettings;
    if (!player->isPlaying())
        return;
    player->setColorSpace(OrvaneAV::ColorSpace(GlobalManager::colorSpaceForProfile(settings.colorProfile)));
    player->setColorRange(OrvaneAV::ColorRange(GlobalManager::colorRangeForIndex(settings.colorRange)));
    player->audio()->setMute(settings.muted);
}

void ArchivePlayerWidget::updatePlayIcon()
{
    const bool playing = player->isPlaying() && !player->isPaused();
    ui->playButton->setIcon(QIcon(playing ? QStringLiteral("://pause.png") : QStringLiteral("://play.png")));
    ui->playButton->setToolTip(playing ? tr("Pause") : tr("Play"));
}

void ArchivePlayerWidget::playerStateChanged(AVPlayer::State state)
{
    updatePlayIcon();
    if (state == AVPlayer::PlayingState) {
        player->audio()->setVolume(30.0);
        ui->timeSlider->setRange(int(player->mediaStartPosition()),
                                 int(qMin<qint64>(player->mediaStopPosition(), INT_MAX)));
        const QString format = timeFormat(player->duration());
        ui->totalTimeLabel->setText(QStringLiteral("/ ")
                                    + QTime(0, 0).addMSecs(int(player->duration())).toString(format));
        startStreamTimer();
        applySettings(settings);
        player->setOverlayText(overlayText);
        m_retryMs = 1000;
        if (m_resumeAt > 0 && player->isSeekable())
            player->seek(m_resumeAt);
        m_resumeAt = -1;
    } else if (state == AVPlayer::StoppedState) {
        player->seek(0);
        ui->timeSlider->setValue(ui->timeSlider->minimum());
        showPosition(0);
        if (streamTimer)
            streamTimer->stop();
    }
    ui->headerWidget->raise();
}

void ArchivePlayerWidget::positionChanged(qint64 position)
{
    if (player->isPaused())
        return;
    m_lastPosition = position;
    if (player->isSeekable() && !isDraggingSlider)
        ui->timeSlider->setValue(int(qMin<qint64>(position, INT_MAX)));
    showPosition(position);
    // Positions arrive a few times a second, so the last one before the end may
    // be a frame or two short of the duration: a quarter second counts as the end.
    if (player->duration() > 0 && player->duration() - position <= 250) {
        // The end: back to the start, waiting there.
        player->seek(player->mediaStartPosition());
        player->pause(true);
        updatePlayIcon();
    }
    ui->controlsContainer->update();
}

void ArchivePlayerWidget::showPosition(qint64 position)
{
    ui->timeLabel->setText(QTime(0, 0).addMSecs(int(position)).toString(timeFormat(player->duration())));
}

void ArchivePlayerWidget::playClicked()
{
    if (player->state() == AVPlayer::StoppedState)
        start();
    else
        player->pause(!player->isPaused());
    updatePlayIcon();
}

void ArchivePlayerWidget::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space: playClicked(); return;
    case Qt::Key_Left: player->seek(qMax<qint64>(0, player->position() - 5000)); return;
    case Qt::Key_Right: player->seek(qMin(player->duration(), player->position() + 5000)); return;
    default: QWidget::keyPressEvent(event);
    }
}

void ArchivePlayerWidget::showContextMenu(const QPoint &globalPosition)
{
    delete menu;
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("playerMenu"));
    menu->setFixedWidth(120);
    menu->setStyleSheet(QStringLiteral("background-color: %1; color: white;")
                            .arg(Theme::styleColor(Theme::popupCellBackground)));
    const bool muted = player->audio()->isMute();
    menu->addAction(muted ? tr("Unmute") : tr("Mute"), this,
                    [this, muted] { player->audio()->setMute(!muted); });
    menu->addAction(tr("Display Settings"), this, [this] { emit showPlayerSettings(archive); });
    menu->popup(globalPosition - QPoint(100, 0));
}

void ArchivePlayerWidget::handleError(const OrvaneAV::AVError &error)
{
    qDebug() << "QtAV Error:" << error.string();
    if (error.error() != OrvaneAV::AVError::NetworkError)
        return;
    GlobalManager *manager = GlobalManager::sharedInstance();
    for (const Archive &known : manager->getAllSharedArchives()) {
        if (known.id != archive.id)
            continue;
        manager->setArchiveViewedInWorkspace(known, space);
        archive = known;
        // Not at once: with the media host down that would be a tight loop.
        if (m_resumeAt < 0)
            m_resumeAt = m_lastPosition;
        const int pause = m_retryMs;
        m_retryMs = qMin(m_retryMs * 2, longestRetryMs);
        QTimer::singleShot(pause, this, [this] {
            if (m_resumeAt >= 0 && !player->isPlaying())
                player->play(archive.webVideoUrl);
        });
        return;
    }
}

void ArchivePlayerWidget::startStreamTimer()
{
    if (!streamTimer)
        streamTimer = new QTimer(this);
    else
        streamTimer->stop();
    disconnect(streamTimer, &QTimer::timeout, this, nullptr);
    connect(streamTimer, &QTimer::timeout, this, &ArchivePlayerWidget::streamTimerTick);
    streamTimer->start(1000);
}

void ArchivePlayerWidget::streamTimerTick()
{
    if (player->isPlaying()) {
        const OrvaneAV::Statistics statistics = player->statistics();
        fileUsageBytes += statistics.video.bit_rate / 8 + statistics.audio.bit_rate / 8;
    }
    if (ticks % 15 == 0)
        sendStreamInfo();
    ++ticks;
}

void ArchivePlayerWidget::sendStreamInfo()
{
    GlobalManager *manager = GlobalManager::sharedInstance();
    const auto table = manager->getCompanyShares();
    for (const QVector<CompanyShare> &shares : table) {
        for (const CompanyShare &share : shares) {
            if (share.companySlug != manager->getCompanySlug())
                continue;
            // The service takes a 32-bit count; the rest goes with the next report.
            const qint64 sent = qMin<qint64>(fileUsageBytes, INT_MAX);
            disconnect(m_reportConnection);
            m_reportConnection = connect(framework, &QtOVCoreAPIFramework::gotStreamViewResponse, this,
                                         [this, sent](const QString &error) {
                                             disconnect(m_reportConnection);
                                             if (error.isEmpty())
                                                 fileUsageBytes = qMax<qint64>(0, fileUsageBytes - sent);
                                             else
                                                 qDebug() << "Stream View Error: " << error;
                                         });
            if (sent > 0) {
                qDebug() << "Sending archive view with" << sent << "bytes";
                framework->sendStreamView(manager->getCompanySlug(), true, archive.id, share.id.toInt(),
                                          int(sent));
            }
            return;
        }
    }
}

void ArchivePlayerWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    handleSize();
}

void ArchivePlayerWidget::handleSize()
{
    const int w = width();
    const int h = height();
    ui->playerContainer->setGeometry(0, 0, w, qMax(0, h - controlsHeight));
    ui->headerWidget->setGeometry(0, 0, w, headerHeight);
    ui->controlsContainer->setGeometry(0, qMax(0, h - controlsHeight), w, controlsHeight);
    ui->headerWidget->raise();
}
