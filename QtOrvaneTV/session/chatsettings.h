#ifndef CHATSETTINGS_H
#define CHATSETTINGS_H

// Which chats a running chat program offers.
class ChatSettings
{
public:
    ChatSettings() = default;
    ChatSettings(bool textEnabled, bool voiceEnabled);

    bool isEqual(const ChatSettings &other) const;

    bool textEnabled = false;
    bool voiceEnabled = false;
};

#endif // CHATSETTINGS_H
