#include "ui/framework/Placement.h"

#include <gtest/gtest.h>

namespace kestrin {
namespace {

TEST(Placement, CentringTruncatesHalvesAndKeepsTheWindowInsideTheWorkArea)
{
    const PixelRect area { 0, 0, 1280, 770 };
    const struct {
        const char* name;
        int width, height;
        PixelRect centreOn;
        int left, top;
    } cases[] = {
        { "over the owner", 300, 100, { 100, 100, 600, 400 }, 200, 200 },
        { "odd halves", 11, 11, { 0, 0, 101, 51 }, 45, 20 },
        { "in the work area", 576, 202, area, 352, 284 },
        { "left edge out", 300, 100, { -200, 300, 100, 400 }, 0, 300 },
        { "right edge out", 300, 100, { 1180, 300, 1480, 400 }, 980, 300 },
        { "top edge out", 300, 100, { 500, -90, 800, 10 }, 500, 0 },
        { "bottom edge out", 300, 100, { 500, 760, 800, 860 }, 500, 670 },
        { "wider than the area: left wins", 1300, 800, area, 0, 0 },
    };
    for (const auto& c : cases) {
        const PixelRect expected { c.left, c.top, c.left + c.width, c.top + c.height };
        EXPECT_EQ(CentredInWorkArea(c.width, c.height, c.centreOn, area), expected) << c.name;
    }
}

} // namespace
} // namespace kestrin
