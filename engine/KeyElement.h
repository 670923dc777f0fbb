#pragma once

#include "engine/KeyerWindow.h"
#include "engine/Platform.h"

namespace kestrin {

// The lamp as drawn in the lamp panel, in pixels from its outer top-left corner, for the panel's
// size at 96 dpi with the 8-point dialog font.
inline constexpr PixelRect kLampSquare { 10, 10, 143, 143 };
inline constexpr PixelRect kLampDisc { 10, 10, 142, 142 };

// Worker body for one element: sounds its own copy of frequency, duration and call time, then
// ends.
void ToneWorker(const ToneFunction& tone, int frequencyHz, int durationMs,
    std::chrono::steady_clock::time_point calledAt);

// Keys one element (a dot or a dash) of durationMs: leading pad dark, lamp lit while the tone
// sounds on its own worker, trailing pad dark. The tone is called at the moment the lamp lit, by
// the sleeper's clock, however late its worker runs. Runs on the calling (window) thread and
// returns after 2 x pad + duration; it never waits for the worker.
void KeyElement(KeyerWindow& window, const KeyerServices& services, int durationMs);

} // namespace kestrin
