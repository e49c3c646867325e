#include "logcategories.h"

#include <cstring>

Q_LOGGING_CATEGORY(lcPlayer, "orvane.player")
Q_LOGGING_CATEGORY(lcVideo, "orvane.video")
Q_LOGGING_CATEGORY(lcSocketIo, "orvane.socketio")
Q_LOGGING_CATEGORY(lcRealtime, "orvane.realtime", QtInfoMsg)
Q_LOGGING_CATEGORY(lcVoice, "orvane.voice", QtInfoMsg)

namespace LogCategories {

QString prefix(const char *categoryName)
{
    static const struct
    {
        const char *category;
        const char *prefix;
    } prefixes[] = {
        {"orvane.player", "Player: "},     {"orvane.video", "Video: "}, {"orvane.socketio", "SIO "},
        {"orvane.realtime", "Realtime: "}, {"orvane.voice", "Voice: "},
    };
    if (!categoryName)
        return QString();
    for (const auto &entry : prefixes) {
        if (std::strcmp(categoryName, entry.category) == 0)
            return QLatin1String(entry.prefix);
    }
    return QString();
}

} // namespace LogCategories
