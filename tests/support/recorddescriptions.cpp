#include "recorddescriptions.h"

#include "qtovcoreapiframework.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

QString describe(const User &user)
{
    return QStringLiteral("user(%1|%2|%3|%4)")
        .arg(user.email, user.firstName, user.lastName, user.isAdmin ? "admin" : "-");
}

QString describe(const Company &company)
{
    return QStringLiteral("company(%1|%2|%3|%4)")
        .arg(company.id, company.name, company.slug, company.imageId);
}

QString describe(const SharedWorkspace &workspace)
{
    return QStringLiteral("workspace(%1|%2|cameras=%3|streams=%4|records=%5)")
        .arg(workspace.id, workspace.name)
        .arg(workspace.sharedCameras.size())
        .arg(workspace.sharedStreams.size())
        .arg(workspace.sharedRecords.size());
}

QString describe(const SharedStream &stream)
{
    return QStringLiteral("stream(%1|sources=%2)").arg(stream.id).arg(stream.sharedStreamSources.size());
}

QString describe(const Archive &archive)
{
    return QStringLiteral("archive(%1)").arg(archive.id);
}

QString describe(const CompanyShare &share)
{
    return QStringLiteral("share(%1|%2)").arg(share.id, share.companySlug);
}

template<typename Record>
QString describeList(const QVector<Record> &records)
{
    QStringList parts;
    for (const Record &record : records)
        parts << describe(record);
    return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
}

} // namespace

QString describeValue(const QVariant &value)
{
    const int type = value.userType();
    if (type == qMetaTypeId<User>())
        return describe(value.value<User>());
    if (type == qMetaTypeId<Company>())
        return describe(value.value<Company>());
    if (type == qMetaTypeId<QVector<User>>())
        return describeList(value.value<QVector<User>>());
    if (type == qMetaTypeId<QVector<Company>>())
        return describeList(value.value<QVector<Company>>());
    if (type == qMetaTypeId<QVector<SharedWorkspace>>())
        return describeList(value.value<QVector<SharedWorkspace>>());
    if (type == qMetaTypeId<QVector<SharedStream>>())
        return describeList(value.value<QVector<SharedStream>>());
    if (type == qMetaTypeId<QVector<Archive>>())
        return describeList(value.value<QVector<Archive>>());
    if (type == qMetaTypeId<QMap<QString, QVector<CompanyShare>>>()) {
        const auto shares = value.value<QMap<QString, QVector<CompanyShare>>>();
        QStringList parts;
        for (auto it = shares.begin(); it != shares.end(); ++it)
            parts << it.key() + QLatin1Char('=') + describeList(it.value());
        return QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}');
    }
    if (type == QMetaType::QJsonObject)
        return QString::fromUtf8(QJsonDocument(value.toJsonObject()).toJson(QJsonDocument::Compact));
    if (type == QMetaType::QVariantMap)
        return QString::fromUtf8(
            QJsonDocument(QJsonObject::fromVariantMap(value.toMap())).toJson(QJsonDocument::Compact));
    if (type == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

QStringList describeArguments(const QVariantList &arguments)
{
    QStringList descriptions;
    for (const QVariant &argument : arguments)
        descriptions << describeValue(argument);
    return descriptions;
}
