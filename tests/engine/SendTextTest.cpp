#include "engine/SendText.h"

#include "settings/Timing.h"
#include "tests/support/FakeKeyer.h"

#include <climits>
#include <gtest/gtest.h>

namespace kestrin {
namespace {

using test::Lamp;
using test::Rig;
using test::ToneCall;
using test::Wait;

void Send(Rig& rig, const std::string& text, int speed = 20, int gap = 1, int tone = 800)
{
    rig.window.text = text;
    rig.window.settings = { tone, speed, gap };
    SendText(rig.window, rig.services);
}

TEST(SendText, LetterAAtSpeed20IsPadDotDashPadWithTheLampLitOnlyForEachTone)
{
    Rig rig;
    Send(rig, "A");
    const std::vector<std::string> expected = {
        "wait 30 unpainted", // character pad
        "fill", "wait 30 dark", "mark", "ellipse", "mark", "tone 800x60", "wait 60 lit", "fill",
        "mark", "wait 30 dark", // dot
        "fill", "wait 30 dark", "mark", "ellipse", "mark", "tone 800x180", "wait 180 lit", "fill",
        "mark", "wait 30 dark", // dash
        "wait 30 dark", // character pad
    };
    EXPECT_EQ(rig.window.log, expected);
    EXPECT_EQ(rig.clock.nowMs, 420);
    EXPECT_EQ(rig.tones, (std::vector<ToneCall> { { 60, 800, 60 }, { 180, 800, 180 } }));
    EXPECT_EQ(rig.window.lamp, Lamp::Dark);
    EXPECT_EQ(rig.window.surfacesOut, 0);
}

TEST(SendText, HiFollowsTheRoadOfOneSend)
{
    Rig rig;
    Send(rig, "Hi");
    // H: pad 30, four dots of 120, pad 30; I: pad 30, two dots, pad 30.
    EXPECT_EQ(rig.clock.nowMs, 30 + 4 * 120 + 30 + 30 + 2 * 120 + 30);
    std::vector<ToneCall> expected;
    int at = 30;
    for (int i = 0; i < 4; ++i, at += 120)
        expected.push_back({ at + 30, 800, 60 });
    at += 60;
    for (int i = 0; i < 2; ++i, at += 120)
        expected.push_back({ at + 30, 800, 60 });
    EXPECT_EQ(rig.tones, expected);
    // Tone end to next tone start: 60 within a character, 120 across characters.
    EXPECT_EQ(rig.tones[1].atMs - (rig.tones[0].atMs + 60), 60);
    EXPECT_EQ(rig.tones[4].atMs - (rig.tones[3].atMs + 60), 120);
}

TEST(SendText, TimingFollowsSpeedAndGap)
{
    const struct {
        int speed, gap, dot, dash, pad, word;
    } cases[] = {
        { 20, 1, 60, 180, 30, 300 },
        { 25, 1, 48, 144, 24, 240 },
        { 7, 3, 171, 513, 256, 855 },
        { 1, 20, 1200, 3600, 12000, 6000 },
        { 20, 0, 60, 180, 0, 300 },
        { 40, 1, 30, 90, 15, 150 },
        { 2000, 1, 0, 0, 0, 0 },
    };
    for (const auto& c : cases) {
        const auto t = TimingFor(c.speed, c.gap);
        ASSERT_TRUE(t) << c.speed << "/" << c.gap;
        EXPECT_EQ(t->dotMs, c.dot);
        EXPECT_EQ(t->dashMs, c.dash);
        EXPECT_EQ(t->characterPadMs, c.pad);
        EXPECT_EQ(t->wordPauseMs, c.word);
    }
}

TEST(SendText, WaitsFollowSpeedAndGapOnAir)
{
    const struct {
        int speed, gap;
        std::vector<int> waits; // for "ET"
    } cases[] = {
        { 25, 1, { 24, 24, 48, 24, 24, 24, 24, 144, 24, 24 } },
        { 7, 3, { 256, 85, 171, 85, 256, 256, 85, 513, 85, 256 } },
        { 1, 20, { 12000, 600, 1200, 600, 12000, 12000, 600, 3600, 600, 12000 } },
    };
    for (const auto& c : cases) {
        Rig rig;
        Send(rig, "ET", c.speed, c.gap);
        std::vector<int> waits;
        for (const Wait& w : rig.clock.waits)
            waits.push_back(w.ms);
        EXPECT_EQ(waits, c.waits) << c.speed << "/" << c.gap;
    }
}

TEST(SendText, SpacingBetweenTonesAtSpeed20)
{
    const struct {
        const char* text;
        int silenceMs;
    } cases[] = { { "EE", 120 }, { "E E", 420 }, { "I", 60 }, { "E#E", 120 }, { "E\r\nE", 120 },
        { "E\xE2\x82\xAC"
          "E",
            120 } };
    for (const auto& c : cases) {
        Rig rig;
        Send(rig, c.text);
        ASSERT_EQ(rig.tones.size(), 2u) << c.text;
        EXPECT_EQ(rig.tones[1].atMs - (rig.tones[0].atMs + 60), c.silenceMs) << c.text;
    }
}

TEST(SendText, SpacesPauseWithoutTouchingTheLamp)
{
    Rig rig;
    Send(rig, "  ");
    EXPECT_EQ(rig.clock.waits,
        (std::vector<Wait> { { 0, 300, Lamp::Unpainted }, { 300, 300, Lamp::Unpainted } }));
    EXPECT_TRUE(rig.tones.empty());
    EXPECT_EQ(rig.window.repaintMarks, 0);
}

TEST(SendText, TextsThatSendNothingTakeNoTime)
{
    for (const std::string text : { "", "#", "\r\n", "+&;_\t", "\xC3\xA9\xE2\x82\xAC" }) {
        Rig rig;
        Send(rig, text);
        EXPECT_TRUE(rig.window.log.empty()) << text;
        EXPECT_EQ(rig.clock.nowMs, 0) << text;
    }
}

TEST(SendText, LowerCaseSendsLikeUpperCase)
{
    Rig lower, upper;
    Send(lower, "e");
    Send(upper, "E");
    EXPECT_EQ(lower.window.log, upper.window.log);
    EXPECT_EQ(lower.tones, (std::vector<ToneCall> { { 60, 800, 60 } }));
}

TEST(SendText, InitialSentenceIsSentInFull)
{
    const std::string sentence = "Type your text to send here and click the Go! button.";
    Rig rig;
    Send(rig, sentence);
    // 43 characters with rows, 114 elements, 9 word pauses: 25980 ms at speed 20.
    ASSERT_EQ(rig.tones.size(), 114u);
    EXPECT_EQ(rig.clock.nowMs, 25980);
    // "!" (-.-.--) is sounded before the 20 elements of " BUTTON.", "." (.-.-.-) last.
    const auto durations = [&](size_t from, size_t count) {
        std::vector<int> d;
        for (size_t i = from; i < from + count; ++i)
            d.push_back(rig.tones[i].durationMs);
        return d;
    };
    EXPECT_EQ(durations(88, 6), (std::vector<int> { 180, 60, 180, 60, 180, 180 }));
    EXPECT_EQ(durations(108, 6), (std::vector<int> { 60, 180, 60, 180, 60, 180 }));
    EXPECT_EQ(rig.tones[94].atMs - (rig.tones[93].atMs + 180), 420);
    EXPECT_EQ(rig.window.lamp, Lamp::Dark);
}

TEST(SendText, EachSendTakesTheSettingsThatHoldWhenItStarts)
{
    // Nothing changes the settings during a send; a slider released between two sends must reach
    // all of the next one, and nothing of the first may linger.
    Rig rig;
    Send(rig, "E");
    rig.clock.waits.clear();
    rig.tones.clear();
    Send(rig, "E", 10, 3, 600);
    std::vector<int> waits;
    for (const Wait& w : rig.clock.waits)
        waits.push_back(w.ms);
    // Character pad (3 x 120) / 2, element pad 600 / 10, the dot, element pad, character pad.
    EXPECT_EQ(waits, (std::vector<int> { 180, 60, 120, 60, 180 }));
    ASSERT_EQ(rig.tones.size(), 1u);
    EXPECT_EQ(rig.tones[0].frequencyHz, 600);
    EXPECT_EQ(rig.tones[0].durationMs, 120);
}

TEST(SendText, UnusableSettingsNeverDivideByZeroOrWaitNegative)
{
    const struct {
        int speed, gap;
    } cases[] = { { 0, 1 }, { -5, 1 }, { INT_MIN, 1 }, { 20, -1 }, { 1, INT_MAX },
        { 20, INT_MAX / 60 + 1 } };
    for (const auto& c : cases) {
        EXPECT_FALSE(TimingFor(c.speed, c.gap)) << c.speed << "/" << c.gap;
        Rig rig;
        Send(rig, "E E", c.speed, c.gap);
        EXPECT_TRUE(rig.window.log.empty());
        EXPECT_EQ(rig.clock.nowMs, 0);
    }
    // The largest gap whose pad still fits is used.
    ASSERT_TRUE(TimingFor(20, INT_MAX / 60));
    EXPECT_EQ(TimingFor(20, INT_MAX / 60)->characterPadMs, (INT_MAX / 60) * 60 / 2);
}

} // namespace
} // namespace kestrin
