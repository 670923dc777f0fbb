#include "output/ToneMixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestrin {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t SampleTimeNs(std::int64_t sample)
{
    return sample * kNsPerSecond / kToneSampleRate;
}

// The sine of a whole-hertz tone at the middle of its sample n: the phase is reduced in integers,
// so a long tone keeps its exact pitch, and half a sample in, no sample of the edges is 0.
float Sine(int frequencyHz, std::int64_t n)
{
    const std::int64_t phase = (frequencyHz * (2 * n + 1)) % (2 * kToneSampleRate);
    return static_cast<float>(
        std::sin(std::numbers::pi * static_cast<double>(phase) / kToneSampleRate));
}

} // namespace

ToneMixer::ToneMixer(int startDelayMs)
    : m_startDelay(std::chrono::milliseconds(std::max(startDelayMs, 0)))
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
    std::lock_guard lock(m_mutex);
    return AddLocked(frequencyHz, durationMs, startSample);
}

ToneMixer::Voice ToneMixer::AddAfterDelay(
    int frequencyHz, int durationMs, Clock::time_point callTime)
{
    std::lock_guard lock(m_mutex);
    return AddLocked(frequencyHz, durationMs, ClockSampleLocked(callTime + m_startDelay));
}

ToneMixer::Voice ToneMixer::AddLocked(int frequencyHz, int durationMs, std::int64_t startSample)
{
    if (m_stopped || frequencyHz <= 0 || frequencyHz >= kToneSampleRate / 2 || durationMs <= 0)
        return {};
    const auto free
        = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot& slot) { return !slot.used; });
    if (free == m_slots.end())
        return {};
    // A voice must never lose its head to a buffer already begun.
    const std::int64_t start = std::max(startSample, m_claimedTo);
    free->voice = { m_nextId++, start, start + std::int64_t { durationMs } * kSamplesPerMs };
    free->frequencyHz = frequencyHz;
    free->used = true;
    return free->voice;
}

std::int64_t ToneMixer::ClockSampleLocked(Clock::time_point time) const
{
    if (m_offsetCount == 0)
        return m_claimedTo;
    // The median of recent buffers: one that came late, or several asked for at once to refill
    // the server, must not move the latency of the voices placed after it.
    std::array<std::int64_t, kClockWindow> offsets = m_offsetsNs;
    const auto middle = offsets.begin() + m_offsetCount / 2;
    std::nth_element(offsets.begin(), middle, offsets.begin() + m_offsetCount);
    const std::int64_t sinceBaseNs
        = std::chrono::duration_cast<std::chrono::nanoseconds>(time - m_clockBase).count();
    const double samples = static_cast<double>(sinceBaseNs - *middle) * kToneSampleRate
        / static_cast<double>(kNsPerSecond);
    return std::llround(samples);
}

bool ToneMixer::WaitRendered(const Voice& voice, Clock::time_point deadline)
{
    if (voice.Empty())
        return true;
    std::unique_lock lock(m_mutex);
    m_rendered.wait_until(lock, deadline, [&] { return m_stopped || m_renderedTo >= voice.end; });
    if (m_renderedTo >= voice.end)
        return true;
    // Given up on: a voice not begun is dropped so that a device that comes back later does not
    // sound it late; one already sounding plays out rather than stop with a click.
    if (m_claimedTo <= voice.start) {
        for (Slot& slot : m_slots) {
            if (slot.used && slot.voice.id == voice.id)
                slot.used = false;
        }
    }
    return false;
}

void ToneMixer::Render(float* out, int frames, Clock::time_point now)
{
    if (frames <= 0)
        return;
    int count = 0;
    std::int64_t from = 0;
    std::int64_t to = 0;
    {
        std::lock_guard lock(m_mutex);
        from = m_claimedTo;
        to = from + frames;
        m_claimedTo = to;
        if (m_offsetCount == 0)
            m_clockBase = now;
        m_offsetsNs[m_offsetNext]
            = std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_clockBase).count()
            - SampleTimeNs(from);
        m_offsetNext = (m_offsetNext + 1) % kClockWindow;
        m_offsetCount = std::min(m_offsetCount + 1, kClockWindow);
        for (Slot& slot : m_slots) {
            if (!slot.used || slot.voice.start >= to)
                continue;
            m_mixing[count++] = slot;
            if (slot.voice.end <= to)
                slot.used = false;
        }
    }

    for (int i = 0; i < frames; ++i) {
        const std::int64_t sample = from + i;
        float sum = 0.0f;
        float peak = 0.0f; // the most the voices could reach here, whatever their phases
        for (int v = 0; v < count; ++v) {
            const Slot& slot = m_mixing[v];
            const std::int64_t n = sample - slot.voice.start;
            const float gain = kVoiceAmplitude * Envelope(n, slot.voice.end - slot.voice.start);
            if (gain == 0.0f)
                continue;
            sum += gain * Sine(slot.frequencyHz, n);
            peak += gain;
        }
        // The gain follows the voices' smooth envelopes, so limiting adds no click.
        out[i] = peak > 1.0f ? sum / peak : sum;
    }

    {
        std::lock_guard lock(m_mutex);
        m_renderedTo = to;
    }
    m_rendered.notify_all();
}

void ToneMixer::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        for (Slot& slot : m_slots)
            slot.used = false;
    }
    m_rendered.notify_all();
}

std::int64_t ToneMixer::Position() const
{
    std::lock_guard lock(m_mutex);
    return m_renderedTo;
}

} // namespace kestrin
