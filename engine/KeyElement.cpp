#include "engine/KeyElement.h"

#include "settings/Timing.h"

#include <algorithm>

namespace kestrin {

void ToneWorker(const ToneFunction& tone, int frequencyHz, int durationMs,
    std::chrono::steady_clock::time_point calledAt)
{
    if (tone)
        tone(frequencyHz, durationMs, calledAt);
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
    // The worker gets copies only: a later change of tone must not reach a sounding element. It
    // may wake late on a busy machine; the time taken here still places its tone.
    const auto calledAt = services.sleeper.Now();
    (void)services.workers.Start([tone = services.tone, frequencyHz, durationMs, calledAt] {
        ToneWorker(tone, frequencyHz, durationMs, calledAt);
    }); // a worker that cannot start leaves this element silent; lamp and timing go on
    services.sleeper.Sleep(durationMs);
    fill();
    window.MarkForRepaint();
    services.sleeper.Sleep(padMs);
}

} // namespace kestrin
