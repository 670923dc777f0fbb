// The whole path through SDL with its disk driver, which writes the exact samples to a file in
// about real time with no sound server. The driver is chosen in this process only.

#include "engine/KeyElement.h"
#include "output/ToneGenerator.h"
#include "output/ToneMixer.h"
#include "tests/support/FakeKeyer.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrin {
namespace {

struct Heard {
    int frequencyHz;
    std::int64_t samples;
    friend bool operator==(const Heard&, const Heard&) = default;
};

std::ostream& operator<<(std::ostream& os, const Heard& h)
{
    return os << h.frequencyHz << " Hz x " << h.samples;
}

// The tones in a stream of float samples: runs of non-zero samples, each with its frequency
// from the span of its zero crossings, to the nearest 10 Hz.
std::vector<Heard> Tones(const std::vector<float>& s)
{
    std::vector<Heard> tones;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == 0.0f) {
            ++i;
            continue;
        }
        std::size_t end = i + 1, firstCrossing = 0, lastCrossing = 0;
        int crossings = 0;
        for (; end < s.size() && s[end] != 0.0f; ++end) {
            if ((s[end - 1] < 0.0f) != (s[end] < 0.0f)) {
                firstCrossing = crossings++ == 0 ? end : firstCrossing;
                lastCrossing = end;
            }
        }
        // Crossings are half a cycle apart.
        const double hz = crossings < 2 ? 0.0
                                        : (crossings - 1) / 2.0 * kToneSampleRate
                / static_cast<double>(lastCrossing - firstCrossing);
        tones.push_back(
            { static_cast<int>(std::lround(hz / 10.0)) * 10, static_cast<std::int64_t>(end - i) });
        i = end;
    }
    return tones;
}

class ToneGeneratorDisk : public testing::Test {
protected:
    void SetUp() override
    {
        m_file = testing::TempDir() + "kestrin-disk-" + std::to_string(getpid()) + "-"
            + testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        // Set before any device thread runs, and only in this test process.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_file.c_str(), 1);
    }
    void TearDown() override { std::remove(m_file.c_str()); }

    std::vector<float> Written() const
    {
        std::ifstream in(m_file, std::ios::binary);
        std::vector<float> samples;
        float x = 0.0f;
        while (in.read(reinterpret_cast<char*>(&x), sizeof x))
            samples.push_back(x);
        return samples;
    }

    std::string m_file;
};

TEST_F(ToneGeneratorDisk, KeyedElementsComeOutInOrderWithExactLengthsAndPitch)
{
    ToneGenerator generator;
    generator.OpenAsync();
    ASSERT_TRUE(generator.WaitUntilOpen());
    // A first tone, returned from once it is in the device's queue, lets the stream's sample
    // clock see the device's requests: a voice that comes before any is placed at the first
    // sample it can still have, later than its call (a slow machine, or ThreadSanitizer, delays
    // the first request), and the next element would sound over it.
    generator.Sound(600, 10);

    // Keyed as the program keys them: real pads, a detached worker per element.
    test::FakeWindow window;
    ThreadSleeper sleeper;
    ThreadStarter starter;
    const KeyerServices services { sleeper, starter, generator.AsToneFunction() };
    const struct {
        int tone, durationMs;
    } elements[] = { { 800, 60 }, { 1000, 180 }, { 400, 48 }, { 2000, 144 } };
    for (const auto& e : elements) {
        window.settings.tone = e.tone;
        KeyElement(window, services, e.durationMs);
    }
    // Placed after every element, so once it is back all of them have been rendered.
    generator.Sound(600, 10);
    generator.Close();

    EXPECT_EQ(Tones(Written()),
        (std::vector<Heard> { { 600, 10 * 48 }, { 800, 60 * 48 }, { 1000, 180 * 48 },
            { 400, 48 * 48 }, { 2000, 144 * 48 }, { 600, 10 * 48 } }));
}

TEST_F(ToneGeneratorDisk, CallReturnsNoSoonerThanItsTone)
{
    ToneGenerator generator;
    generator.OpenAsync();
    ASSERT_TRUE(generator.WaitUntilOpen());
    for (const int durationMs : { 1, 60 }) {
        const auto start = std::chrono::steady_clock::now();
        generator.Sound(800, durationMs);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(durationMs));
    }
}

TEST_F(ToneGeneratorDisk, OpeningLeavesTheProgramsSignalsAlone)
{
    ToneGenerator generator;
    generator.OpenAsync();
    ASSERT_TRUE(generator.WaitUntilOpen());
    for (const int signal : { SIGINT, SIGTERM }) {
        struct sigaction action { };
        ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
    }
}

// Runs under ThreadSanitizer: the program ends while a detached worker still sounds.
TEST_F(ToneGeneratorDisk, ClosingWhileAToneSoundsReleasesItsWorker)
{
    const auto start = std::chrono::steady_clock::now();
    ToneFunction tone;
    std::thread worker;
    {
        ToneGenerator generator;
        generator.OpenAsync();
        ASSERT_TRUE(generator.WaitUntilOpen());
        tone = generator.AsToneFunction();
        std::promise<void> calling;
        worker = std::thread([tone, &calling] {
            calling.set_value();
            tone(800, 10'000, std::chrono::steady_clock::now());
        });
        calling.get_future().wait();
        // Long enough for the worker's voice to be placed and begun.
        generator.Sound(1000, 30);
    }
    worker.join();
    tone(800, 10'000,
        std::chrono::steady_clock::now()); // after the generator is gone: silent, at once
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace kestrin
