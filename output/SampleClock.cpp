#include "output/SampleClock.h"

#include <algorithm>

namespace kestrin {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t SinceEpochNs(SampleClock::Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

} // namespace

// Whole seconds and the rest are converted apart, so that no product leaves 64 bits: a plain
// sample x 10^9 overflows after 53 hours of stream.
std::int64_t SampleClock::SampleTimeNs(std::int64_t sample)
{
    return sample / kToneSampleRate * kNsPerSecond
        + sample % kToneSampleRate * kNsPerSecond / kToneSampleRate;
}

std::int64_t SampleClock::SampleAtNs(std::int64_t nsFromStart)
{
    std::int64_t seconds = nsFromStart / kNsPerSecond;
    std::int64_t restNs = nsFromStart % kNsPerSecond;
    if (restNs < 0) {
        --seconds;
        restNs += kNsPerSecond;
    }
    return seconds * kToneSampleRate + (restNs * kToneSampleRate + kNsPerSecond / 2) / kNsPerSecond;
}

void SampleClock::Update(Clock::time_point now, std::int64_t sample)
{
    const std::int64_t nowNs = SinceEpochNs(now);
    if (m_restart.exchange(false)) {
        m_count = 0;
        m_next = 0;
    }
    if (m_count == 0)
        m_baseNs.store(nowNs, std::memory_order_relaxed);
    m_offsetsNs[static_cast<std::size_t>(m_next)]
        = nowNs - m_baseNs.load(std::memory_order_relaxed) - SampleTimeNs(sample);
    m_next = (m_next + 1) % kWindow;
    m_count = std::min(m_count + 1, kWindow);
    std::array<std::int64_t, kWindow> offsets = m_offsetsNs;
    const auto middle = offsets.begin() + m_count / 2;
    std::nth_element(offsets.begin(), middle, offsets.begin() + m_count);
    m_offsetNs.store(*middle, std::memory_order_relaxed);
    m_known.store(true, std::memory_order_release);
}

void SampleClock::Restart()
{
    m_known.store(false, std::memory_order_relaxed);
    m_restart.store(true);
}

std::optional<std::int64_t> SampleClock::SampleAt(Clock::time_point t) const
{
    if (!m_known.load(std::memory_order_acquire))
        return std::nullopt;
    return SampleAtNs(SinceEpochNs(t) - m_baseNs.load(std::memory_order_relaxed)
        - m_offsetNs.load(std::memory_order_relaxed));
}

} // namespace kestrin
