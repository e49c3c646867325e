// Company, sharing and catalogue queries: companies and their shares, the
// shared workspaces, streams and recordings, and the stream-view reports.
#include "qtovcoreapiframework.h"

#include "logredaction.h"

#include <QJsonObject>

// ---- Company, sharing and catalogue queries -------------------------------------------

namespace {

void addServiceSlug(QUrl &url, const QString &serviceSlug)
{
    if (!serviceSlug.isEmpty())
        QtOVCoreAPIFramework::addQueryItems(url, {QStringLiteral("service_slug")}, {serviceSlug});
}

} // namespace

void QtOVCoreAPIFramework::getMyCompanies(bool detailed)
{
    QUrl url = getIDUrl(QStringLiteral("me/companies"), true);
    addQueryItems(url, {QStringLiteral("detailed")},
                  {detailed ? QStringLiteral("true") : QStringLiteral("false")});
    get(MyCompanies, url);
}

void QtOVCoreAPIFramework::getCompanyDetails(const QString &companyId)
{
    get(MyCompanyDetails, getIDUrl(QStringLiteral("me/companies/%1").arg(companyId), true));
}

void QtOVCoreAPIFramework::getCompanyUsers(const QString &companyId)
{
    get(MyCompanyUsers, getIDUrl(QStringLiteral("me/companies/%1/users").arg(companyId), true));
}

void QtOVCoreAPIFramework::getCompanyShares(const QString &serviceSlug)
{
    QUrl url = getIDUrl(QStringLiteral("me/companyShares"), true);
    addServiceSlug(url, serviceSlug);
    get(CompanyShares, url);
}

void QtOVCoreAPIFramework::getGlobalShareSettings(const QString &companyId, const QString &serviceSlug)
{
    QUrl url = getIDUrl(QStringLiteral("me/companies/%1/shares/global_options").arg(companyId), true);
    addServiceSlug(url, serviceSlug);
    get(GlobalShareSettings, url);
}

void QtOVCoreAPIFramework::getSharedWorkspaces(const QString &companySlug, const QString &serviceSlug)
{
    QUrl url = getCoreUrl(QStringLiteral("%1/shared/workspaces").arg(companySlug), true);
    addServiceSlug(url, serviceSlug);
    get(SharedWorkspaces, url);
}

void QtOVCoreAPIFramework::getSharedStreams(const QString &companySlug)
{
    get(SharedStreams, getCoreUrl(QStringLiteral("%1/shared/streams").arg(companySlug), true));
}

void QtOVCoreAPIFramework::getSharedArchives(const QString &companySlug, const QString &workspaceId,
                                             int count, int offset, const QVector<QString> &sids,
                                             const QVector<QDate> &dates, const QVector<QString> &cameraIds)
{
    QUrl url
        = getCoreUrl(QStringLiteral("%1/shared/workspaces/%2/records").arg(companySlug, workspaceId), true);
    QVector<QString> keys = {QStringLiteral("count"), QStringLiteral("offset")};
    QVector<QString> values = {QString::number(count), QString::number(offset)};

    // Encoder ids take precedence over camera ids; the service takes one filter.
    if (!sids.isEmpty()) {
        keys.append(QStringLiteral("sids"));
        values.append(join(sids, QStringLiteral(",")));
    } else if (!cameraIds.isEmpty()) {
        keys.append(QStringLiteral("cameraIds"));
        values.append(join(cameraIds, QStringLiteral(",")));
    }

    if (!dates.isEmpty() && dates.first().isValid() && dates.last().isValid()) {
        keys.append(QStringLiteral("dateFrom"));
        values.append(dates.first().toString(QStringLiteral("yyyy-MM-dd")));
        keys.append(QStringLiteral("dateTo"));
        values.append(dates.last().toString(QStringLiteral("yyyy-MM-dd")));
    }

    addQueryItems(url, keys, values);
    get(SharedArchives, url);
}

void QtOVCoreAPIFramework::getArchives(const QString &owner, int count, int offset)
{
    QUrl url = getCoreUrl(QStringLiteral("%1/archive").arg(owner), true);
    addQueryItems(url, {QStringLiteral("count"), QStringLiteral("offset")},
                  {QString::number(count), QString::number(offset)});
    qDebug().noquote() << LogRedaction::redactedUrl(url);
    get(Archives, url);
}

void QtOVCoreAPIFramework::sendStreamView(const QString &companySlug, bool isRecord, const QString &id,
                                          int shareId, int totalBytes)
{
    QByteArray machineId = QSysInfo::machineUniqueId();
    const int nul = machineId.indexOf('\0');
    if (nul >= 0)
        machineId.truncate(nul);

    const QJsonObject body{
        {QStringLiteral("viewId"), QString::fromUtf8(machineId)},
        {QStringLiteral("type"), isRecord ? QStringLiteral("record") : QStringLiteral("stream")},
        {QStringLiteral("shareId"), shareId},
        {QStringLiteral("totalBytes"), totalBytes},
    };
    post(StreamView, getCoreUrl(QStringLiteral("%1/views/%2").arg(companySlug, id), true), body);
}
