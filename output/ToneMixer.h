#pragma once

#include "output/SampleClock.h"

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>

namespace kestrin {

// Sums tone voices into the buffers an audio device asks for. Each voice is a sine of a whole
// number of hertz, exactly durationMs x 48 samples long, placed at an absolute sample position of
// the stream, with a raised-cosine rise and fall inside those samples so that keying makes no
// clicks. Overlapping voices add; a smooth gain keeps the sum inside [-1, 1]. It also keeps the
// stream's sample clock (when recent buffers were asked for) so that a voice can start a fixed
// delay after its call. It knows nothing of any audio library. Render is meant for one audio
// thread at a time and never waits for another thread: voices are handed over through atomics,
// since a caller holding a lock while the machine is busy would starve the device. Everything
// else is for any thread.
class ToneMixer {
public:
    using Clock = std::chrono::steady_clock;

    // Voices that can be pending or sounding at once; a further one is silent.
    static constexpr int kMaxVoices = 32;
    // Each voice alone peaks at this, so two overlapping ones still need no gain reduction.
    static constexpr float kVoiceAmplitude = 0.5f;
    // Rise and fall: 6 ms of raised cosine (10 to 90 % in 3.5 ms), at most half the voice. Shorter
    // ramps put more than 1/10000 of a 60 ms tone's energy over 200 Hz away from it.
    static constexpr int kRampSamples = 6 * kSamplesPerMs;

    // A voice handed out by Add: its samples are [start, end). Empty when nothing will sound.
    struct Voice {
        std::uint64_t id = 0;
        int slot = -1;
        std::int64_t start = 0;
        std::int64_t end = 0;
        bool Empty() const { return slot < 0; }
    };

    // startDelayMs: how long after its call a voice placed by AddAfterDelay starts.
    explicit ToneMixer(int startDelayMs);

    // Changes the start delay; only before the first voice, while no other thread uses the mixer.
    void SetStartDelay(int startDelayMs);

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
    // Takes no lock and allocates nothing.
    void Render(float* out, int frames, Clock::time_point now);

    // For a device that keeps a deep queue written ahead of the sink, so that a stalled machine
    // leaves no hole, and rewrites what is queued when a voice arrives, so that the queue adds no
    // latency. Commit says that the sink has taken every sample before taken as of now (the sample
    // clock follows it) and that nothing before taken + guard may change any more: voices start
    // no earlier. RenderAhead renders any range from there on, as often as asked, with every voice
    // it overlaps; a voice counts as rendered once a range has covered its end. Neither waits.
    void Commit(std::int64_t taken, std::int64_t guard, Clock::time_point now);
    void RenderAhead(float* out, int frames, std::int64_t from);

    // The earliest start among the voices added since the last call, or none: what a device
    // writing ahead must render again.
    std::optional<std::int64_t> TakeEarliestAdded();

    // The first sample a new voice may start at.
    std::int64_t FirstChangeable() const { return m_claimedTo.load(); }

    // Releases every waiter and makes further voices silent.
    void Stop();

    // Samples rendered so far.
    std::int64_t Position() const { return m_renderedTo.load(std::memory_order_acquire); }

    // Gain of a voice n samples into its length samples, in [0, 1].
    static float Envelope(std::int64_t n, std::int64_t length);

private:
    // A slot's tag holds the id of its voice and the voice's state in one word, so that a caller
    // can only ever withdraw its own voice.
    enum State : std::uint64_t { kFree, kClaimed, kQueued, kTaken };
    static constexpr int kStateBits = 2;

    struct Slot {
        std::atomic<std::uint64_t> tag { kFree };
        // Written by the caller while claimed, read by Render once it has taken the voice.
        int frequencyHz = 0;
        std::int64_t start = 0;
        std::int64_t length = 0;
    };

    // A voice as Render mixes it; only the audio thread touches these.
    struct Mixing {
        int slot = 0;
        std::uint64_t id = 0;
        int frequencyHz = 0;
        std::int64_t start = 0;
        std::int64_t length = 0;
    };

    static std::uint64_t Tag(std::uint64_t id, State state) { return id << kStateBits | state; }
    bool Finished(const Voice& voice) const;
    // Moves queued voices into m_mixing, none starting before earliest; with the mixer stopped,
    // drops every voice instead.
    void TakeQueued(std::int64_t earliest);
    void Mix(float* out, int frames, std::int64_t from) const;
    void FreeEndedBy(std::int64_t sample);
    void WakeWaiters();

    Clock::duration m_startDelay;

    std::array<Slot, kMaxVoices> m_slots {};
    std::atomic<std::uint64_t> m_nextId { 1 };
    std::atomic<bool> m_stopped { false };
    // No voice starts before this: every sample before it is in a buffer begun or, written ahead,
    // may have been taken by the sink.
    std::atomic<std::int64_t> m_claimedTo { 0 };
    std::atomic<std::int64_t> m_renderedTo {
        0
    }; // every sample before this is in a finished buffer
    std::atomic<bool> m_writingAhead { false };
    std::atomic<std::int64_t> m_earliestAdded { kNoneAdded };
    static constexpr std::int64_t kNoneAdded = INT64_MAX;
    // Bumped after each buffer and at Stop; waiters sleep on it.
    std::atomic<std::uint32_t> m_renderCount { 0 };
    std::atomic<int> m_waiters { 0 };
    SampleClock m_clock;

    // The audio thread's own.
    std::array<Mixing, kMaxVoices> m_mixing {};
    int m_mixingCount = 0;
};

} // namespace kestrin
