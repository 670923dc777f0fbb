#pragma once

#include "output/KeyerWindow.h"
#include "output/Platform.h"

#include <optional>

namespace kestrin {

// Send timing derived from the speed and gap, all in whole milliseconds with every division
// discarding its remainder.
struct SendTiming {
    int dotMs = 0;
    int dashMs = 0;
    int characterPadMs = 0;
    int wordPauseMs = 0;
};

// The timing for speed and gap, or nothing when no timing can use them: a speed below 1, a gap
// below 0, or a character pad beyond a 32-bit int.
std::optional<SendTiming> TimingFor(int speed, int gap);

// Sends the window's text as Morse: reads text, speed and gap once, then walks the text byte by
// byte, pausing for spaces, skipping characters without a row, and keying each dot and dash.
// Runs on the window thread and returns when the whole text has been sent.
void SendText(KeyerWindow& window, const KeyerServices& services);

} // namespace kestrin
