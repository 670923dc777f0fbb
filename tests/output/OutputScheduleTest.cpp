// When the output opens, closes and tries again, on a virtual clock; and the first element after
// a quiet spell, on a fresh stream's clock.

#include "output/OutputSchedule.h"

#include "output/ToneMixer.h"
#include "output/WriteAheadPlan.h"

#include <gtest/gtest.h>
#include <vector>

namespace kestrin {
namespace {

using Action = OutputSchedule::Action;
using Clock = OutputSchedule::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const Clock::time_point kT0 = Clock::time_point {} + std::chrono::hours(1);

TEST(OutputSchedule, ClosesAfterIdleThenWaitsForNothingUntilASendStarts)
{
    OutputSchedule schedule({});
    EXPECT_EQ(schedule.Next(kT0, false).action, Action::Wait);
    EXPECT_FALSE(schedule.Next(kT0, false).until);
    schedule.Want(kT0, kT0);
    EXPECT_EQ(schedule.Next(kT0, false).action, Action::Open);
    schedule.Opened();
    // A 60 ms tone called at 1 s: open until 5 s after it ends.
    schedule.Want(kT0 + seconds(1), kT0 + seconds(1) + milliseconds(60));
    const auto closeAt = kT0 + seconds(6) + milliseconds(60);
    EXPECT_EQ(schedule.Next(kT0 + seconds(2), true).action, Action::Wait);
    EXPECT_EQ(schedule.Next(kT0 + seconds(2), true).until, closeAt);
    EXPECT_EQ(schedule.Next(closeAt, true).action, Action::Close);
    schedule.Closed(closeAt);
    // Closed and idle: nothing to wake for, however long it stays so.
    for (const auto later : { closeAt, closeAt + std::chrono::hours(50) }) {
        EXPECT_EQ(schedule.Next(later, false).action, Action::Wait);
        EXPECT_FALSE(schedule.Next(later, false).until);
    }
    // A send starts: open at once.
    const auto send = closeAt + seconds(60);
    schedule.Want(send, send);
    EXPECT_EQ(schedule.Next(send, false).action, Action::Open);
}

TEST(OutputSchedule, LostDeviceIsTriedAgainWithABoundedBackOffWhileWanted)
{
    OutputSchedule schedule({});
    schedule.Want(kT0, kT0);
    schedule.Opened();
    schedule.Want(kT0, kT0 + seconds(1));
    schedule.Lost();
    EXPECT_EQ(schedule.Next(kT0, true).action, Action::Close);
    schedule.Closed(kT0);
    EXPECT_EQ(schedule.Next(kT0, false).action, Action::Open);
    auto now = kT0;
    std::vector<int> waitsMs;
    for (int i = 0; i < 7; ++i) {
        schedule.OpenFailed(now);
        const auto next = schedule.Next(now, false);
        ASSERT_EQ(next.action, Action::Wait);
        waitsMs.push_back(
            static_cast<int>(std::chrono::duration_cast<milliseconds>(*next.until - now).count()));
        now = *next.until;
        ASSERT_EQ(schedule.Next(now, false).action, Action::Open);
    }
    EXPECT_EQ(waitsMs, (std::vector<int> { 50, 100, 200, 400, 400, 400, 400 }));
    // A send starting while the device is wanted but down tries at once.
    schedule.SendStarts(now + milliseconds(10));
    EXPECT_EQ(schedule.Next(now + milliseconds(10), false).action, Action::Open);
    // No longer wanted: no more tries, until the next send, which tries at once.
    const auto idle = now + milliseconds(10) + seconds(5);
    schedule.OpenFailed(idle);
    EXPECT_FALSE(schedule.Next(idle + milliseconds(50), false).until);
    schedule.Want(idle + seconds(9), idle + seconds(9));
    EXPECT_EQ(schedule.Next(idle + seconds(9), false).action, Action::Open);
}

// After a quiet spell the stream is opened afresh when the send starts. The leading pads before
// the first tone are at least 48 ms (character pad and element pad, 24 ms each at 25 WPM): the
// stream opened in that time places the first voice whole, exactly the start delay after its
// call, like every later one.
TEST(OutputSchedule, FirstElementAfterIdleIsWholeAndOnTime)
{
    for (const int openMs : { 5, 20, 30 }) {
        ToneMixer mixer(ToneMixer::Mode::WriteAhead, 15);
        WriteAheadPlan plan(100 * kSamplesPerMs, 6 * kSamplesPerMs);
        const auto opened = kT0 + milliseconds(openMs);
        // The sink asks for the whole queue, then a request every 6 ms.
        std::int64_t frames = 100 * kSamplesPerMs;
        for (auto t = opened; t < kT0 + milliseconds(48); t += milliseconds(6)) {
            const auto append = plan.Request(frames);
            mixer.Commit(plan.Taken(), plan.GuardSamples(), t);
            plan.Appended(append.count);
            frames = 6 * kSamplesPerMs;
        }
        const auto call = kT0 + milliseconds(48);
        const auto voice = mixer.AddAfterDelay(800, 48, call);
        const std::int64_t due = (48 + 15 - openMs) * kSamplesPerMs;
        EXPECT_EQ(voice.start, due) << openMs;
        EXPECT_GE(voice.start, mixer.FirstChangeable()) << openMs;
    }
}

} // namespace
} // namespace kestrin
