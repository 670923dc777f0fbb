#include "ui/windows/SenderDlg.h"

#include "resources/Resource.h"
#include "ui/framework/win32/LampPanel.h"

// CSenderDlg's part that knows Win32: the lamp is the template's own black panel, the text box's
// text comes from its window, and the dialog manager's controls need no names of their own (a
// screen reader reads each slider's label beside it).

namespace kestrin {

ControlWindow* CSenderDlg::CreateControl(const ControlTemplate& control, ControlWindow* parent)
{
    if (control.id == IDC_LAMP)
        LampPanel::Attach(::GetDlgItem(parent, IDC_LAMP));
    return CDialog::CreateControl(control, parent);
}

void CSenderDlg::NameControlsForAccessibility() { }

std::string CSenderDlg::Text() const
{
    // UTF-8 keeps every non-ASCII character in bytes of 128 and above, which have no Morse row:
    // nothing typed can turn into a character that is sounded. The edit box's line breaks are
    // "\r\n"; the carriage return has no Morse row either.
    return GetDlgItemText(IDC_TEXT);
}

LampPanel* CSenderDlg::Lamp() const
{
    return LampPanel::FromHandle(GetDlgItem(IDC_LAMP));
}

std::unique_ptr<LampSurface> CSenderDlg::GetLampSurface()
{
    LampPanel* lamp = Lamp();
    return lamp != nullptr ? lamp->GetSurface() : nullptr;
}

void CSenderDlg::MarkForRepaint()
{
    if (HWND window = GetSafeHwnd())
        InvalidateRect(window, nullptr, FALSE);
}

} // namespace kestrin
