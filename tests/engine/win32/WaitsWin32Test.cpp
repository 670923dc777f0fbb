#include "engine/Platform.h"

#include <gtest/gtest.h>

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;

// How late a wait ends is the benchmark's to measure; here only that the timer is given the right
// time: a wrong sign wakes at once, a wrong unit sleeps for minutes (and meets the test's limit).
TEST(WaitsOnWindows, SleepUntilNeverWakesBeforeItsTime)
{
    for (const int ms : { 1, 7, 30 }) {
        for (const bool fineResolution : { false, true }) {
            SCOPED_TRACE(testing::Message() << ms << " ms, held " << fineResolution);
            if (fineResolution)
                HoldFineTimerResolution();
            const auto until = Clock::now() + std::chrono::milliseconds(ms);
            SleepUntil(until);
            EXPECT_GE(Clock::now(), until);
            ThreadSleeper sleeper;
            const auto start = Clock::now();
            sleeper.Sleep(ms);
            EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
            if (fineResolution)
                ReleaseFineTimerResolution();
        }
    }
}

} // namespace
} // namespace kestrin
