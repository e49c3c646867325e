#ifndef SRTDIAGNOSTICS_H
#define SRTDIAGNOSTICS_H

#include <QString>
#include <QtGlobal>

// What the SRT library says about the connections it makes. FFmpeg reports every
// refused SRT handshake as "Input/output error"; the library itself says why (a
// wrong or missing passphrase, a listener that is full), but writes it to the
// standard error, past the program's log. Here its lines are brought into the
// log, and the reason of each refusal is kept for the player's failure report.
namespace SrtDiagnostics {

// Routes the SRT library that the media libraries loaded into the program's
// log (category orvane.player, "SRT: ..."). Once per process, from any thread;
// nothing happens when no SRT library is loaded.
void install();
// Whether install() found the library.
bool installed();

// How many refusals the library has reported so far, and the reason of the
// last one ("Incorrect passphrase"). Safe from any thread.
quint64 refusalCount();
QString lastRefusal();

// The reason in one of the library's lines, or an empty text for a line that
// reports no refusal. "processAsyncConnectRequest: REJECT reported from HS
// processing: Incorrect passphrase - not processing further" gives
// "Incorrect passphrase".
QString refusalIn(const QString &line);

} // namespace SrtDiagnostics

#endif // SRTDIAGNOSTICS_H
