// The bookkeeping of the stream written ahead, driven directly with a mixer, as the libpulse
// stream drives them.

#include "output/WriteAheadPlan.h"

#include "output/ToneMixer.h"

#include <gtest/gtest.h>

namespace kestrin {
namespace {

using Range = WriteAheadPlan::Range;

constexpr std::int64_t kQueue = 100 * kSamplesPerMs;
constexpr std::int64_t kRequest = 6 * kSamplesPerMs;
constexpr std::int64_t kGuard = kRequest + 2 * kSamplesPerMs;
const ToneMixer::Clock::time_point kT0 = ToneMixer::Clock::time_point {} + std::chrono::hours(1);

// Answers a request as the stream does: commit, then append what was asked.
Range Serve(WriteAheadPlan& plan, ToneMixer& mixer, std::int64_t frames)
{
    const Range append = plan.Request(frames);
    mixer.Commit(plan.Taken(), plan.GuardSamples(), kT0);
    plan.Appended(append.count);
    return append;
}

TEST(WriteAheadPlan, WritesAgainFromTheVoiceToWhatIsQueued)
{
    // The queue is full (kQueue), then the sink takes one request and asks for it again: it has
    // taken kRequest, and kQueue + kRequest are written.
    constexpr std::int64_t kWritten = kQueue + kRequest;
    const struct {
        const char* what;
        std::int64_t queueAfter; // the queue the server keeps from then on
        std::int64_t voiceStart;
        Range rewrite;
    } cases[] = {
        { "a voice in the queued range", kQueue, 2000, { 2000, kWritten - 2000 } },
        { "nothing changed before the guard", kQueue, 0,
            { kRequest + kGuard, kWritten - kRequest - kGuard } },
        { "a voice not yet written", kQueue, kWritten + 10, { kWritten + 10, 0 } },
        // The server shrank its queue: what is written stays there and is rewritten whole.
        { "a rewrite longer than the queue", 20 * kSamplesPerMs, 0,
            { kRequest + kGuard, kWritten - kRequest - kGuard } },
    };
    for (const auto& c : cases) {
        WriteAheadPlan plan(kQueue, kRequest);
        ToneMixer mixer(ToneMixer::Mode::WriteAhead, 15);
        EXPECT_EQ(Serve(plan, mixer, kQueue), (Range { 0, kQueue })) << c.what;
        EXPECT_EQ(Serve(plan, mixer, kRequest), (Range { kQueue, kRequest })) << c.what;
        plan.QueueChanged(c.queueAfter, kRequest);
        const auto voice = mixer.Add(800, 60, c.voiceStart);
        EXPECT_EQ(voice.start, c.rewrite.from) << c.what;
        EXPECT_EQ(plan.Rewrite(*mixer.TakeEarliestAdded(), mixer.FirstChangeable()), c.rewrite)
            << c.what;
    }
}

TEST(WriteAheadPlan, SinkGoingBackwardsKeepsWhereItWas)
{
    WriteAheadPlan plan(kQueue, kRequest);
    ToneMixer mixer(ToneMixer::Mode::WriteAhead, 15);
    (void)Serve(plan, mixer, kQueue);
    (void)Serve(plan, mixer, 10 * kRequest);
    EXPECT_EQ(plan.Taken(), 10 * kRequest);
    const std::int64_t firstChangeable = mixer.FirstChangeable();
    EXPECT_EQ(firstChangeable, 10 * kRequest + kGuard);
    // The server grew its queue: by the new length the sink would be back at the start. It did
    // not move back, and nothing it may have taken becomes changeable again.
    plan.QueueChanged(3 * kQueue, kRequest);
    EXPECT_EQ(Serve(plan, mixer, kRequest), (Range { kQueue + 10 * kRequest, kRequest }));
    EXPECT_EQ(plan.Taken(), 10 * kRequest);
    EXPECT_EQ(mixer.FirstChangeable(), firstChangeable);
    EXPECT_EQ(mixer.Add(800, 60, 0).start, firstChangeable);
}

} // namespace
} // namespace kestrin
