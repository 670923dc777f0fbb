#include "engine/MorseTable.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace kestrin {
namespace {

TEST(MorseTable, FindsExactPatterns)
{
    const struct {
        const char* ch;
        const char* pattern;
    } cases[] = {
        { "E", "." },
        { "T", "-" },
        { "0", "-----" },
        { "7", "--..." },
        { ":", "---..." },
        { ",", "--..--" },
        { "!", "-.-.--" },
        { "A", ".-" },
        { "Z", "--.." },
        { "\"", ".-..-." },
        { "'", ".----." },
        { "=", "-...-" },
        { ")", "-.--.-" },
    };
    for (const auto& c : cases) {
        const auto found = kMorseTable.Lookup(c.ch);
        ASSERT_TRUE(found) << c.ch;
        EXPECT_EQ(*found, c.pattern) << c.ch;
    }
}

TEST(MorseTable, HasNoRowForOtherText)
{
    const std::string none[] = { "a", " ", "+", "&", ";", "_", "\t", "\r", "\n", "", "AB", "\xC3",
        "\xE9", "\x80", std::string(1, '\0'), "E " };
    for (const auto& ch : none)
        EXPECT_FALSE(kMorseTable.Lookup(ch)) << "byte count " << ch.size();
}

TEST(MorseTable, HoldsFortyEightUniqueWellFormedRows)
{
    std::set<std::string_view> characters;
    for (const auto& row : kMorseTable.Rows()) {
        EXPECT_EQ(row.character.size(), 1u);
        characters.insert(row.character);
        EXPECT_GE(row.pattern.size(), 1u);
        EXPECT_LE(row.pattern.size(), 6u);
        EXPECT_EQ(row.pattern.find_first_not_of(".-"), std::string_view::npos) << row.pattern;
        EXPECT_EQ(kMorseTable.Lookup(row.character), row.pattern);
    }
    EXPECT_EQ(characters.size(), 48u);
    EXPECT_EQ(kMorseTable.Rows().front().character, "A");
    EXPECT_EQ(kMorseTable.Rows()[26].character, "0");
    EXPECT_EQ(kMorseTable.Rows().back().character, "!");
}

} // namespace
} // namespace kestrin
