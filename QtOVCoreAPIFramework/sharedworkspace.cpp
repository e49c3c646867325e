#include "sharedworkspace.h"

#include "jsonconvert.h"

using namespace JsonConvert;

WorkspaceSettings::WorkspaceSettings(const QJsonValue &json)
    : hideOverlays(flag(member(json, QStringLiteral("hideOverlays"))))
    , autoAddRecords(flag(member(json, QStringLiteral("autoAddRecords"))))
    , recordsAsSharing(flag(member(json, QStringLiteral("recordsAsSharing"))))
    , chatEnabled(flag(member(json, QStringLiteral("chatEnabled"))))
    , voiceChatEnabled(flag(member(json, QStringLiteral("voiceChatEnabled"))))
    , textChatEnabled(flag(member(json, QStringLiteral("textChatEnabled"))))
{ }

SharedWorkspace::SharedWorkspace(const QJsonValue &json)
    : id(text(member(json, QStringLiteral("id"))))
    , name(text(member(json, QStringLiteral("name"))))
    , isDefault(flag(member(json, QStringLiteral("isDefault"))))
    , settings(member(json, QStringLiteral("settings")))
{
    readArray(member(json, QStringLiteral("cameras")), sharedCameras);
    readArray(member(json, QStringLiteral("streams")), sharedStreams);
    readArray(member(json, QStringLiteral("records")), sharedRecords);
}
