#pragma once

#include "engine/Platform.h"
#include "ui/framework/WinApp.h"

namespace kestrin {

// The program's start-up code, called by WinMain: runs the application object as CWinApp
// describes and returns the exit status.
int RunApplication();

// Nothing to watch on Windows: a window program learns of its end from WM_ENDSESSION.
inline void WatchTerminationSignals() { }

// The user-interface thread's sleeper during a send: the plain one, as nothing cuts a send short.
class TerminationSleeper final : public Sleeper {
public:
    void Sleep(int ms) override { m_sleeper.Sleep(ms); }
    void SendStarts() override { m_sleeper.SendStarts(); }
    void SendEnds() override { m_sleeper.SendEnds(); }
    std::chrono::steady_clock::time_point Now() override { return m_sleeper.Now(); }

private:
    ThreadSleeper m_sleeper;
};

} // namespace kestrin
