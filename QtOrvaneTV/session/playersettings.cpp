#include "session/playersettings.h"

PlayerSettings::PlayerSettings(QObject *parent, int colorProfile, int colorRange, bool autoDelay, int delay,
                               bool muted)
    : QObject(parent)
    , colorProfile(colorProfile)
    , colorRange(colorRange)
    , autoDelay(autoDelay)
    , delay(delay)
    , muted(muted)
{ }

PlayerSettings::PlayerSettings(const PlayerSettings &other)
    : QObject(nullptr)
    , colorProfile(other.colorProfile)
    , colorRange(other.colorRange)
    , autoDelay(other.autoDelay)
    , delay(other.delay)
    , muted(other.muted)
{ }

PlayerSettings &PlayerSettings::operator=(const PlayerSettings &other)
{
    colorProfile = other.colorProfile;
    colorRange = other.colorRange;
    autoDelay = other.autoDelay;
    delay = other.delay;
    muted = other.muted;
    return *this;
}

bool PlayerSettings::operator==(const PlayerSettings &other) const
{
    return colorProfile == other.colorProfile && colorRange == other.colorRange
        && autoDelay == other.autoDelay && delay == other.delay && muted == other.muted;
}

QStringList PlayerSettings::decoderPriority()
{
    return {QStringLiteral("D3D11"), QStringLiteral("DXVA"), QStringLiteral("VAAPI"),
            QStringLiteral("VideoToolbox"), QStringLiteral("FFmpeg")};
}

QDataStream &operator<<(QDataStream &stream, const PlayerSettings &settings)
{
    return stream << qint32(settings.colorProfile) << qint32(settings.colorRange) << settings.autoDelay
                  << qint32(settings.delay) << settings.muted;
}

QDataStream &operator>>(QDataStream &stream, PlayerSettings &settings)
{
    qint32 profile = 0;
    qint32 range = 0;
    qint32 delay = 0;
    stream >> profile >> range >> settings.autoDelay >> delay >> settings.muted;
    // Read as stored: the colour tables give every number a meaning (a range
    // outside them is full range, a negative one reads as the first entry).
    settings.colorProfile = profile;
    settings.colorRange = range;
    settings.delay = delay;
    return stream;
}

QDebug operator<<(QDebug debug, const PlayerSettings &settings)
{
    QDebugStateSaver saver(debug);
    debug.noquote().nospace() << QStringLiteral("Profile=%1, Range=%2, Delay=%3")
                                     .arg(settings.colorProfile)
                                     .arg(settings.colorRange)
                                     .arg(settings.delay);
    return debug;
}
