#include "engine/KeyElement.h"

#include "tests/support/FakeKeyer.h"

#include <algorithm>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace kestrin {
namespace {

using test::Lamp;
using test::Rig;
using test::ToneCall;
using test::Wait;

TEST(KeyElement, LampIsLitExactlyWhileTheToneSounds)
{
    const struct {
        int speed, durationMs, padMs;
    } cases[]
        = { { 20, 60, 30 }, { 20, 180, 30 }, { 25, 144, 24 }, { 1, 1200, 600 }, { 7, 171, 85 } };
    for (const auto& c : cases) {
        Rig rig;
        rig.window.settings = { 650, c.speed, 1 };
        KeyElement(rig.window, rig.services, c.durationMs);
        EXPECT_EQ(rig.clock.waits,
            (std::vector<Wait> { { 0, c.padMs, Lamp::Dark }, { c.padMs, c.durationMs, Lamp::Lit },
                { c.padMs + c.durationMs, c.padMs, Lamp::Dark } }));
        EXPECT_EQ(rig.tones, (std::vector<ToneCall> { { c.padMs, 650, c.durationMs } }));
        EXPECT_EQ(rig.clock.nowMs, 2 * c.padMs + c.durationMs);
        EXPECT_EQ(rig.window.repaintMarks, 3);
        EXPECT_EQ(rig.window.lamp, Lamp::Dark);
        EXPECT_EQ(rig.window.surfacesOut, 0);
    }
}

TEST(KeyElement, DrawsWithTheWindowsLampOffColour)
{
    Rig rig;
    rig.window.lampOff = 0x102030; // not black: the fake lamp never counts as dark
    KeyElement(rig.window, rig.services, 60);
    EXPECT_EQ(rig.clock.waits.front().lamp, Lamp::Unpainted);
    EXPECT_EQ(rig.window.lamp, Lamp::Unpainted);
}

// The worker runs only after the element is over, as one that wakes late on a busy machine.
TEST(KeyElement, WorkerGetsCopiesIsNeverWaitedForAndIsPlacedByTheLampsTime)
{
    Rig rig;
    rig.starter.runAtOnce = false;
    rig.window.settings.tone = 800;
    KeyElement(rig.window, rig.services, 60);
    // The element is over, its worker has not even run.
    EXPECT_EQ(rig.clock.nowMs, 120);
    EXPECT_TRUE(rig.tones.empty());
    rig.window.settings.tone = 440;
    rig.window.settings.speed = 5;
    rig.clock.Sleep(7);
    ASSERT_EQ(rig.starter.held.size(), 1u);
    rig.starter.held.front()();
    EXPECT_EQ(rig.tones, (std::vector<ToneCall> { { 30, 800, 60 } }));
}

TEST(KeyElement, KeysOnWhenNoWorkerOrNoSurfaceCanBeHad)
{
    Rig noWorker;
    noWorker.starter.canStart = false;
    KeyElement(noWorker.window, noWorker.services, 60);
    EXPECT_TRUE(noWorker.tones.empty());
    EXPECT_EQ(noWorker.clock.waits,
        (std::vector<Wait> {
            { 0, 30, Lamp::Dark }, { 30, 60, Lamp::Lit }, { 90, 30, Lamp::Dark } }));

    Rig noSurface;
    noSurface.window.surfaceAvailable = false;
    KeyElement(noSurface.window, noSurface.services, 60);
    EXPECT_EQ(noSurface.tones, (std::vector<ToneCall> { { 30, 800, 60 } }));
    EXPECT_EQ(noSurface.clock.nowMs, 120);
    EXPECT_EQ(noSurface.window.repaintMarks, 3);
}

TEST(KeyElement, UnusableSpeedOrDurationNeverWaitsNegative)
{
    for (const int speed : { 0, -1, 601 }) {
        Rig rig;
        rig.window.settings.speed = speed;
        KeyElement(rig.window, rig.services, -5);
        for (const Wait& w : rig.clock.waits)
            EXPECT_EQ(w.ms, 0) << speed;
        ASSERT_EQ(rig.tones.size(), 1u);
        EXPECT_EQ(rig.tones[0].durationMs, 0);
    }
}

// Real threads: runs under ThreadSanitizer. The tone function blocks until released, so the
// element can only finish if it never waits for its worker.
TEST(ToneWorkerThreads, ElementsFinishWhileTheirWorkersStillSound)
{
    // Shared with detached workers, so it lives as long as the last of them.
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        bool release = false;
        std::vector<std::pair<int, int>> sounded;
    };
    const auto state = std::make_shared<State>();

    Rig rig;
    ThreadStarter threads;
    const ToneFunction blockingTone = [state](int f, int d, auto) {
        std::unique_lock lock(state->mutex);
        state->cv.wait(lock, [&] { return state->release; });
        state->sounded.emplace_back(f, d);
        state->cv.notify_all();
    };
    const KeyerServices services { rig.clock, threads, blockingTone };
    for (int i = 0; i < 8; ++i) {
        rig.window.settings.tone = 500 + i;
        KeyElement(rig.window, services, 60);
    }
    EXPECT_EQ(rig.clock.nowMs, 8 * 120);

    std::unique_lock lock(state->mutex);
    EXPECT_TRUE(state->sounded.empty());
    state->release = true;
    state->cv.notify_all();
    state->cv.wait(lock, [&] { return state->sounded.size() == 8; });
    std::sort(state->sounded.begin(), state->sounded.end());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(state->sounded[static_cast<std::size_t>(i)], std::make_pair(500 + i, 60));
}

} // namespace
} // namespace kestrin
