// What a dialog does the same on every face, written once against the face the build chose: how
// it routes its messages, and its defaults.
#include "ui/face/Dialog.h"

#include "resources/DialogTemplate.h"
#include "resources/Resource.h"
#include "ui/face/WinApp.h"
#include "ui/framework/DataExchange.h"

namespace kestrin {

CDialog::CDialog(int templateId, CDialog* parent)
    : m_templateId(templateId)
    , m_template(FindDialogTemplate(templateId))
    , m_parent(parent)
{ }

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) { }

void CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::OnDestroy() { }

ControlWindow* CDialog::CreateControl(const ControlTemplate&, ControlWindow*)
{
    return nullptr;
}

std::uint32_t CDialog::GetHelpContext() const
{
    return 0x20000u + static_cast<std::uint32_t>(m_templateId);
}

const MessageMap& CDialog::GetMessageMap() const
{
    static constexpr MessageMapEntry kEntries[] = {
        OnCommand<&CDialog::OnOK>(IDOK),
        OnCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap kMap { &CCmdTarget::GetMessageMap(), kEntries };
    return kMap;
}

bool CDialog::OnCmdMsg(int id, int code)
{
    if (CCmdTarget::OnCmdMsg(id, code))
        return true;
    CWinApp* app = CWinApp::Get();
    return app != nullptr && app->RouteCommand(*this, id, code);
}

void CDialog::SendMessage(const MessageArgs& args)
{
    if (args.message == Message::Command) {
        (void)OnCmdMsg(args.id, args.code); // an unhandled command is simply dropped
        return;
    }
    if (Dispatch(args))
        return;
    switch (args.message) {
    case Message::SysCommand:
        CDialog::OnSysCommand(static_cast<unsigned>(args.id));
        break;
    case Message::Close:
        CDialog::OnClose();
        break;
    case Message::Destroy:
        CDialog::OnDestroy();
        break;
    case Message::Command:
    case Message::Notify:
        break;
    }
}

} // namespace kestrin
