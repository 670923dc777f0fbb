#pragma once

#include "engine/KeyerWindow.h"
#include "engine/Platform.h"

namespace kestrin {

// Sends the window's text as Morse: reads text, speed and gap once, then walks the text byte by
// byte, pausing for spaces, skipping characters without a row, and keying each dot and dash.
// Runs on the window thread and returns when the whole text has been sent.
void SendText(KeyerWindow& window, const KeyerServices& services);

} // namespace kestrin
