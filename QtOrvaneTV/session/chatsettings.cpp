#include "session/chatsettings.h"

ChatSettings::ChatSettings(bool textEnabled, bool voiceEnabled)
    : textEnabled(textEnabled)
    , voiceEnabled(voiceEnabled)
{ }

bool ChatSettings::isEqual(const ChatSettings &other) const
{
    return textEnabled == other.textEnabled && voiceEnabled == other.voiceEnabled;
}
