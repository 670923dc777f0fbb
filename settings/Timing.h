#pragma once

#include <cstdint>
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
constexpr int LargestFittingGap(int dotMs)
{
    return dotMs == 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::max() / dotMs;
}

// The silence before and after every character: (gap x dot time) / 2, or nothing when gap x dot
// time is negative or beyond an int.
constexpr std::optional<int> CharacterPadMs(int gap, int dotMs)
{
    if (gap < 0 || gap > LargestFittingGap(dotMs))
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

// What a stored setting must be for a send to sound as the user means it. The settings store
// gives a value outside these bounds its default; inside them, a value beyond its slider is kept.
// The sliders (tone 400 to 1000 Hz, speed 1 to 25 WPM, gap 1 to 20 dots) lie within them.

// An audible pitch the 48 kHz output plays cleanly: from the bottom of human hearing to its top.
// 20 kHz leaves room below half the sample rate (24 kHz) for the sidebands of the tone's rise and
// fall and for the sound servers' resamplers, which pass up to about 0.9 x 24 kHz. Below 20 Hz a
// tone is a hum at full level, hard on loudspeakers; from 24 kHz on the output renders nothing.
inline constexpr int kLowestToneHz = 20;
inline constexpr int kHighestToneHz = 20000;

// The shortest dot that still sounds as a keyed tone: its rise and its fall, 6 ms each
// (ToneMixer::kRampSamples in output/, which cannot see this header), and no less. A shorter dot
// is all edge, and at 1201 WPM and over the dot time is 0 ms: nothing sounds.
inline constexpr int kShortestDotMs = 2 * 6;
inline constexpr int kFastestSpeed = 1200 / kShortestDotMs; // 100 WPM

// The longest character pad: the longest the sliders can set, a gap of 20 dots at 1 WPM (12 s
// before and after every character). A send cannot be stopped, so a longer pad, which only a
// hand-edited file can hold, freezes the window for minutes or days.
inline constexpr int kLongestCharacterPadMs = 20 * DotTimeMs(1) / 2;

constexpr bool IsUsableTone(std::int64_t hz)
{
    return hz >= kLowestToneHz && hz <= kHighestToneHz;
}

constexpr bool IsUsableSpeed(std::int64_t speed)
{
    return speed >= 1 && speed <= kFastestSpeed;
}

// For a usable speed.
constexpr bool IsUsableGap(std::int64_t gap, int speed)
{
    return gap >= 0 && gap <= std::numeric_limits<int>::max()
        && gap * DotTimeMs(speed) / 2 <= kLongestCharacterPadMs;
}

static_assert(DotTimeMs(kFastestSpeed) >= kShortestDotMs);
static_assert(DotTimeMs(kFastestSpeed + 1) < kShortestDotMs);

} // namespace kestrin
