#include "ui/framework/win32/WinApp.h"

#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/WideText.h"
#include "ui/framework/win32/Win32.h"

#include <filesystem>

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
    if (!m_appName.empty())
        return Widen(m_appName);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).stem().wstring();
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
