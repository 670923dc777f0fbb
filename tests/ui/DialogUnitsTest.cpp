#include "ui/framework/qt/DialogUnits.h"

#include "resources/Resource.h"

#include <QFontDatabase>
#include <gtest/gtest.h>

namespace kestrin {
namespace {

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero)
{
    const struct {
        int a, b, c, expected;
    } cases[] = { { 329, 7, 4, 576 }, { 7, 6, 4, 11 }, { -7, 6, 4, -11 }, { 124, 13, 8, 202 },
        { 13, 13, 8, 21 }, { 5, 3, 0, -1 } };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DialogUnits, TemplateRectanglesScaleByQuarterWidthAndEighthHeight)
{
    const struct {
        DialogUnitRect rect;
        QSize baseUnits;
        QRect expected;
    } cases[] = {
        { { 0, 0, 329, 124 }, { 7, 13 }, { 0, 0, 576, 202 } }, // the main window
        { { 0, 0, 329, 124 }, { 6, 13 }, { 0, 0, 494, 202 } }, // with the font it was drawn in
        { { 234, 108, 32, 12 }, { 7, 13 }, { 410, 176, 56, 20 } }, // "Go !"
        { { 178, 7, 50, 14 }, { 7, 13 }, { 312, 11, 88, 23 } }, // About's OK
        { { 40, 10, 119, 8 }, { 8, 15 }, { 80, 19, 238, 15 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapDialogRect(c.rect, c.baseUnits), c.expected) << c.rect.x << "," << c.rect.y;
}

TEST(DialogUnits, BaseUnitsOfAKnownFont)
{
    const int id
        = QFontDatabase::addApplicationFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    ASSERT_GE(id, 0) << "fonts-dejavu-core is missing";
    // Measured once: "A..Za..z" is 353 px wide at 11 px and 417 px at 13 px.
    const struct {
        int pixelSize;
        QSize expected;
    } cases[] = { { 11, { 7, 13 } }, { 13, { 8, 15 } } };
    for (const auto& c : cases) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(c.pixelSize);
        EXPECT_EQ(DialogBaseUnits(font), c.expected) << c.pixelSize << " px";
    }
}

TEST(DialogUnits, DialogFontIsTheDesktopSansSerifAtTheTemplatesSize)
{
    EXPECT_EQ(DialogFont(8).pointSize(), 8);
    EXPECT_EQ(
        DialogFont(8).family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
}

} // namespace
} // namespace kestrin
