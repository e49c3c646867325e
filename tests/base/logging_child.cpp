// Starts the log in the given folder and ends with a fatal message.
#include "logutils.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    LogUtils::Configuration configuration = LogUtils::Configuration::viewer();
    configuration.baseFolder = app.arguments().value(1);
    LogUtils::configure(configuration);
    if (!LogUtils::initLogging())
        return 2;
    qInfo("started");
    qFatal("the end");
}
