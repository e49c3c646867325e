#ifndef CHATTESTSUPPORT_H
#define CHATTESTSUPPORT_H

#include "chatrecords.h"

#include <QString>

// What the chat suites share: auth tokens and chat credentials of seeded users
// from the local deployment.
namespace ChatTestSupport {

// An auth token for a seeded account; empty on failure.
QString signIn(const QString &email, const QString &password);

// The chat credentials that the deployment issues for the user in the workspace,
// asked for with the given chat user id; an empty record on failure.
ChatAuth credentials(const QString &authToken, const QString &company, const QString &workspaceId,
                     const QString &chatUserId);

} // namespace ChatTestSupport

#endif // CHATTESTSUPPORT_H
