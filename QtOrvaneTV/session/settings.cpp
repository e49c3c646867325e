#include "session/settings.h"

#include "privatefiles.h"

#include <QFileInfo>

#include "session/recordstreams.h"

namespace {

const char keyCompanySlug[] = "companySlug";
const char keyCompanyId[] = "currentCompanyID";
const char keyEmail[] = "email";
const char keyAuthToken[] = "authToken";
const char keySharedWorkspaceId[] = "sharedWorkspaceID";
const char keyDevice[] = "device";
const char keySelectedStreamUrl[] = "selectedStreamUrl";
const char keySelectedStream[] = "selectedStream";
const char keySharedStreamId[] = "sharedStreamID";
const char keyChatFilePath[] = "chatFilePath";
const char keyStreamDelay[] = "streamDelay";
const char keyStreamDelayAuto[] = "streamDelayAuto";
const char keyVolume[] = "volume";
const char keyAudioMuted[] = "audioMuted";
const char keyPlayingArchive[] = "playingArchive";
const char keyPlayerSettings[] = "playerSettingsByWorkspaceAndResourceId";
const char keyShowCamera[] = "showCamera";
const char keyShowSound[] = "showSound";
const char keyLayoutPref[] = "layoutPref";
const char keyMarked[] = "archivesMarkedInWorkspaces";
const char keyRecentlyViewed[] = "recentlyViewed";

} // namespace

void Settings::registerTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<User>("User");
        qRegisterMetaTypeStreamOperators<User>("User");
        qRegisterMetaType<Company>("Company");
        qRegisterMetaTypeStreamOperators<Company>("Company");
        qRegisterMetaType<Archive>("Archive");
        qRegisterMetaTypeStreamOperators<Archive>("Archive");
        qRegisterMetaType<ArchiveInfo>("ArchiveInfo");
        qRegisterMetaTypeStreamOperators<ArchiveInfo>("ArchiveInfo");
        qRegisterMetaType<MarkedArchives>("MarkedArchives");
        qRegisterMetaTypeStreamOperators<MarkedArchives>("MarkedArchives");
        qRegisterMetaType<ViewedArchives>("ViewedArchives");
        qRegisterMetaTypeStreamOperators<ViewedArchives>("ViewedArchives");
        qRegisterMetaType<PlayerSettings>("PlayerSettings");
        qRegisterMetaTypeStreamOperators<PlayerSettings>("PlayerSettings");
        qRegisterMetaType<PlayerSettingsByWorkspace>("PlayerSettingsByWorkspace");
        qRegisterMetaTypeStreamOperators<PlayerSettingsByWorkspace>("PlayerSettingsByWorkspace");
        qRegisterMetaType<LayoutPreference>("LayoutPreference");
        return true;
    }();
    Q_UNUSED(registered)
}

Settings *Settings::sharedInstance()
{
    static Settings *instance = new Settings();
    return instance;
}

Settings::Settings()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvane"),
                 QStringLiteral("Orvane TV"))
{
    registerTypes();
    // The store holds the session: its folder and file are the user's alone.
    PrivateFiles::makePrivateFolder(QFileInfo(m_settings.fileName()).absolutePath());

    m_companySlug = m_settings.value(keyCompanySlug).toString();
    m_companyId = m_settings.value(keyCompanyId).toString();
    m_email = m_settings.value(keyEmail).toString();
    m_authToken = m_settings.value(keyAuthToken).toString();
    m_sharedWorkspaceID = m_settings.value(keySharedWorkspaceId).toString();
    m_device = m_settings.value(keyDevice).toString();
    m_selectedStreamUrl = m_settings.value(keySelectedStreamUrl).toString();
    m_selectedStream = m_settings.value(keySelectedStream).toString();
    m_sharedStreamID = m_settings.value(keySharedStreamId).toString();
    m_chatFilePath = m_settings.value(keyChatFilePath).toString();
    if (m_settings.contains(keyStreamDelay))
        m_streamDelay = m_settings.value(keyStreamDelay).toInt();
    else
        setStreamDelay(500);
    m_streamDelayAuto = m_settings.value(keyStreamDelayAuto, false).toBool();
    m_volume = m_settings.value(keyVolume, 0).toInt();
    m_audioMuted = m_settings.value(keyAudioMuted, false).toBool();
    m_playingArchive = m_settings.value(keyPlayingArchive, false).toBool();
    playerSettingsByWorkspaceAndResourceId = storedMap<PlayerSettingsByWorkspace>(keyPlayerSettings);
    m_showCamera = m_settings.value(keyShowCamera, true).toBool();
    m_showSound = m_settings.value(keyShowSound, true).toBool();
    // A value that is not a number reads as 0 like every other stored number; a
    // number outside the four layouts the dashboard has reads as the default.
    bool numeric = false;
    const int layout = m_settings.value(keyLayoutPref, int(FourUp)).toInt(&numeric);
    m_layoutPref = !numeric ? OneUp : layout >= OneUp && layout <= FourUp ? LayoutPreference(layout) : FourUp;
    archivesMarkedInWorkspaces = storedMap<MarkedArchives>(keyMarked);
    recentlyViewed = storedMap<ViewedArchives>(keyRecentlyViewed);
}

// A stored map of a registered type; anything else (absent, another or an
// unknown type) reads as an empty map.
template <typename T>
T Settings::storedMap(const char *key) const
{
    const QVariant value = m_settings.value(key);
    if (value.userType() != qMetaTypeId<T>())
        return T();
    return value.value<T>();
}

// Each change reaches the disk at once: the settings file of this platform is
// otherwise written later from the event loop, and a change made just before the
// process ends (or crashes) would be lost.
void Settings::write(const char *key, const QVariant &value)
{
    m_settings.setValue(QLatin1String(key), value);
    m_settings.sync();
    PrivateFiles::makePrivateFile(m_settings.fileName());
}

void Settings::setCompanySlug(const QString &slug)
{
    if (slug == m_companySlug)
        return;
    m_companySlug = slug;
    write(keyCompanySlug, slug);
    emit companySlugUpdated(slug);
}

void Settings::setCurrentCompanyID(const QString &id)
{
    m_companyId = id;
    write(keyCompanyId, id);
}

void Settings::setEmail(const QString &email)
{
    m_email = email;
    write(keyEmail, email);
}

QString Settings::getAuthToken() const
{
    return m_settings.value(keyAuthToken).toString();
}

void Settings::setAuthToken(const QString &token)
{
    m_authToken = token;
    write(keyAuthToken, token);
}

void Settings::setSharedWorkspaceID(const QString &id)
{
    m_sharedWorkspaceID = id;
    write(keySharedWorkspaceId, id);
}

void Settings::setDevice(const QString &device)
{
    m_device = device;
    write(keyDevice, device);
}

void Settings::setSelectedStreamUrl(const QString &url)
{
    if (url == m_selectedStreamUrl)
        return;
    m_selectedStreamUrl = url;
    write(keySelectedStreamUrl, url);
}

void Settings::setSelectedStream(const QString &stream)
{
    m_selectedStream = stream;
    write(keySelectedStream, stream);
}

void Settings::setSharedStreamID(const QString &id)
{
    m_sharedStreamID = id;
    write(keySharedStreamId, id);
}

void Settings::setChatFilePath(const QString &path)
{
    m_chatFilePath = path;
    write(keyChatFilePath, path);
}

void Settings::setStreamDelay(int delay)
{
    m_streamDelay = delay;
    write(keyStreamDelay, delay);
}

void Settings::setStreamDelayAuto(bool on)
{
    m_streamDelayAuto = on;
    write(keyStreamDelayAuto, on);
}

void Settings::setVolume(int volume)
{
    m_volume = volume;
    write(keyVolume, volume);
}

void Settings::setAudioMuted(bool muted)
{
    m_audioMuted = muted;
    write(keyAudioMuted, muted);
}

void Settings::setPlayingArchive(bool playing)
{
    m_playingArchive = playing;
    write(keyPlayingArchive, playing);
}

void Settings::setShowCamera(bool show)
{
    m_showCamera = show;
    write(keyShowCamera, show);
}

void Settings::setShowSound(bool show)
{
    m_showSound = show;
    write(keyShowSound, show);
}

void Settings::setLayoutPref(LayoutPreference layout)
{
    m_layoutPref = layout;
    write(keyLayoutPref, int(layout));
}

PlayerSettings Settings::getPlayerSettings(const SharedWorkspace &workspace, const QString &resourceId) const
{
    const auto inner = playerSettingsByWorkspaceAndResourceId.constFind(workspace.id);
    if (inner == playerSettingsByWorkspaceAndResourceId.constEnd())
        return PlayerSettings();
    const auto entry = inner->constFind(resourceId);
    return entry == inner->constEnd() ? PlayerSettings() : entry.value();
}

void Settings::setPlayerSettings(const SharedWorkspace &workspace, const QString &resourceId,
                                 const PlayerSettings &settings)
{
    QMap<QString, PlayerSettings> inner = playerSettingsByWorkspaceAndResourceId.value(workspace.id);
    inner.insert(resourceId, settings);
    playerSettingsByWorkspaceAndResourceId.insert(workspace.id, inner);
    write(keyPlayerSettings, QVariant::fromValue(playerSettingsByWorkspaceAndResourceId));
}

void Settings::saveMarkedRecordings(const MarkedArchives &marked)
{
    archivesMarkedInWorkspaces = marked;
    write(keyMarked, QVariant::fromValue(marked));
}

void Settings::saveRecentlyViewed(const ViewedArchives &viewed)
{
    recentlyViewed = viewed;
    write(keyRecentlyViewed, QVariant::fromValue(viewed));
}
