// How late the real waits end on Windows (under Wine here): the waitable timer alone, the
// sleeper the program keys with (timer, then the clock), and a plain std::this_thread sleep for
// comparison. Prints figures; never fails. Run: scripts/wine-run.sh PREFIX wait_bench.exe [WAITS]
#include "engine/Platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> lateMs)
{
    std::sort(lateMs.begin(), lateMs.end());
    std::printf("%-40s median %.3f ms, p95 %.3f ms, max %.3f ms\n", what, lateMs[lateMs.size() / 2],
        lateMs[lateMs.size() * 95 / 100], lateMs.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int waits = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 100;
    constexpr auto kWait = std::chrono::milliseconds(30); // an element pad at 20 WPM
    std::vector<double> timer, sleeper, plain;
    kestrin::ThreadSleeper exact;
    exact.SendStarts();
    for (int i = 0; i < waits; ++i) {
        const auto until = Clock::now() + kWait;
        kestrin::SleepUntil(until);
        timer.push_back(Ms(Clock::now() - until));
        auto start = Clock::now();
        exact.Sleep(static_cast<int>(kWait.count()));
        sleeper.push_back(Ms(Clock::now() - start - kWait));
        start = Clock::now();
        std::this_thread::sleep_for(kWait);
        plain.push_back(Ms(Clock::now() - start - kWait));
    }
    exact.SendEnds();
    std::printf("%d waits of %lld ms each, how late each ended:\n", waits,
        static_cast<long long>(kWait.count()));
    Report("waitable timer alone", timer);
    Report("ThreadSleeper (timer, then the clock)", sleeper);
    Report("std::this_thread::sleep_for", plain);
}
