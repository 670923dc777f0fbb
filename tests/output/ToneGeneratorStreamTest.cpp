// The tone generator on a stream of the test's own: the test thread is the audio thread, and says
// when the sink took which sample, so every voice's place can be checked to the sample.

#include "output/ToneGenerator.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kStartDelayMs = 15;
constexpr std::int64_t kGuard = 4 * kSamplesPerMs;
// Long enough that the stream stays running through each case, even under ThreadSanitizer.
constexpr auto kIdle = milliseconds(300);

// A stream whose sink is the test: Resume and the destructor run what the test hooks in.
class FakeStream final : public AudioStream {
public:
    FakeStream()
        : AudioStream(std::make_shared<ToneMixer>(ToneMixer::Mode::WriteAhead, kStartDelayMs), {})
    { }
    ~FakeStream() override
    {
        if (onDestroy)
            onDestroy();
    }
    bool CanPause() const override { return true; }
    void Pause() override { paused = true; }
    void Resume() override
    {
        Mixer().RestartClock();
        if (onResume)
            onResume();
        paused = false;
    }
    void VoiceAdded() override { }

    std::atomic<bool> paused { false };
    std::function<void()> onResume;
    std::function<void()> onDestroy;
};

// Waits for what another thread does at once; the bound only turns a fault into a failure.
template <typename Condition> bool Eventually(Condition condition, milliseconds bound)
{
    const auto end = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() >= end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class ToneGeneratorStream : public testing::Test {
protected:
    ToneGeneratorStream()
    {
        ToneDeviceOptions options;
        options.schedule.idle = kIdle;
        generator = std::make_unique<ToneGenerator>(options,
            [this](const ToneDeviceOptions&, Clock::time_point, const std::atomic<bool>&,
                std::function<void()>) {
                auto opened = std::make_unique<FakeStream>();
                stream = opened.get();
                return opened;
            });
        generator->OpenAsync();
        EXPECT_TRUE(generator->WaitUntilOpen());
    }

    ToneMixer& Mixer() { return stream->Mixer(); }

    // The sink took sample `taken` at time `at`: the clock's only request since it (re)started.
    void Request(std::int64_t taken, Clock::time_point at) { Mixer().Commit(taken, kGuard, at); }

    // Renders from the first changeable sample until the caller's voice is in the queue, and
    // returns the sample its tone starts at; the caller then returns.
    std::int64_t RenderedStart(std::future<void>& caller)
    {
        EXPECT_TRUE(Eventually([&] { return Mixer().VoicesInUse() > 0; }, milliseconds(2000)));
        const std::int64_t from = Mixer().FirstChangeable();
        std::vector<float> samples(48000);
        Mixer().RenderAhead(samples.data(), static_cast<int>(samples.size()), from);
        caller.wait();
        const auto first = std::find_if(
            samples.begin(), samples.end(), [](float s) { return std::abs(s) > 0.0f; });
        return first == samples.end() ? -1 : from + (first - samples.begin());
    }

    // Pauses the stream as after a send, then tells the generator that a send starts.
    void PauseThenPrepare()
    {
        ASSERT_TRUE(Eventually([&] { return stream->paused.load(); }, milliseconds(5000)));
        generator->Prepare();
    }

    std::future<void> Call(Clock::time_point calledAt)
    {
        return std::async(std::launch::async,
            [tone = generator->AsToneFunction(), calledAt] { tone(800, 60, calledAt); });
    }

    std::unique_ptr<ToneGenerator> generator;
    FakeStream* stream = nullptr;
};

// Sample positions from a request at `base`: the voice starts the start delay after its call.
std::int64_t Expected(std::int64_t taken, Clock::time_point base, Clock::time_point calledAt)
{
    return taken
        + SampleClock::SampleAtNs(
            std::chrono::nanoseconds(calledAt + milliseconds(kStartDelayMs) - base).count());
}

TEST_F(ToneGeneratorStream, CallerThatRunsLateIsPlacedByItsCallTime)
{
    // The element's lamp lit 25 ms ago; its worker only runs now.
    const auto base = Clock::now() - milliseconds(30);
    Request(10'000, base);
    const auto calledAt = base + milliseconds(5);
    auto caller = Call(calledAt);
    EXPECT_EQ(RenderedStart(caller), Expected(10'000, base, calledAt));
}

TEST_F(ToneGeneratorStream, FirstVoiceAfterAResumeWaitsForTheRestartedClock)
{
    // Before the pause the sink was far on: a clock kept through the pause would place the voice
    // seconds late.
    Request(0, Clock::now() - std::chrono::seconds(5));
    PauseThenPrepare();
    ASSERT_TRUE(Eventually([&] { return !stream->paused.load(); }, milliseconds(5000)));
    const auto calledAt = Clock::now();
    auto caller = Call(calledAt); // before the sink has asked for anything since resuming
    ASSERT_TRUE(Eventually(
        [&] { return Mixer().Waiting() > 0 || Mixer().VoicesInUse() > 0; }, milliseconds(2000)));
    const auto base = calledAt - milliseconds(5);
    Request(2'000, base);
    EXPECT_EQ(RenderedStart(caller), Expected(2'000, base, calledAt));
}

TEST_F(ToneGeneratorStream, ToneCalledDuringTheResumeIsPlacedByTheRestartedClock)
{
    Request(0, Clock::now() - std::chrono::seconds(5));
    std::future<void> caller;
    const auto calledAt = Clock::now();
    stream->onResume = [&] {
        caller = Call(calledAt);
        // A caller let in now would place its voice by the clock from before the pause.
        (void)Eventually([&] { return Mixer().VoicesInUse() > 0; }, milliseconds(50));
    };
    PauseThenPrepare();
    ASSERT_TRUE(Eventually([&] { return !stream->paused.load(); }, milliseconds(5000)));
    const auto base = calledAt - milliseconds(5);
    Request(2'000, base);
    EXPECT_EQ(RenderedStart(caller), Expected(2'000, base, calledAt));
}

// Runs under ThreadSanitizer. The device is destroyed on the supervisor while Close waits for it:
// another thread must get the generator's lock meanwhile, and Close must end by joining, not by
// giving up on the supervisor.
TEST(ToneGeneratorClose, EndsWhileADeviceOpensWithNoLockHeldAcrossItsDestruction)
{
    // Shared with the supervisor, which a Close that gave up would leave running.
    struct Seen {
        std::atomic<bool> destroyed { false };
        std::atomic<bool> lockFree { false };
        std::promise<void> opening;
        std::function<void()> prepare;
    };
    const auto seen = std::make_shared<Seen>();
    ToneGenerator generator(ToneDeviceOptions {},
        [seen](const ToneDeviceOptions&, Clock::time_point, const std::atomic<bool>& cancel,
            std::function<void()>) {
            seen->opening.set_value();
            cancel.wait(false); // opens until the generator closes, as a slow server would
            auto stream = std::make_unique<FakeStream>();
            stream->onDestroy = [seen] {
                // Detached: a thread stuck on the lock must not hold this one too.
                auto taken = std::make_shared<std::promise<void>>();
                std::thread([seen, taken] {
                    seen->prepare();
                    taken->set_value();
                }).detach();
                seen->lockFree = taken->get_future().wait_for(std::chrono::seconds(2))
                    == std::future_status::ready;
                seen->destroyed = true;
            };
            return stream;
        });
    seen->prepare = generator.AsPrepareFunction();
    generator.OpenAsync();
    seen->opening.get_future().wait();
    generator.Close();
    EXPECT_TRUE(seen->destroyed.load());
    EXPECT_TRUE(seen->lockFree.load());
    // The generator's state holds the opener, which holds seen: the cycle ends here, once the
    // thread that prepared is done with it.
    if (seen->lockFree.load())
        seen->prepare = nullptr;
}

} // namespace
} // namespace kestrin
