#include "app/startup.h"

#include "avglobal.h"
#include "ui/helpers.h"
#include "qtovcoreapiframework.h"
#include "serverenvironment.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace Startup {

void prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    prepareEnvironment();
    OrvaneAV::prepareApplication();
}

void prepareEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "0");
}

void setIdentity()
{
    Helpers::initResources();
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("orvane.tv"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane TV"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(Helpers::getVersion(), Helpers::getBuild()));
}

bool installTranslations(const QLocale &locale)
{
    Helpers::initResources();
    // Kept for the life of the process: the application refers to them.
    static QTranslator viewer;
    static QTranslator qt;
    if (!viewer.load(locale, QStringLiteral("orvane-tv"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        return false;
    QCoreApplication::installTranslator(&viewer);
    if (qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    return true;
}

QString mapError(const QString &error)
{
    if (error == QLatin1String("Cannot read property 'attempt' of undefined"))
        return QCoreApplication::translate("Startup", "Something went wrong, please try again.");
    return error;
}

QtOVCoreAPIFramework *setupFramework()
{
    auto *framework = new QtOVCoreAPIFramework(&mapError, new OVTVProduction);
    framework->setPrintRequest(false);
    framework->setPrintResponse(false);
    return framework;
}

} // namespace Startup
