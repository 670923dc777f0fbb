// How a dialog routes its messages: the same on every face, so written once against the face the
// build chose.
#include "resources/Resource.h"
#include "ui/face/Dialog.h"
#include "ui/face/WinApp.h"

namespace kestrin {

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
