#pragma once

#include "output/SampleClock.h"
#include "output/VoiceTable.h"

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>

namespace kestrin {

// Sums tone voices into the samples of one audio stream. Each voice is a sine of a whole number of
// hertz, exactly durationMs x 48 samples long, placed at an absolute sample position of the
// stream, with a raised-cosine rise and fall inside those samples so that keying makes no clicks.
// Overlapping voices add; a smooth gain keeps the sum inside [-1, 1]. A voice can start a fixed
// delay after its call on the stream's sample clock. Made of a voice table (callers to renderer,
// lock-free), a sample clock, and one of two renderers, fixed at construction:
// - on demand (Render): the device asks for each buffer just before it plays it, as SDL does;
// - written ahead (Commit, RenderAhead): the device keeps a deep queue written ahead of its sink
//   and writes again whatever a new voice changes in it, as the libpulse stream does.
// Rendering is for one thread at a time and never waits; everything else is for any thread. It
// knows nothing of any audio library.
class ToneMixer {
public:
    using Clock = SampleClock::Clock;
    using Voice = VoiceTable::Voice;

    enum class Mode { OnDemand, WriteAhead };

    static constexpr int kMaxVoices = VoiceTable::kSlots;
    // Each voice alone peaks at this, so two overlapping ones still need no gain reduction.
    static constexpr float kVoiceAmplitude = 0.5f;
    // Rise and fall: 6 ms of raised cosine (10 to 90 % in 3.5 ms), at most half the voice. Shorter
    // ramps put more than 1/10000 of a 60 ms tone's energy over 200 Hz away from it. The shortest
    // dot a stored speed may give (kShortestDotMs in settings/Timing.h) is twice this.
    static constexpr int kRampSamples = 6 * kSamplesPerMs;

    // startDelayMs: how long after its call a voice placed by AddAfterDelay starts.
    ToneMixer(Mode mode, int startDelayMs);

    Mode RenderMode() const { return m_mode; }

    // Places a voice at startSample, or at FirstChangeable when that is later, so that a voice
    // always sounds whole. Silent (empty) for a frequency that cannot be rendered (0 or less, half
    // the sample rate or more), a duration of 0 or less, a full table or a stopped mixer.
    Voice Add(int frequencyHz, int durationMs, std::int64_t startSample);

    // Places a voice the start delay after callTime on the stream's sample clock, so that every
    // voice has the same latency and tones keep the spacing of their calls. Before the clock has
    // seen a request, at the first changeable sample.
    Voice AddAfterDelay(int frequencyHz, int durationMs, Clock::time_point callTime);

    // Whether the sample clock has seen a request since the stream started or resumed; until it
    // has, AddAfterDelay cannot place a voice by its call. WaitClockKnown blocks until it has
    // (true), or until deadline or Stop (false).
    bool ClockKnown() const { return m_clock.Known(); }
    bool WaitClockKnown(Clock::time_point deadline);

    // Blocks until all of the voice is in the device's hands (true), or until deadline or Stop
    // (false). A voice given up on before any of it was rendered is withdrawn: it never sounds
    // late.
    bool WaitRendered(const Voice& voice, Clock::time_point deadline);

    // On demand: fills out with the next frames samples of the stream; now is when the device
    // asked for them. Takes no lock and allocates nothing.
    void Render(float* out, int frames, Clock::time_point now);

    // Written ahead: Commit says that the sink has taken every sample before taken as of now (the
    // sample clock follows it) and that nothing before taken + guard may change any more: voices
    // start no earlier. RenderAhead renders any range from there on, as often as asked, with every
    // voice it overlaps; a voice is in the device's hands once a range has covered its end.
    void Commit(std::int64_t taken, std::int64_t guard, Clock::time_point now);
    void RenderAhead(float* out, int frames, std::int64_t from);
    // The stream was paused: the sample clock starts afresh at the next Commit.
    void RestartClock() { m_clock.Restart(); }
    // The earliest start among the voices added since the last call, or none: what must be
    // rendered again.
    std::optional<std::int64_t> TakeEarliestAdded();

    // The first sample a new voice may start at: on demand, the start of the next buffer; written
    // ahead, the first one that the sink cannot have taken before the rewrite reaches it.
    std::int64_t FirstChangeable() const { return m_firstChangeable.load(); }

    // Every sample before this has been rendered at least once.
    std::int64_t Position() const { return m_renderedTo.load(std::memory_order_acquire); }

    // Releases every waiter and makes further voices silent.
    void Stop();

    // Slots of the voice table in use, and callers waiting: for tests.
    int VoicesInUse() const { return m_voices.InUse(); }
    int Waiting() const { return m_waiters.load(); }

    // Gain of a voice n samples into its length samples, in [0, 1].
    static float Envelope(std::int64_t n, std::int64_t length);

private:
    bool Finished(const Voice& voice) const;
    // Sleeps until done() holds (true), the mixer stops or the deadline passes (false); done() is
    // checked again after each rendering.
    bool WaitForRendering(const std::function<bool()>& done, Clock::time_point deadline);
    void TakeQueued(std::int64_t notBefore);
    void Mix(float* out, int frames, std::int64_t from) const;
    void FreeEndedBy(std::int64_t sample);
    void WakeWaiters();

    const Mode m_mode;
    const Clock::duration m_startDelay;
    VoiceTable m_voices;
    SampleClock m_clock;
    std::atomic<bool> m_stopped { false };
    std::atomic<std::int64_t> m_firstChangeable { 0 };
    std::atomic<std::int64_t> m_renderedTo { 0 };
    std::atomic<std::int64_t> m_earliestAdded { kNoneAdded };
    static constexpr std::int64_t kNoneAdded = INT64_MAX;
    // Bumped after each rendering and at Stop; waiters sleep on it.
    std::atomic<std::uint32_t> m_renderCount { 0 };
    std::atomic<int> m_waiters { 0 };

    // The rendering thread's own: the voices it has taken.
    std::array<VoiceTable::Taken, kMaxVoices> m_mixing {};
    int m_mixingCount = 0;
};

} // namespace kestrin
