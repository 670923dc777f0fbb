#pragma once

#include <QMargins>
#include <chrono>
#include <optional>

class QWidget;

namespace kestrin {

// The frame the window manager will put around top-level `window`, asked for before the window is
// first shown, so that it can be placed by its outer edges from the start instead of moved once
// framed. Nothing without X11, without a window manager that offers to answer (EWMH
// _NET_REQUEST_FRAME_EXTENTS), or without an answer within `timeout`. Asking creates the window's
// native window, after which a move places the window itself rather than its frame's corner, until
// the window manager has framed it.
std::optional<QMargins> RequestFrameExtents(QWidget& window, std::chrono::milliseconds timeout);

} // namespace kestrin
