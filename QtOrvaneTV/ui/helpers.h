#ifndef HELPERS_H
#define HELPERS_H

#include <QString>

#include <functional>

class QWidget;

// Version texts, the e-mail check and the alert box shared by the views.
namespace Helpers {

QString getVersion();
QString getBuild();
// "1.0.1 (42)"; the version alone without a build; empty without a version.
QString getFullVersion();
// Whether an e-mail address appears anywhere in the text.
bool isValidEmail(const QString &text);
void showAlert(
    QWidget *parent, const QString &title, const QString &message, std::function<void()> callback = [] {});
// Registers the viewer's resources (texts and images); safe to call repeatedly.
void initResources();

} // namespace Helpers

#endif // HELPERS_H
