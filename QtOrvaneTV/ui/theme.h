#ifndef THEME_H
#define THEME_H

#include <QColor>
#include <QFont>
#include <QString>

// The viewer's look: a dark palette with an orange accent, and its two fonts.
namespace Theme {

extern const QColor mainBackground;
extern const QColor sectionBackground;
extern const QColor appRed;
extern const QColor appBlue;
extern const QColor appGreen;
extern const QColor appGreenL1;
extern const QColor appGreenL2;
extern const QColor appGreenL3;
extern const QColor appGreenL4;
extern const QColor appOrange;
extern const QColor appOrangeL1;
extern const QColor primaryText;
extern const QColor primaryTextL1;
extern const QColor primaryTextL2;
extern const QColor primaryTextL3;
extern const QColor primaryTextL4;
extern const QColor primaryTextL5;
extern const QColor textFieldBackground;
extern const QColor textFieldBorderL;
extern const QColor cellBackground;
extern const QColor popupBackground;
extern const QColor popupCellBackground;
extern const QColor toolCellBackground;
extern const QColor loadingDot;

// A colour as style sheets take it: "#rrggbb", the alpha left out.
QString styleColor(const QColor &color);

// Makes the bundled stand-in font answer for every "HK Grotesk" family the
// forms name. Call once at start-up, after the application object exists.
void installFonts();

QFont mainFont(int pointSize);
QFont boldFont(int pointSize);

} // namespace Theme

#endif // THEME_H
