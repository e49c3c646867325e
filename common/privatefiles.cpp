#include "privatefiles.h"

#include <QDir>
#include <QFile>

namespace PrivateFiles {

bool makePrivateFolder(const QString &path)
{
    if (path.isEmpty() || !QDir().mkpath(path))
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool makePrivateFile(const QString &path)
{
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace PrivateFiles
