#include "ui/WinApp.h"

#include "ui/Dialog.h"
#include "ui/ResourceLoader.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
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
    : m_appName(appName != nullptr ? QString::fromUtf8(appName) : QString())
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
    // The exit status carries no meaning; the loop's own is dropped for ExitInstance's.
    (void)QApplication::exec();
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return 0;
}

QString CWinApp::AppName() const
{
    if (!m_appName.isEmpty() || QCoreApplication::instance() == nullptr)
        return m_appName;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QIcon CWinApp::LoadIcon(int id) const
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
    CDialog* dialog = CDialog::FromWidget(QApplication::focusWidget());
    if (dialog == nullptr)
        dialog = CDialog::FromWidget(QApplication::activeWindow());
    if (dialog == nullptr)
        dialog = m_commandSource;
    if (dialog == nullptr)
        return;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowHelpTopic(dialog->GetHelpContext());
    QApplication::restoreOverrideCursor();
}

void CWinApp::ShowHelpTopic(std::uint32_t) { }

int RunApplication(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Windows end by their dialogs' own rules, never because the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    CWinApp* app = CWinApp::Get();
    if (app == nullptr)
        return 1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

} // namespace kestrin
