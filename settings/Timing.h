#pragma once

#include <limits>
#include <optional>

namespace kestrin {

// Every timing rule of a send, in whole milliseconds; each division discards its remainder.
// Values no send can use (a speed below 1, a gap below 0, a character pad beyond an int) give
// nothing or zero rather than divide by zero or wait a negative time.

// Dot time for a speed of at least 1: 1200 / speed.
constexpr int DotTimeMs(int speed)
{
    return 1200 / speed;
}

// The silence before and after every element: 600 / speed; zero for a speed below 1.
constexpr int ElementPadMs(int speed)
{
    return speed >= 1 ? 600 / speed : 0;
}

// The largest gap whose gap x dot time still fits an int, as the character pad needs.
constexpr int LargestUsableGap(int dotMs)
{
    return dotMs == 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::max() / dotMs;
}

// The silence before and after every character: (gap x dot time) / 2, or nothing when gap x dot
// time is negative or beyond an int.
constexpr std::optional<int> CharacterPadMs(int gap, int dotMs)
{
    if (gap < 0 || gap > LargestUsableGap(dotMs))
        return std::nullopt;
    return gap * dotMs / 2;
}

struct SendTiming {
    int dotMs = 0;
    int dashMs = 0; // 3 x dot time
    int characterPadMs = 0;
    int wordPauseMs = 0; // what a space adds: 5 x dot time
};

// The timing for speed and gap, or nothing when no send can use them.
constexpr std::optional<SendTiming> TimingFor(int speed, int gap)
{
    if (speed < 1)
        return std::nullopt;
    const int dotMs = DotTimeMs(speed);
    const auto padMs = CharacterPadMs(gap, dotMs);
    if (!padMs)
        return std::nullopt;
    return SendTiming { dotMs, 3 * dotMs, *padMs, 5 * dotMs };
}

} // namespace kestrin
