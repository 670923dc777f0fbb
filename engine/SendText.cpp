#include "engine/SendText.h"

#include "engine/MorseTable.h"
#include "output/KeyElement.h"

#include <string>

namespace kestrin {

namespace {

// (gap x dot) / 2, or nothing when gap x dot is negative or beyond a 32-bit int.
std::optional<int> CharacterPadMs(int gap, int dotMs)
{
    if (gap < 0 || gap > LargestUsableGap(dotMs))
        return std::nullopt;
    return gap * dotMs / 2;
}

} // namespace

std::optional<SendTiming> TimingFor(int speed, int gap)
{
    if (speed < 1)
        return std::nullopt;
    const int dotMs = DotTimeMs(speed);
    const auto padMs = CharacterPadMs(gap, dotMs);
    if (!padMs)
        return std::nullopt;
    return SendTiming { dotMs, 3 * dotMs, *padMs, 5 * dotMs };
}

void SendText(KeyerWindow& window, const KeyerServices& services)
{
    const std::string text = window.Text();
    if (text.empty())
        return;
    // The settings store never hands out values that fail here; if one slips through, the send
    // does nothing rather than divide by zero or wait a negative time.
    const auto timing = TimingFor(window.Settings().speed, window.Settings().gap);
    if (!timing)
        return;

    for (const char byte : text) {
        const char upper
            = (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 'a' + 'A') : byte;
        if (upper == ' ') {
            services.sleeper.Sleep(timing->wordPauseMs);
            continue;
        }
        const auto pattern = kMorseTable.Lookup(std::string_view(&upper, 1));
        if (!pattern)
            continue;
        // The gap is read at each character, the speed only once per send.
        const int characterPadMs
            = CharacterPadMs(window.Settings().gap, timing->dotMs).value_or(timing->characterPadMs);
        services.sleeper.Sleep(characterPadMs);
        for (const char symbol : *pattern)
            KeyElement(window, services, symbol == '-' ? timing->dashMs : timing->dotMs);
        services.sleeper.Sleep(characterPadMs);
    }
}

} // namespace kestrin
