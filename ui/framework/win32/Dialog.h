#pragma once

#include "resources/DialogTemplate.h"
#include "ui/framework/CmdTarget.h"
#include "ui/framework/win32/Menu.h"
#include "ui/framework/win32/ResourceLoader.h"
#include "ui/framework/win32/Win32.h"

#include <cstdint>
#include <string>

namespace kestrin {

class CDataExchange;

// What a control is to a dialog: its window.
using ControlWindow = HWND__;

// A dialog built by the platform's dialog manager from a template in resources/, run modally.
//
// Running it modally: the owner (the parent given, else the application's main window) is
// disabled, the window and its controls are made from the template (template order is the tab
// order), OnInitDialog runs, the window is centred unless OnInitDialog moved or showed it (in the
// primary work area without an owner, else over the owner and kept inside the owner's work area),
// then it is shown and the modal loop runs until EndDialog; then it is hidden, the owner enabled
// and, if the dialog was active, made active; last the window is destroyed (the Destroy message).
// The loop turns Escape and Ctrl+Break into Cancel, Enter on a push button into its click, and F1
// without Shift, Ctrl or Alt into Help before any control sees them; the dialog manager gives the
// other dialog keys. Logging off saves
// as a cut-short run does (CWinApp::OnRunCutShort). Commands that no entry of its message map
// takes go to the application object. It knows nothing of what its controls mean.
class CDialog : public CCmdTarget {
public:
    explicit CDialog(int templateId, CDialog* parent = nullptr);
    ~CDialog() override;

    // The value given to EndDialog; -1 when there is no such template or no window could be made.
    virtual LResult DoModal();
    void EndDialog(int result);

    int TemplateId() const { return m_templateId; }
    const DialogTemplate* Template() const { return m_template; }

    // The dialog window; null unless the dialog is running.
    HWND GetSafeHwnd() const { return m_hwnd; }
    // The dialog whose window is `window` or holds it, or null.
    static CDialog* FromHandle(HWND window);

    HWND GetDlgItem(int id) const;
    void SetDlgItemText(int id, const std::string& utf8);
    std::string GetDlgItemText(int id) const;

    // Data exchange in the given direction.
    void UpdateData(bool saveAndValidate = true);

    void SetIcon(Icon icon, bool bigIcon);

    // The system menu; null when the window has none or does not exist.
    CMenu* GetSystemMenu();

    void EnableWindow(bool enable);

    // The help context this dialog answers while it holds the focus: 0x20000 + template id.
    virtual std::uint32_t GetHelpContext() const;

    // Sends a message to the dialog: its message map first, then the default processing.
    void SendMessage(const MessageArgs& args);

    bool OnCmdMsg(int id, int code) override;
    const MessageMap& GetMessageMap() const override;

protected:
    // Runs data exchange to the controls. True puts the focus on the first tab-stop control.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // Data exchange from the controls, then EndDialog(IDOK).
    virtual void OnOK();
    virtual void OnCancel();

    // Called for each control of the template once the dialog manager has made it as a child of
    // `parent`, before OnInitDialog, so that a window can take over one of its own (subclass it).
    // The dialog manager's control stays whatever this returns; null here.
    virtual ControlWindow* CreateControl(const ControlTemplate& control, ControlWindow* parent);

    // The default processing of these messages, for handlers that add to it.
    void OnSysCommand(unsigned id);
    void OnClose();
    void OnDestroy();

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // True when the loop took the message before any control could see it.
    bool PreTranslateMessage(const MSG& msg);
    void Centre();
    HWND OwnerWindow() const;

    int m_templateId;
    const DialogTemplate* m_template;
    CDialog* m_parent;
    HWND m_hwnd = nullptr;
    CMenu m_systemMenu;
    bool m_ended = false;
    int m_result = -1;
};

} // namespace kestrin
