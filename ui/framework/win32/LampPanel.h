#pragma once

#include "engine/KeyerWindow.h"
#include "ui/framework/win32/Win32.h"

#include <memory>
#include <optional>
#include <utility>

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
    // A fill that would leave the panel as it is draws nothing: under Wine each drawing that is
    // shown costs the window thread a fifth of a millisecond, and every gap on air with it.
    std::unique_ptr<LampSurface> GetSurface();

    // How many drawings were put on the screen.
    int ScreenDraws() const { return m_screenDraws; }

private:
    friend class GdiSurface;

    explicit LampPanel(HWND control)
        : m_hwnd(control)
    { }
    static LRESULT CALLBACK PanelProc(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    HWND m_hwnd;
    // The last drawing, when it was a fill and nothing has been drawn over it since.
    std::optional<std::pair<PixelRect, Colour>> m_lastFill;
    int m_screenDraws = 0;
};

} // namespace kestrin
