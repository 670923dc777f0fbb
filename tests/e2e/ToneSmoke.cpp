// End-to-end smoke of the tone generator on a real sound server, driven by tone_smoke.sh:
//   tone_smoke play          keys a few elements through the default audio device
//   tone_smoke check FILE    checks that FILE (16-bit mono 48 kHz WAV) holds exactly them
// Exits 0 when all is well; prints what it found either way.

#include "output/KeyElement.h"
#include "output/ToneGenerator.h"
#include "output/ToneMixer.h"
#include "tests/support/FakeKeyer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using kestrin::kSamplesPerMs;
using kestrin::kToneSampleRate;

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

std::vector<int16_t> ReadWav(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    char riff[12];
    if (!in.read(riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0)
        return {};
    char id[4];
    uint32_t size = 0;
    while (in.read(id, 4) && in.read(reinterpret_cast<char*>(&size), 4)) {
        if (std::memcmp(id, "data", 4) != 0) {
            in.seekg(size + (size & 1), std::ios::cur);
            continue;
        }
        std::vector<int16_t> samples;
        int16_t x = 0;
        // A recorder stopped by a signal may leave the size unset: read to the end.
        while (in.read(reinterpret_cast<char*>(&x), sizeof x))
            samples.push_back(x);
        return samples;
    }
    return {};
}

int Check(const char* path)
{
    const auto s = ReadWav(path);
    struct Found {
        std::size_t first, last;
        int crossings = 0;
        std::size_t firstCrossing = 0, lastCrossing = 0;
    };
    std::vector<Found> found;
    std::size_t zeros = kSamplesPerMs;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 0) {
            ++zeros;
            continue;
        }
        // A pause is at least 1 ms of silence; inside a tone the sine is never 0 for so long.
        if (zeros >= static_cast<std::size_t>(kSamplesPerMs))
            found.push_back({ i, i });
        Found& f = found.back();
        if (i > f.first && (s[i] < 0) != (s[f.last] < 0)) {
            f.firstCrossing = f.crossings++ == 0 ? i : f.firstCrossing;
            f.lastCrossing = i;
        }
        f.last = i;
        zeros = 0;
    }
    bool ok = found.size() == std::size(kElements);
    std::printf(
        "%zu samples, %zu tones (want %zu)\n", s.size(), found.size(), std::size(kElements));
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Found& f = found[i];
        const double ms = static_cast<double>(f.last - f.first + 1) / kSamplesPerMs;
        const double hz = f.crossings < 2 ? 0.0
                                          : (f.crossings - 1) / 2.0 * kToneSampleRate
                / static_cast<double>(f.lastCrossing - f.firstCrossing);
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

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "play")
        return Play();
    if (argc == 3 && std::string(argv[1]) == "check")
        return Check(argv[2]);
    std::fprintf(stderr, "usage: tone_smoke play | check FILE\n");
    return 2;
}
