#include "ui/framework/win32/SliderCtrl.h"

#include <commctrl.h>

namespace kestrin {

void CSliderCtrl::SetRange(int minimum, int maximum, bool redraw)
{
    if (m_hwnd == nullptr)
        return;
    SendMessageW(m_hwnd, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(m_hwnd, TBM_SETRANGEMAX, redraw ? TRUE : FALSE, maximum);
}

int CSliderCtrl::GetRangeMin() const
{
    return m_hwnd != nullptr ? static_cast<int>(SendMessageW(m_hwnd, TBM_GETRANGEMIN, 0, 0)) : 0;
}

int CSliderCtrl::GetRangeMax() const
{
    return m_hwnd != nullptr ? static_cast<int>(SendMessageW(m_hwnd, TBM_GETRANGEMAX, 0, 0)) : 0;
}

void CSliderCtrl::SetPos(int position)
{
    if (m_hwnd != nullptr)
        SendMessageW(m_hwnd, TBM_SETPOS, TRUE, position);
}

int CSliderCtrl::GetPos() const
{
    return m_hwnd != nullptr ? static_cast<int>(SendMessageW(m_hwnd, TBM_GETPOS, 0, 0)) : 0;
}

} // namespace kestrin
