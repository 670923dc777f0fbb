// A machine without sound: SDL drivers that cannot open anything, chosen in this process only.

#include "output/ToneGenerator.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;

// "" leaves SDL to try its usual drivers, as the program does.
class ToneGeneratorNoDevice : public testing::TestWithParam<std::string> { };

TEST_P(ToneGeneratorNoDevice, CallsReturnAtOnceAndNothingIsPrinted)
{
    if (GetParam().empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", GetParam().c_str(), 1);

    testing::internal::CaptureStderr();
    std::function<void(int, int, Clock::time_point)> tone;
    bool opened = false;
    Clock::duration silentCalls {};
    {
        ToneGenerator generator;
        tone = generator.AsToneFunction();
        generator.OpenAsync();
        // Before the device is ready: at once, while the open runs in the background.
        auto start = Clock::now();
        generator.Sound(800, 1000);
        const auto beforeReady = Clock::now() - start;
        opened = generator.WaitUntilOpen();
        if (!opened)
            silentCalls += beforeReady;
        if (!opened) {
            start = Clock::now();
            generator.Sound(800, 1000);
            tone(800, 1000, Clock::now());
            silentCalls += Clock::now() - start;
        }
    }
    const auto start = Clock::now();
    tone(800, 1000, Clock::now());
    silentCalls += Clock::now() - start;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // A real device on a developer's machine may open: then only the rest holds.
    EXPECT_LT(silentCalls, std::chrono::milliseconds(500));
    if (GetParam() == "kestrin-none") {
        EXPECT_FALSE(opened);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, ToneGeneratorNoDevice,
    testing::Values(std::string("kestrin-none"), std::string("alsa"), std::string("")));

TEST(ToneGeneratorNoOpen, CallsAreSilentUntilOpenedAndAfterClose)
{
    ToneGenerator generator;
    EXPECT_FALSE(generator.WaitUntilOpen());
    const auto start = Clock::now();
    generator.Sound(800, 1000);
    generator.Close();
    generator.OpenAsync(); // closed for good
    EXPECT_FALSE(generator.WaitUntilOpen());
    generator.Sound(800, 1000);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

} // namespace
} // namespace kestrin
