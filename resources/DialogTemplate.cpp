#include "resources/DialogTemplate.h"

#include "resources/Resource.h"

#include <array>

namespace kestrin {
namespace {

using namespace style;
using enum ControlKind;

constexpr std::uint32_t kTrackbarStyle = kTrackBoth | kTabStop; // horizontal, ticks at the ends

constexpr ControlTemplate kMainControls[] = {
    { IDC_GO, PushButton, "Go !", { 234, 108, 32, 12 }, kTabStop },
    { IDC_TEXT, Edit, "", { 7, 13, 199, 57 },
        kMultiLine | kAutoVScroll | kAutoHScroll | kWantReturn | kBorder | kVScroll | kTabStop },
    { IDC_TONE_SLIDER, Trackbar, "Slider1", { 7, 89, 60, 17 }, kTrackbarStyle },
    { IDC_SPEED_SLIDER, Trackbar, "Slider1", { 74, 89, 60, 17 }, kTrackbarStyle },
    { IDC_LAMP, Static, "", { 219, 7, 103, 95 }, kStaticBlackRect,
        kExClientEdge | kExDlgModalFrame },
    { IDC_GAP_SLIDER, Trackbar, "Slider1", { 147, 90, 60, 17 }, kTrackbarStyle },
    { IDC_GAP_LABEL, Static, "Word gap", { 147, 78, 60, 11 }, kStaticCenter | kGroup },
    { IDC_SPEED_LABEL, Static, "Speed (WPM)", { 77, 78, 60, 11 }, kStaticCenter | kGroup },
    { IDC_TONE_LABEL, Static, "Tone (Hz)", { 7, 78, 60, 11 }, kStaticCenter | kGroup },
    { IDC_ABOUT, PushButton, "About", { 275, 108, 32, 12 }, kTabStop },
};

constexpr ControlTemplate kAboutControls[] = {
    { IDC_STATIC, Static, "", { 11, 17, 21, 20 }, kStaticIcon, 0, IDR_MAINFRAME },
    { IDC_STATIC, Static, "Kestrin Version 1.0", { 40, 10, 119, 8 },
        kStaticLeft | kNoPrefix | kGroup },
    { IDC_STATIC, Static, "(C) 2026 The Kestrin developers", { 40, 22, 119, 8 },
        kStaticLeft | kGroup },
    { IDOK, PushButton, "OK", { 178, 7, 50, 14 }, kDefPushButton | kGroup | kTabStop },
    { IDC_STATIC, Static, "Sends text as Morse code.", { 40, 34, 119, 8 }, kStaticLeft | kGroup },
    { IDC_STATIC, Static, "Free software under the MIT licence", { 40, 45, 119, 8 },
        kStaticLeft | kGroup },
};

constexpr DialogTemplate kTemplates[] = {
    { IDD_MAIN, "Kestrin", { 0, 0, 329, 124 }, "MS Sans Serif", 8,
        kPopup | kVisible | kCaption | kSysMenu | kMinimizeBox | kModalFrame, kExAppWindow,
        kMainControls },
    { IDD_ABOUTBOX, "About Kestrin", { 0, 0, 235, 66 }, "MS Sans Serif", 8,
        kPopup | kCaption | kSysMenu | kModalFrame, 0, kAboutControls },
};

struct StringEntry {
    int id;
    std::string_view text;
};

constexpr StringEntry kStrings[] = {
    { IDS_ABOUTBOX, "&About Kestrin..." },
};

} // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const auto& t : kTemplates) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

std::string_view LoadResourceString(int id)
{
    for (const auto& s : kStrings) {
        if (s.id == id)
            return s.text;
    }
    return {};
}

} // namespace kestrin
