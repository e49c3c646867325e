#include "session/globalmanager.h"

#include "ui/roundimage.h"

#include "deploymenthosts.h"
#include "deploymentoverride.h"
#include "qtovcoreapiframework.h"
#include "session/settings.h"
#include "session/tokenstore.h"

#include <QDebug>
#include <QException>
#include <QNetworkReply>
#include <QTimer>

namespace {

const QString serviceSlug = QStringLiteral("otv");

struct ColourProfile
{
    const char *text;
    int colorSpace; // the player's colour space number
};

// Colour profiles offered for a feed and the player colour space of each.
const ColourProfile colourProfiles[] = {
    {"Auto", 0},          {"SDR Rec.709 Gamma", 4}, {"SDR Rec.2020 Gamma", 6},
    {"HDR P3-D65 PQ", 7}, {"HDR Rec.2020 PQ", 8},   {"HDR Rec.2020 HLG", 9},
};
const char *const colourRanges[] = {"Auto", "Legal", "Full"};

} // namespace

GlobalManager *GlobalManager::sharedInstance()
{
    static GlobalManager *instance = new GlobalManager();
    return instance;
}

GlobalManager::GlobalManager()
    : m_companySlug(Settings::sharedInstance()->getCompanySlug())
    , accessManager(new QNetworkAccessManager(this))
    , imageCache(imageCacheKilobytes)
    , archivesMarkedInWorkspaces(Settings::sharedInstance()->loadArchivesMarkedInWorkspaces())
    , recentlyViewed(Settings::sharedInstance()->loadArchiveInWorkspaceViewDate())
{
    connect(this, &GlobalManager::loadedImageForUrl, this, &GlobalManager::answerPreviewWaiters);
}

// ---- Signed-in state and selection -------------------------------------------------

void GlobalManager::setFramework(QtOVCoreAPIFramework *framework)
{
    m_framework = framework;
}

void GlobalManager::setCompanyShares(const QMap<QString, QVector<CompanyShare>> &shares)
{
    m_companyShares = shares;
}

bool GlobalManager::hasFramework() const
{
    if (!m_framework)
        qWarning() << "NO FRAMEWORK";
    return m_framework != nullptr;
}

void GlobalManager::loadCompanyShares()
{
    if (!hasFramework())
        return;
    disconnect(m_sharesConnection);
    m_sharesConnection
        = connect(m_framework, &QtOVCoreAPIFramework::companySharesGotten, this,
                  [this](const QMap<QString, QVector<CompanyShare>> &shares, const QString &error) {
                      if (error.isEmpty())
                          m_companyShares = shares;
                      emit companySharesLoadedWithError(error);
                  });
    m_framework->getCompanyShares(serviceSlug);
}

void GlobalManager::setCompanySlug(const QString &slug)
{
    m_companySlug = slug;
    Settings::sharedInstance()->setCompanySlug(slug);
}

QString GlobalManager::currentCompanyName() const
{
    for (const QVector<CompanyShare> &shares : m_companyShares) {
        for (const CompanyShare &share : shares) {
            if (share.companySlug == m_companySlug)
                return share.companyName;
        }
    }
    return QString();
}

void GlobalManager::setSharedWorkspaces(const QVector<SharedWorkspace> &workspaces)
{
    m_sharedWorkspaces = workspaces;
    for (const SharedWorkspace &workspace : workspaces)
        loadArchiveImages(workspace.name);
}

void GlobalManager::loadAllSharedSources()
{
    if (m_companySlug.isEmpty()) {
        emit sharedSourcesLoadedWithError(QStringLiteral("No company selected"));
        return;
    }
    if (!hasFramework())
        return;
    disconnect(m_workspacesConnection);
    m_workspacesConnection
        = connect(m_framework, &QtOVCoreAPIFramework::gotSharedWorkspaces, this,
                  [this](const QVector<SharedWorkspace> &workspaces, const QString &error) {
                      setSharedWorkspaces(workspaces);
                      emit sharedSourcesLoadedWithError(error);
                  });
    m_framework->getSharedWorkspaces(m_companySlug, serviceSlug);
}

void GlobalManager::setSharedStream(const SharedStream &stream)
{
    m_sharedStream = stream;
    rememberPlaying(stream.id, stream.name, false);
}

void GlobalManager::setArchive(const Archive &archive)
{
    m_archive = archive;
    rememberPlaying(archive.id, archive.name, true);
}

// What is playing, kept in the store; an empty choice leaves the store alone.
void GlobalManager::rememberPlaying(const QString &id, const QString &name, bool isArchive)
{
    if (id.isEmpty())
        return;
    Settings *settings = Settings::sharedInstance();
    settings->setSharedStreamID(id);
    settings->setSelectedStream(name);
    settings->setDevice(name);
    settings->setPlayingArchive(isArchive);
}

bool GlobalManager::isPlayingArchive() const
{
    return Settings::sharedInstance()->getPlayingArchive();
}

void GlobalManager::clearAll()
{
    Settings *settings = Settings::sharedInstance();
    TokenStore::sharedInstance()->save(QString());
    settings->setDevice(QString());
    settings->setSelectedStream(QString());
    settings->setSharedStreamID(QString());
    settings->setSharedWorkspaceID(QString());
    settings->setSelectedStreamUrl(QString());
    settings->setPlayingArchive(false);
    setSharedStream(SharedStream());
    setSharedWorkspaces({});
    setCompanyShares({});
    setCompanySlug(QString());
    setArchive(Archive());
}

// ---- Catalogue views -------------------------------------------------------------------

QVector<Camera> GlobalManager::getSharedCamerasForSpace(const SharedWorkspace &workspace,
                                                        bool filterEmptyCameras) const
{
    QVector<Camera> cameras;
    QSet<QString> taken;
    for (const Camera &camera : workspace.sharedCameras) {
        if (taken.contains(camera.id) || (filterEmptyCameras && !camera.hasStream()))
            continue;
        taken.insert(camera.id);
        cameras.append(camera);
    }
    return cameras;
}

QVector<Camera> GlobalManager::getAllSharedCameras() const
{
    QVector<Camera> cameras;
    for (const SharedWorkspace &workspace : m_sharedWorkspaces)
        cameras += getSharedCamerasForSpace(workspace, false);
    return cameras;
}

namespace {

// The items of every workspace in order, each id taken once (first one wins).
template<typename Item>
QVector<Item> uniqueById(const QVector<SharedWorkspace> &workspaces, QVector<Item> SharedWorkspace::*items)
{
    QVector<Item> result;
    QSet<QString> taken;
    for (const SharedWorkspace &workspace : workspaces) {
        for (const Item &item : workspace.*items) {
            if (!taken.contains(item.id)) {
                taken.insert(item.id);
                result.append(item);
            }
        }
    }
    return result;
}

} // namespace

QVector<SharedStream> GlobalManager::getAllSharedSources() const
{
    return uniqueById(m_sharedWorkspaces, &SharedWorkspace::sharedStreams);
}

QVector<Archive> GlobalManager::getAllSharedArchives() const
{
    return uniqueById(m_sharedWorkspaces, &SharedWorkspace::sharedRecords);
}

void GlobalManager::loadAllSharedArchives(const SharedWorkspace &workspace, const QVector<QString> &cameraIds,
                                          int offset, const QDate &firstDate, const QDate &lastDate)
{
    if (!hasFramework())
        return;
    disconnect(m_archivesConnection);
    m_archivesConnection = connect(m_framework, &QtOVCoreAPIFramework::gotSharedArchives, this,
                                   &GlobalManager::gotSharedArchives);
    const QVector<QDate> dates
        = firstDate.isValid() && lastDate.isValid() ? QVector<QDate>{firstDate, lastDate} : QVector<QDate>();
    m_framework->getSharedArchives(m_companySlug, workspace.id, recordingsPageSize, offset, {}, dates,
                                   cameraIds);
}

// ---- Images --------------------------------------------------------------------------------

void GlobalManager::loadImage(const QUrl &url)
{
    if (const QImage *cached = imageCache.object(url)) {
        emit loadedImageForUrl(url, *cached);
        return;
    }
    // One download per address: the cells that show the same picture all hear
    // the answer of the one request.
    if (m_loadingImages.contains(url))
        return;
    m_loadingImages.insert(url);
    QNetworkRequest request(url);
    DeploymentOverride::instance().prepare(request);
    request.setTransferTimeout(imageSilenceLimitMs);
    QNetworkReply *reply = accessManager->get(request);
    // A picture arrives whole within the limits or not at all: a server that
    // trickles or sends without end is cut off.
    QTimer::singleShot(QtOVCoreAPIFramework::defaultRequestTimeLimit, reply, [reply] {
        if (!reply->isFinished())
            reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maximumImageBytes || total > maximumImageBytes) {
            qWarning() << "Picture larger than" << maximumImageBytes << "bytes:" << reply->url().path();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        m_loadingImages.remove(url);
        if (reply->error() != QNetworkReply::NoError) {
            // Not cached: the next request for the address tries again.
            if (reply->error() == QNetworkReply::ConnectionRefusedError)
                qWarning() << QtOVCoreAPIFramework::networkFailureText();
            else
                qWarning() << reply->error();
            return;
        }
        const QImage image = QImage::fromData(reply->readAll(), "jpg");
        // Costed in kilobytes: the cache keeps the most recent pictures up to its limit.
        const int cost = int(qMin<qint64>(image.sizeInBytes() / 1024 + 1, imageCacheKilobytes));
        imageCache.insert(url, new QImage(image), cost);
        emit loadedImageForUrl(url, image);
    });
}

void GlobalManager::loadPreview(const Archive &archive)
{
    // The recording waits for its picture; one listener (made with the manager)
    // answers every waiting recording. A listener per call, attached for good,
    // made every picture answer every earlier call: with thousands of recordings
    // paging slowed to a crawl.
    const QUrl previewUrl(archive.previewUrl);
    m_previewWaiters[previewUrl].insert(archive.id);
    loadImage(previewUrl);
}

void GlobalManager::answerPreviewWaiters(const QUrl &url, const QImage &image)
{
    const auto waiting = m_previewWaiters.find(url);
    if (waiting == m_previewWaiters.end())
        return;
    const QSet<QString> ids = waiting.value();
    m_previewWaiters.erase(waiting);
    for (const QString &id : ids)
        emit archivePreviewLoadedForId(id, image.copy());
}

void GlobalManager::loadArchiveImages(const QString &workspaceName)
{
    for (const SharedWorkspace &workspace : qAsConst(m_sharedWorkspaces)) {
        if (workspace.name != workspaceName)
            continue;
        for (const Archive &archive : workspace.sharedRecords) {
            if (archive.previewImage.isNull() && archive.extendedPreviewImage.isNull()
                && archive.audioPreviewImage.isNull())
                loadPreview(archive);
        }
        return;
    }
}

void GlobalManager::loadCompanyImage(const QString &slug, int size, std::function<void(QImage)> callback)
{
    Q_UNUSED(size)
    const QVector<CompanyShare> shares = m_companyShares.value(slug);
    if (shares.isEmpty() || shares.first().companyImage.isEmpty()) {
        callback(QImage());
        return;
    }
    const bool staging = m_framework && m_framework->getServerEnvironment()
        && m_framework->getServerEnvironment()->idEndpoint() == CoreStaging().idEndpoint();
    const QString base = staging
        ? QStringLiteral("https://%1:8443/api/v1.1").arg(DeploymentHosts::stagingIdentity())
        : QStringLiteral("https://%1/api/v1.1").arg(DeploymentHosts::productionIdentity());
    const QUrl imageUrl(QStringLiteral("%1/images/%2").arg(base, shares.first().companyImage));

    auto *listener = new QObject(this);
    connect(this, &GlobalManager::loadedImageForUrl, listener,
            [imageUrl, callback, listener](const QUrl &url, const QImage &image) {
                if (url != imageUrl)
                    return;
                callback(roundImage(image));
                listener->deleteLater();
            });
    loadImage(imageUrl);
}

// ---- Marked and recently viewed recordings ----------------------------------------------

void GlobalManager::markArchiveInWorkspace(const Archive &archive, const SharedWorkspace &workspace)
{
    archivesMarkedInWorkspaces[workspace.id].insert(archive.id);
    Settings::sharedInstance()->saveMarkedRecordings(archivesMarkedInWorkspaces);
}

void GlobalManager::unmarkArchiveInWorkspace(const Archive &archive, const SharedWorkspace &workspace)
{
    archivesMarkedInWorkspaces[workspace.id].remove(archive.id);
    Settings::sharedInstance()->saveMarkedRecordings(archivesMarkedInWorkspaces);
}

bool GlobalManager::isArchiveMarkedInWorkspace(const Archive &archive, const SharedWorkspace &workspace) const
{
    return archivesMarkedInWorkspaces.value(workspace.id).contains(archive.id);
}

QVector<Archive> GlobalManager::getAllMarkedArchives(const SharedWorkspace &workspace) const
{
    const QSet<QString> marked = archivesMarkedInWorkspaces.value(workspace.id);
    QVector<Archive> archives;
    for (const Archive &archive : workspace.sharedRecords) {
        if (marked.contains(archive.id))
            archives.append(archive);
    }
    return archives;
}

void GlobalManager::setArchiveViewedInWorkspace(const Archive &archive, const SharedWorkspace &workspace)
{
    QVector<Archive> viewed = recentlyViewed.value(workspace.id);
    for (int i = 0; i < viewed.size(); ++i) {
        if (viewed.at(i).id == archive.id) {
            viewed.removeAt(i);
            break;
        }
    }
    viewed.prepend(archive);
    while (viewed.size() > 10)
        viewed.removeLast();
    recentlyViewed.insert(workspace.id, viewed);
    Settings::sharedInstance()->saveRecentlyViewed(recentlyViewed);
}

QVector<Archive> GlobalManager::getAllRecentlyViewedArchives(const SharedWorkspace &workspace) const
{
    return recentlyViewed.value(workspace.id).mid(0, 10);
}

// ---- Player settings and colour tables ----------------------------------------------------

PlayerSettings GlobalManager::getPlayerSettings(const SharedWorkspace &workspace,
                                                const QString &streamId) const
{
    return Settings::sharedInstance()->getPlayerSettings(workspace, streamId);
}

void GlobalManager::setPlayerSettings(const SharedWorkspace &workspace, const QString &streamId,
                                      const PlayerSettings &settings)
{
    Settings::sharedInstance()->setPlayerSettings(workspace, streamId, settings);
    emit playerSettingsChanged(workspace, streamId, settings);
}

int GlobalManager::numColorSpaces()
{
    return int(std::size(colourProfiles));
}

QString GlobalManager::colorSpaceText(int index)
{
    // Outside the table (a stored or mistaken number) reads as the first entry.
    return QString::fromLatin1(colourProfiles[index >= 0 && index < numColorSpaces() ? index : 0].text);
}

int GlobalManager::colorSpaceForProfile(int profile)
{
    return profile >= 0 && profile < numColorSpaces() ? colourProfiles[profile].colorSpace : 0;
}

int GlobalManager::numColorRanges()
{
    return int(std::size(colourRanges));
}

QString GlobalManager::colorRangeText(int index)
{
    return QString::fromLatin1(colourRanges[index >= 0 && index < numColorRanges() ? index : 0]);
}

int GlobalManager::colorRangeForIndex(int index)
{
    return index == 0 || index == 1 ? index : 2;
}

// ---- Share permissions ---------------------------------------------------------------------------

bool GlobalManager::sharePermission(bool CompanyShare::*flag, bool logRefusals) const
{
    const auto refuse = [logRefusals](const char *why) {
        if (logRefusals)
            qWarning().noquote() << why;
        return false;
    };
    if (m_companySlug.isEmpty())
        return refuse("No company slug!");
    const QString shareId = Settings::sharedInstance()->getSharedWorkspaceID();
    if (shareId.isEmpty())
        return refuse("No workspace id!");
    if (m_companyShares.isEmpty())
        return refuse("No company shares!");
    if (!m_companyShares.contains(m_companySlug))
        return refuse("Shares don't contain slug!");
    for (const CompanyShare &share : m_companyShares.value(m_companySlug)) {
        if (share.shareId == shareId)
            return share.*flag;
    }
    return false;
}

bool GlobalManager::shouldShowEmailOverlay() const
{
    return sharePermission(&CompanyShare::userNameOverlay, false);
}

bool GlobalManager::shouldShowTextChat() const
{
    return sharePermission(&CompanyShare::textChatEnabled, true);
}

bool GlobalManager::shouldShowVoiceChat() const
{
    return sharePermission(&CompanyShare::voiceChatEnabled, true);
}

bool GlobalManager::voiceChatOnlyListenAllowed() const
{
    return sharePermission(&CompanyShare::onlyListenAllowed, false);
}

bool GlobalManager::textChatOnlyReadAllowed() const
{
    return sharePermission(&CompanyShare::onlyReadAllowed, false);
}

// ---- Realtime snapshots -------------------------------------------------------------------------

QUrl GlobalManager::getSocketIoBaseUrl() const
{
    ServerEnvironment *environment = m_framework ? m_framework->getServerEnvironment() : nullptr;
    const QUrl current = environment ? environment->restEndpoint() : CoreProduction().restEndpoint();
    QString host = DeploymentHosts::productionRealtime();
    int port = 443;
    if (current == CoreStaging().restEndpoint()) {
        host = DeploymentHosts::stagingCore();
    } else if (current == OVTVStaging().restEndpoint()) {
        host = DeploymentHosts::productStaging();
        port = 9443;
    } else if (current == OVTVDev().restEndpoint()) {
        host = DeploymentHosts::developmentCore();
        port = 9443;
    }
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPort(port);
    url.setPath(QStringLiteral("/socket.io"));
    return url;
}

void GlobalManager::startUpdatingSnapshots()
{
    if (!hasFramework())
        return;
    try {
        m_framework->enableSIODebug();
        m_framework->connectSIO(getSocketIoBaseUrl().toString(), m_companySlug);
        m_framework->addPrintSIOHandler();
        // Every earlier receiver of the previews is dropped: the snapshots of the
        // session reach the views through this object alone.
        disconnect(m_framework, &QtOVCoreAPIFramework::encoderPreviewUpdated, nullptr, nullptr);
        m_previewConnection = connect(m_framework, &QtOVCoreAPIFramework::encoderPreviewUpdated, this,
                                      &GlobalManager::encoderPreviewUpdated);
        for (const Camera &camera : getAllSharedCameras()) {
            if (!camera.encoderSid.isEmpty())
                m_framework->updateEncoderPreview(camera.encoderSid);
        }
        m_framework->setConnectionStatusHandler(m_connHandler);
    } catch (const QException &exception) {
        qWarning() << "Caught exception: " << exception.what();
    }
}

void GlobalManager::encoderPreviewUpdated(QString sid, QByteArray data)
{
    const QByteArray picture = QByteArray::fromBase64(data);
    for (SharedWorkspace &workspace : m_sharedWorkspaces) {
        for (Camera &camera : workspace.sharedCameras) {
            if (camera.encoderSid == sid) {
                camera.sharedStream.previewImage = picture;
                emit updatedSnapshot(camera);
                break;
            }
        }
    }
}

void GlobalManager::stopUpdatingSnapshots()
{
    if (!m_framework)
        return;
    for (const Camera &camera : getAllSharedCameras())
        m_framework->stopEncoderPreview(camera.encoderSid);
    disconnectSIO();
}

void GlobalManager::disconnectSIO()
{
    m_framework->setConnectionStatusHandler([](bool) {});
    m_framework->disconnectSIO();
}
