// Listens to a recording of a send and prints what it heard: the text the tones decode to, holes
// in the stream, and the count, median and range of the pitches and of dot and dash lengths.
// Used by sender_e2e.sh.
//   morse_listen FILE.wav DOT_MS
// Spacing is read at gap 1: within a character one dot of silence, between characters two,
// between words seven.

#include "engine/MorseTable.h"
#include "tests/e2e/RecordedTones.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Range {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    // count, median, min, max
    void Print(const char* name)
    {
        std::sort(values.begin(), values.end());
        if (values.empty())
            values.push_back(0);
        std::printf("%s: %zu %.3f %.3f %.3f\n", name, values.size(), values[values.size() / 2],
            values.front(), values.back());
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
    // A hole in the stream (a dropout) splits a tone in two. The send's own silences are never
    // much shorter than a dot; a shorter one is a hole, and the pieces around it are one tone.
    // Holes are counted, and the length of a tone with a hole in it says nothing of keying, so it
    // is left out of the ranges.
    const auto isSpacing = [dotMs](double silenceMs) { return silenceMs >= dotMs / 2; };
    struct Tone {
        kestrin::test::HeardTone heard;
        bool holed = false;
    };
    std::vector<Tone> tones;
    int holes = 0;
    for (const auto& piece : kestrin::test::FindTones(kestrin::test::ReadWav(argv[1]))) {
        if (!tones.empty() && !isSpacing(piece.StartMs() - tones.back().heard.EndMs())) {
            ++holes;
            tones.back().heard.last = piece.last;
            tones.back().holed = true;
            continue;
        }
        tones.push_back({ piece });
    }
    Range pitch, dots, dashes;
    std::string text, pattern;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        if (i > 0) {
            const double silenceMs = tones[i].heard.StartMs() - tones[i - 1].heard.EndMs();
            if (silenceMs > 1.5 * dotMs) {
                text += CharacterOf(pattern);
                pattern.clear();
            }
            if (silenceMs > 4.5 * dotMs)
                text += ' ';
        }
        const double lengthMs = tones[i].heard.LengthMs();
        if (!tones[i].holed)
            (lengthMs < 2 * dotMs ? dots : dashes).Add(lengthMs);
        pattern += lengthMs < 2 * dotMs ? '.' : '-';
        pitch.Add(tones[i].heard.FrequencyHz());
    }
    if (!pattern.empty())
        text += CharacterOf(pattern);
    std::printf("tones: %zu\n", tones.size());
    std::printf("holes: %d\n", holes);
    std::printf("text: %s\n", text.c_str());
    pitch.Print("pitch");
    dots.Print("dots");
    dashes.Print("dashes");
    return 0;
}
