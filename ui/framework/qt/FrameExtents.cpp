#include "ui/framework/qt/FrameExtents.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace kestrin {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name, bool onlyIfExists)
{
    auto* reply = xcb_intern_atom_reply(c,
        xcb_intern_atom(
            c, onlyIfExists ? 1 : 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t { XCB_ATOM_NONE };
    std::free(reply);
    return atom;
}

// The values of a property of 32-bit items, or none when it is not there or of another type.
std::vector<std::uint32_t> Property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
    xcb_atom_t type, std::uint32_t most)
{
    auto* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, type, 0, most), nullptr);
    std::vector<std::uint32_t> values;
    if (reply != nullptr && reply->format == 32 && reply->type == type) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
        values.assign(data, data + count);
    }
    std::free(reply);
    return values;
}

} // namespace

std::optional<QMargins> RequestFrameExtents(QWidget& window, std::chrono::milliseconds timeout)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr)
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    if (c == nullptr || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    const xcb_atom_t request = Atom(c, "_NET_REQUEST_FRAME_EXTENTS", true);
    const xcb_atom_t supported = Atom(c, "_NET_SUPPORTED", true);
    const xcb_atom_t extents = Atom(c, "_NET_FRAME_EXTENTS", false);
    if (request == XCB_ATOM_NONE || supported == XCB_ATOM_NONE || extents == XCB_ATOM_NONE)
        return std::nullopt;

    // A window manager lists what it supports on the root window; one that does not list this
    // request would never answer it. Only then is the native window made.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::vector<std::uint32_t> offered = Property32(c, root, supported, XCB_ATOM_ATOM, 4096);
    if (std::find(offered.begin(), offered.end(), request) == offered.end())
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());

    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // Qt reads the events of the connection on a thread of its own, so look at the answer itself
    // rather than wait for the event that announces it.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::vector<std::uint32_t> v = Property32(c, id, extents, XCB_ATOM_CARDINAL, 4);
        if (v.size() == 4) // left, right, top, bottom
            return QMargins(static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                static_cast<int>(v[3]));
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace kestrin
