#include "session/settings.h"

#include "privatefiles.h"

#include <QFileInfo>

#include "session/recordstreams.h"

namespace {

// The stored values that need more than a plain read (the rest are in the tables below).
const char keyPlayerSettings[] = "playerSettingsByWorkspaceAndResourceId";
const char keyLayoutPref[] = "layoutPref";
const char keyMarked[] = "archivesMarkedInWorkspaces";
const char keyRecentlyViewed[] = "recentlyViewed";

} // namespace

const std::vector<Settings::StoredValue<QString>> &Settings::storedTexts()
{
    static const std::vector<StoredValue<QString>> table = {
        {"companySlug", &Settings::m_companySlug, QString()},
        {"currentCompanyID", &Settings::m_companyId, QString()},
        {"email", &Settings::m_email, QString()},
        {"authToken", &Settings::m_authToken, QString()},
        {"sharedWorkspaceID", &Settings::m_sharedWorkspaceID, QString()},
        {"device", &Settings::m_device, QString()},
        {"selectedStreamUrl", &Settings::m_selectedStreamUrl, QString()},
        {"selectedStream", &Settings::m_selectedStream, QString()},
        {"sharedStreamID", &Settings::m_sharedStreamID, QString()},
        {"chatFilePath", &Settings::m_chatFilePath, QString()},
    };
    return table;
}

const std::vector<Settings::StoredValue<int>> &Settings::storedNumbers()
{
    static const std::vector<StoredValue<int>> table = {
        {"streamDelay", &Settings::m_streamDelay, 500},
        {"volume", &Settings::m_volume, 0},
    };
    return table;
}

const std::vector<Settings::StoredValue<bool>> &Settings::storedFlags()
{
    static const std::vector<StoredValue<bool>> table = {
        {"streamDelayAuto", &Settings::m_streamDelayAuto, false},
        {"audioMuted", &Settings::m_audioMuted, false},
        {"playingArchive", &Settings::m_playingArchive, false},
        {"showCamera", &Settings::m_showCamera, true},
        {"showSound", &Settings::m_showSound, true},
    };
    return table;
}

template<typename T>
const char *Settings::keyOf(const std::vector<StoredValue<T>> &table, T Settings::*member)
{
    for (const StoredValue<T> &row : table) {
        if (row.member == member)
            return row.key;
    }
    Q_UNREACHABLE();
    return nullptr;
}

void Settings::store(QString Settings::*member, const QString &value)
{
    this->*member = value;
    write(keyOf(storedTexts(), member), value);
}

void Settings::store(int Settings::*member, int value)
{
    this->*member = value;
    write(keyOf(storedNumbers(), member), value);
}

void Settings::store(bool Settings::*member, bool value)
{
    this->*member = value;
    write(keyOf(storedFlags(), member), value);
}

QDataStream &operator>>(QDataStream &stream, ViewedArchives &viewed)
{
    viewed.clear();
    // Every stored element takes some bytes, so no count can exceed what is left.
    const auto plausible = [&stream](quint32 count) {
        QIODevice *device = stream.device();
        return stream.status() == QDataStream::Ok
            && (!device || device->isSequential() || qint64(count) * 4 <= device->bytesAvailable());
    };
    quint32 workspaces = 0;
    stream >> workspaces;
    if (!plausible(workspaces)) {
        stream.setStatus(QDataStream::ReadCorruptData);
        return stream;
    }
    for (quint32 i = 0; i < workspaces; ++i) {
        QString workspace;
        quint32 count = 0;
        stream >> workspace >> count;
        if (!plausible(count)) {
            viewed.clear();
            stream.setStatus(QDataStream::ReadCorruptData);
            return stream;
        }
        QVector<Archive> recordings;
        for (quint32 j = 0; j < count; ++j) {
            Archive archive;
            stream >> archive;
            if (stream.status() != QDataStream::Ok) {
                viewed.clear();
                return stream;
            }
            recordings.append(archive);
        }
        viewed.insert(workspace, recordings);
    }
    return stream;
}

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

    for (const StoredValue<QString> &row : storedTexts())
        this->*row.member = m_settings.value(QLatin1String(row.key), row.fallback).toString();
    for (const StoredValue<int> &row : storedNumbers())
        this->*row.member = m_settings.value(QLatin1String(row.key), row.fallback).toInt();
    for (const StoredValue<bool> &row : storedFlags())
        this->*row.member = m_settings.value(QLatin1String(row.key), row.fallback).toBool();
    // The delay is written on first start, so that the file shows the default.
    if (!m_settings.contains(QLatin1String(keyOf(storedNumbers(), &Settings::m_streamDelay))))
        setStreamDelay(500);
    playerSettingsByWorkspaceAndResourceId = storedMap<PlayerSettingsByWorkspace>(keyPlayerSettings);
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
template<typename T>
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
    store(&Settings::m_companySlug, slug);
    emit companySlugUpdated(slug);
}

void Settings::setCurrentCompanyID(const QString &id)
{
    store(&Settings::m_companyId, id);
}

void Settings::setEmail(const QString &email)
{
    store(&Settings::m_email, email);
}

QString Settings::getAuthToken() const
{
    // Read from the store: another process may have signed in or out meanwhile.
    return m_settings.value(QLatin1String(keyOf(storedTexts(), &Settings::m_authToken))).toString();
}

void Settings::setAuthToken(const QString &token)
{
    store(&Settings::m_authToken, token);
}

bool Settings::holdsAuthToken() const
{
    return m_settings.contains(QLatin1String(keyOf(storedTexts(), &Settings::m_authToken)));
}

void Settings::removeAuthToken()
{
    m_authToken.clear();
    m_settings.remove(QLatin1String(keyOf(storedTexts(), &Settings::m_authToken)));
    m_settings.sync();
}

void Settings::setSharedWorkspaceID(const QString &id)
{
    store(&Settings::m_sharedWorkspaceID, id);
}

void Settings::setDevice(const QString &device)
{
    store(&Settings::m_device, device);
}

void Settings::setSelectedStreamUrl(const QString &url)
{
    if (url == m_selectedStreamUrl)
        return;
    store(&Settings::m_selectedStreamUrl, url);
}

void Settings::setSelectedStream(const QString &stream)
{
    store(&Settings::m_selectedStream, stream);
}

void Settings::setSharedStreamID(const QString &id)
{
    store(&Settings::m_sharedStreamID, id);
}

void Settings::setChatFilePath(const QString &path)
{
    store(&Settings::m_chatFilePath, path);
}

void Settings::setStreamDelay(int delay)
{
    store(&Settings::m_streamDelay, delay);
}

void Settings::setStreamDelayAuto(bool on)
{
    store(&Settings::m_streamDelayAuto, on);
}

void Settings::setVolume(int volume)
{
    store(&Settings::m_volume, volume);
}

void Settings::setAudioMuted(bool muted)
{
    store(&Settings::m_audioMuted, muted);
}

void Settings::setPlayingArchive(bool playing)
{
    store(&Settings::m_playingArchive, playing);
}

void Settings::setShowCamera(bool show)
{
    store(&Settings::m_showCamera, show);
}

void Settings::setShowSound(bool show)
{
    store(&Settings::m_showSound, show);
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
