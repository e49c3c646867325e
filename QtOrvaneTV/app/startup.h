#ifndef STARTUP_H
#define STARTUP_H

#include <QLocale>
#include <QString>

class QtOVCoreAPIFramework;

// The viewer's start-up steps that come before its main window, kept apart from
// main() so that they can be checked on their own.
namespace Startup {

// Before the application object exists: no high-DPI scaling, OpenGL contexts
// that share textures (video is drawn on the players' own threads), and the
// environment below.
void prepareProcess();
// A font DPI of 96 unless one is already set; no automatic screen scaling.
void prepareEnvironment();

// The application's organisation, domain, name and version ("1.0.1.42").
void setIdentity();

// Loads the viewer's translation for the locale (and Qt's own for its standard
// dialogs) and installs it; false when the viewer has none for that language.
bool installTranslations(const QLocale &locale);

// The only rewriting of error texts: one known server text becomes a sentence
// a person can act on; everything else is returned unchanged.
QString mapError(const QString &error);

// The client of the production deployment, with request and response printing
// off. Created once, lives until the process ends.
QtOVCoreAPIFramework *setupFramework();

} // namespace Startup

#endif // STARTUP_H
