// Listens to a recording of a send and prints what it heard: the text the tones decode to, and
// the range of their pitches and of dot and dash lengths. Used by sender_e2e.sh.
//   morse_listen FILE.wav DOT_MS
// Spacing is read at gap 1: within a character one dot of silence, between characters two,
// between words seven.

#include "engine/MorseTable.h"
#include "tests/e2e/RecordedTones.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Range {
    int count = 0;
    double min = 1e9;
    double max = 0;
    void Add(double v)
    {
        ++count;
        min = std::min(min, v);
        max = std::max(max, v);
    }
};

char CharacterOf(const std::string& pattern)
{
    for (const auto& row : kestrin::kMorseTable.Rows()) {
        if (row.pattern == pattern)
            return row.character[0];
    }
    return '#';
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: morse_listen FILE.wav DOT_MS\n");
        return 2;
    }
    const double dotMs = std::atof(argv[2]);
    const auto tones = kestrin::test::FindTones(kestrin::test::ReadWav(argv[1]));
    Range pitch, dots, dashes;
    std::string text, pattern;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        if (i > 0) {
            const double silenceMs = tones[i].StartMs() - tones[i - 1].EndMs();
            if (silenceMs > 1.5 * dotMs) {
                text += CharacterOf(pattern);
                pattern.clear();
            }
            if (silenceMs > 4.5 * dotMs)
                text += ' ';
        }
        const double lengthMs = tones[i].LengthMs();
        (lengthMs < 2 * dotMs ? dots : dashes).Add(lengthMs);
        pattern += lengthMs < 2 * dotMs ? '.' : '-';
        pitch.Add(tones[i].FrequencyHz());
    }
    if (!pattern.empty())
        text += CharacterOf(pattern);
    std::printf("tones: %zu\n", tones.size());
    std::printf("text: %s\n", text.c_str());
    std::printf("pitch: %.1f %.1f\n", pitch.min, pitch.max);
    std::printf("dots: %d %.3f %.3f\n", dots.count, dots.min, dots.max);
    std::printf("dashes: %d %.3f %.3f\n", dashes.count, dashes.min, dashes.max);
    return 0;
}
