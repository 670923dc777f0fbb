#include "ui/framework/qt/DisplayConnection.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

namespace kestrin {

bool DisplayConnectionLost()
{
    // Found once per application: the connection lives as long as it does.
    static const QGuiApplication* foundFor = nullptr;
    static xcb_connection_t* connection = nullptr;
    if (foundFor != qGuiApp) {
        foundFor = qGuiApp;
        auto* x11 = qGuiApp != nullptr
            ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
            : nullptr;
        connection = x11 != nullptr ? x11->connection() : nullptr;
    }
    // Qt's reader thread waits on the connection at all times, so a broken one is marked at once.
    return connection != nullptr && xcb_connection_has_error(connection) != 0;
}

} // namespace kestrin
