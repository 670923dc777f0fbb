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

TEST(DialogUnits, CentringTruncatesHalvesAndKeepsTheWindowInsideTheWorkArea)
{
    const QRect area(0, 0, 1280, 770);
    const struct {
        const char* name;
        QSize size;
        QRect centreOn;
        QPoint expected;
    } cases[] = {
        { "over the owner", { 300, 100 }, { 100, 100, 500, 300 }, { 200, 200 } },
        { "odd halves", { 11, 11 }, { 0, 0, 101, 51 }, { 45, 20 } },
        { "in the work area", { 576, 202 }, area, { 352, 284 } },
        { "left edge out", { 300, 100 }, { -200, 300, 300, 100 }, { 0, 300 } },
        { "right edge out", { 300, 100 }, { 1180, 300, 300, 100 }, { 980, 300 } },
        { "top edge out", { 300, 100 }, { 500, -90, 300, 100 }, { 500, 0 } },
        { "bottom edge out", { 300, 100 }, { 500, 760, 300, 100 }, { 500, 670 } },
        { "wider than the area: left wins", { 1300, 800 }, area, { 0, 0 } },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CentredInWorkArea(c.size, c.centreOn, area), QRect(c.expected, c.size)) << c.name;
    }
}

} // namespace
} // namespace kestrin
