#include "ui/framework/qt/DirectLamp.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace kestrin {

struct DirectLamp::X11 {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    std::uint8_t depth = 0;
    // Uploaded images by their cache key; a panel needs two (lit and dark) per size.
    std::vector<std::pair<qint64, xcb_pixmap_t>> pixmaps;

    ~X11()
    {
        for (const auto& [key, pixmap] : pixmaps)
            xcb_free_pixmap(connection, pixmap);
        xcb_free_gc(connection, gc);
        xcb_flush(connection);
    }

    xcb_pixmap_t Upload(const QImage& image)
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        const auto width = static_cast<std::uint16_t>(image.width());
        const auto height = image.height();
        xcb_create_pixmap(
            connection, depth, pixmap, window, width, static_cast<std::uint16_t>(height));
        // Bands of rows that each fit one request, whatever the panel's size.
        const auto line = static_cast<std::uint32_t>(image.bytesPerLine());
        const std::uint32_t maxBytes = xcb_get_maximum_request_length(connection) * 4 - 64;
        const int rows = std::max(1, static_cast<int>(maxBytes / line));
        for (int y = 0; y < height; y += rows) {
            const int band = std::min(rows, height - y);
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width,
                static_cast<std::uint16_t>(band), 0, static_cast<std::int16_t>(y), 0, depth,
                line * static_cast<std::uint32_t>(band), image.constScanLine(y));
        }
        return pixmap;
    }
};

namespace {

// True when the window's pixels are 32-bit words of 0x??RRGGBB in little-endian order, the layout
// of QImage::Format_RGB32 on this machine, so that images go up without conversion.
bool TakesRgb32(xcb_connection_t* c, xcb_window_t window, std::uint8_t& depth)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    auto* attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool answered = geometry != nullptr && attributes != nullptr;
    depth = answered ? geometry->depth : 0;
    const xcb_visualid_t visual = answered ? attributes->visual : 0;
    std::free(geometry);
    std::free(attributes);
    if (depth != 24 && depth != 32)
        return false;

    bool formatOk = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f))
        formatOk |= f.data->depth == depth && f.data->bits_per_pixel == 32;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem > 0; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem > 0; xcb_depth_next(&d)) {
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == visual)
                    return formatOk && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR
                        && v.data->red_mask == 0xff0000 && v.data->green_mask == 0x00ff00
                        && v.data->blue_mask == 0x0000ff;
            }
        }
    }
    return false;
}

} // namespace

DirectLamp::DirectLamp(std::unique_ptr<X11> x11)
    : m_x11(std::move(x11))
{ }

DirectLamp::~DirectLamp() = default;

std::unique_ptr<DirectLamp> DirectLamp::ForWidget(QWidget& widget)
{
    auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (native == nullptr || native->connection() == nullptr)
        return nullptr;
    auto x11 = std::make_unique<X11>();
    x11->connection = native->connection();
    x11->window = static_cast<xcb_window_t>(widget.winId());
    if (!TakesRgb32(x11->connection, x11->window, x11->depth))
        return nullptr;
    // No exposure events for the copies: nothing would read them, and Qt would have to.
    const std::uint32_t noExposures = 0;
    x11->gc = xcb_generate_id(x11->connection);
    xcb_create_gc(x11->connection, x11->gc, x11->window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    return std::unique_ptr<DirectLamp>(new DirectLamp(std::move(x11)));
}

void DirectLamp::Show(const QImage& image, const QRect& area)
{
    if (image.format() != QImage::Format_RGB32 || area.isEmpty())
        return;
    auto& pixmaps = m_x11->pixmaps;
    auto found = std::find_if(pixmaps.begin(), pixmaps.end(),
        [key = image.cacheKey()](const auto& p) { return p.first == key; });
    if (found == pixmaps.end()) {
        // A handful at most: the panel shows two images per size and lamp-off colour.
        constexpr std::size_t kKept = 4;
        if (pixmaps.size() == kKept) {
            xcb_free_pixmap(m_x11->connection, pixmaps.front().second);
            pixmaps.erase(pixmaps.begin());
        }
        pixmaps.emplace_back(image.cacheKey(), m_x11->Upload(image));
        found = std::prev(pixmaps.end());
    }
    const auto x = static_cast<std::int16_t>(area.x());
    const auto y = static_cast<std::int16_t>(area.y());
    xcb_copy_area(m_x11->connection, found->second, m_x11->window, m_x11->gc, x, y, x, y,
        static_cast<std::uint16_t>(area.width()), static_cast<std::uint16_t>(area.height()));
    // Out to the server now, without waiting for any reply: the thread sleeps next.
    xcb_flush(m_x11->connection);
}

} // namespace kestrin
