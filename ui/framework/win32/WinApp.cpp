#include "ui/framework/win32/WinApp.h"

#include "settings/SettingsStore.h"
#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/WideText.h"
#include "ui/framework/win32/Win32.h"

namespace kestrin {

int CWinApp::Run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return ExitInstance();
}

UiString CWinApp::AppName() const
{
    return Widen(m_appName.empty() ? ExecutableBaseName() : m_appName);
}

void CWinApp::OnHelp()
{
    CDialog* dialog = CDialog::FromHandle(GetFocus());
    if (dialog == nullptr)
        dialog = CDialog::FromHandle(GetActiveWindow());
    if (dialog == nullptr)
        dialog = m_commandSource;
    if (dialog == nullptr)
        return;
    ReleaseCapture();
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ShowHelpTopic(dialog->GetHelpContext());
    SetCursor(previous);
}

int RunApplication()
{
    CWinApp* app = CWinApp::Get();
    if (app == nullptr || !app->InitInstance())
        return 0;
    return app->Run();
}

} // namespace kestrin
