#pragma once

#include <limits>

namespace kestrin {

// The three keying settings the main window holds for the whole run. Plain data: the settings
// store loads and saves them, the sliders change them, the send engine reads them.
struct KeyerSettings {
    int tone = 800; // hertz
    int speed = 20; // words per minute
    int gap = 1; // extra character gap, in dots

    friend bool operator==(const KeyerSettings&, const KeyerSettings&) = default;
};

// Dot time in ms for a speed of at least 1: 1200 / speed, the remainder discarded.
constexpr int DotTimeMs(int speed)
{
    return 1200 / speed;
}

// The largest gap whose gap x dot time still fits an int, as the character pad needs.
constexpr int LargestUsableGap(int dotMs)
{
    return dotMs == 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::max() / dotMs;
}

} // namespace kestrin
