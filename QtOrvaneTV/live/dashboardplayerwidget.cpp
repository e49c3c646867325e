#include "live/dashboardplayerwidget.h"
#include "ui_dashboardplayerwidget.h"

#include "openglwidgetrenderer.h"
#include "ui/aspectratiosingleitemlayout.h"
#include "ui/theme.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

using OrvaneAV::AVPlayer;

namespace {

constexpr int headerHeight = 38;
// A lost stream is opened again after a pause that grows from 1 s to 10 s.
constexpr int firstRetryMs = 1000;
constexpr int longestRetryMs = 10000;

} // namespace

DashboardPlayerWidget::DashboardPlayerWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::DashboardPlayerWidget)
{
    ui->setupUi(this);
    renderer = new OrvaneAV::OpenGLWidgetRenderer(ui->contentContainer);
    renderer->setObjectName(QStringLiteral("videoRenderer"));
    static_cast<QGridLayout *>(ui->contentContainer->layout())->addWidget(renderer->widget(), 0, 0);
    imageLayout = new AspectRatioSingleItemLayout(ui->backgroundContainer, 16.0 / 9.0);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    backgroundImageView = new QLabel(ui->backgroundContainer);
    backgroundImageView->setObjectName(QStringLiteral("backgroundImageView"));
    backgroundImageView->setScaledContents(true);
    backgroundImageView->setAlignment(Qt::AlignCenter);
    backgroundImageView->resize(ui->contentContainer->size());
    imageLayout->addWidget(backgroundImageView);
    ui->nameLabel->clear();
    ui->horizontalWidget->setAttribute(Qt::WA_StyledBackground);
    connect(ui->toolButton, &QToolButton::clicked, this, &DashboardPlayerWidget::showMenu);
    showOfflineLook();
}

DashboardPlayerWidget::~DashboardPlayerWidget()
{
    m_isShowingLoadingAnimation = false;
    if (player)
        player->removeVideoRenderer(renderer);
    delete ui;
}

DashboardPlayerWidget::StreamStatus DashboardPlayerWidget::statusForStream(const SharedStream &stream)
{
    if (stream.id.isEmpty() || stream.status == QLatin1String("offline"))
        return Offline;
    if (stream.previewImage.isEmpty())
        return Online;
    return OnlinePlaying;
}

QString DashboardPlayerWidget::streamAddress(const SharedStream &stream, const PlayerSettings &settings)
{
    if (stream.sharedStreamSources.isEmpty())
        return QString();
    SharedStreamSource source = stream.sharedStreamSources.first();
    const QString wanted = stream.secured ? QStringLiteral("srt") : QStringLiteral("mpeg-ts");
    for (const SharedStreamSource &candidate : stream.sharedStreamSources)
        if (candidate.streamProtocol == wanted)
            source = candidate;
    if (stream.secured) {
        // Percent-encoded: a passphrase with a blank, "&", "#" or "%" would
        // otherwise break the address.
        return QStringLiteral("srt://%1:%2/?passphrase=%3&latency=%4")
            .arg(source.host)
            .arg(source.port)
            .arg(QString::fromLatin1(QUrl::toPercentEncoding(source.passphrase)))
            .arg(settings.delay);
    }
    if (source.port <= 0)
        return QStringLiteral("tcp://%1").arg(source.host);
    return QStringLiteral("tcp://%1:%2").arg(source.host).arg(source.port);
}

void DashboardPlayerWidget::playSourceUsingPlayer(const Camera &camera, AVPlayer *newPlayer,
                                                  const PlayerSettings &settings)
{
    if (player) {
        disconnect(m_stateConnection);
        player->removeVideoRenderer(renderer);
    }
    m_address = streamAddress(camera.sharedStream, settings);
    m_retryMs = firstRetryMs;
    m_wantsVideo = !m_address.isEmpty();
    if (newPlayer && newPlayer->isPlaying()) {
        showPlayingLook();
    } else {
        showOfflineLook();
        if (newPlayer && !m_address.isEmpty())
            newPlayer->play(m_address);
    }
    if (!(newPlayer && newPlayer->isPlaying())) {
        switch (statusForStream(camera.sharedStream)) {
        case Offline: showStill(QStringLiteral(":/CameraOffline.png")); break;
        case Online: startLoadingAnimation(); break;
        case OnlinePlaying: {
            QPixmap preview;
            if (preview.loadFromData(camera.sharedStream.previewImage))
                showStill(preview);
            else
                showStill(QStringLiteral(":/NoPreview.png"));
            break;
        }
        }
    }
    ui->nameLabel->raise();
    ui->nameLabel->setText(camera.name);
    ui->nameLabel->repaint();

    m_currentCamera = camera;
    player = newPlayer;
    if (player) {
        player->addVideoRenderer(renderer);
        m_stateConnection
            = connect(player, &AVPlayer::stateChanged, this, &DashboardPlayerWidget::followState);
    }
}

void DashboardPlayerWidget::followState(AVPlayer::State state)
{
    if (state == AVPlayer::PlayingState || state == AVPlayer::PausedState) {
        m_retryMs = firstRetryMs;
        showPlayingLook();
        return;
    }
    showOfflineLook();
    if (!m_wantsVideo)
        return;
    // The stream went away: try again after a pause, for as long as this tile
    // still shows this source through this player.
    const QPointer<AVPlayer> lost = player;
    const QString address = m_address;
    QTimer::singleShot(m_retryMs, this, [this, lost, address] {
        if (m_wantsVideo && lost && lost == player && address == m_address && !lost->isPlaying())
            lost->play(address);
    });
    m_retryMs = qMin(m_retryMs * 2, longestRetryMs);
}

void DashboardPlayerWidget::stop()
{
    m_wantsVideo = false;
    if (!player)
        return;
    disconnect(m_stateConnection);
    if (player->isPlaying())
        player->stop();
}

bool DashboardPlayerWidget::isPlaying() const
{
    return player && player->isPlaying();
}

void DashboardPlayerWidget::setHighlighted(bool highlighted)
{
    ui->contentContainer->setStyleSheet(
        highlighted ? QStringLiteral("QWidget#contentContainer { border: 1px solid %1; }")
                          .arg(Theme::styleColor(Theme::appOrange))
                    : QString());
    m_highlighted = highlighted;
}

// ---- Looks -------------------------------------------------------------------------------

void DashboardPlayerWidget::showStill(const QString &resource)
{
    m_stillImage = resource;
    backgroundImageView->setPixmap(QPixmap(resource));
}

void DashboardPlayerWidget::showStill(const QPixmap &picture)
{
    m_stillImage = QStringLiteral("preview");
    backgroundImageView->setPixmap(picture);
}

void DashboardPlayerWidget::showOfflineLook()
{
    renderer->widget()->hide();
    showStill(QStringLiteral(":/CameraOffline.png"));
    ui->backgroundContainer->show();
    ui->backgroundContainer->raise();
    ui->horizontalWidget->repaint();
    ui->horizontalWidget->raise();
}

void DashboardPlayerWidget::showPlayingLook()
{
    m_isShowingLoadingAnimation = false;
    renderer->widget()->show();
    renderer->widget()->raise();
    showStill(QStringLiteral(":/BlackBackground.png"));
    m_stillImage.clear();
    ui->backgroundContainer->hide();
    ui->horizontalWidget->repaint();
    ui->horizontalWidget->raise();
}

void DashboardPlayerWidget::startLoadingAnimation()
{
    if (m_isShowingLoadingAnimation)
        return;
    m_isShowingLoadingAnimation = true;
    showStill(QStringLiteral(":/LoadingAnimation1.png"));
    QTimer::singleShot(200, this, [this] { animationStep(2); });
}

void DashboardPlayerWidget::animationStep(int frame)
{
    if (!m_isShowingLoadingAnimation)
        return;
    // Frame 2 shows for 125 ms, frame 3 for 375 ms, frame 1 for 125 ms.
    static const int durations[] = {0, 125, 125, 375};
    showStill(QStringLiteral(":/LoadingAnimation%1.png").arg(frame));
    const int next = frame % 3 + 1;
    QTimer::singleShot(durations[frame], this, [this, next] { animationStep(next); });
}

// ---- Input and menu ----------------------------------------------------------------------

void DashboardPlayerWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (!ui->toolButton->geometry().contains(ui->toolButton->parentWidget()->mapFrom(this, event->pos())))
        emit selected(m_currentCamera.id);
    QWidget::mouseReleaseEvent(event);
}

void DashboardPlayerWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit fullScreenRequested(m_currentCamera);
    QWidget::mouseDoubleClickEvent(event);
}

void DashboardPlayerWidget::showMenu()
{
    delete menu;
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("tileMenu"));
    menu->setFixedWidth(120);
    menu->setStyleSheet(QStringLiteral("background-color: %1; color: white;")
                            .arg(Theme::styleColor(Theme::popupCellBackground)));
    // Before any player was handed in, the tile offers to mute (the stored
    // default of a live feed is muted, so that is what the person changes).
    const bool muted = player ? player->audio()->isMute() : false;
    const Camera camera = m_currentCamera;
    menu->addAction(muted ? tr("Unmute") : tr("Mute"), this,
                    [this, camera, muted] { emit muteChanged(camera, !muted); });
    menu->addAction(tr("Display Settings"), this, [this, camera] { emit showPlayerSettings(camera); });
    const QPoint centre = ui->toolButton->rect().center();
    menu->popup(ui->toolButton->mapToGlobal(centre - QPoint(100, 0)));
}

void DashboardPlayerWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    ui->horizontalWidget->setGeometry(0, 0, width(), headerHeight);
    ui->backgroundContainer->setGeometry(0, headerHeight, ui->contentContainer->width(),
                                         qMax(0, ui->contentContainer->height() - headerHeight / 2));
    imageLayout->setGeometry(QRect(QPoint(0, 0), ui->backgroundContainer->size()));
}
