// The OAuth sign-in helper: one browser window on the provider's sign-in page.
// The code that the provider sends back is taken from the browser's request to
// the callback host and handed to the viewer over the helper's local socket.
#include "browserrouting.h"
#include "deploymentoverride.h"
#include "localmessageserver.h"
#include "logredaction.h"
#include "logutils.h"
#include "oauthpage.h"
#include "requestinterceptor.h"

#include <QApplication>
#include <QDebug>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    // Chromium refuses to start its sandbox as root; the browser then runs without it.
    const bool root = geteuid() == 0;
    if (root && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    // The deployment's hosts reach the browser as Chromium switches.
    QByteArray routing = BrowserRouting::switchArgument(DeploymentOverride::instance());
    std::vector<char *> arguments(argv, argv + argc);
    if (!routing.isEmpty())
        arguments.push_back(routing.data());
    arguments.push_back(nullptr);
    int count = int(arguments.size()) - 1;

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(count, arguments.data());
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.tv"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane TV Auth"));
    LogUtils::configure(LogUtils::Configuration::oauth());
    LogUtils::initLogging();
    if (root)
        qWarning() << "Running as root: the browser's sandbox is off";

    QWebEngineView view;

    auto *server = new LocalMessageServer;
    QObject::connect(server, &LocalMessageServer::connectionStored,
                     [] { qDebug() << "Accepted connection"; });
    QString error;
    if (server->listen(QStringLiteral("qtorvanetvoauth"), &error))
        qDebug() << "Started server";
    else
        qDebug() << "Failed to start server!" << error;

    // Off the record: a sign-in leaves no cookie, cache or storage on disk.
    auto *profile = new QWebEngineProfile(&view);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    auto *interceptor = new RequestInterceptor(&view);
    profile->setUrlRequestInterceptor(interceptor);
    view.setPage(new OAuthPage(profile, &view));

    QObject::connect(interceptor, &RequestInterceptor::gotCode, [&server](const QString &code) {
        const QString text = QStringLiteral("code=%1").arg(code);
        // The code is a secret: only its mask reaches the log.
        qInfo().noquote() << QStringLiteral("code=%1").arg(code.isEmpty() ? QString() : LogRedaction::mask());
        if (!server) {
            qDebug() << "No connection to send block to!";
            return;
        }
        qDebug() << "Sending" << text.size() << "characters to" << server->connection();
        if (!server->send(text))
            qDebug() << "No connection to send block to!";
        // One code per run: afterwards nothing more can be sent.
        server->close();
        server->deleteLater();
        server = nullptr;
    });

    const QStringList given = QCoreApplication::arguments();
    if (given.size() > 1)
        view.load(QUrl(given.at(1), QUrl::TolerantMode));
    for (QWidget *widget : QApplication::topLevelWidgets())
        widget->setWindowTitle(QStringLiteral("Orvane TV"));
    view.resize(900, 800);
    view.show();
    return app.exec();
}
