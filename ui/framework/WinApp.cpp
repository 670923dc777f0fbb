#include "ui/framework/WinApp.h"

#include <cstdlib>
#include <utility>

// The application object's part that is the same on every face.

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

int CWinApp::ExitInstance()
{
    return 0;
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

void CWinApp::OnTerminationSignal()
{
    std::_Exit(0);
}

void CWinApp::OnRunCutShort() { }

void CWinApp::ShowHelpTopic(std::uint32_t) { }

} // namespace kestrin
