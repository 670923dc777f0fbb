#include "ui/windows/SenderApp.h"

#include "ui/framework/qt/Dialog.h"

#include <QApplication>
#include <QMessageBox>

// CSenderApp's part that knows Qt: help in Qt's own viewer, the warning in a message box.

namespace kestrin {

void CSenderApp::ShowHelpTopic(std::uint32_t contextId)
{
    const QString file = m_helpFile.isEmpty()
        ? HelpViewer::FindHelpFile(QCoreApplication::applicationFilePath())
        : m_helpFile;
    if (!m_help.ShowTopic(file, contextId))
        ShowWarning(AppName(), QStringLiteral("Failed to launch help."));
}

void CSenderApp::ShowWarning(const QString& caption, const QString& text)
{
    CDialog* main = GetMainWnd();
    QMessageBox::warning(main != nullptr ? main->GetSafeWidget() : nullptr, caption, text);
}

} // namespace kestrin
