// End-to-end smoke of the tone generator on a real sound server, driven by tone_smoke.sh:
//   tone_smoke play          keys a few elements through the default audio device
//   tone_smoke check FILE    checks that FILE (16-bit mono 48 kHz WAV) holds exactly them
//   tone_smoke sends         sends each line read from stdin as the program does (speed 20, gap
//                            1, 800 Hz), and after each prints "sent MS" with the time it took
// Exits 0 when all is well; prints what it found either way.

#include "engine/KeyElement.h"
#include "engine/SendText.h"
#include "output/ToneGenerator.h"
#include "output/ToneMixer.h"
#include "tests/e2e/RecordedTones.h"
#include "tests/support/FakeKeyer.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Element {
    int frequencyHz;
    int durationMs;
};

// Speed 20: pads of 30 ms between elements. 2000 Hz is above the slider but must still sound.
const Element kElements[] = { { 800, 60 }, { 1000, 180 }, { 400, 60 }, { 2000, 144 }, { 600, 48 } };

int Play()
{
    kestrin::ToneGenerator generator;
    generator.OpenAsync();
    if (!generator.WaitUntilOpen()) {
        std::printf("no audio device\n");
        return 1;
    }
    kestrin::test::FakeWindow window;
    kestrin::ThreadSleeper sleeper;
    kestrin::ThreadStarter starter;
    const kestrin::KeyerServices services { sleeper, starter, generator.AsToneFunction() };
    for (const Element& e : kElements) {
        window.settings.tone = e.frequencyHz;
        KeyElement(window, services, e.durationMs);
    }
    // The last worker is detached: give its tone time to reach the server before closing.
    sleeper.Sleep(300);
    return 0;
}

int Check(const char* path)
{
    const auto s = kestrin::test::ReadWav(path);
    const auto found = kestrin::test::FindTones(s);
    bool ok = found.size() == std::size(kElements);
    std::printf(
        "%zu samples, %zu tones (want %zu)\n", s.size(), found.size(), std::size(kElements));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const double ms = found[i].LengthMs();
        const double hz = found[i].FrequencyHz();
        bool good = false;
        if (i < std::size(kElements)) {
            const Element& e = kElements[i];
            good = std::abs(ms - e.durationMs) <= 1.0
                && std::abs(hz - e.frequencyHz) <= 0.01 * e.frequencyHz;
            std::printf("tone %zu: %.3f ms at %.1f Hz (want %d ms at %d Hz) %s\n", i, ms, hz,
                e.durationMs, e.frequencyHz, good ? "ok" : "WRONG");
        } else {
            std::printf("tone %zu: %.3f ms at %.1f Hz, not keyed\n", i, ms, hz);
        }
        ok = ok && good;
    }
    return ok ? 0 : 1;
}

// One generator for every line, as the program keeps one for its life: it closes while idle and
// reconnects to a server that went away.
int Sends()
{
    kestrin::ToneGenerator generator;
    generator.OpenAsync();
    kestrin::test::FakeWindow window;
    kestrin::ThreadSleeper sleeper;
    kestrin::ThreadStarter starter;
    const kestrin::KeyerServices services { sleeper, starter, generator.AsToneFunction(),
        generator.AsPrepareFunction() };
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto start = std::chrono::steady_clock::now();
        window.text = line;
        services.sendStarting();
        kestrin::SendText(window, services);
        // The last worker is detached: give its tone time to reach the server.
        sleeper.Sleep(300);
        std::printf("sent %lld\n",
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start)
                                       .count()));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "play")
        return Play();
    if (argc == 2 && std::string(argv[1]) == "sends")
        return Sends();
    if (argc == 3 && std::string(argv[1]) == "check")
        return Check(argv[2]);
    std::fprintf(stderr, "usage: tone_smoke play | sends | check FILE\n");
    return 2;
}
