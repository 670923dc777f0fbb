#pragma once

namespace kestrin {

// A rectangle on the screen in pixels; right and bottom are exclusive, as both platforms keep
// them.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Where a window of outer size width x height goes when centred on `centreOn` (both halves
// truncated) and then moved inside `workArea`: a left edge sticking out is put on the area's left
// edge, or else a right edge on its right edge; the same for top and bottom. So a window larger
// than the area keeps its title bar and left edge on the screen.
ScreenRect CentredInWorkArea(
    int width, int height, const ScreenRect& centreOn, const ScreenRect& workArea);

} // namespace kestrin
