// Measures the WASAPI stream of the Windows build under Wine; wine_tone_bench.sh records the sink
// and reads what this prints. Prints figures; never fails on a slow machine. Figures are Wine's,
// not Windows'.
//   wasapi_bench lead [SECONDS]  opens the stream and prints what the device granted and how long
//                                opening took; then watches the device's requests and prints the
//                                least start delay that would never have moved a voice later
//   wasapi_bench tones [N]       N tones of 40 ms through the tone generator, called at uneven
//                                instants; prints "call NS" on steady_clock (Wine's monotonic raw
//                                clock), then the CPU that the program used while idle

#include "output/SampleClock.h"
#include "output/ToneGenerator.h"
#include "output/win32/WasapiStream.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using kestrin::kSamplesPerMs;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(
        v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>(
                   (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime)
            * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

int Lead(int seconds)
{
    std::atomic<bool> cancel { false };
    const auto start = Clock::now();
    auto stream = kestrin::WasapiStream::Open({}, start + std::chrono::seconds(2), cancel, [] {});
    const auto opened = Clock::now();
    if (stream == nullptr) {
        std::printf("no output device\n");
        return 1;
    }
    kestrin::ToneMixer& mixer = stream->Mixer();
    mixer.WaitClockKnown(Clock::now() + std::chrono::seconds(2));
    const auto known = Clock::now();
    const auto& d = stream->Device();
    std::printf("device: period %d frames (%.2f ms), buffer %d frames (%.2f ms), %d channels at %d "
                "Hz, IAudioClient3's smaller period: %s, start delay %d ms\n",
        d.periodFrames, d.periodFrames / double(kSamplesPerMs), d.bufferFrames,
        d.bufferFrames / double(kSamplesPerMs), d.channels, d.mixRate, d.smallPeriod ? "yes" : "no",
        d.startDelayMs);
    std::printf(
        "open %.1f ms, first request %.1f ms after\n", Ms(opened - start), Ms(known - opened));

    // Each request, seen as the first changeable sample moving on: when, from where, how many.
    struct Request {
        std::int64_t ns, from, frames;
    };
    std::vector<Request> requests;
    requests.reserve(100000);
    std::int64_t last = mixer.FirstChangeable();
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    // Looked at every millisecond or so: a busy loop would take a core from the device's thread.
    for (auto now = Clock::now(); now < end; Sleep(1), now = Clock::now()) {
        const std::int64_t first = mixer.FirstChangeable();
        if (first != last)
            requests.push_back({ now.time_since_epoch().count(), last, first - last });
        last = first;
    }
    // As the sample clock: the median of (request time - its first sample's time) over its window
    // of recent requests. Right after a request, a voice may start no earlier than its end; its
    // lead over the clock's sample then is what the start delay must cover.
    constexpr std::size_t kWindow = kestrin::SampleClock::kWindow;
    std::vector<double> offsets, leads, intervals, frames;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        offsets.push_back(static_cast<double>(
            requests[i].ns - kestrin::SampleClock::SampleTimeNs(requests[i].from)));
        frames.push_back(static_cast<double>(requests[i].frames));
        if (i > 0)
            intervals.push_back(static_cast<double>(requests[i].ns - requests[i - 1].ns) / 1e6);
        if (i + 1 < kWindow)
            continue;
        const double median
            = Percentile(std::vector<double>(
                             offsets.end() - static_cast<std::ptrdiff_t>(kWindow), offsets.end()),
                0.5);
        leads.push_back(
            static_cast<double>(requests[i].frames) / kSamplesPerMs + (median - offsets[i]) / 1e6);
    }
    std::printf("requests: %zu in %d s; frames p50 %.0f max %.0f; interval ms p50 %.2f p1 %.2f "
                "p99 %.2f max %.2f\n",
        requests.size(), seconds, Percentile(frames, 0.5), Percentile(frames, 1),
        Percentile(intervals, 0.5), Percentile(intervals, 0.01), Percentile(intervals, 0.99),
        Percentile(intervals, 1));
    std::printf("least start delay, ms: p50 %.2f p99 %.2f p99.9 %.2f max %.2f\n",
        Percentile(leads, 0.5), Percentile(leads, 0.99), Percentile(leads, 0.999),
        Percentile(leads, 1));
    return 0;
}

int Tones(int count)
{
    kestrin::ToneGenerator generator;
    const auto start = Clock::now();
    generator.OpenAsync();
    if (!generator.WaitUntilOpen()) {
        std::printf("no output device\n");
        return 1;
    }
    std::printf("open %.1f ms\n", Ms(Clock::now() - start));
    std::fflush(stdout);
    // Uneven spacing, so that a tone placed by its buffer rather than its call would show.
    auto call = Clock::now() + std::chrono::milliseconds(200);
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(call);
        generator.Sound(800, 40, call);
        std::printf("call %lld\n", static_cast<long long>(call.time_since_epoch().count()));
        call += std::chrono::milliseconds(70 + (i * 37) % 53);
    }
    std::fflush(stdout);
    // The stream pauses after the idle time; what it costs then.
    Sleep(6000);
    const double before = CpuSeconds();
    Sleep(10000);
    std::printf("idle cpu: %.3f %% of a core over 10 s, from 6 s after the last tone\n",
        (CpuSeconds() - before) * 10.0);
    // A send after the idle time, told that it starts, as the program's sends are.
    generator.Prepare();
    call = Clock::now();
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_until(call);
        generator.Sound(800, 40, call);
        std::printf("call %lld\n", static_cast<long long>(call.time_since_epoch().count()));
        call += std::chrono::milliseconds(100);
    }
    std::fflush(stdout);
    // Rendered is not yet played: the last tone's time to reach the sink before the stream closes.
    Sleep(300);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "lead")
        return Lead(argc > 2 ? std::atoi(argv[2]) : 5);
    if (mode == "tones")
        return Tones(argc > 2 ? std::atoi(argv[2]) : 50);
    std::fprintf(stderr, "usage: wasapi_bench lead [SECONDS] | tones [N]\n");
    return 2;
}
