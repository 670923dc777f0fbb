#include "ui/windows/AboutDlg.h"

#include "resources/Resource.h"

namespace kestrin {

CAboutDlg::CAboutDlg()
    : CDialog(IDD_ABOUTBOX)
{ }

} // namespace kestrin
