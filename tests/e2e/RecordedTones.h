#pragma once

// What a recording of keyed tones holds: the tones, found as runs of non-zero samples in a
// 16-bit mono WAV, with their start, length and pitch. For end-to-end tests and benchmarks.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace kestrin::test {

inline constexpr int kRecordedRate = 48000;

// The samples of a 16-bit mono WAV file; empty when it is not one. A recorder stopped by a
// signal may leave the data size unset, so the data chunk is read to the end of the file.
inline std::vector<std::int16_t> ReadWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    char riff[12];
    if (!in.read(riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0)
        return {};
    char id[4];
    std::uint32_t size = 0;
    while (in.read(id, 4) && in.read(reinterpret_cast<char*>(&size), 4)) {
        if (std::memcmp(id, "data", 4) != 0) {
            in.seekg(size + (size & 1), std::ios::cur);
            continue;
        }
        std::vector<std::int16_t> samples;
        std::int16_t x = 0;
        while (in.read(reinterpret_cast<char*>(&x), sizeof x))
            samples.push_back(x);
        return samples;
    }
    return {};
}

struct HeardTone {
    std::size_t first = 0; // sample index of the first non-zero sample
    std::size_t last = 0; // and of the last
    int crossings = 0;
    std::size_t firstCrossing = 0;
    std::size_t lastCrossing = 0;

    double StartMs() const { return static_cast<double>(first) * 1000.0 / kRecordedRate; }
    double EndMs() const { return static_cast<double>(last + 1) * 1000.0 / kRecordedRate; }
    double LengthMs() const { return EndMs() - StartMs(); }
    // From the zero crossings: half a period between each two.
    double FrequencyHz() const
    {
        if (crossings < 2)
            return 0.0;
        return (crossings - 1) / 2.0 * kRecordedRate / double(lastCrossing - firstCrossing);
    }
};

// Tones are runs of non-zero samples separated by at least 1 ms of digital silence; inside a tone
// the sine is never 0 for so long.
inline std::vector<HeardTone> FindTones(const std::vector<std::int16_t>& s)
{
    constexpr std::size_t kSilence = kRecordedRate / 1000;
    std::vector<HeardTone> found;
    std::size_t zeros = kSilence;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 0) {
            ++zeros;
            continue;
        }
        if (zeros >= kSilence)
            found.push_back({ i, i });
        HeardTone& t = found.back();
        if (i > t.first && (s[i] < 0) != (s[t.last] < 0)) {
            t.firstCrossing = t.crossings++ == 0 ? i : t.firstCrossing;
            t.lastCrossing = i;
        }
        t.last = i;
        zeros = 0;
    }
    return found;
}

} // namespace kestrin::test
