#pragma once

namespace kestrin {

// The three keying settings the main window holds for the whole run. Plain data: the settings
// store loads and saves them, the sliders change them, the send engine reads them.
struct KeyerSettings {
    int tone = 800; // hertz
    int speed = 20; // words per minute
    int gap = 1; // extra character gap, in dots

    friend bool operator==(const KeyerSettings&, const KeyerSettings&) = default;
};

} // namespace kestrin
