#pragma once

#include "engine/Platform.h"
#include "ui/framework/CmdTarget.h"

#include <QIcon>
#include <QString>
#include <cstdint>

namespace kestrin {

class CDialog;

// Text as the user interface shows it.
using UiString = QString;

// The application object: one per program, made before the program starts (a static object) and
// found with Get(). RunApplication starts the windowing system and calls InitInstance, then Run
// when InitInstance returns true. Commands that a dialog does not handle come here; with an
// entry OnCommand<&CWinApp::OnHelp>(ID_HELP) in its map, the Help command asks ShowHelpTopic for
// the topic of the dialog holding the focus. It shows no help itself.
class CWinApp : public CCmdTarget {
public:
    // appName null: the executable's base name.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    // The application object, or null when there is none.
    static CWinApp* Get();

    // Runs once the windowing system is up; false ends the program without a message loop.
    virtual bool InitInstance();
    // The message loop, then ExitInstance; returns the exit status.
    virtual int Run();
    virtual int ExitInstance();

    // Valid once the program has started.
    QString AppName() const;

    CDialog* GetMainWnd() const { return m_mainWnd; }
    void SetMainWnd(CDialog* window) { m_mainWnd = window; }

    QIcon LoadIcon(int id) const;

    // The default help handler: topic = the focused dialog's help context (0x20000 + its template
    // id), after releasing any mouse grab and with the wait cursor shown.
    void OnHelp();

    // A command that `from` did not handle; true when this object's map took it.
    bool RouteCommand(CDialog& from, int id, int code);

    // A termination signal came (see WatchTerminationSignals): ends the program at once with
    // status 0, as closing the main window would. Called on the user-interface thread, from a
    // message loop or from a send's sleep; never returns. Here it only ends the process.
    [[noreturn]] virtual void OnTerminationSignal();

    // The process is ending in the middle of the run without the main window closing: the
    // display's connection was lost (Qt's display plugins end the process then), or a library
    // called exit(). Saves what closing the main window would save, without touching a window;
    // the caller then ends the process. Called on the thread that ends it. Does nothing here.
    virtual void OnRunCutShort();

protected:
    // Shows help topic `contextId`; does nothing here.
    virtual void ShowHelpTopic(std::uint32_t contextId);

private:
    QString m_appName;
    CDialog* m_mainWnd = nullptr;
    CDialog* m_commandSource = nullptr;
    CWinApp* m_previous;
};

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
