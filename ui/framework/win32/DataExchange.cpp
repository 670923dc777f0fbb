#include "ui/framework/DataExchange.h"

#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/SliderCtrl.h"

#include <commctrl.h>

namespace kestrin {

void CDataExchange::Control(int id, CSliderCtrl& slider)
{
    HWND control = m_dialog.GetDlgItem(id);
    wchar_t className[32] = {};
    if (control != nullptr && GetClassNameW(control, className, 32) > 0
        && lstrcmpiW(className, TRACKBAR_CLASSW) == 0)
        slider.Attach(control);
    else
        slider.Attach(nullptr);
}

} // namespace kestrin
