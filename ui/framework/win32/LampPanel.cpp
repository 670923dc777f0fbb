#include "ui/framework/win32/LampPanel.h"

#include <commctrl.h>

namespace kestrin {
namespace {

// A message nobody posts.
constexpr UINT kNeverPosted = WM_APP + 0x3FFF;

// Puts what was drawn on the screen now, while the window thread handles no messages. Windows
// composes a window DC's drawing at once; Wine draws into a window surface that it hands to the X
// server when the thread looks for messages, or at EndPaint when it has not looked for 50 ms. A
// look that can find nothing hands it over at once and takes nothing from the queue.
void ShowNow(HWND window)
{
    (void)GdiFlush();
    MSG msg;
    (void)PeekMessageW(&msg, window, kNeverPosted, kNeverPosted, PM_NOREMOVE | PM_NOYIELD);
}

COLORREF ToColorRef(Colour colour)
{
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

const wchar_t* const kLampProperty = L"kestrin.LampPanel";
constexpr UINT_PTR kSubclassId = 1;

} // namespace

class GdiSurface final : public LampSurface {
public:
    GdiSurface(LampPanel& panel, HDC dc)
        : m_panel(panel)
        , m_dc(dc)
    { }
    ~GdiSurface() override { ReleaseDC(m_panel.m_hwnd, m_dc); }
    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;

    void FillSolid(const PixelRect& rect, Colour colour) override
    {
        if (m_panel.m_lastFill == std::pair(rect, colour))
            return;
        const RECT r { rect.left, rect.top, rect.right, rect.bottom };
        SetBkColor(m_dc, ToColorRef(colour));
        ExtTextOutW(m_dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
        Shown(std::pair(rect, colour));
    }

    void Ellipse(const PixelRect& rect) override
    {
        // The device context's default pen and brush: a black outline, a white interior.
        ::Ellipse(m_dc, rect.left, rect.top, rect.right, rect.bottom);
        Shown(std::nullopt);
    }

private:
    void Shown(std::optional<std::pair<PixelRect, Colour>> fill)
    {
        ShowNow(m_panel.m_hwnd);
        m_panel.m_lastFill = fill;
        ++m_panel.m_screenDraws;
    }

    LampPanel& m_panel;
    HDC m_dc;
};

LampPanel* LampPanel::Attach(HWND control)
{
    if (control == nullptr)
        return nullptr;
    if (LampPanel* existing = FromHandle(control))
        return existing;
    auto* panel = new LampPanel(control);
    SetPropW(control, kLampProperty, panel);
    SetWindowSubclass(control, &LampPanel::PanelProc, kSubclassId, 0);
    return panel;
}

LampPanel* LampPanel::FromHandle(HWND control)
{
    return control != nullptr ? static_cast<LampPanel*>(GetPropW(control, kLampProperty)) : nullptr;
}

LRESULT CALLBACK LampPanel::PanelProc(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_PAINT) {
        // The panel's own face is black, whatever colour the theme gives a black rectangle. What
        // was drawn on it is gone.
        if (LampPanel* panel = FromHandle(window))
            panel->m_lastFill.reset();
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client {};
        GetClientRect(window, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        // The panel ends with its control.
        delete FromHandle(window);
        RemovePropW(window, kLampProperty);
        RemoveWindowSubclass(window, &LampPanel::PanelProc, kSubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

std::unique_ptr<LampSurface> LampPanel::GetSurface()
{
    HDC dc = GetWindowDC(m_hwnd);
    if (dc == nullptr)
        return nullptr;
    return std::make_unique<GdiSurface>(*this, dc);
}

} // namespace kestrin
