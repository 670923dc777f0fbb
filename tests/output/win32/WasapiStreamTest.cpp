// The WASAPI stream on the machine's default output device (under Wine, a private PulseAudio's
// null sink: wasapi_tests.sh). Each bound only turns a fault into a failure.

#include "output/win32/WasapiStream.h"

#include "output/ToneGenerator.h"
#include "output/WaitWord.h"

#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace kestrin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kBound = milliseconds(2000);

struct Opened {
    std::atomic<std::uint32_t> woken { 0 };
    std::atomic<bool> cancel { false };
    std::unique_ptr<WasapiStream> stream;

    Opened()
    {
        stream = WasapiStream::Open(ToneDeviceOptions {}, Clock::now() + kBound, cancel, [this] {
            woken.fetch_add(1);
            WakeWord(woken);
        });
    }
};

// A voice placed by its call now, and whether it was rendered in time.
bool SoundsWithin(WasapiStream& stream, Clock::duration callIn, Clock::duration bound)
{
    ToneMixer& mixer = stream.Mixer();
    if (!mixer.WaitClockKnown(Clock::now() + kBound))
        return false;
    const ToneMixer::Voice voice = mixer.AddAfterDelay(700, 20, Clock::now() + callIn);
    return !voice.Empty() && mixer.WaitRendered(voice, Clock::now() + bound);
}

TEST(WasapiStream, OpensWithAStartDelayPastOneDevicePeriod)
{
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    const WasapiStream::DeviceInfo& device = opened.stream->Device();
    EXPECT_GT(device.periodFrames, 0);
    EXPECT_GE(device.bufferFrames, device.periodFrames);
    EXPECT_GT(device.startDelayMs * kSamplesPerMs, device.periodFrames);
    EXPECT_TRUE(SoundsWithin(*opened.stream, {}, kBound));
    EXPECT_FALSE(opened.stream->Lost());
}

TEST(WasapiStream, PausedRendersNothingAndResumedRestartsItsClock)
{
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    WasapiStream& stream = *opened.stream;
    ASSERT_TRUE(stream.Mixer().WaitClockKnown(Clock::now() + kBound));
    stream.Pause();
    // Called for later than the pause takes to arrive: a paused device never reaches it.
    const ToneMixer::Voice late = stream.Mixer().AddAfterDelay(700, 20, Clock::now() + kBound / 4);
    ASSERT_FALSE(late.Empty());
    EXPECT_FALSE(stream.Mixer().WaitRendered(late, Clock::now() + kBound / 2));
    stream.Resume();
    EXPECT_FALSE(stream.Mixer().ClockKnown());
    EXPECT_TRUE(SoundsWithin(stream, {}, kBound));
    EXPECT_FALSE(stream.Lost());
}

TEST(WasapiStream, DefaultDeviceChangeLosesTheStreamAndWakesTheOwner)
{
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    ASSERT_TRUE(opened.stream->Mixer().WaitClockKnown(Clock::now() + kBound));
    opened.stream->DefaultDeviceChanged();
    const auto end = Clock::now() + kBound;
    while (opened.woken.load() == 0 && Clock::now() < end)
        WaitWord(opened.woken, 0, end - Clock::now());
    EXPECT_EQ(opened.woken.load(), 1u);
    EXPECT_TRUE(opened.stream->Lost());
    EXPECT_TRUE(opened.stream->Mixer().Add(700, 20, 0).Empty());
}

TEST(WasapiStream, TheGeneratorOpensTheNewDefaultDeviceAfterAChange)
{
    std::mutex mutex;
    std::vector<WasapiStream*> streams;
    std::vector<std::shared_ptr<ToneMixer>> mixers;
    ToneGenerator generator(ToneDeviceOptions {},
        [&](const ToneDeviceOptions& options, Clock::time_point deadline,
            const std::atomic<bool>& cancel, std::function<void()> wake) {
            std::unique_ptr<WasapiStream> stream
                = WasapiStream::Open(options, deadline, cancel, std::move(wake));
            if (stream != nullptr) {
                std::lock_guard lock(mutex);
                streams.push_back(stream.get());
                mixers.push_back(stream->SharedMixer());
            }
            return std::unique_ptr<AudioStream>(std::move(stream));
        });
    generator.OpenAsync();
    ASSERT_TRUE(generator.WaitUntilOpen());
    generator.Sound(700, 20);
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(streams.size(), 1u);
        // The generator destroys a stream only on its own thread, after it saw the loss.
        streams[0]->DefaultDeviceChanged();
    }
    const auto end = Clock::now() + kBound;
    for (;;) {
        generator.Sound(700, 20);
        std::lock_guard lock(mutex);
        if (mixers.size() >= 2 || Clock::now() >= end)
            break;
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(mixers.size(), 2u);
    EXPECT_GT(mixers[1]->Position(), 0);
}

// Run alone, where Wine finds no output device (wasapi_tests.sh none).
TEST(WasapiNoDevice, OpensNothingAndEveryToneReturnsAtOnce)
{
    Opened opened;
    EXPECT_EQ(opened.stream, nullptr);
    ToneGenerator generator;
    generator.OpenAsync();
    EXPECT_FALSE(generator.WaitUntilOpen());
    const auto start = Clock::now();
    generator.Sound(700, 500);
    EXPECT_LT(Clock::now() - start, milliseconds(250));
}

} // namespace
} // namespace kestrin
