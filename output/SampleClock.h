#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace kestrin {

inline constexpr int kToneSampleRate = 48000;
inline constexpr int kSamplesPerMs = kToneSampleRate / 1000;

// A stream's sample clock: which sample the device will take at a given time, learnt from when it
// asked for samples. Takes the median of recent requests, since a device's requests wander by a
// few ms around its real pace and one that comes late must not move every voice after it. Update
// is for the one thread that renders; SampleAt for any thread. Knows no audio library.
class SampleClock {
public:
    using Clock = std::chrono::steady_clock;

    // Requests whose timing the clock takes the median of: 0.34 s of 256-frame buffers.
    static constexpr int kWindow = 64;

    // Time from the stream's first sample to sample, exact for any position of the stream.
    static std::int64_t SampleTimeNs(std::int64_t sample);
    // The sample nearest to nsFromStart, exact likewise.
    static std::int64_t SampleAtNs(std::int64_t nsFromStart);

    // The device asked at now for the samples from sample on.
    void Update(Clock::time_point now, std::int64_t sample);

    // Forgets what the requests so far said, from any thread: the stream was paused, and the
    // next request starts the clock afresh.
    void Restart();

    // Whether a request has come since the start or the last Restart.
    bool Known() const { return m_known.load(std::memory_order_acquire); }

    // The sample due at t by the requests so far; none before the first.
    std::optional<std::int64_t> SampleAt(Clock::time_point t) const;

private:
    // Published by Update: when the first request came, and the median of recent requests'
    // (request time - their first sample's time), both in ns.
    std::atomic<bool> m_known { false };
    std::atomic<std::int64_t> m_baseNs { 0 };
    std::atomic<std::int64_t> m_offsetNs { 0 };
    std::atomic<bool> m_restart { false };

    // The rendering thread's own.
    std::array<std::int64_t, kWindow> m_offsetsNs {};
    int m_count = 0;
    int m_next = 0;
};

} // namespace kestrin
