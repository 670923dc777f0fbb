#pragma once

#include "ui/framework/win32/Win32.h"

namespace kestrin {

// A dialog's trackbar as a member: bound to its control by data exchange, it sets and reads the
// range and position through the trackbar's messages. Unbound it does nothing and reads 0.
class CSliderCtrl {
public:
    void Attach(HWND trackbar) { m_hwnd = trackbar; }
    HWND GetSafeHwnd() const { return m_hwnd; }

    void SetRange(int minimum, int maximum, bool redraw = false);
    int GetRangeMin() const;
    int GetRangeMax() const;

    // A position outside the range shows at the nearer end.
    void SetPos(int position);
    int GetPos() const;

private:
    HWND m_hwnd = nullptr;
};

} // namespace kestrin
