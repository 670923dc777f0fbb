#include "engine/KeyElement.h"

#include "settings/Timing.h"

#include <algorithm>

namespace kestrin {

void ToneWorker(const ToneFunction& tone, int frequencyHz, int durationMs)
{
    if (tone)
        tone(frequencyHz, durationMs);
}

void KeyElement(KeyerWindow& window, const KeyerServices& services, int durationMs)
{
    const int frequencyHz = window.Settings().tone;
    const int padMs = ElementPadMs(window.Settings().speed);
    durationMs = std::max(durationMs, 0);

    auto surface = window.GetLampSurface();
    const auto fill = [&] {
        if (surface)
            surface->FillSolid(kLampSquare, window.LampOffColour());
    };

    fill();
    services.sleeper.Sleep(padMs);
    window.MarkForRepaint();
    if (surface)
        surface->Ellipse(kLampDisc);
    window.MarkForRepaint();
    // The worker gets copies only: a later change of tone must not reach a sounding element.
    (void)services.workers.Start([tone = services.tone, frequencyHz, durationMs] {
        ToneWorker(tone, frequencyHz, durationMs);
    }); // a worker that cannot start leaves this element silent; lamp and timing go on
    services.sleeper.Sleep(durationMs);
    fill();
    window.MarkForRepaint();
    services.sleeper.Sleep(padMs);
}

} // namespace kestrin
