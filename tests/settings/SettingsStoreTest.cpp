#include "settings/SettingsStore.h"

#include "settings/AtomicFile.h"
#include "tests/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

namespace kestrin {

// Failures show the three values, not the bytes of the struct.
void PrintTo(const KeyerSettings& s, std::ostream* out)
{
    *out << "{ tone " << s.tone << ", speed " << s.speed << ", gap " << s.gap << " }";
}

namespace {

using namespace testing_support;

TEST(SettingsStore, FirstRunGivesDefaultsAndSavesExactlyFourLines)
{
    TempDir dir;
    const fs::path file = dir.Path() / "missing" / "dirs" / "kestrin.INI";
    EXPECT_EQ(LoadKeyerSettings(file), KeyerSettings {});
    SaveKeyerSettings(file, KeyerSettings {});
    EXPECT_EQ(ReadBytes(file), "[parms]\nTone=800\nSpeed=20\nGap=1\n");
    EXPECT_EQ(Snapshot(file.parent_path()).size(), 1u); // no temporary left
}

TEST(SettingsStore, RoundTripKeepsValuesOutsideSliderRanges)
{
    TempDir dir;
    const fs::path file = dir.Path() / "kestrin.INI";
    SaveKeyerSettings(file, { 2000, 40, 0 });
    EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { 2000, 40, 0 }));
    SaveKeyerSettings(file, { 400, 25, 20 });
    EXPECT_EQ(ReadBytes(file), "[parms]\nTone=400\nSpeed=25\nGap=20\n");
}

TEST(SettingsStore, LoadTakesDefaultsForWhatIsMissingAndMendsWhatNoSendCouldUse)
{
    const struct {
        std::string stored; // in section "parms"
        KeyerSettings loaded;
    } cases[] = {
        { "Speed=12\n", { 800, 12, 1 } },
        { "Tone=2000\nSpeed=40\nGap=0\n", { 2000, 40, 0 } },
        { "Speed=0\n", { 800, 20, 1 } },
        { "Speed=-5\nGap=-1\n", { 800, 20, 1 } },
        // A character pad of at most 12 s, the sliders' longest (20 dots at 1 WPM), is kept.
        { "Speed=1\nGap=20\n", { 800, 1, 20 } },
        { "Speed=1\nGap=21\n", { 800, 1, 1 } },
        { "Gap=400\n", { 800, 20, 400 } }, // 400 x 60 / 2 = 12000
        { "Gap=401\n", { 800, 20, 1 } },
        { "Gap=1000\n", { 800, 20, 1 } }, // a minute of silence per character
        { "Gap=35791394\n", { 800, 20, 1 } }, // the largest whose pad fits an int: 12 days
        { "Gap=2147483647\n", { 800, 20, 1 } },
        { "Gap=25\n", { 800, 20, 25 } },
        { "Gap=4294967297\n", { 800, 20, 1 } },
        // A dot of at least 12 ms, twice the tone's 6 ms rise and fall: 100 WPM at most.
        { "Speed=100\nGap=1000\n", { 800, 100, 1000 } }, // 1000 x 12 / 2 = 6000
        { "Speed=101\n", { 800, 20, 1 } },
        { "Speed=2000\nGap=2147483647\n", { 800, 20, 1 } }, // dot time 0: silent and instant
        { "Speed=4294967297\n", { 800, 20, 1 } },
        { "Speed=-99999999999\n", { 800, 20, 1 } },
        // An audible pitch the 48 kHz output plays cleanly: 20 to 20000 Hz.
        { "Tone=20\n", { 20, 20, 1 } },
        { "Tone=19\n", { 800, 20, 1 } },
        { "Tone=5\n", { 800, 20, 1 } },
        { "Tone=20000\n", { 20000, 20, 1 } },
        { "Tone=20001\n", { 800, 20, 1 } },
        { "Tone=30000\n", { 800, 20, 1 } },
        { "Tone=-2147483648\n", { 800, 20, 1 } },
        { "Tone=2147483648\n", { 800, 20, 1 } },
        { "Tone=-99999999999\n", { 800, 20, 1 } },
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.Path() / "k.INI", "[parms]\n" + c.stored);
        const KeyerSettings loaded = LoadKeyerSettings(dir.Path() / "k.INI");
        EXPECT_EQ(loaded, c.loaded) << c.stored;
        // What any send needs: an audible tone, a dot of 12 ms or more, a pad of 0 to 12 s.
        EXPECT_GE(loaded.tone, 20);
        EXPECT_LE(loaded.tone, 20000);
        ASSERT_GE(loaded.speed, 1);
        EXPECT_GE(1200 / loaded.speed, 12) << c.stored;
        EXPECT_GE(loaded.gap, 0);
        EXPECT_LE(std::int64_t { loaded.gap } * (1200 / loaded.speed) / 2, 12000) << c.stored;
    }
}

TEST(SettingsStore, SaveKeepsOtherSectionsCommentsAndLineEndsByteForByte)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    WriteBytes(file,
        "\xEF\xBB\xBF; mine\r\n[window]\r\nx=1\r\n\r\n[Parms]\r\n  speed = 12 ; fast "
        "\r\nColour=red\r\n"
        "\r\n# end\r\n");
    SaveKeyerSettings(file, { 800, 25, 3 });
    EXPECT_EQ(ReadBytes(file),
        "\xEF\xBB\xBF; mine\r\n[window]\r\nx=1\r\n\r\n[Parms]\r\n  speed = 25 \r\nColour=red\r\n"
        "Tone=800\r\nGap=3\r\n\r\n# end\r\n");
}

// Little or big endian UTF-16 of text, after the byte-order mark.
std::string Utf16(std::u16string_view text, bool little)
{
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little ? low : high;
        bytes += little ? high : low;
    }
    return bytes;
}

TEST(SettingsStore, Utf16FileIsReadAndSavedInItsOwnEncoding)
{
    // A lone surrogate and a stray last byte must survive a save, as every other character does.
    const std::u16string others = u"; caf\u00e9 \U0001F600 \xD800!\r\n[x]\r\ny=2\r\n";
    const struct {
        bool little;
        std::string stray;
        KeyerSettings saved;
        std::u16string after; // nothing: the file as it was
    } cases[] = {
        { true, "", { 600, 20, 1 }, u"[parms]\r\nTone=600\r\nSpeed=20\r\nGap=1\r\n" + others },
        { false, "", { 600, 20, 1 }, u"[parms]\r\nTone=600\r\nSpeed=20\r\nGap=1\r\n" + others },
        { true, "\x01", { 600, 25, 1 }, u"[parms]\r\nTone=600\r\nSpeed=25\r\nGap=1\r\n" + others },
        { true, "", { 600, 12, 3 }, {} },
        { false, "\x01", { 600, 12, 3 }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.little << c.saved.speed);
        TempDir dir;
        const fs::path file = dir.Path() / "k.INI";
        const std::string before
            = Utf16(u"[parms]\r\nTone=600\r\nSpeed=12\r\nGap=3\r\n" + others, c.little) + c.stray;
        WriteBytes(file, before);
        EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { 600, 12, 3 }));
        SaveKeyerSettings(file, c.saved);
        EXPECT_EQ(ReadBytes(file), c.after.empty() ? before : Utf16(c.after, c.little) + c.stray);
        EXPECT_EQ(LoadKeyerSettings(file), c.saved);
    }
}

TEST(SettingsStore, SaveWritesNothingTooLargeToReadBack)
{
    // The save adds "Tone=900\nSpeed=20\n" to a file that is mostly one long comment.
    const std::string head = "[parms]\nGap=3\n;", tail = "\n";
    constexpr std::size_t kAdded = 18;
    const struct {
        bool utf16;
        std::uintmax_t grownSize; // the file's size once the keys are added
        bool written;
    } cases[] = {
        { false, kMaxSmallFileBytes, true },
        { false, kMaxSmallFileBytes + 1, false },
        { true, kMaxSmallFileBytes, true },
        { true, kMaxSmallFileBytes + 2, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.utf16 << " " << c.grownSize);
        const std::size_t unit = c.utf16 ? 2 : 1, mark = c.utf16 ? 2 : 0;
        const std::string text = head
            + std::string((c.grownSize - mark) / unit - kAdded - head.size() - tail.size(), 'x')
            + tail;
        const std::string before
            = c.utf16 ? Utf16(std::u16string(text.begin(), text.end()), true) : text;
        TempDir dir;
        const fs::path file = dir.Path() / "k.INI";
        WriteBytes(file, before);
        ASSERT_EQ(LoadKeyerSettings(file), (KeyerSettings { 800, 20, 3 }));
        SaveKeyerSettings(file, { 900, 20, 3 });
        EXPECT_EQ(ReadBytes(file).size(), c.written ? c.grownSize : before.size());
        // Whatever the save left, the next start reads.
        EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { c.written ? 900 : 800, 20, 3 }));
    }
}

TEST(SettingsStore, ExecutableBaseNameIsTheProgramsName)
{
    EXPECT_EQ(ExecutableBaseName(), "settings_tests");
}

} // namespace
} // namespace kestrin
