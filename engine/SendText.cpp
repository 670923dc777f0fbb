#include "engine/SendText.h"

#include "engine/KeyElement.h"
#include "engine/MorseTable.h"
#include "settings/Timing.h"

#include <string>

namespace kestrin {

namespace {

// Tells the sleeper a send runs for as long as this lives, however the send ends.
class SendScope {
public:
    explicit SendScope(Sleeper& sleeper)
        : m_sleeper(sleeper)
    {
        m_sleeper.SendStarts();
    }
    ~SendScope() { m_sleeper.SendEnds(); }
    SendScope(const SendScope&) = delete;
    SendScope& operator=(const SendScope&) = delete;

private:
    Sleeper& m_sleeper;
};

} // namespace

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

    const SendScope scope(services.sleeper);
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
