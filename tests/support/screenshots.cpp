#include "screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

namespace TestScreenshots {

void save(QWidget *widget, const QString &name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(folder);
    QTest::qWait(200);
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace TestScreenshots
