#ifndef RECORDSTREAMS_H
#define RECORDSTREAMS_H

#include "archive.h"
#include "company.h"
#include "user.h"

#include <QDataStream>

// How the viewer stores the client's records in its settings. Fields not listed
// in the operators are not stored and read back empty.
QDataStream &operator<<(QDataStream &stream, const User &user);
QDataStream &operator>>(QDataStream &stream, User &user);
QDataStream &operator<<(QDataStream &stream, const Company &company);
QDataStream &operator>>(QDataStream &stream, Company &company);
QDataStream &operator<<(QDataStream &stream, const ArchiveInfo &info);
QDataStream &operator>>(QDataStream &stream, ArchiveInfo &info);
QDataStream &operator<<(QDataStream &stream, const Archive &archive);
QDataStream &operator>>(QDataStream &stream, Archive &archive);

#endif // RECORDSTREAMS_H
