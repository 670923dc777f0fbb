// Measures the tone generator through a PulseAudio server (PULSE_SERVER) with a null sink whose
// monitor is recorded here, on the monotonic clock: device open time, call-to-sound latency, the
// spacing of tones on air against the spacing of their calls, tone lengths, dropouts, and the CPU
// that the idle running stream uses. Prints figures; never fails on a slow machine.
//
//   tone_bench [--frames N] [--delay MS] [--tones N] [--idle S] [--source NAME]

#include "output/ToneGenerator.h"
#include "output/ToneMixer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using kestrin::kSamplesPerMs;
using kestrin::kToneSampleRate;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const std::size_t i
        = std::min(v.size() - 1, static_cast<std::size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}

// Records the monitor in 2 ms reads and notes when each read returned: the earliest
// (return time - recorded length) over the run maps sample positions to the monotonic clock.
class Recorder {
public:
    explicit Recorder(const std::string& source)
    {
        const pa_sample_spec spec { PA_SAMPLE_S16LE, kToneSampleRate, 1 };
        pa_buffer_attr attr {};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = 2 * kSamplesPerMs * sizeof(int16_t);
        int error = 0;
        m_pa = pa_simple_new(nullptr, "kestrin-bench", PA_STREAM_RECORD, source.c_str(), "monitor",
            &spec, nullptr, &attr, &error);
        if (!m_pa) {
            std::fprintf(stderr, "cannot record %s: %s\n", source.c_str(), pa_strerror(error));
            return;
        }
        m_samples.reserve(static_cast<std::size_t>(kToneSampleRate) * 120);
        m_thread = std::thread([this] { Run(); });
    }
    ~Recorder() { Stop(); }
    bool Ok() const { return m_pa != nullptr; }

    void WaitForData()
    {
        while (m_frames.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_pa)
            pa_simple_free(m_pa);
        m_pa = nullptr;
    }

    // Forgets the clock mapping so far: before a playback stream asks for small blocks, the sink
    // renders far ahead and its monitor delivers early.
    void ResetClock() { m_resetClock = true; }

    // Time of sample k on the monotonic clock.
    Clock::time_point TimeOf(std::int64_t k) const
    {
        return m_origin + std::chrono::nanoseconds(k * 1'000'000'000 / kToneSampleRate);
    }
    const std::vector<int16_t>& Samples() const { return m_samples; }

private:
    void Run()
    {
        int16_t chunk[2 * kSamplesPerMs];
        bool first = true;
        while (!m_stop) {
            int error = 0;
            if (pa_simple_read(m_pa, chunk, sizeof chunk, &error) < 0)
                return;
            const auto now = Clock::now();
            m_samples.insert(m_samples.end(), chunk, chunk + std::size(chunk));
            const std::int64_t frames = static_cast<std::int64_t>(m_samples.size());
            const auto origin
                = now - std::chrono::nanoseconds(frames * 1'000'000'000 / kToneSampleRate);
            if (first || m_resetClock || origin < m_origin)
                m_origin = origin;
            first = false;
            m_resetClock = false;
            m_frames = frames;
        }
    }

    pa_simple* m_pa = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_resetClock { false };
    std::atomic<std::int64_t> m_frames { 0 };
    std::vector<int16_t> m_samples;
    Clock::time_point m_origin {};
};

struct Tone {
    std::int64_t first;
    std::int64_t last;
};

// Tones are runs of non-zero samples; the sine is never 0 at the sample centres of these
// frequencies, so a run of zeros inside a tone is a hole in the stream.
std::vector<Tone> FindTones(const std::vector<int16_t>& s)
{
    constexpr int kMinGap = 8;
    std::vector<Tone> tones;
    std::int64_t zeros = kMinGap;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(s.size()); ++i) {
        if (s[i] == 0) {
            ++zeros;
            continue;
        }
        if (zeros >= kMinGap)
            tones.push_back({ i, i });
        tones.back().last = i;
        zeros = 0;
    }
    return tones;
}

double CpuSeconds(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int IdleCpu(int frames, int delayMs, int seconds)
{
    kestrin::ToneGenerator generator(frames, delayMs);
    generator.OpenAsync();
    if (!generator.WaitUntilOpen()) {
        std::printf("no device\n");
        return 1;
    }
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double wall = Ms(Clock::now() - t0) / 1000.0;
    std::printf("idle stream CPU: %.2f %% of one core (%.0f ms in %.1f s)\n", 100.0 * cpu / wall,
        cpu * 1000.0, wall);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int frames = kestrin::ToneGenerator::kBufferFrames;
    int delayMs = kestrin::ToneGenerator::kStartDelayMs;
    int count = 100;
    int idleSeconds = 10;
    bool idleOnly = false;
    std::string source = "rec.monitor";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames")
            frames = std::stoi(argv[i + 1]);
        else if (arg == "--delay")
            delayMs = std::stoi(argv[i + 1]);
        else if (arg == "--tones")
            count = std::stoi(argv[i + 1]);
        else if (arg == "--idle")
            idleSeconds = std::stoi(argv[i + 1]);
        else if (arg == "--idle-only")
            idleOnly = std::stoi(argv[i + 1]) != 0;
        else if (arg == "--source")
            source = argv[i + 1];
    }
    if (idleOnly)
        return IdleCpu(frames, delayMs, idleSeconds);
    std::printf("buffer %d frames, start delay %d ms, %d tones of 60 ms with 60 ms gaps\n", frames,
        delayMs, count);

    Recorder recorder(source);
    if (!recorder.Ok())
        return 1;
    // A null sink with no reader renders ahead in large blocks: start only once data flows.
    recorder.WaitForData();

    kestrin::ToneGenerator generator(frames, delayMs);
    const auto openStart = Clock::now();
    generator.OpenAsync();
    if (!generator.WaitUntilOpen()) {
        std::printf("no device\n");
        return 1;
    }
    const double openMs = Ms(Clock::now() - openStart);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder.ResetClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    constexpr int kToneMs = 60;
    constexpr int kPeriodMs = 120;
    std::vector<Clock::time_point> calls;
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(i * kPeriodMs));
        calls.push_back(Clock::now());
        workers.emplace_back([&generator] { generator.Sound(800, kToneMs); });
    }
    for (auto& w : workers)
        w.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    generator.Close();
    recorder.Stop();

    const auto tones = FindTones(recorder.Samples());
    std::vector<double> latency, spacing, lengthErr;
    int holes = 0;
    // Pair each call with the first tone starting after it.
    std::size_t t = 0;
    std::vector<std::int64_t> onsets(count, -1);
    for (int i = 0; i < count; ++i) {
        while (t < tones.size() && recorder.TimeOf(tones[t].first) < calls[i])
            ++t;
        if (t == tones.size())
            break;
        onsets[i] = tones[t].first;
        const std::int64_t length = tones[t].last - tones[t].first + 1;
        // The edges are below one step of 16 bits for about a sample at each end.
        const double err = static_cast<double>(length - kToneMs * kSamplesPerMs) / kSamplesPerMs;
        lengthErr.push_back(std::abs(err));
        latency.push_back(Ms(recorder.TimeOf(tones[t].first) - calls[i]));
        if (i > 0 && onsets[i - 1] >= 0) {
            const double air = static_cast<double>(onsets[i] - onsets[i - 1]) / kSamplesPerMs;
            spacing.push_back(std::abs(air - Ms(calls[i] - calls[i - 1])));
        }
        ++t;
    }
    holes = static_cast<int>(tones.size()) - count;
    for (double e : lengthErr)
        if (e > 1.0)
            ++holes;
    const double minLatency
        = latency.empty() ? NAN : *std::min_element(latency.begin(), latency.end());
    const double maxLatency
        = latency.empty() ? NAN : *std::max_element(latency.begin(), latency.end());
    std::printf("device open: %.1f ms\n", openMs);
    std::printf("tones found: %zu of %d\n", tones.size(), count);
    std::printf("call -> sound: min %.1f  median %.1f  p95 %.1f  max %.1f ms (spread %.1f)\n",
        minLatency, Percentile(latency, 0.5), Percentile(latency, 0.95), maxLatency,
        maxLatency - minLatency);
    std::printf("spacing error: median %.2f  p95 %.2f  max %.2f ms\n", Percentile(spacing, 0.5),
        Percentile(spacing, 0.95),
        spacing.empty() ? NAN : *std::max_element(spacing.begin(), spacing.end()));
    std::printf("length error: median %.3f  max %.3f ms\n", Percentile(lengthErr, 0.5),
        lengthErr.empty() ? NAN : *std::max_element(lengthErr.begin(), lengthErr.end()));
    std::printf("dropouts: %d\n", holes);
    std::fflush(stdout);

    // The idle stream's CPU, in a process of its own so the recorder does not count.
    const std::string self = "/proc/self/exe";
    const std::string f = std::to_string(frames), d = std::to_string(delayMs),
                      s = std::to_string(idleSeconds);
    const char* args[] = { self.c_str(), "--frames", f.c_str(), "--delay", d.c_str(), "--idle",
        s.c_str(), "--idle-only", "1", nullptr };
    // A reader on the monitor keeps the sink asking in small blocks, as a sound card would.
    Recorder reader(source);
    pid_t pid = 0;
    if (idleSeconds > 0
        && posix_spawn(&pid, self.c_str(), nullptr, nullptr, const_cast<char**>(args), environ)
            == 0)
        waitpid(pid, nullptr, 0);
    return 0;
}
