#include "output/ToneMixer.h"

#include "output/WaitWord.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrin {

namespace {

// The sine of a whole-hertz tone at the middle of its sample n: the phase is reduced in
// integers, so a long tone keeps its exact pitch, and half a sample in, no sample of the edges
// is 0.
float Sine(int frequencyHz, std::int64_t n)
{
    const std::int64_t phase = (frequencyHz * (2 * n + 1)) % (2 * kToneSampleRate);
    return static_cast<float>(
        std::sin(std::numbers::pi * static_cast<double>(phase) / kToneSampleRate));
}

} // namespace

ToneMixer::ToneMixer(Mode mode, int startDelayMs)
    : m_mode(mode)
    , m_startDelay(std::chrono::milliseconds(std::max(startDelayMs, 0)))
{ }

float ToneMixer::Envelope(std::int64_t n, std::int64_t length)
{
    if (n < 0 || n >= length)
        return 0.0f;
    const std::int64_t ramp = std::min<std::int64_t>(kRampSamples, length / 2);
    const std::int64_t fromEdge = std::min(n, length - 1 - n);
    if (fromEdge >= ramp)
        return 1.0f;
    const double x = (static_cast<double>(fromEdge) + 0.5) / static_cast<double>(ramp);
    return static_cast<float>(0.5 * (1.0 - std::cos(std::numbers::pi * x)));
}

ToneMixer::Voice ToneMixer::Add(int frequencyHz, int durationMs, std::int64_t startSample)
{
    if (m_stopped.load() || frequencyHz <= 0 || frequencyHz >= kToneSampleRate / 2
        || durationMs <= 0)
        return {};
    // The first changeable sample is read once the slot is claimed: a buffer begun between then
    // and the hand-over moves the voice later when it is taken, so it never loses its head.
    const Voice voice = m_voices.Add(
        frequencyHz, std::int64_t { durationMs } * kSamplesPerMs, startSample, m_firstChangeable);
    if (voice.Empty())
        return voice;
    std::int64_t earliest = m_earliestAdded.load();
    while (
        voice.start < earliest && !m_earliestAdded.compare_exchange_weak(earliest, voice.start)) { }
    return voice;
}

ToneMixer::Voice ToneMixer::AddAfterDelay(
    int frequencyHz, int durationMs, Clock::time_point callTime)
{
    const std::int64_t start
        = m_clock.SampleAt(callTime + m_startDelay).value_or(m_firstChangeable.load());
    return Add(frequencyHz, durationMs, start);
}

bool ToneMixer::Finished(const Voice& voice) const
{
    if (m_voices.Freed(voice))
        return true;
    // Written ahead, a voice stays in the mixer until the sink takes it, but its caller only
    // waits for it to be in the queue.
    return m_mode == Mode::WriteAhead && m_voices.HeldByRenderer(voice)
        && m_renderedTo.load(std::memory_order_acquire) >= voice.end;
}

bool ToneMixer::WaitForRendering(const std::function<bool()>& done, Clock::time_point deadline)
{
    bool held = false;
    m_waiters.fetch_add(1);
    for (;;) {
        // Read before the check: a rendering finished after it changes the word and so ends the
        // sleep at once.
        const std::uint32_t seen = m_renderCount.load();
        if (m_stopped.load() || (held = done()))
            break;
        const auto now = Clock::now();
        if (now >= deadline)
            break;
        WaitWord(m_renderCount, seen, deadline - now);
    }
    m_waiters.fetch_sub(1);
    return held;
}

bool ToneMixer::WaitRendered(const Voice& voice, Clock::time_point deadline)
{
    if (voice.Empty())
        return true;
    if (WaitForRendering([&] { return Finished(voice); }, deadline))
        return true;
    // Given up on: a voice not begun is dropped so that a device that comes back later does not
    // sound it late; one already sounding plays out rather than stop with a click.
    if (m_voices.Withdraw(voice))
        return false;
    return Finished(voice) && !m_stopped.load();
}

bool ToneMixer::WaitClockKnown(Clock::time_point deadline)
{
    // Every request bumps the render count once the clock has it.
    return WaitForRendering([&] { return m_clock.Known(); }, deadline);
}

void ToneMixer::TakeQueued(std::int64_t notBefore)
{
    if (m_stopped.load()) {
        for (int v = 0; v < m_mixingCount; ++v)
            m_voices.Free(m_mixing[static_cast<std::size_t>(v)]);
        m_mixingCount = 0;
        return;
    }
    m_voices.TakeQueued(
        notBefore, kMaxVoices - m_mixingCount, [this](const VoiceTable::Taken& voice) {
            m_mixing[static_cast<std::size_t>(m_mixingCount++)] = voice;
        });
}

void ToneMixer::Mix(float* out, int frames, std::int64_t from) const
{
    for (int i = 0; i < frames; ++i) {
        const std::int64_t sample = from + i;
        float sum = 0.0f;
        float peak = 0.0f; // the most the voices could reach here, whatever their phases
        for (int v = 0; v < m_mixingCount; ++v) {
            const VoiceTable::Taken& voice = m_mixing[static_cast<std::size_t>(v)];
            const std::int64_t n = sample - voice.start;
            const float gain = kVoiceAmplitude * Envelope(n, voice.length);
            if (gain == 0.0f)
                continue;
            sum += gain * Sine(voice.frequencyHz, n);
            peak += gain;
        }
        // The gain follows the voices' smooth envelopes, so limiting adds no click.
        out[i] = peak > 1.0f ? sum / peak : sum;
    }
}

void ToneMixer::FreeEndedBy(std::int64_t sample)
{
    for (int v = 0; v < m_mixingCount;) {
        const VoiceTable::Taken& voice = m_mixing[static_cast<std::size_t>(v)];
        if (voice.End() > sample) {
            ++v;
            continue;
        }
        m_voices.Free(voice);
        m_mixing[static_cast<std::size_t>(v)] = m_mixing[static_cast<std::size_t>(--m_mixingCount)];
    }
}

void ToneMixer::Render(float* out, int frames, Clock::time_point now)
{
    if (frames <= 0)
        return;
    const std::int64_t from = m_firstChangeable.load();
    const std::int64_t to = from + frames;
    m_firstChangeable.store(to);
    m_clock.Update(now, from);
    TakeQueued(from);
    Mix(out, frames, from);
    FreeEndedBy(to);
    m_renderedTo.store(to, std::memory_order_release);
    WakeWaiters();
}

void ToneMixer::Commit(std::int64_t taken, std::int64_t guard, Clock::time_point now)
{
    m_clock.Update(now, taken);
    const std::int64_t firstChangeable = std::max(m_firstChangeable.load(), taken + guard);
    m_firstChangeable.store(firstChangeable);
    // Nothing before this is rendered again, so voices that end there are done with.
    FreeEndedBy(firstChangeable);
    WakeWaiters();
}

void ToneMixer::RenderAhead(float* out, int frames, std::int64_t from)
{
    if (frames <= 0)
        return;
    TakeQueued(m_firstChangeable.load());
    Mix(out, frames, from);
    if (from + frames > m_renderedTo.load(std::memory_order_relaxed))
        m_renderedTo.store(from + frames, std::memory_order_release);
    WakeWaiters();
}

std::optional<std::int64_t> ToneMixer::TakeEarliestAdded()
{
    const std::int64_t earliest = m_earliestAdded.exchange(kNoneAdded);
    if (earliest == kNoneAdded)
        return std::nullopt;
    return earliest;
}

void ToneMixer::WakeWaiters()
{
    m_renderCount.fetch_add(1);
    if (m_waiters.load() > 0)
        WakeWord(m_renderCount);
}

void ToneMixer::Stop()
{
    m_stopped.store(true);
    m_voices.Stop();
    WakeWaiters();
}

} // namespace kestrin
