// Measures the tone generator through a PulseAudio server (PULSE_SERVER) with a null sink whose
// monitor is recorded by parec and timed here on the monotonic clock: device open time,
// call-to-sound latency, the spacing of tones on air against the spacing of their calls, tone
// lengths, dropouts, and the CPU that the idle running stream uses. Prints figures; never fails on
// a slow machine.
//
//   tone_bench [--sdl 1] [--ahead MS] [--request MS] [--frames N] [--queue MS] [--delay MS]
//              [--tones N] [--hold S] [--idle S] [--source NAME] [--dump FILE]
// --ahead and --request set the libpulse stream's queue and request size; --sdl 1 plays through
// SDL alone, whose buffer and server queue --frames and --queue set.

#include "output/ToneGenerator.h"
#include "output/ToneMixer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
        m_samples.reserve(static_cast<std::size_t>(kToneSampleRate) * 120);
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

    // How far the sink's clock runs off the monotonic clock, once stopped.
    double RatePpm() const { return (m_nsPerSample * kToneSampleRate / 1e9 - 1.0) * 1e6; }

    // Time of sample k on the monotonic clock, once stopped.
    Clock::time_point TimeOf(std::int64_t k) const
    {
        return m_start + std::chrono::nanoseconds(std::llround(m_originNs + m_nsPerSample * k));
    }
    const std::vector<int16_t>& Samples() const { return m_samples; }
    std::size_t Size() const { return static_cast<std::size_t>(m_frames.load()); }

private:
    void Run()
    {
        int16_t chunk[kReadMs * kSamplesPerMs];
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
    double m_nsPerSample = 1e9 / kToneSampleRate;
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

int IdleCpu(const kestrin::ToneDeviceOptions& options, int seconds)
{
    kestrin::ToneGenerator generator(options);
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
    kestrin::ToneDeviceOptions options;
    int count = 300;
    int idleSeconds = 10;
    int holdSeconds = 20;
    bool idleOnly = false;
    std::string source = "rec.monitor";
    std::string dump;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--frames")
            options.bufferFrames = std::stoi(argv[i + 1]);
        else if (arg == "--delay")
            options.startDelayMs = options.pulse.startDelayMs = std::stoi(argv[i + 1]);
        else if (arg == "--sdl")
            options.writeAhead = std::stoi(argv[i + 1]) == 0;
        else if (arg == "--ahead")
            options.pulse.queueMs = std::stoi(argv[i + 1]);
        else if (arg == "--request")
            options.pulse.requestMs = std::stoi(argv[i + 1]);
        else if (arg == "--queue")
            options.serverQueueMs = std::stoi(argv[i + 1]);
        else if (arg == "--tones")
            count = std::stoi(argv[i + 1]);
        else if (arg == "--idle")
            idleSeconds = std::stoi(argv[i + 1]);
        else if (arg == "--idle-only")
            idleOnly = std::stoi(argv[i + 1]) != 0;
        else if (arg == "--hold")
            holdSeconds = std::stoi(argv[i + 1]);
        else if (arg == "--source")
            source = argv[i + 1];
        else if (arg == "--dump")
            dump = argv[i + 1];
    }
    if (idleOnly)
        return IdleCpu(options, idleSeconds);
    if (options.writeAhead)
        std::printf("libpulse, %d ms written ahead, requests of %d ms", options.pulse.queueMs,
            options.pulse.requestMs);
    else
        std::printf("SDL, buffer %d frames, server queue %d ms", options.bufferFrames,
            options.serverQueueMs);
    std::printf(", start delay %d ms, %d tones of 60 ms with 60 ms gaps\n",
        options.writeAhead ? options.pulse.startDelayMs : options.startDelayMs, count);

    Recorder recorder(source);
    if (!recorder.Ok())
        return 1;
    // A null sink with no reader renders ahead in large blocks: start only once data flows.
    recorder.WaitForData();

    kestrin::ToneGenerator generator(options);
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
    // As the program keys: a worker per element; the call is when the worker calls Sound.
    std::vector<Clock::time_point> calls(count), starts(count);
    std::vector<std::thread> workers;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(i * kPeriodMs));
        starts[i] = Clock::now();
        workers.emplace_back([&generator, &calls, i] {
            calls[i] = Clock::now();
            generator.Sound(800, kToneMs);
        });
    }
    for (auto& w : workers)
        w.join();
    std::vector<double> threadStart;
    for (int i = 0; i < count; ++i)
        threadStart.push_back(Ms(calls[i] - starts[i]));
    // Then one long tone: every hole in the stream shows in it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::size_t holdFrom = recorder.Size();
    if (holdSeconds > 0)
        generator.Sound(1000, holdSeconds * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    generator.Close();
    recorder.Stop();

    std::vector<int16_t> sequence = recorder.Samples();
    const std::vector<int16_t> hold(
        sequence.begin() + static_cast<std::ptrdiff_t>(holdFrom), sequence.end());
    sequence.resize(holdFrom);
    const auto tones = FindTones(sequence);
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
    std::printf("sink clock against the monotonic clock: %+.0f ppm\n", recorder.RatePpm());
    std::printf("tones found: %zu of %d\n", tones.size(), count);
    std::printf("call -> sound: min %.1f  median %.1f  p95 %.1f  max %.1f ms (spread %.1f)\n",
        minLatency, Percentile(latency, 0.5), Percentile(latency, 0.95), maxLatency,
        maxLatency - minLatency);
    std::printf("spacing error: median %.2f  p95 %.2f  max %.2f ms\n", Percentile(spacing, 0.5),
        Percentile(spacing, 0.95),
        spacing.empty() ? NAN : *std::max_element(spacing.begin(), spacing.end()));
    std::printf("length error: median %.3f  max %.3f ms\n", Percentile(lengthErr, 0.5),
        lengthErr.empty() ? NAN : *std::max_element(lengthErr.begin(), lengthErr.end()));
    std::printf("dropouts in the tones: %d\n", holes);
    if (holdSeconds > 0) {
        const auto parts = FindTones(hold);
        double gapMs = 0.0;
        for (std::size_t i = 1; i < parts.size(); ++i)
            gapMs += static_cast<double>(parts[i].first - parts[i - 1].last - 1) / kSamplesPerMs;
        std::printf("dropouts in %d s of one tone: %zu (%.1f ms of silence)\n", holdSeconds,
            parts.empty() ? 0 : parts.size() - 1, gapMs);
    }
    if (!dump.empty()) {
        if (FILE* f = std::fopen(dump.c_str(), "w")) {
            for (std::size_t i = 0; i < latency.size(); ++i)
                std::fprintf(f, "%zu %.3f\n", i, latency[i]);
            std::fclose(f);
        }
    }
    std::printf("worker start (not in the figures above): median %.2f  p95 %.2f  max %.2f ms\n",
        Percentile(threadStart, 0.5), Percentile(threadStart, 0.95), Percentile(threadStart, 1.0));
    std::fflush(stdout);

    // The idle stream's CPU, in a process of its own so the recorder does not count.
    const std::string self = "/proc/self/exe";
    const std::string f
        = std::to_string(options.bufferFrames),
        d = std::to_string(options.startDelayMs), q = std::to_string(options.serverQueueMs),
        s = std::to_string(idleSeconds), sdl = options.writeAhead ? "0" : "1",
        a = std::to_string(options.pulse.queueMs), r = std::to_string(options.pulse.requestMs);
    const char* args[] = { self.c_str(), "--frames", f.c_str(), "--delay", d.c_str(), "--queue",
        q.c_str(), "--sdl", sdl.c_str(), "--ahead", a.c_str(), "--request", r.c_str(), "--idle",
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
