#ifndef SETTINGS_H
#define SETTINGS_H

#include "archive.h"
#include "session/playersettings.h"
#include "sharedworkspace.h"

#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QDataStream>
#include <QSettings>

#include <vector>
#include <QString>
#include <QVector>

// How many live feeds the multiview dashboard shows.
enum LayoutPreference { OneUp = 0, TwoUp = 1, ThreeUp = 2, FourUp = 3 };

// Recording ids marked for later, per workspace id.
using MarkedArchives = QMap<QString, QSet<QString>>;
// Recently viewed recordings, newest first, per workspace id.
using ViewedArchives = QMap<QString, QVector<Archive>>;
// Player settings per workspace id, then per feed or recording id.
using PlayerSettingsByWorkspace = QMap<QString, QMap<QString, PlayerSettings>>;

Q_DECLARE_METATYPE(LayoutPreference)
Q_DECLARE_METATYPE(MarkedArchives)
Q_DECLARE_METATYPE(ViewedArchives)

// The recently viewed lists are read without trusting their stored counts: the
// toolkit's reader reserves a list's claimed size before reading it, so a damaged
// file claiming millions of recordings would exhaust memory at every start. The
// written form is the toolkit's, so stored files read as before.
QDataStream &operator>>(QDataStream &stream, ViewedArchives &viewed);
Q_DECLARE_METATYPE(PlayerSettingsByWorkspace)

// The viewer's persistent store: the session, the last selections, the layout,
// player settings, marked and recently viewed recordings. Every value is kept in
// memory and each change is written through at once.
class Settings : public QObject
{
    Q_OBJECT

public:
    static Settings *sharedInstance();

    QString getCompanySlug() const { return m_companySlug; }
    void setCompanySlug(const QString &slug);
    QString getCurrentCompanyID() const { return m_companyId; }
    void setCurrentCompanyID(const QString &id);
    QString getEmail() const { return m_email; }
    void setEmail(const QString &email);
    // The auth token's entry in the settings file, where TokenStore keeps it when
    // no secret store answers (read from the file on every call). Everything
    // else asks TokenStore.
    QString getAuthToken() const;
    void setAuthToken(const QString &token);
    bool holdsAuthToken() const;
    void removeAuthToken();
    // The settings file's path.
    QString fileName() const { return m_settings.fileName(); }
    QString getSharedWorkspaceID() const { return m_sharedWorkspaceID; }
    void setSharedWorkspaceID(const QString &id);
    QString getDevice() const { return m_device; }
    void setDevice(const QString &device);
    QString getSelectedStreamUrl() const { return m_selectedStreamUrl; }
    void setSelectedStreamUrl(const QString &url);
    QString getSelectedStream() const { return m_selectedStream; }
    void setSelectedStream(const QString &stream);
    QString getSharedStreamID() const { return m_sharedStreamID; }
    void setSharedStreamID(const QString &id);
    QString getChatFilePath() const { return m_chatFilePath; }
    void setChatFilePath(const QString &path);

    int getStreamDelay() const { return m_streamDelay; }
    void setStreamDelay(int delay);
    bool getStreamDelayAuto() const { return m_streamDelayAuto; }
    void setStreamDelayAuto(bool on);
    int getVolume() const { return m_volume; }
    void setVolume(int volume);
    bool getAudioMuted() const { return m_audioMuted; }
    void setAudioMuted(bool muted);
    bool getPlayingArchive() const { return m_playingArchive; }
    void setPlayingArchive(bool playing);
    bool getShowCamera() const { return m_showCamera; }
    void setShowCamera(bool show);
    bool getShowSound() const { return m_showSound; }
    void setShowSound(bool show);
    LayoutPreference getLayoutPreference() const { return m_layoutPref; }
    void setLayoutPref(LayoutPreference layout);

    // The stored settings, or (0, 0, false, 500, true) when there are none.
    PlayerSettings getPlayerSettings(const SharedWorkspace &workspace, const QString &resourceId) const;
    void setPlayerSettings(const SharedWorkspace &workspace, const QString &resourceId,
                           const PlayerSettings &settings);

    MarkedArchives loadArchivesMarkedInWorkspaces() const { return archivesMarkedInWorkspaces; }
    void saveMarkedRecordings(const MarkedArchives &marked);
    ViewedArchives loadArchiveInWorkspaceViewDate() const { return recentlyViewed; }
    void saveRecentlyViewed(const ViewedArchives &viewed);

    // Registers the stored types with their stream operators (done on creation).
    static void registerTypes();

signals:
    void companySlugUpdated(QString slug);

private:
    Settings();

    // One row per stored value: its key, where it lives, what it reads as when
    // absent. The loader and the setters both go through these tables.
    template<typename T>
    struct StoredValue
    {
        const char *key;
        T Settings::*member;
        T fallback;
    };
    static const std::vector<StoredValue<QString>> &storedTexts();
    static const std::vector<StoredValue<int>> &storedNumbers();
    static const std::vector<StoredValue<bool>> &storedFlags();
    template<typename T>
    static const char *keyOf(const std::vector<StoredValue<T>> &table, T Settings::*member);
    // Keeps the value and writes it under its key.
    void store(QString Settings::*member, const QString &value);
    void store(int Settings::*member, int value);
    void store(bool Settings::*member, bool value);

    template<typename T>
    T storedMap(const char *key) const;
    void write(const char *key, const QVariant &value);

    QSettings m_settings;
    QString m_companySlug;
    QString m_companyId;
    QString m_email;
    QString m_authToken;
    QString m_sharedWorkspaceID;
    QString m_device;
    QString m_selectedStreamUrl;
    QString m_selectedStream;
    QString m_sharedStreamID;
    QString m_chatFilePath;
    int m_streamDelay = 500;
    bool m_streamDelayAuto = false;
    int m_volume = 0;
    bool m_audioMuted = false;
    bool m_playingArchive = false;
    PlayerSettingsByWorkspace playerSettingsByWorkspaceAndResourceId;
    bool m_showCamera = true;
    bool m_showSound = true;
    LayoutPreference m_layoutPref = FourUp;
    MarkedArchives archivesMarkedInWorkspaces;
    ViewedArchives recentlyViewed;
};

#endif // SETTINGS_H
