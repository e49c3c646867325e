#ifndef SCREENSHOTS_H
#define SCREENSHOTS_H

#include <QString>

class QWidget;

namespace TestScreenshots {

// Writes the widget as it looks now to artifacts/<name>.png beside the suite,
// after pending layout passes have run (what a person would see).
void save(QWidget *widget, const QString &name);

} // namespace TestScreenshots

#endif // SCREENSHOTS_H
