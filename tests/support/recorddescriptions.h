#ifndef RECORDDESCRIPTIONS_H
#define RECORDDESCRIPTIONS_H

#include <QString>
#include <QVariant>

// A short, stable text for any value a result signal of the client carries, so
// tests can compare whole signal payloads in data tables.
QString describeValue(const QVariant &value);
QStringList describeArguments(const QVariantList &arguments);

#endif // RECORDDESCRIPTIONS_H
