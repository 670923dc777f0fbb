#pragma once

#include "ui/face/Dialog.h"

namespace kestrin {

// The About box: the program icon, name and version and three maker lines, on template
// IDD_ABOUTBOX, owned by the main window. It does nothing but get dismissed (OK, Enter, Escape,
// the close button), all by the dialog's default processing; run it with CAboutDlg().DoModal().
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};

} // namespace kestrin
