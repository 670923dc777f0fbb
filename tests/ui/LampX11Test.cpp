// The lamp on a real X server (run by on_xvfb.sh): every drawing must be on the screen when the
// drawing call returns, although the window thread handles no events, and whether or not the
// program ever talks to the server again. The screen is read over a connection of the test's
// own, as any other program would see it.

#include "engine/KeyElement.h"
#include "ui/framework/qt/LampPanel.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace kestrin {
namespace {

class X11Environment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "xcb");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[15] = "lamp_x11_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment
    = ::testing::AddGlobalTestEnvironment(new X11Environment);

// Another client of the same X server, reading pixels off the root window.
class ScreenReader {
public:
    ScreenReader()
        : m_connection(xcb_connect(nullptr, nullptr))
    { }
    ~ScreenReader() { xcb_disconnect(m_connection); }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    QRgb Pixel(QPoint at)
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        auto* reply = xcb_get_image_reply(m_connection,
            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()), 1, 1, ~0U),
            nullptr);
        QRgb pixel = 0xdeadbeef;
        if (reply != nullptr && xcb_get_image_data_length(reply) >= 4) {
            const std::uint8_t* d = xcb_get_image_data(reply);
            pixel = qRgb(d[2], d[1], d[0]);
        }
        std::free(reply);
        return pixel;
    }

    // The server takes the program's requests in its own time: read until the pixel is as
    // expected or 200 ms have passed. A drawing left unsent never arrives.
    QRgb PixelOnceItIs(QPoint at, QRgb expected)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        QRgb pixel = Pixel(at);
        while (pixel != expected && std::chrono::steady_clock::now() < until)
            pixel = Pixel(at);
        return pixel;
    }

private:
    xcb_connection_t* m_connection;
};

TEST(LampOnX11, EachDrawingIsOnTheScreenWhenTheCallReturns)
{
    QWidget window;
    window.resize(240, 200);
    auto* lamp = new LampPanel(&window);
    lamp->setGeometry(20, 20, LampPanel::kNominalSizePx, LampPanel::kNominalSizePx);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();

    const QPoint centre = lamp->mapToGlobal(lamp->Scaled(kLampDisc).center());
    const QPoint corner = lamp->mapToGlobal(lamp->Scaled(kLampSquare).topLeft() + QPoint(1, 1));
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), red = qRgb(128, 0, 0);
    const auto surface = lamp->GetSurface();
    ScreenReader screen;
    const struct {
        const char* step;
        bool lit;
        Colour fill;
        QRgb centre;
        QRgb corner;
    } steps[] = {
        { "lit", true, kBlack, white, black },
        { "dark", false, kBlack, black, black },
        { "lit again", true, kBlack, white, black },
        { "dark in another lamp-off colour", false, 0x800000, red, red },
        { "lit on it", true, 0x800000, white, red },
        { "dark", false, kBlack, black, black },
    };
    for (const auto& s : steps) {
        if (s.lit)
            surface->Ellipse(kLampDisc);
        else
            surface->FillSolid(kLampSquare, s.fill);
        EXPECT_EQ(screen.PixelOnceItIs(centre, s.centre), s.centre) << s.step;
        EXPECT_EQ(screen.PixelOnceItIs(corner, s.corner), s.corner) << s.step;
    }
    EXPECT_EQ(lamp->ScreenDraws(), 6);
}

} // namespace
} // namespace kestrin
