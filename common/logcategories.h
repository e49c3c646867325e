#ifndef LOGCATEGORIES_H
#define LOGCATEGORIES_H

#include <QLoggingCategory>
#include <QString>

// The logging categories of our own layers. Their lines can be switched on and
// off with QT_LOGGING_RULES ("orvane.player.debug=false"); in the log they keep
// the prefixes they always had ("Player: ...", "SIO ..."), which the log module
// puts in front of each message of the category.
//
// qCDebug(category) with no further arguments is how Qt's macros are meant to be
// used; clang's pedantic mode warns about the empty variadic list.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wgnu-zero-variadic-macro-arguments"
#endif

Q_DECLARE_LOGGING_CATEGORY(lcPlayer) // orvane.player: the player layer over mpv
Q_DECLARE_LOGGING_CATEGORY(lcVideo) // orvane.video: how video is drawn
Q_DECLARE_LOGGING_CATEGORY(lcSocketIo) // orvane.socketio: our Socket.IO client, when its debug switch is on
Q_DECLARE_LOGGING_CATEGORY(lcRealtime) // orvane.realtime: the chat's messaging layer (info and up by default)
Q_DECLARE_LOGGING_CATEGORY(lcVoice) // orvane.voice: the chat's voice layer (info and up by default)

namespace LogCategories {

// The text a category's messages start with in the log; empty for categories
// that are not ours.
QString prefix(const char *categoryName);

} // namespace LogCategories

#endif // LOGCATEGORIES_H
