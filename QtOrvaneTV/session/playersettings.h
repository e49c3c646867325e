#ifndef PLAYERSETTINGS_H
#define PLAYERSETTINGS_H

#include <QDataStream>
#include <QDebug>
#include <QMetaType>
#include <QObject>
#include <QStringList>

// The player settings of one live feed or recording.
class PlayerSettings : public QObject
{
    Q_OBJECT

public:
    // Colour profiles and ranges a stored value may name; anything else reads
    // as the first entry.
    static constexpr int colorProfileCount = 6;
    static constexpr int colorRangeCount = 3;

    // The video decoders the viewer's players try, in this order (the hardware
    // ones first; mpv falls back to software by itself).
    static QStringList decoderPriority();

    explicit PlayerSettings(QObject *parent = nullptr, int colorProfile = 0, int colorRange = 0,
                            bool autoDelay = false, int delay = 500, bool muted = true);
    // Copies carry the five values, never the parent.
    PlayerSettings(const PlayerSettings &other);
    PlayerSettings &operator=(const PlayerSettings &other);

    bool operator==(const PlayerSettings &other) const;
    bool operator!=(const PlayerSettings &other) const { return !(*this == other); }

    int colorProfile = 0;
    int colorRange = 0;
    bool autoDelay = false;
    int delay = 500;
    bool muted = true;
};

QDataStream &operator<<(QDataStream &stream, const PlayerSettings &settings);
QDataStream &operator>>(QDataStream &stream, PlayerSettings &settings);
QDebug operator<<(QDebug debug, const PlayerSettings &settings);

Q_DECLARE_METATYPE(PlayerSettings)

#endif // PLAYERSETTINGS_H
