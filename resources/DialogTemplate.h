#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrin {

// Style bits of dialogs and controls, with the values the templates were designed with.
namespace style {
// Dialog window.
inline constexpr std::uint32_t kPopup = 0x80000000;
inline constexpr std::uint32_t kVisible = 0x10000000;
inline constexpr std::uint32_t kCaption = 0x00C00000;
inline constexpr std::uint32_t kSysMenu = 0x00080000;
inline constexpr std::uint32_t kMinimizeBox = 0x00020000;
inline constexpr std::uint32_t kModalFrame = 0x00000080;
inline constexpr std::uint32_t kCenter = 0x00000800;
inline constexpr std::uint32_t kExAppWindow = 0x00040000;

// Any control.
inline constexpr std::uint32_t kBorder = 0x00800000;
inline constexpr std::uint32_t kVScroll = 0x00200000;
inline constexpr std::uint32_t kHScroll = 0x00100000;
inline constexpr std::uint32_t kGroup = 0x00020000;
inline constexpr std::uint32_t kTabStop = 0x00010000;
inline constexpr std::uint32_t kExDlgModalFrame = 0x00000001;
inline constexpr std::uint32_t kExClientEdge = 0x00000200;

// Push button.
inline constexpr std::uint32_t kDefPushButton = 0x0001;

// Edit box.
inline constexpr std::uint32_t kMultiLine = 0x0004;
inline constexpr std::uint32_t kAutoVScroll = 0x0040;
inline constexpr std::uint32_t kAutoHScroll = 0x0080;
inline constexpr std::uint32_t kWantReturn = 0x1000;

// Static control: the low five bits are its type.
inline constexpr std::uint32_t kStaticTypeMask = 0x001F;
inline constexpr std::uint32_t kStaticLeft = 0x0000;
inline constexpr std::uint32_t kStaticCenter = 0x0001;
inline constexpr std::uint32_t kStaticRight = 0x0002;
inline constexpr std::uint32_t kStaticIcon = 0x0003;
inline constexpr std::uint32_t kStaticBlackRect = 0x0004;
inline constexpr std::uint32_t kNoPrefix = 0x0080;

// Trackbar.
inline constexpr std::uint32_t kTrackAutoTicks = 0x0001;
inline constexpr std::uint32_t kTrackVert = 0x0002;
inline constexpr std::uint32_t kTrackTop = 0x0004;
inline constexpr std::uint32_t kTrackBoth = 0x0008;
inline constexpr std::uint32_t kTrackNoTicks = 0x0010;
} // namespace style

enum class ControlKind { PushButton, Edit, Static, Trackbar };

// Position and size in dialog units: a quarter of the dialog font's average character width
// across, an eighth of its character height down.
struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::string_view text; // UTF-8
    DialogUnitRect rect;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    int imageId = 0; // the icon an icon control shows
};

// A dialog as data: its window, font and controls in template order, which is the tab order.
// The size is that of the client area.
struct DialogTemplate {
    int id = 0;
    std::string_view caption;
    DialogUnitRect rect;
    std::string_view fontFace;
    int pointSize = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::span<const ControlTemplate> controls;
};

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);

// The string-table entry with this id; empty when there is none.
std::string_view LoadResourceString(int id);

} // namespace kestrin
