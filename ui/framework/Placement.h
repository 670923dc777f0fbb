#pragma once

#include "engine/KeyerWindow.h"

namespace kestrin {

// Where a window of outer size width x height goes when centred on `centreOn` (both halves
// truncated) and then moved inside `workArea`: a left edge sticking out is put on the area's left
// edge, or else a right edge on its right edge; the same for top and bottom. So a window larger
// than the area keeps its title bar and left edge on the screen. Rectangles are on the screen, in
// pixels.
PixelRect CentredInWorkArea(
    int width, int height, const PixelRect& centreOn, const PixelRect& workArea);

} // namespace kestrin
