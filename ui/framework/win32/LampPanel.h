#pragma once

#include "engine/KeyerWindow.h"
#include "ui/framework/win32/Win32.h"

#include <memory>

namespace kestrin {

// The lamp panel: a static control of the template (its black rectangle), drawn on with GDI
// through its window's device context at once, without waiting for WM_PAINT (during a send the
// window thread handles no messages). It lives as long as its control.
class LampPanel {
public:
    // Makes `control` a lamp panel; null when there is no control.
    static LampPanel* Attach(HWND control);
    // The lamp panel of `control`, or null.
    static LampPanel* FromHandle(HWND control);

    LampPanel(const LampPanel&) = delete;
    LampPanel& operator=(const LampPanel&) = delete;

    // A surface over the panel's whole window area, border included; null when none can be had.
    std::unique_ptr<LampSurface> GetSurface();

private:
    explicit LampPanel(HWND control)
        : m_hwnd(control)
    { }
    static LRESULT CALLBACK PanelProc(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    HWND m_hwnd;
};

} // namespace kestrin
