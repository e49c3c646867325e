#ifndef CHATTESTSUPPORT_H
#define CHATTESTSUPPORT_H

#include "chatmanager.h"
#include "chatrecords.h"
#include "coreapimanager.h"
#include "globalmanager.h"

#include <QString>

#include <memory>

// What the chat suites share: auth tokens and chat credentials of seeded users
// from the local deployment.
namespace ChatTestSupport {

// An auth token for a seeded account; empty on failure.
QString signIn(const QString &email, const QString &password);

// The chat credentials that the deployment issues for the user in the workspace,
// asked for with the given chat user id; an empty record on failure.
ChatAuth credentials(const QString &authToken, const QString &company, const QString &workspaceId,
                     const QString &chatUserId);

// A chat session of a seeded user in workspace 41 of acme, without a window:
// signed in, the user and the shared users read, the credentials got, the
// microphone and speakers chosen.
struct VoiceSession
{
    GlobalManager globals;
    std::unique_ptr<CoreAPIManager> client;
    std::unique_ptr<ChatManager> chat;

    bool open(const QString &email, const QString &password, const QString &mic, const QString &speakers);
    // Joins the voice channel with the volume reports on; true once joined.
    bool joinVoice();
};

} // namespace ChatTestSupport

#endif // CHATTESTSUPPORT_H
