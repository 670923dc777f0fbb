#include "ui/AboutDlg.h"

#include "resources/Resource.h"

namespace kestrin {

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUTBOX)
{ }

CAboutDlg::~CAboutDlg() = default;

const MessageMap& CAboutDlg::GetMessageMap() const
{
    // Empty: everything gets the dialog's default processing.
    static const MessageMap kMap { &CDialog::GetMessageMap(), {} };
    return kMap;
}

void CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
}

} // namespace kestrin
