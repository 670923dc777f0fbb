#pragma once

#include "engine/Platform.h"
#include "ui/face/ResourceLoader.h"
#include "ui/framework/CmdTarget.h"

#include <cstdint>
#include <string>

namespace kestrin {

class CDialog;

// The application object: one per program, made before the program starts (a static object) and
// found with Get(). The face's RunApplication starts the windowing system and calls InitInstance,
// then Run when InitInstance returns true. Commands that a dialog does not handle come here; with
// an entry OnCommand<&CWinApp::OnHelp>(ID_HELP) in its map, the Help command asks ShowHelpTopic
// for the topic of the dialog holding the focus. It shows no help itself.
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
    UiString AppName() const;

    CDialog* GetMainWnd() const { return m_mainWnd; }
    void SetMainWnd(CDialog* window) { m_mainWnd = window; }

    Icon LoadIcon(int id) const;

    // The default help handler: topic = the focused dialog's help context (0x20000 + its template
    // id), after releasing any mouse grab and with the wait cursor shown.
    void OnHelp();

    // A command that `from` did not handle; true when this object's map took it.
    bool RouteCommand(CDialog& from, int id, int code);

    // A termination signal came (on Linux, see WatchTerminationSignals; Windows ends a window
    // program by ending its session instead, so never there): ends the program at once with
    // status 0, as closing the main window would. Called on the user-interface thread, from a
    // message loop or from a send's sleep; never returns. Here it only ends the process.
    [[noreturn]] virtual void OnTerminationSignal();

    // The run ends without the main window closing: the display's connection was lost (Qt's
    // display plugins end the process then), a library called exit(), or the session ends
    // (Windows). Saves what closing the main window would save, without touching a window; the
    // caller then ends the process. Does nothing here.
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

} // namespace kestrin
