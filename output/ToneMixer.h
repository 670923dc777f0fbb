#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kestrin {

inline constexpr int kToneSampleRate = 48000;
inline constexpr int kSamplesPerMs = kToneSampleRate / 1000;

// Sums tone voices into the buffers an audio device asks for. Each voice is a sine of a whole
// number of hertz, exactly durationMs x 48 samples long, placed at an absolute sample position of
// the stream, with a raised-cosine rise and fall inside those samples so that keying makes no
// clicks. Overlapping voices add; a smooth gain keeps the sum inside [-1, 1]. It also keeps the
// stream's sample clock (when the last buffers were asked for) so that a voice can start a fixed
// delay after its call. It knows nothing of any audio library and never sleeps; Render is meant
// for one audio thread at a time, everything else for any thread.
class ToneMixer {
public:
    using Clock = std::chrono::steady_clock;

    // Voices that can be pending or sounding at once; a further one is silent.
    static constexpr int kMaxVoices = 32;
    // Each voice alone peaks at this, so two overlapping ones still need no gain reduction.
    static constexpr float kVoiceAmplitude = 0.5f;
    // Rise and fall: 4 ms of raised cosine (10 to 90 % in 2.4 ms), at most half the voice.
    static constexpr int kRampSamples = 8 * kSamplesPerMs;
    // Callbacks whose timing the sample clock takes the median of.
    static constexpr int kClockWindow = 16;

    // A voice handed out by Add: its samples are [start, end). Empty when nothing will sound.
    struct Voice {
        std::uint64_t id = 0;
        std::int64_t start = 0;
        std::int64_t end = 0;
        bool Empty() const { return end <= start; }
    };

    // startDelayMs: how long after its call a voice placed by AddAfterDelay starts.
    explicit ToneMixer(int startDelayMs);

    // Places a voice at startSample, or at the first sample not yet handed to the device when that
    // is later, so that a voice always sounds whole. Silent (empty) for a frequency that cannot be
    // rendered (0 or less, half the sample rate or more), a duration of 0 or less, a full table or
    // a stopped mixer.
    Voice Add(int frequencyHz, int durationMs, std::int64_t startSample);

    // Places a voice the start delay after callTime on the stream's sample clock, so that every
    // voice has the same latency and tones keep the spacing of their calls. Before the first
    // buffer, at the first sample.
    Voice AddAfterDelay(int frequencyHz, int durationMs, Clock::time_point callTime);

    // Blocks until all of the voice has been rendered (true), or until deadline or Stop (false).
    // A voice given up on before any of it was rendered is withdrawn: it never sounds late.
    bool WaitRendered(const Voice& voice, Clock::time_point deadline);

    // Fills out with the next frames samples of the stream; now is when the device asked for them.
    // Takes the lock twice for a copy of the voices and a position; allocates nothing.
    void Render(float* out, int frames, Clock::time_point now);

    // Releases every waiter and makes further voices silent.
    void Stop();

    // Samples rendered so far.
    std::int64_t Position() const;

    // Gain of a voice n samples into its length samples, in [0, 1].
    static float Envelope(std::int64_t n, std::int64_t length);

private:
    struct Slot {
        Voice voice;
        int frequencyHz = 0;
        bool used = false;
    };

    Voice AddLocked(int frequencyHz, int durationMs, std::int64_t startSample);
    std::int64_t ClockSampleLocked(Clock::time_point time) const;

    const Clock::duration m_startDelay;

    mutable std::mutex m_mutex;
    std::condition_variable m_rendered;
    std::array<Slot, kMaxVoices> m_slots {};
    std::uint64_t m_nextId = 1;
    std::int64_t m_renderedTo = 0; // every sample before this is in a finished buffer
    std::int64_t m_claimedTo = 0; // every sample before this is in a buffer begun
    bool m_stopped = false;
    // Sample clock: for recent buffers, when each was asked for minus its first sample's time on
    // the stream, both counted from the first buffer's request.
    Clock::time_point m_clockBase {};
    std::array<std::int64_t, kClockWindow> m_offsetsNs {};
    int m_offsetCount = 0;
    int m_offsetNext = 0;

    // Render's own copy of the voices it is mixing; only the audio thread touches it.
    std::array<Slot, kMaxVoices> m_mixing {};
};

} // namespace kestrin
