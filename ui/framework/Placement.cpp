#include "ui/framework/Placement.h"

namespace kestrin {
namespace {

// Moves [start, start + size) just far enough to lie inside [low, high): the low edge first.
int Clamp(int start, int size, int low, int high)
{
    if (start < low)
        return low;
    if (start + size > high)
        return high - size;
    return start;
}

} // namespace

PixelRect CentredInWorkArea(
    int width, int height, const PixelRect& centreOn, const PixelRect& workArea)
{
    const int left = Clamp(
        (centreOn.left + centreOn.right) / 2 - width / 2, width, workArea.left, workArea.right);
    const int top = Clamp(
        (centreOn.top + centreOn.bottom) / 2 - height / 2, height, workArea.top, workArea.bottom);
    return { left, top, left + width, top + height };
}

} // namespace kestrin
