#pragma once

#include "engine/Platform.h"
#include "ui/framework/WinApp.h"

namespace kestrin {

// The program's start-up code: builds the Qt application, then runs the application object as
// CWinApp describes. Returns the exit status. When no display can be opened, says so in one line
// on stderr, naming the displays tried, and ends the process with status 1. Should anything call
// exit() while the application runs, CWinApp::OnRunCutShort is called and the process ends at
// once with that status: the static objects are not destroyed under a live Qt application.
int RunApplication(int argc, char** argv);

// The display's connection was found lost while the user-interface thread could not hear of it (in
// a send): says so on stderr, calls CWinApp::OnRunCutShort and ends the process with status 1, as
// Qt does once its event loop sees the loss.
[[noreturn]] void EndOnLostDisplay();

// Makes SIGTERM, SIGHUP and SIGINT end the program as closing its main window would, also in the
// middle of a send: a handler passes them through a pipe to a watcher thread, which wakes the
// user-interface thread to call CWinApp::OnTerminationSignal, from its message loop or from a
// TerminationSleeper. Should that thread not end the program within kTerminationGraceMs, the
// watcher ends it with status 0. Call it first in main(), before any other thread starts.
void WatchTerminationSignals();
inline constexpr int kTerminationGraceMs = 2000;

// Sleeps as ThreadSleeper does, but a termination signal cuts the sleep short and ends the
// program through CWinApp::OnTerminationSignal, and a lost display connection, through
// EndOnLostDisplay, within kDisplayCheckMs. For the user-interface thread.
class TerminationSleeper final : public Sleeper {
public:
    void Sleep(int ms) override;
};
inline constexpr int kDisplayCheckMs = 100;

} // namespace kestrin
