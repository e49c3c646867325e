#include "ui/helpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>

// The resources live in a static library; they are registered on first use.
// (Q_INIT_RESOURCE must stand outside any namespace.)
static void registerViewerResources()
{
    Q_INIT_RESOURCE(viewer);
    Q_INIT_RESOURCE(images);
    Q_INIT_RESOURCE(fonts);
    Q_INIT_RESOURCE(translations);
}

namespace {

QString firstLine(const QString &path)
{
    Helpers::initResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Helpers::showAlert(nullptr, QCoreApplication::translate("LoginWidget", "Error reading file"),
                           file.errorString());
        return QString();
    }
    return QString::fromUtf8(file.readLine()).trimmed();
}

} // namespace

namespace Helpers {

void initResources()
{
    static const bool registered = [] {
        registerViewerResources();
        return true;
    }();
    Q_UNUSED(registered)
}

QString getVersion()
{
    return firstLine(QStringLiteral(":/VERSION.txt"));
}

QString getBuild()
{
    return firstLine(QStringLiteral(":/BUILD.txt"));
}

QString getFullVersion()
{
    const QString version = getVersion();
    const QString build = getBuild();
    if (version.isEmpty())
        return QString();
    if (build.isEmpty())
        return version;
    return QStringLiteral("%1 (%2)").arg(version, build);
}

bool isValidEmail(const QString &text)
{
    static const QRegularExpression email(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,64}"));
    return email.match(text).hasMatch();
}

void showAlert(QWidget *parent, const QString &title, const QString &message, std::function<void()> callback)
{
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("Orvane TV"));
    box.setText(title);
    box.setInformativeText(message);
    if (box.exec() == QMessageBox::Ok && callback)
        callback();
}

} // namespace Helpers
