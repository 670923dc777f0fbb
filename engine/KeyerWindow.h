#pragma once

#include "settings/KeyerSettings.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kestrin {

// 0xRRGGBB.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x000000;

// A rectangle in device pixels; right and bottom are exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Drawing surface over the lamp panel's whole window area, border included. What is drawn must
// be on screen at once: during a send the window handles no events, so nothing else would show it.
class LampSurface {
public:
    virtual ~LampSurface() = default;
    virtual void FillSolid(const PixelRect& rect, Colour colour) = 0;
    // The ellipse inscribed in rect, with a one-pixel black outline and a white interior.
    virtual void Ellipse(const PixelRect& rect) = 0;
};

// The five things a send needs of its window, and nothing more, so that the engine can run on a
// test double as well as on the main window.
class KeyerWindow {
public:
    virtual ~KeyerWindow() = default;
    // The text box's content as bytes, exactly as typed (UTF-8; a multi-line text keeps its line
    // ends).
    virtual std::string Text() const = 0;
    virtual const KeyerSettings& Settings() const = 0;
    virtual Colour LampOffColour() const = 0;
    // Null when no surface can be had; the element then keys without drawing.
    virtual std::unique_ptr<LampSurface> GetLampSurface() = 0;
    // Marks the whole client area for repainting; takes effect once events are handled again.
    virtual void MarkForRepaint() = 0;
};

} // namespace kestrin
