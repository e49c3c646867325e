#include "screenshots.h"
#include "viewertestsupport.h"

#include "qtovcoreapiframework.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

namespace ViewerTestSupport {

QString signIn(QtOVCoreAPIFramework *client, const QString &email, const QString &password)
{
    QSignalSpy login(client, &QtOVCoreAPIFramework::loginFinished);
    client->login(email, password);
    if (!login.wait(15000) || !login.first().at(1).toString().isEmpty())
        return QString();
    const QString token = login.first().at(0).toJsonObject().value(QStringLiteral("auth_token")).toString();
    client->setAuthToken(token);
    return token;
}

void saveScreenshot(QWidget *widget, const QString &name)
{
    TestScreenshots::save(widget, name);
}

} // namespace ViewerTestSupport
