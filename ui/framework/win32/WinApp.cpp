#include "ui/framework/win32/WinApp.h"

#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/WideText.h"
#include "ui/framework/win32/Win32.h"

#include <cstdlib>
#include <filesystem>
#include <utility>

namespace kestrin {
namespace {

CWinApp*& Current()
{
    static CWinApp* app = nullptr;
    return app;
}

} // namespace

CWinApp::CWinApp(const char* appName)
    : m_appName(appName != nullptr ? appName : "")
    , m_previous(std::exchange(Current(), this))
{ }

CWinApp::~CWinApp()
{
    if (Current() == this)
        Current() = m_previous;
}

CWinApp* CWinApp::Get()
{
    return Current();
}

bool CWinApp::InitInstance()
{
    return true;
}

int CWinApp::Run()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

UiString CWinApp::AppName() const
{
    if (!m_appName.empty())
        return Widen(m_appName);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).stem().wstring();
}

Icon CWinApp::LoadIcon(int id) const
{
    return LoadIconResource(id);
}

bool CWinApp::RouteCommand(CDialog& from, int id, int code)
{
    CDialog* previous = std::exchange(m_commandSource, &from);
    const bool handled = OnCmdMsg(id, code);
    m_commandSource = previous;
    return handled;
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

void CWinApp::OnTerminationSignal()
{
    std::_Exit(0);
}

void CWinApp::OnRunCutShort() { }

void CWinApp::ShowHelpTopic(std::uint32_t) { }

int RunApplication()
{
    CWinApp* app = CWinApp::Get();
    if (app == nullptr || !app->InitInstance())
        return 0;
    return app->Run();
}

} // namespace kestrin
