#include "settings/ProfileText.h"

#include <gtest/gtest.h>
#include <limits>

namespace kestrin {
namespace {

TEST(ProfileText, ReadsIntegersAsHandEditedFilesExpect)
{
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const struct {
        std::string text;
        std::int64_t speed; // read with the default 20
    } cases[] = {
        { "[parms]\nSpeed=12\n", 12 },
        { "[PARMS]\nSPEED=12\n", 12 },
        { "  [ parms ]  \n \t speed  =  12  \n", 12 },
        { "[parms]\nSpeed=\"12\"\n", 12 },
        { "[parms]\nSpeed= ' 12 ' \n", 12 },
        { "[parms]\nSpeed=\"12'\n", 0 }, // quotes that do not match stay
        { "[parms]\nSpeed=\n", 20 },
        { "[parms]\nSpeed=  \"\"\t\n", 20 },
        { "[parms]\nSpeed=12abc ; fast\n", 12 },
        { "[parms]\nSpeed=-7\n", -7 },
        { "[parms]\nSpeed=+7\n", 7 },
        { "[parms]\nSpeed=fast\n", 0 },
        { "[parms]\nSpeed=- 5\n", 0 },
        { "[parms]\nSpeed=0x10\n", 0 },
        { "[parms]\nSpeed=99999999999999999999\n", kMax }, // saturated, never wrapped
        { "[parms]\nSpeed=-99999999999999999999\n", -kMax - 1 },
        { "[parms]\nTone=1\n[parms]\nSpeed=12\n", 20 }, // the first section counts
        { "[parms]\nSpeed=12\nSpeed=13\n", 12 }, // the first key counts
        { "[other]\nSpeed=12\n[parmsx]\nSpeed=12\n", 20 },
        { "Speed=12\n[parms]\n", 20 },
        { "[parms]\nSpeed\nSpeed=12\n", 12 },
        { "[parms]\r\nSpeed=12\r\n", 12 },
        { "[parms]\rSpeed=12\r", 12 },
        { "\xEF\xBB\xBF[parms]\nSpeed=12\n", 12 },
        { "; [other]\n\n# x\n[parms]\n\n;Speed=5\n  #Speed=6\nSpeed=12", 12 },
        { "", 20 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProfileText(c.text).ReadInteger("parms", "Speed", 20), c.speed) << c.text;
}

TEST(ProfileText, SettingAValueKeepsEveryOtherByte)
{
    const std::string odd("[b]\n\0\xff=1\n", 9);
    const struct {
        std::string before;
        std::string after; // once Speed is set to 25
    } cases[] = {
        { "", "[parms]\nSpeed=25\n" },
        { " [Parms] \n  SPEED = \"12\"  \nGap=1\n", " [Parms] \n  SPEED = 25  \nGap=1\n" },
        { "[parms]\nSpeed=\nGap=1", "[parms]\nSpeed=25\nGap=1" },
        { "[PARMS]\n speed = '25' \n", "[PARMS]\n speed = '25' \n" }, // already so: untouched
        { "[parms]\nTone=800\n\n; next\n[b]\nx=1\n",
            "[parms]\nTone=800\nSpeed=25\n\n; next\n[b]\nx=1\n" },
        { "[parms]\n[b]\n", "[parms]\nSpeed=25\n[b]\n" },
        { "[parms]\r\nTone=800\r\n", "[parms]\r\nTone=800\r\nSpeed=25\r\n" },
        { "[b]\rx=1\r", "[b]\rx=1\r[parms]\rSpeed=25\r" },
        { "[b]\nx=1", "[b]\nx=1\n[parms]\nSpeed=25\n" },
        { "[parms]", "[parms]\nSpeed=25\n" },
        { "\xEF\xBB\xBF", "\xEF\xBB\xBF[parms]\nSpeed=25\n" },
        { "[parms]\nSpeed=1\nSpeed=2\n", "[parms]\nSpeed=25\nSpeed=2\n" },
        { "[parms]\nTone=1\n[parms]\nSpeed=2\n", "[parms]\nTone=1\nSpeed=25\n[parms]\nSpeed=2\n" },
        { odd, odd + "[parms]\nSpeed=25\n" },
    };
    for (const auto& c : cases) {
        ProfileText profile(c.before);
        profile.SetValue("parms", "Speed", "25");
        EXPECT_EQ(profile.Bytes(), c.after) << c.before;
        EXPECT_EQ(profile.ReadInteger("parms", "Speed", 20), 25) << c.before;
    }
}

} // namespace
} // namespace kestrin
