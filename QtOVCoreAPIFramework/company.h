#ifndef COMPANY_H
#define COMPANY_H

#include "qtovcoreapiframework_global.h"

#include <QJsonValue>
#include <QMetaType>
#include <QString>

class QTOVCOREAPIFRAMEWORK_EXPORT Company
{
public:
    Company() = default;
    explicit Company(const QJsonValue &json);

    QString id;
    QString name;
    QString slug;
    QString imageId;
};

Q_DECLARE_METATYPE(Company)

#endif // COMPANY_H
