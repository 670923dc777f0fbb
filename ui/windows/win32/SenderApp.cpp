#include "ui/windows/SenderApp.h"

#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/Win32.h"

// CSenderApp's part that knows Win32: help in the user's browser, the warning in a message box.

namespace kestrin {

void CSenderApp::ShowHelpTopic(std::uint32_t contextId)
{
    HelpPath file = m_helpFile;
    if (file.empty()) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        file = HelpViewer::FindHelpFile(path);
    }
    if (!m_help.ShowTopic(file, contextId))
        ShowWarning(AppName(), L"Failed to launch help.");
}

void CSenderApp::ShowWarning(const UiString& caption, const UiString& text)
{
    CDialog* main = GetMainWnd();
    MessageBoxW(main != nullptr ? main->GetSafeHwnd() : nullptr, text.c_str(), caption.c_str(),
        MB_OK | MB_ICONEXCLAMATION);
}

} // namespace kestrin
