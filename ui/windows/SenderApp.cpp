#include "ui/windows/SenderApp.h"

#include "resources/Resource.h"
#include "settings/SettingsStore.h"
#include "ui/windows/SenderDlg.h"

namespace kestrin {

CSenderApp::CSenderApp() = default;

CSenderApp::~CSenderApp() = default;

const MessageMap& CSenderApp::GetMessageMap() const
{
    static constexpr MessageMapEntry kEntries[] = { OnCommand<&CWinApp::OnHelp>(ID_HELP) };
    static const MessageMap kMap { &CWinApp::GetMessageMap(), kEntries };
    return kMap;
}

bool CSenderApp::InitInstance()
{
    CSenderDlg dlg(KeyerServices { m_sleeper, m_workers, m_tone, m_sendStarting });
    SetMainWnd(&dlg);
    m_sender = &dlg;
    (void)dlg.DoModal(); // however the window was closed, the program ends
    m_sender = nullptr;
    SetMainWnd(nullptr);
    // The help window ends with the run: this object is static and outlives Qt's application
    // object, after which no widget can be destroyed.
    m_help.Close();
    return false;
}

void CSenderApp::OnTerminationSignal()
{
    OnRunCutShort();
    CWinApp::OnTerminationSignal();
}

void CSenderApp::OnRunCutShort()
{
    if (m_sender != nullptr)
        SaveKeyerSettings(m_sender->SettingsFile(), m_sender->Settings());
}

} // namespace kestrin
