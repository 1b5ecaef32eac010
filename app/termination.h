#pragma once
// SIGTERM, SIGINT and SIGHUP: each ends the program in an orderly way, whatever it is doing. The handler
// only counts the signal and writes a byte; the reaction runs on the thread of the event loop, in the
// main loop or in whichever dialog's loop is running then.

#include <functional>

class QObject;

// From now on a termination signal calls `react` on the event loop's thread (once per signal). With
// `hardExitStatus` set, a second signal ends the process at once with that status (a second Ctrl-C),
// whether an event loop runs or not.
void HandleTerminationSignals(QObject* parent, std::function<void()> react, int hardExitStatus = 0);

// A termination signal came: start-up steps and boxes still to come are passed over.
bool TerminationRequested();
