#include "output/ToneMixer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>
#include <thread>
#include <vector>

namespace kestrin {
namespace {

using Clock = ToneMixer::Clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr int kBuffer = 512;
constexpr auto kOnDemand = ToneMixer::Mode::OnDemand;
constexpr auto kAhead = ToneMixer::Mode::WriteAhead;
const Clock::time_point kT0 = Clock::time_point {} + std::chrono::hours(1);

// The time at which the device asks for the buffer starting at sample, on a steady stream.
Clock::time_point OnTime(std::int64_t sample)
{
    return kT0 + nanoseconds(sample * 1'000'000'000 / kToneSampleRate);
}

// Renders samples [Position(), Position() + count) in device-sized buffers, on time.
std::vector<float> RenderSamples(ToneMixer& mixer, std::int64_t count)
{
    std::vector<float> out(static_cast<std::size_t>(count));
    for (std::int64_t done = 0; done < count; done += kBuffer) {
        const int frames = static_cast<int>(std::min<std::int64_t>(kBuffer, count - done));
        mixer.Render(out.data() + done, frames, OnTime(mixer.Position()));
    }
    return out;
}

struct Span {
    std::int64_t first = -1;
    std::int64_t last = -1;
};

Span NonZero(const std::vector<float>& s)
{
    Span span;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(s.size()); ++i) {
        if (s[static_cast<std::size_t>(i)] != 0.0f) {
            if (span.first < 0)
                span.first = i;
            span.last = i;
        }
    }
    return span;
}

float Peak(const std::vector<float>& s)
{
    float peak = 0.0f;
    for (float x : s)
        peak = std::max(peak, std::abs(x));
    return peak;
}

TEST(ToneMixer, VoiceHasExactlyFortyEightSamplesPerMillisecond)
{
    for (const int durationMs : { 1, 48, 60, 144, 180, 1200 }) {
        ToneMixer mixer(kOnDemand, 15);
        const auto voice = mixer.Add(800, durationMs, 100);
        EXPECT_EQ(voice.end - voice.start, durationMs * 48);
        const auto out = RenderSamples(mixer, 100 + durationMs * 48 + 1000);
        const Span span = NonZero(out);
        EXPECT_EQ(span.first, 100) << durationMs;
        EXPECT_EQ(span.last - span.first + 1, durationMs * 48) << durationMs;
    }
}

TEST(ToneMixer, SoundsTheAskedFrequency)
{
    for (const int frequencyHz : { 400, 800, 1000, 2000 }) {
        ToneMixer mixer(kOnDemand, 15);
        (void)mixer.Add(frequencyHz, 1200, 0);
        const auto out = RenderSamples(mixer, 1200 * 48);
        int crossings = 0;
        for (std::size_t i = 1; i < out.size(); ++i)
            crossings += (out[i - 1] < 0.0f) != (out[i] < 0.0f);
        // Two a cycle: 1.2 s of f hertz.
        EXPECT_NEAR(crossings, 2.4 * frequencyHz, 1.0) << frequencyHz;
    }
}

// Energy of the samples within maxOffHz of frequencyHz, against all of it (Parseval over a
// zero-padded one-second transform, so bins are 1 Hz apart).
double EnergyAwayFromToneDb(const std::vector<float>& x, int frequencyHz, int maxOffHz)
{
    double total = 0.0;
    for (float v : x)
        total += double { v } * v;
    double near = 0.0;
    for (int k = frequencyHz - maxOffHz; k <= frequencyHz + maxOffHz; ++k) {
        std::complex<double> bin;
        for (std::size_t n = 0; n < x.size(); ++n)
            bin += double { x[n] }
                * std::polar(1.0, -2.0 * std::numbers::pi * k * double(n) / kToneSampleRate);
        near += 2.0 * std::norm(bin) / kToneSampleRate;
    }
    return 10.0 * std::log10((total - near) / near);
}

TEST(ToneMixer, KeyingAddsLittleEnergyAwayFromTheTone)
{
    for (const int durationMs : { 60, 180 }) {
        ToneMixer mixer(kOnDemand, 15);
        (void)mixer.Add(800, durationMs, 0);
        const auto out = RenderSamples(mixer, durationMs * 48);
        EXPECT_LT(EnergyAwayFromToneDb(out, 800, 200), -40.0) << durationMs;
    }
}

TEST(ToneMixer, RiseAndFallAreSmoothSymmetricAndInsideTheTone)
{
    const struct {
        int durationMs;
        double minRiseMs, maxRiseMs; // 10 to 90 %
    } cases[] = { { 60, 2.0, 6.0 }, { 1200, 2.0, 6.0 }, { 4, 0.9, 1.5 }, { 1, 0.2, 0.4 } };
    for (const auto& c : cases) {
        const std::int64_t length = c.durationMs * 48;
        std::int64_t at10 = -1, at90 = -1;
        for (std::int64_t n = 0; n < length; ++n) {
            const float w = ToneMixer::Envelope(n, length);
            EXPECT_GT(w, 0.0f);
            EXPECT_LE(w, 1.0f);
            EXPECT_EQ(w, ToneMixer::Envelope(length - 1 - n, length));
            if (n > 0 && n < length / 2) {
                EXPECT_GE(w, ToneMixer::Envelope(n - 1, length));
            }
            if (at10 < 0 && w >= 0.1f)
                at10 = n;
            if (at90 < 0 && w >= 0.9f)
                at90 = n;
        }
        EXPECT_EQ(ToneMixer::Envelope(-1, length), 0.0f);
        EXPECT_EQ(ToneMixer::Envelope(length, length), 0.0f);
        EXPECT_NEAR(ToneMixer::Envelope(length / 2, length), 1.0f, 0.01f);
        const double riseMs = double(at90 - at10) / 48.0;
        EXPECT_GE(riseMs, c.minRiseMs) << c.durationMs;
        EXPECT_LE(riseMs, c.maxRiseMs) << c.durationMs;
    }
}

TEST(ToneMixer, OverlappingVoicesAddButNeverClip)
{
    ToneMixer mixer(kOnDemand, 15);
    // In phase, the worst case: eight voices of 0.5 would reach 4.
    for (int i = 0; i < 8; ++i)
        (void)mixer.Add(1000, 100, 0);
    (void)mixer.Add(400, 100, 2000);
    (void)mixer.Add(2000, 100, 2500);
    const auto out = RenderSamples(mixer, 100 * 48 + 3000);
    EXPECT_LE(Peak(out), 1.0f);
    EXPECT_GT(Peak(out), 0.99f);

    ToneMixer two(kOnDemand, 15);
    (void)two.Add(800, 60, 0);
    (void)two.Add(1000, 60, 0);
    const auto sum = RenderSamples(two, 60 * 48);
    EXPECT_GT(Peak(sum), 1.5f * ToneMixer::kVoiceAmplitude);
    EXPECT_LE(Peak(sum), 1.0f);
}

TEST(ToneMixer, VoiceStartsTheDelayAfterItsCallOnTheSampleClock)
{
    ToneMixer mixer(kOnDemand, 15);
    std::vector<float> scratch(kBuffer);
    mixer.Render(scratch.data(), kBuffer, OnTime(0));
    // 3 ms after the first buffer was asked for, 15 ms of delay: sample 18 x 48.
    const auto voice = mixer.AddAfterDelay(800, 60, OnTime(0) + milliseconds(3));
    EXPECT_EQ(voice.start, 18 * 48);
    const auto out = RenderSamples(mixer, 4000);
    EXPECT_EQ(NonZero(out).first + kBuffer, 18 * 48);
}

TEST(ToneMixer, OneLateOrEarlyBufferDoesNotMoveTheClock)
{
    ToneMixer mixer(kOnDemand, 15);
    std::vector<float> scratch(kBuffer);
    for (int i = 0; i < 10; ++i)
        mixer.Render(scratch.data(), kBuffer, OnTime(mixer.Position()));
    const auto callTime = OnTime(mixer.Position()) + milliseconds(10);
    const std::int64_t expected = mixer.Position() + 25 * 48;
    // Asked for 4 ms late, then the next at once to refill.
    mixer.Render(scratch.data(), kBuffer, OnTime(mixer.Position()) + milliseconds(4));
    mixer.Render(scratch.data(), kBuffer, OnTime(mixer.Position() - kBuffer) + milliseconds(4));
    EXPECT_EQ(mixer.AddAfterDelay(800, 60, callTime).start, expected);
}

TEST(SampleClock, ConvertsPositionsPastTenToTheTenExactly)
{
    // Past 2^63 / 10^9 samples (53 hours) a plain sample x 10^9 overflows.
    for (const std::int64_t sample : { std::int64_t { 0 }, std::int64_t { 1 },
             std::int64_t { 10'000'000'000 }, std::int64_t { 10'000'000'001 },
             std::int64_t { 151'373'000'000'007 }, std::int64_t { 400'000'000'000'003 } }) {
        const auto exactNs = static_cast<std::int64_t>(__int128 { sample } * 1'000'000'000 / 48000);
        EXPECT_EQ(SampleClock::SampleTimeNs(sample), exactNs) << sample;
        EXPECT_EQ(SampleClock::SampleAtNs(exactNs), sample) << sample;
        EXPECT_EQ(SampleClock::SampleAtNs(exactNs + 20'833), sample + 1) << sample;
    }
    EXPECT_EQ(SampleClock::SampleAtNs(-20'833), -1);

    // A stream that has run for 60 days places a voice as on its first day.
    SampleClock clock;
    const std::int64_t late = std::int64_t { 48000 } * 3600 * 24 * 60 + 5;
    clock.Update(kT0, late);
    EXPECT_EQ(clock.SampleAt(kT0 + milliseconds(15)), late + 15 * 48);
    EXPECT_FALSE(SampleClock().SampleAt(kT0));
}

TEST(ToneMixer, VoiceNeverLosesItsHeadToABufferAlreadyBegun)
{
    ToneMixer mixer(kOnDemand, 0);
    std::vector<float> scratch(kBuffer);
    mixer.Render(scratch.data(), kBuffer, OnTime(0));
    EXPECT_EQ(mixer.AddAfterDelay(800, 10, OnTime(0)).start, kBuffer);
    EXPECT_EQ(mixer.Add(800, 10, 5).start, kBuffer);
    ToneMixer unclocked(kOnDemand, 15);
    EXPECT_EQ(unclocked.AddAfterDelay(800, 10, kT0).start, 0);
}

TEST(ToneMixer, FrequencyOrDurationItCannotRenderIsSilent)
{
    const struct {
        int frequencyHz, durationMs;
    } cases[] = { { 0, 60 }, { -800, 60 }, { 24000, 60 }, { 30000, 60 }, { 800, 0 }, { 800, -60 } };
    for (const auto& c : cases) {
        ToneMixer mixer(kOnDemand, 15);
        EXPECT_TRUE(mixer.Add(c.frequencyHz, c.durationMs, 0).Empty());
        EXPECT_EQ(Peak(RenderSamples(mixer, 4000)), 0.0f) << c.frequencyHz;
    }
    ToneMixer highest(kOnDemand, 15);
    EXPECT_FALSE(highest.Add(23999, 60, 0).Empty());
}

TEST(ToneMixer, VoiceBeyondTheTableIsSilent)
{
    ToneMixer mixer(kOnDemand, 15);
    for (int i = 0; i < ToneMixer::kMaxVoices; ++i)
        EXPECT_FALSE(mixer.Add(800, 60, 0).Empty());
    EXPECT_TRUE(mixer.Add(800, 60, 0).Empty());
    (void)RenderSamples(mixer, 60 * 48);
    EXPECT_FALSE(mixer.Add(800, 60, 0).Empty());
}

// Written ahead: the device keeps 100 ms queued and renders again from a new voice's start.
TEST(ToneMixerAhead, NewVoiceIsRenderedAgainFromItsStartAsIfKnownAllAlong)
{
    constexpr int kQueue = 100 * 48;
    ToneMixer mixer(kAhead, 10);
    mixer.Commit(0, 480, OnTime(0));
    std::vector<float> queue(kQueue);
    mixer.RenderAhead(queue.data(), kQueue, 0);
    EXPECT_FALSE(mixer.TakeEarliestAdded());

    const auto voice = mixer.AddAfterDelay(800, 60, OnTime(0) + milliseconds(2));
    EXPECT_EQ(voice.start, 12 * 48);
    EXPECT_EQ(mixer.TakeEarliestAdded(), voice.start);
    EXPECT_FALSE(mixer.TakeEarliestAdded());
    mixer.RenderAhead(
        queue.data() + voice.start, kQueue - static_cast<int>(voice.start), voice.start);
    EXPECT_TRUE(mixer.WaitRendered(voice, Clock::now()));

    ToneMixer known(kOnDemand, 10);
    (void)known.Add(800, 60, voice.start);
    EXPECT_EQ(queue, RenderSamples(known, kQueue));
    // Still in the mixer until the sink takes it: a second rewrite renders it again.
    std::vector<float> again(kQueue);
    mixer.RenderAhead(again.data(), kQueue, 0);
    EXPECT_EQ(again, queue);
}

TEST(ToneMixerAhead, NothingChangesBeforeTheGuardAndTakenVoicesAreFreed)
{
    ToneMixer mixer(kAhead, 0);
    mixer.Commit(1000, 480, OnTime(1000));
    EXPECT_EQ(mixer.FirstChangeable(), 1480);
    EXPECT_EQ(mixer.Add(800, 10, 1200).start, 1480);
    for (int i = 1; i < ToneMixer::kMaxVoices; ++i)
        EXPECT_FALSE(mixer.Add(800, 1, 2000).Empty());
    EXPECT_TRUE(mixer.Add(800, 1, 2000).Empty());
    std::vector<float> queue(4000);
    mixer.RenderAhead(queue.data(), 4000, 1480);
    // A commit that goes backwards changes nothing; one past every voice frees them all.
    mixer.Commit(0, 0, OnTime(0));
    EXPECT_EQ(mixer.FirstChangeable(), 1480);
    mixer.Commit(3000, 0, OnTime(3000));
    EXPECT_FALSE(mixer.Add(800, 1, 0).Empty());
}

TEST(ToneMixer, GivingUpOnAVoiceNotBegunDropsIt)
{
    ToneMixer mixer(kOnDemand, 15);
    const auto voice = mixer.Add(800, 60, 0);
    EXPECT_FALSE(mixer.WaitRendered(voice, Clock::now()));
    EXPECT_EQ(Peak(RenderSamples(mixer, 4000)), 0.0f);
}

TEST(ToneMixer, VoiceAlreadySoundingPlaysOutWhenGivenUp)
{
    ToneMixer mixer(kOnDemand, 15);
    const auto voice = mixer.Add(800, 60, 0);
    (void)RenderSamples(mixer, kBuffer);
    EXPECT_FALSE(mixer.WaitRendered(voice, Clock::now()));
    EXPECT_EQ(NonZero(RenderSamples(mixer, 60 * 48)).last + 1, 60 * 48 - kBuffer);
}

// Real threads: runs under ThreadSanitizer. The waiter can only return through the render.
TEST(ToneMixerThreads, WaiterReturnsOnceItsVoiceIsRendered)
{
    ToneMixer mixer(kOnDemand, 15);
    const auto voice = mixer.Add(800, 60, 0);
    bool rendered = false;
    std::thread waiter(
        [&] { rendered = mixer.WaitRendered(voice, Clock::now() + std::chrono::hours(1)); });
    (void)RenderSamples(mixer, 60 * 48);
    waiter.join();
    EXPECT_TRUE(rendered);
}

TEST(ToneMixerThreads, StopReleasesWaitersAndSilencesTheRest)
{
    ToneMixer mixer(kOnDemand, 15);
    const auto voice = mixer.Add(800, 60, 0);
    bool rendered = true;
    std::thread waiter(
        [&] { rendered = mixer.WaitRendered(voice, Clock::now() + std::chrono::hours(1)); });
    mixer.Stop();
    waiter.join();
    EXPECT_FALSE(rendered);
    EXPECT_TRUE(mixer.Add(800, 60, 0).Empty());
    EXPECT_EQ(Peak(RenderSamples(mixer, 4000)), 0.0f);
}

} // namespace
} // namespace kestrin
