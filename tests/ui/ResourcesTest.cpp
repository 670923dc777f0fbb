#include "resources/DialogTemplate.h"
#include "resources/Resource.h"
#include "ui/framework/qt/ResourceLoader.h"

#include <QImage>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace kestrin {
namespace {

TEST(Resources, ProgramIconHasTwoOpaqueSixteenColourImages)
{
    const struct {
        int size;
        QRgb background;
    } cases[] = { { 32, qRgb(0xC0, 0xC0, 0xC0) }, { 16, qRgb(0xFF, 0xFF, 0xFF) } };
    for (const auto& c : cases) {
        const QImage image = LoadIconImage(IDR_MAINFRAME, c.size).toImage();
        ASSERT_EQ(image.size(), QSize(c.size, c.size));
        std::set<QRgb> colours;
        for (int y = 0; y < c.size; ++y) {
            for (int x = 0; x < c.size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                EXPECT_EQ(qAlpha(pixel), 255) << x << "," << y;
                colours.insert(pixel);
            }
        }
        EXPECT_LE(colours.size(), 16u);
        EXPECT_TRUE(colours.count(qRgb(0xFF, 0xFF, 0x00))) << "yellow contacts";
        EXPECT_TRUE(colours.count(qRgb(0, 0, 0))) << "black lever";
        EXPECT_EQ(image.pixel(0, 0), c.background);
    }
    EXPECT_EQ(LoadIconResource(IDR_MAINFRAME).availableSizes(),
        (QList<QSize> { { 16, 16 }, { 32, 32 } }));
    EXPECT_TRUE(LoadIconResource(IDD_MAIN).isNull());
}

TEST(Resources, TemplatesListTheirControlsInTabOrder)
{
    const struct {
        int id;
        std::vector<int> controls;
    } cases[] = {
        { IDD_MAIN,
            { IDC_GO, IDC_TEXT, IDC_TONE_SLIDER, IDC_SPEED_SLIDER, IDC_LAMP, IDC_GAP_SLIDER,
                IDC_GAP_LABEL, IDC_SPEED_LABEL, IDC_TONE_LABEL, IDC_ABOUT } },
        { IDD_ABOUTBOX, { IDC_STATIC, IDC_STATIC, IDC_STATIC, IDOK, IDC_STATIC, IDC_STATIC } },
    };
    for (const auto& c : cases) {
        const DialogTemplate* dialog = FindDialogTemplate(c.id);
        ASSERT_NE(dialog, nullptr);
        std::vector<int> ids;
        for (const ControlTemplate& control : dialog->controls)
            ids.push_back(control.id);
        EXPECT_EQ(ids, c.controls) << c.id;
    }
    EXPECT_EQ(FindDialogTemplate(IDR_MAINFRAME), nullptr);
}

} // namespace
} // namespace kestrin
