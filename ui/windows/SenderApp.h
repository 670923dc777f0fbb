#pragma once

#include "engine/Platform.h"
#include "ui/face/HelpViewer.h"
#include "ui/face/WinApp.h"

#include <functional>

namespace kestrin {

class CSenderDlg;

// The application object: runs the main window modally as the program's only window and ends the
// program when it closes; answers the Help command by showing the help file at the topic of the
// dialog holding the focus. Sounds nothing itself: the start-up code hands it the tone function.
// Written once for every face; how help and the warning are shown is in the face's folder.
class CSenderApp : public CWinApp {
public:
    CSenderApp();
    ~CSenderApp() override;

    const MessageMap& GetMessageMap() const override;
    bool InitInstance() override;
    // Saves the main window's settings as last taken, as its closing would, and ends the program.
    [[noreturn]] void OnTerminationSignal() override;
    // Saves the settings as last taken, as above; the caller ends the program.
    void OnRunCutShort() override;

    // The start-up code's tone device; silent until set.
    void SetToneFunction(ToneFunction tone) { m_tone = std::move(tone); }
    void SetSendStarting(std::function<void()> sendStarting)
    {
        m_sendStarting = std::move(sendStarting);
    }
    // Where help is read from; empty means the file beside the executable.
    void SetHelpFile(const HelpPath& file) { m_helpFile = file; }
    HelpViewer& Help() { return m_help; }

protected:
    void ShowHelpTopic(std::uint32_t contextId) override;
    // The one message box of the program: a warning with an OK button.
    virtual void ShowWarning(const UiString& caption, const UiString& text);

private:
    ToneFunction m_tone;
    std::function<void()> m_sendStarting;
    TerminationSleeper m_sleeper;
    ThreadStarter m_workers;
    HelpPath m_helpFile;
    HelpViewer m_help;
    CSenderDlg* m_sender = nullptr; // the main window while it runs
};

} // namespace kestrin
