#ifndef PRIVATEFILES_H
#define PRIVATEFILES_H

#include <QString>

// Settings, logs and crash logs hold what only their user may read (e-mail
// addresses, workspace names, what was watched, the session). Their folders are
// made owner-only (0700) and their files owner-readable and -writable (0600),
// whatever the process's umask.
namespace PrivateFiles {

// Creates the folder with its parents when missing and makes it owner-only.
bool makePrivateFolder(const QString &path);
// Makes an existing file readable and writable by its owner alone.
bool makePrivateFile(const QString &path);

} // namespace PrivateFiles

#endif // PRIVATEFILES_H
