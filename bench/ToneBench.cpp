// Measures the tone generator through a PulseAudio server (PULSE_SERVER) with a null sink whose
// monitor is recorded by parec and timed here on the monotonic clock: device open time,
// call-to-sound latency, the spacing of tones on air against the spacing of their calls, tone
// lengths, dropouts, and the CPU that the idle running stream uses. Prints figures; never fails on
// a slow machine.
//
//   tone_bench [--sdl 1] [--ahead MS] [--request MS] [--frames N] [--queue MS] [--delay MS]
//              [--tones N] [--hold S] [--idle S] [--idle-close S] [--after-idle S]
//              [--source NAME] [--dump FILE]
// --ahead and --request set the libpulse stream's queue and request size; --sdl 1 plays through
// SDL alone, whose buffer and server queue --frames and --queue set. --idle-close sets how long
// after the last tone the output closes; --after-idle how long it stays idle before the first
// element of a new send is measured (with and without being told that the send starts).

#include "ParecRecorder.h"
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
#include <filesystem>
#include <fstream>
#include <mutex>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using kestrin::kSamplesPerMs;
using kestrin::kToneSampleRate;
using kestrin::bench::Clock;
using kestrin::bench::FindTones;
using kestrin::bench::Ms;
using kestrin::bench::Percentile;
using kestrin::bench::Recorder;
using kestrin::bench::Tone;

double CpuSeconds(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Context switches of every thread of this process but the calling one, which only sleeps.
long OtherThreadsSwitches()
{
    const std::string self = std::to_string(gettid());
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self)
            continue;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0
                || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

// One tone, then idle: CPU and wake-ups from the output once it has had time to close.
int IdleCpu(const kestrin::ToneDeviceOptions& options, int seconds)
{
    kestrin::ToneGenerator generator(options);
    generator.OpenAsync();
    if (!generator.WaitUntilOpen()) {
        std::printf("no device\n");
        return 1;
    }
    generator.Sound(800, 60);
    const auto idle = options.schedule.idle;
    const bool closes = idle < std::chrono::seconds(seconds * 10);
    if (closes)
        std::this_thread::sleep_for(idle + std::chrono::seconds(1));
    const long switches0 = OtherThreadsSwitches();
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const long switches = OtherThreadsSwitches() - switches0;
    const double wall = Ms(Clock::now() - t0) / 1000.0;
    std::printf("idle, %s: CPU %.2f %% of one core (%.0f ms in %.1f s), %.1f wake-ups/s (%ld "
                "context switches of the output's threads)\n",
        closes ? "after the output paused" : "output kept open", 100.0 * cpu / wall, cpu * 1000.0,
        wall, static_cast<double>(switches) / wall, switches);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    kestrin::ToneDeviceOptions options;
    std::size_t count = 300;
    int idleSeconds = 10;
    int holdSeconds = 20;
    int afterIdleSeconds = 60;
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
            count = static_cast<std::size_t>(std::stoi(argv[i + 1]));
        else if (arg == "--idle")
            idleSeconds = std::stoi(argv[i + 1]);
        else if (arg == "--idle-only")
            idleOnly = std::stoi(argv[i + 1]) != 0;
        else if (arg == "--idle-close")
            options.schedule.idle = std::chrono::seconds(std::stoi(argv[i + 1]));
        else if (arg == "--after-idle")
            afterIdleSeconds = std::stoi(argv[i + 1]);
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
    std::printf(", start delay %d ms, %zu tones of 60 ms with 60 ms gaps\n",
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
    for (std::size_t i = 0; i < count; ++i) {
        std::this_thread::sleep_until(
            start + std::chrono::milliseconds(static_cast<int>(i) * kPeriodMs));
        starts[i] = Clock::now();
        workers.emplace_back([&generator, &calls, i] {
            calls[i] = Clock::now();
            generator.Sound(800, kToneMs);
        });
    }
    for (auto& w : workers)
        w.join();
    std::vector<double> threadStart;
    for (std::size_t i = 0; i < count; ++i)
        threadStart.push_back(Ms(calls[i] - starts[i]));
    // Then one long tone: every hole in the stream shows in it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::size_t holdFrom = recorder.Size();
    if (holdSeconds > 0)
        generator.Sound(1000, holdSeconds * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // After a long idle, a send's first element, as the program keys it at 25 WPM: told that the
    // send starts, then 48 ms of leading pads (character pad and element pad), then a 48 ms dot;
    // and once more without being told, the output hearing of the send only at the tone.
    const std::size_t idleFrom = recorder.Size();
    struct AfterIdle {
        bool told;
        Clock::time_point call;
    };
    std::vector<AfterIdle> afterIdle;
    for (const bool told : { true, false }) {
        if (afterIdleSeconds <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::seconds(afterIdleSeconds));
        if (told) {
            generator.Prepare();
            std::this_thread::sleep_for(std::chrono::milliseconds(48));
        }
        std::thread worker([&] {
            afterIdle.push_back({ told, Clock::now() });
            generator.Sound(800, 48);
        });
        worker.join();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    generator.Close();
    recorder.Stop();

    std::vector<int16_t> sequence = recorder.Samples();
    const std::vector<int16_t> idled(
        sequence.begin() + static_cast<std::ptrdiff_t>(idleFrom), sequence.end());
    sequence.resize(idleFrom);
    const std::vector<int16_t> hold(
        sequence.begin() + static_cast<std::ptrdiff_t>(holdFrom), sequence.end());
    sequence.resize(holdFrom);
    const auto tones = FindTones(sequence);
    std::vector<double> latency, spacing, lengthErr;
    int holes = 0;
    // Pair each call with the first tone starting after it.
    std::size_t t = 0;
    std::vector<std::int64_t> onsets(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
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
    holes = static_cast<int>(tones.size()) - static_cast<int>(count);
    for (double e : lengthErr)
        if (e > 1.0)
            ++holes;
    const double minLatency
        = latency.empty() ? NAN : *std::min_element(latency.begin(), latency.end());
    const double maxLatency
        = latency.empty() ? NAN : *std::max_element(latency.begin(), latency.end());
    std::printf("device open: %.1f ms\n", openMs);
    std::printf("sink clock against the monotonic clock: %+.0f ppm\n", recorder.RatePpm());
    std::printf("tones found: %zu of %zu\n", tones.size(), count);
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
    const auto idleTones = FindTones(idled);
    for (const AfterIdle& first : afterIdle) {
        const char* how = first.told ? "told at the send's start" : "hearing of it at the tone";
        const auto it = std::find_if(idleTones.begin(), idleTones.end(), [&](const Tone& tone) {
            // The recording's time base is good to a few ms on a loaded machine.
            return recorder.TimeOf(static_cast<std::int64_t>(idleFrom) + tone.first)
                >= first.call - std::chrono::milliseconds(30);
        });
        if (it == idleTones.end()) {
            std::printf("first element after %d s idle, %s: not heard\n", afterIdleSeconds, how);
            continue;
        }
        const double lengthMs = static_cast<double>(it->last - it->first + 1) / kSamplesPerMs;
        std::printf("first element after %d s idle, %s: %.3f ms of 48 (%s), lamp -> sound %.1f ms "
                    "(sequence median %.1f)\n",
            afterIdleSeconds, how, lengthMs, std::abs(lengthMs - 48.0) <= 0.2 ? "whole" : "CUT",
            Ms(recorder.TimeOf(static_cast<std::int64_t>(idleFrom) + it->first) - first.call),
            Percentile(latency, 0.5));
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
    // A reader on the monitor keeps the sink asking in small blocks, as a sound card would.
    Recorder reader(source);
    // As chosen, and with the output kept open as it was before it closed when idle.
    const std::string idleClose = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(options.schedule.idle).count());
    for (const std::string& close : { idleClose, std::string("1000000") }) {
        const char* args[] = { self.c_str(), "--frames", f.c_str(), "--delay", d.c_str(), "--queue",
            q.c_str(), "--sdl", sdl.c_str(), "--ahead", a.c_str(), "--request", r.c_str(), "--idle",
            s.c_str(), "--idle-close", close.c_str(), "--idle-only", "1", nullptr };
        pid_t pid = 0;
        if (idleSeconds > 0
            && posix_spawn(&pid, self.c_str(), nullptr, nullptr, const_cast<char**>(args), environ)
                == 0)
            waitpid(pid, nullptr, 0);
    }
    return 0;
}
