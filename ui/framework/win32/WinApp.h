#pragma once

#include "engine/Platform.h"
#include "ui/framework/CmdTarget.h"
#include "ui/framework/win32/ResourceLoader.h"

#include <cstdint>
#include <string>

namespace kestrin {

class CDialog;

// Text as the user interface shows it.
using UiString = std::wstring;

// The application object: one per program, made before the program starts (a static object) and
// found with Get(). RunApplication calls InitInstance, then Run when InitInstance returns true.
// Commands that a dialog does not handle come here; with an entry OnCommand<&CWinApp::OnHelp>
// (ID_HELP) in its map, the Help command asks ShowHelpTopic for the topic of the dialog holding
// the focus. It shows no help itself.
class CWinApp : public CCmdTarget {
public:
    // appName null: the executable's base name.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    static CWinApp* Get();

    // False ends the program without a message loop.
    virtual bool InitInstance();
    // The message loop, then ExitInstance; returns the exit status.
    virtual int Run();
    virtual int ExitInstance();

    UiString AppName() const;

    CDialog* GetMainWnd() const { return m_mainWnd; }
    void SetMainWnd(CDialog* window) { m_mainWnd = window; }

    Icon LoadIcon(int id) const;

    // The default help handler: topic = the focused dialog's help context (0x20000 + its template
    // id), after releasing any mouse capture and with the wait cursor shown.
    void OnHelp();

    // A command that `from` did not handle; true when this object's map took it.
    bool RouteCommand(CDialog& from, int id, int code);

    // Windows ends a window program by ending its session (WM_ENDSESSION, see CDialog), not by a
    // signal: this is never called here. It ends the process with status 0.
    [[noreturn]] virtual void OnTerminationSignal();

    // The session is ending while the main window is open: save what closing it would save,
    // without touching a window. Does nothing here.
    virtual void OnRunCutShort();

protected:
    // Shows help topic `contextId`; does nothing here.
    virtual void ShowHelpTopic(std::uint32_t contextId);

private:
    std::string m_appName;
    CDialog* m_mainWnd = nullptr;
    CDialog* m_commandSource = nullptr;
    CWinApp* m_previous;
};

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
