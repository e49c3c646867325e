#ifndef CHATTHEME_H
#define CHATTHEME_H

#include <QColor>
#include <QString>

// The chat program's colours. The "core_share" theme, chosen on the command line,
// switches the window and panel colours for the whole process.
namespace ChatTheme {

// 1 once the "core_share" theme is selected, 0 before.
int themeFlag();
void setThemeFlag(int flag);

QColor windowBackgroundColor();
QColor panelColor();

// The colour a person's name is shown in: the same name always gets the same one.
QColor nameColor(const QString &name);
// The first character of every word, upper case ("Alpha Beta Gamma" -> "ABG").
QString initials(const QString &name);
// The colour of a shared recording's name, shown as a link.
QColor linkColor();

} // namespace ChatTheme

#endif // CHATTHEME_H
