#pragma once

// What the benchmarks share: a recorder of the null sink's monitor that maps each recorded sample
// to the monotonic clock, the tones found in what it recorded, and the figures they print.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace kestrin::bench {

using Clock = std::chrono::steady_clock;
inline constexpr int kRecordRate = 48000;
inline constexpr int kRecordSamplesPerMs = kRecordRate / 1000;

inline double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const std::size_t i = std::min(
        v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

// Records the monitor with parec, as the end-to-end test does, and notes when each 10 ms block
// arrived: the earliest (arrival - recorded length) over the run maps sample positions to the
// monotonic clock. parec runs as a process of its own: a second PulseAudio client inside this
// process left holes in the sound that neither client shows alone.
class Recorder {
public:
    static constexpr int kReadMs = 10;

    explicit Recorder(const std::string& source)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const std::string device = "--device=" + source;
        const std::string latency = "--latency-msec=" + std::to_string(kReadMs);
        const char* args[] = { "parec", device.c_str(), "--rate=48000", "--channels=1",
            "--format=s16le", latency.c_str(), nullptr };
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const bool spawned
            = posix_spawnp(&m_pid, "parec", &actions, nullptr, const_cast<char**>(args), environ)
            == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (!spawned) {
            close(fds[0]);
            std::fprintf(stderr, "cannot start parec\n");
            return;
        }
        m_fd = fds[0];
        m_samples.reserve(static_cast<std::size_t>(kRecordRate) * 120);
        m_thread = std::thread([this] { Run(); });
    }
    ~Recorder() { Stop(); }
    bool Ok() const { return m_fd >= 0; }

    void WaitForData()
    {
        while (m_frames.load() == 0 && !m_ended.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void Stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGINT);
            // parec has been seen to hang on SIGINT while the server was busy.
            for (int i = 0; i < 200 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (kill(m_pid, 0) == 0) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
            m_pid = 0;
        }
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
        FitClock();
    }

    // Forgets the reads so far for the clock mapping: before a playback stream asks for small
    // blocks, the sink renders far ahead and its monitor delivers early.
    void ResetClock() { m_resetClock = true; }

    // Maps the recording at the nominal rate instead, keeping the earliest read for the offset: a
    // short recording fits its rate from only a few seconds of reads, each some ms late, which
    // tilts every time taken from it by a few hundred ppm.
    void UseNominalRate()
    {
        m_nsPerSample = 1e9 / kRecordRate;
        if (m_reads.empty())
            return;
        m_originNs = m_reads.front().second - m_nsPerSample * m_reads.front().first;
        for (const auto& [x, y] : m_reads)
            m_originNs = std::min(m_originNs, y - m_nsPerSample * x);
    }

    // How far the sink's clock runs off the monotonic clock, once stopped.
    double RatePpm() const { return (m_nsPerSample * kRecordRate / 1e9 - 1.0) * 1e6; }

    // Time of sample k on the monotonic clock, once stopped.
    Clock::time_point TimeOf(std::int64_t k) const
    {
        return m_start
            + std::chrono::nanoseconds(
                std::llround(m_originNs + m_nsPerSample * static_cast<double>(k)));
    }
    const std::vector<int16_t>& Samples() const { return m_samples; }
    std::size_t Size() const { return static_cast<std::size_t>(m_frames.load()); }

private:
    void Run()
    {
        int16_t chunk[kReadMs * kRecordSamplesPerMs];
        std::size_t pending = 0; // bytes of chunk filled
        bool first = true;
        for (;;) {
            const ssize_t got
                = read(m_fd, reinterpret_cast<char*>(chunk) + pending, sizeof chunk - pending);
            if (got <= 0)
                break;
            const auto now = Clock::now();
            pending += static_cast<std::size_t>(got);
            const std::size_t whole = pending / sizeof(int16_t);
            m_samples.insert(m_samples.end(), chunk, chunk + whole);
            std::memmove(chunk, chunk + whole, pending - whole * sizeof(int16_t));
            pending -= whole * sizeof(int16_t);
            const std::int64_t frames = static_cast<std::int64_t>(m_samples.size());
            if (first)
                m_start = now;
            if (m_resetClock)
                m_reads.clear();
            m_reads.push_back({ static_cast<double>(frames),
                std::chrono::duration<double, std::nano>(now - m_start).count() });
            first = false;
            m_resetClock = false;
            m_frames = frames;
        }
        m_ended = true;
    }

    // The sink's clock may run a little off the monotonic one: fit the rate over the run, then
    // take the earliest read (the least delayed) for the offset.
    void FitClock()
    {
        const double n = static_cast<double>(m_reads.size());
        if (n < 2)
            return;
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const auto& [x, y] : m_reads) {
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        m_nsPerSample = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        m_originNs = m_reads.front().second - m_nsPerSample * m_reads.front().first;
        for (const auto& [x, y] : m_reads)
            m_originNs = std::min(m_originNs, y - m_nsPerSample * x);
    }

    pid_t m_pid = 0;
    int m_fd = -1;
    std::thread m_thread;
    std::atomic<bool> m_ended { false };
    std::atomic<bool> m_resetClock { false };
    std::atomic<std::int64_t> m_frames { 0 };
    std::vector<int16_t> m_samples;
    std::vector<std::pair<double, double>> m_reads; // frames read so far, ns since the first read
    Clock::time_point m_start {};
    double m_originNs = 0.0;
    double m_nsPerSample = 1e9 / kRecordRate;
};

struct Tone {
    std::int64_t first; // sample index of the first non-zero sample
    std::int64_t last; // and of the last
};

// Tones are runs of non-zero samples between runs of at least minSilence zeros; the sine is never
// 0 at the sample centres of these frequencies, so a shorter run of zeros inside a tone is a hole
// in the stream.
inline std::vector<Tone> FindTones(const std::vector<std::int16_t>& s, std::int64_t minSilence = 8)
{
    std::vector<Tone> tones;
    std::int64_t zeros = minSilence;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(s.size()); ++i) {
        if (s[static_cast<std::size_t>(i)] == 0) {
            ++zeros;
            continue;
        }
        if (zeros >= minSilence)
            tones.push_back({ i, i });
        tones.back().last = i;
        zeros = 0;
    }
    return tones;
}

} // namespace kestrin::bench
