#ifndef VIEWERTESTSUPPORT_H
#define VIEWERTESTSUPPORT_H

#include <QString>

class QWidget;
class QtOVCoreAPIFramework;

// What the viewer's suites share.
namespace ViewerTestSupport {

// Signs the client in with a password and gives it the token; empty on failure.
QString signIn(QtOVCoreAPIFramework *client, const QString &email, const QString &password);

// Writes the widget as it looks now to artifacts/<name>.png beside the suite,
// after pending layout passes have run (what a person would see).
void saveScreenshot(QWidget *widget, const QString &name);

} // namespace ViewerTestSupport

#endif // VIEWERTESTSUPPORT_H
