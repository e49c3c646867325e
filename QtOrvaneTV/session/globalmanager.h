#ifndef GLOBALMANAGER_H
#define GLOBALMANAGER_H

#include "archive.h"
#include "camera.h"
#include "companyshare.h"
#include "session/playersettings.h"
#include "sharedstream.h"
#include "sharedworkspace.h"

#include <QDate>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QNetworkAccessManager>
#include <QCache>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <QVariant>
#include <QVector>

#include <functional>

class QtOVCoreAPIFramework;

// The viewer's model of the signed-in session: company shares, the selected
// company and its workspaces, marked and recently viewed recordings, player
// settings, downloaded images and the live preview snapshots. Views reach it
// through sharedInstance(); it lives for the whole process.
class GlobalManager : public QObject
{
    Q_OBJECT

public:
    static GlobalManager *sharedInstance();

    // Recordings are asked for in pages of this many.
    static constexpr int recordingsPageSize = 10;

    // Signed-in state and selection
    void setFramework(QtOVCoreAPIFramework *framework);
    QtOVCoreAPIFramework *framework() const { return m_framework; }
    QMap<QString, QVector<CompanyShare>> getCompanyShares() const { return m_companyShares; }
    void setCompanyShares(const QMap<QString, QVector<CompanyShare>> &shares);
    void loadCompanyShares();
    QString getCompanySlug() const { return m_companySlug; }
    void setCompanySlug(const QString &slug);
    QString currentCompanyName() const;
    QVector<SharedWorkspace> getSharedWorkspaces() const { return m_sharedWorkspaces; }
    void setSharedWorkspaces(const QVector<SharedWorkspace> &workspaces);
    void loadAllSharedSources();
    SharedStream getSharedStream() const { return m_sharedStream; }
    void setSharedStream(const SharedStream &stream);
    Archive getArchive() const { return m_archive; }
    void setArchive(const Archive &archive);
    bool isPlayingArchive() const;
    // Sign-out: forgets the session, keeps marked and viewed recordings, player
    // settings, the e-mail and the layout.
    void clearAll();

    // Catalogue views
    QVector<Camera> getAllSharedCameras() const;
    QVector<Camera> getSharedCamerasForSpace(const SharedWorkspace &workspace, bool filterEmptyCameras) const;
    QVector<SharedStream> getAllSharedSources() const;
    QVector<Archive> getAllSharedArchives() const;
    // A page of 10 recordings from the offset; arrives as gotSharedArchives.
    void loadAllSharedArchives(const SharedWorkspace &workspace, const QVector<QString> &cameraIds,
                               int offset, const QDate &firstDate, const QDate &lastDate);

    // Images, downloaded once per URL while they succeed
    void loadImage(const QUrl &url);
    void loadPreview(const Archive &archive);
    void loadArchiveImages(const QString &workspaceName);
    void loadCompanyImage(const QString &slug, int size, std::function<void(QImage)> callback);

    // Marked and recently viewed recordings, kept in the settings store
    void markArchiveInWorkspace(const Archive &archive, const SharedWorkspace &workspace);
    void unmarkArchiveInWorkspace(const Archive &archive, const SharedWorkspace &workspace);
    bool isArchiveMarkedInWorkspace(const Archive &archive, const SharedWorkspace &workspace) const;
    QVector<Archive> getAllMarkedArchives(const SharedWorkspace &workspace) const;
    void setArchiveViewedInWorkspace(const Archive &archive, const SharedWorkspace &workspace);
    QVector<Archive> getAllRecentlyViewedArchives(const SharedWorkspace &workspace) const;

    // Player settings and the colour tables
    PlayerSettings getPlayerSettings(const SharedWorkspace &workspace, const QString &streamId) const;
    void setPlayerSettings(const SharedWorkspace &workspace, const QString &streamId,
                           const PlayerSettings &settings);
    static int numColorSpaces();
    static QString colorSpaceText(int index);
    // The player's colour space number for a colour profile (0 for any other).
    static int colorSpaceForProfile(int profile);
    static int numColorRanges();
    static QString colorRangeText(int index);
    // The player's colour range number for a range index (Full for any other).
    static int colorRangeForIndex(int index);

    bool isWatermarkEnabledForCurrentCompany() const { return watermarkEnabled; }
    void setWatermarkEnabledForCurrentCompany(bool enabled) { watermarkEnabled = enabled; }

    // Permissions of the selected share
    bool shouldShowEmailOverlay() const;
    bool shouldShowTextChat() const;
    bool shouldShowVoiceChat() const;
    bool voiceChatOnlyListenAllowed() const;
    bool textChatOnlyReadAllowed() const;

    // Realtime snapshots
    QUrl getSocketIoBaseUrl() const;
    void startUpdatingSnapshots();
    void stopUpdatingSnapshots();
    void setSIOConnectionHandler(std::function<void(bool)> handler) { m_connHandler = std::move(handler); }

signals:
    void sharedSourcesLoadedWithError(QString error);
    void companySharesLoadedWithError(QString error);
    void archivePreviewLoadedForId(QString id, QImage preview);
    void updatedSnapshot(Camera camera);
    void gotSharedArchives(QVector<Archive> archives, QMap<QString, QVariant> paging, QString error);
    void playerSettingsChanged(SharedWorkspace workspace, QString streamId, PlayerSettings settings);
    void loadedImageForUrl(QUrl url, QImage image);

public slots:
    void encoderPreviewUpdated(QString sid, QByteArray data);

private:
    GlobalManager();
    // False, with a warning, while no client is set.
    bool hasFramework() const;
    void answerPreviewWaiters(const QUrl &url, const QImage &image);
    void disconnectSIO();
    void rememberPlaying(const QString &id, const QString &name, bool isArchive);
    bool sharePermission(bool CompanyShare::*flag, bool logRefusals) const;

    QMap<QString, QVector<CompanyShare>> m_companyShares;
    QVector<SharedWorkspace> m_sharedWorkspaces;
    QString m_companySlug;
    SharedStream m_sharedStream;
    Archive m_archive;
    QtOVCoreAPIFramework *m_framework = nullptr;
    QNetworkAccessManager *accessManager = nullptr;
    std::function<void(bool)> m_connHandler;
    bool watermarkEnabled = true;
    // Pictures (previews, strips, company pictures) by address, bounded.
    static constexpr int imageCacheKilobytes = 256 * 1024;
    static constexpr qint64 maximumImageBytes = 32 * 1024 * 1024;
    static constexpr int imageSilenceLimitMs = 30000;
    QCache<QUrl, QImage> imageCache;
    QSet<QUrl> m_loadingImages;  // addresses being downloaded
    QHash<QUrl, QSet<QString>> m_previewWaiters;  // recordings waiting for a preview, by its address
    QMap<QString, QSet<QString>> archivesMarkedInWorkspaces;
    QMap<QString, QVector<Archive>> recentlyViewed;
    // The client connections this object re-made for each load.
    QMetaObject::Connection m_sharesConnection;
    QMetaObject::Connection m_workspacesConnection;
    QMetaObject::Connection m_archivesConnection;
    QMetaObject::Connection m_previewConnection;
};

#endif // GLOBALMANAGER_H
