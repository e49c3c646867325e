#ifndef CHATCOMMANDLINE_H
#define CHATCOMMANDLINE_H

#include <QString>

class GlobalManager;
class QCommandLineParser;
class QIODevice;

// The chat program's command line: everything it knows of the session arrives
// there. The auth token is given as "-" by the viewer and then read as the first
// line of standard input, so that it never shows in the process list.
namespace ChatCommandLine {

// Description, help and version options, then the session options.
void addOptions(QCommandLineParser &parser);
// Copies every non-empty value into the manager (and selects the theme).
// A token of "-" is read from tokenInput.
void apply(const QCommandLineParser &parser, GlobalManager &manager, QIODevice *tokenInput);
// Only "1" and "true" turn a chat on.
bool isEnabledValue(const QString &value);

} // namespace ChatCommandLine

#endif // CHATCOMMANDLINE_H
