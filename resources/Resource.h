#pragma once

// Resource identifiers: dialog templates, controls, the icon, strings and menu commands.
namespace kestrin {

// Standard dialog commands; the About box's OK button carries IDOK.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int ID_HELP = 0xE146;

// A control that is never addressed.
inline constexpr int IDC_STATIC = -1;

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDR_MAINFRAME = 128;

// System-menu command; the low four bits belong to the system.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Controls of IDD_MAIN.
inline constexpr int IDC_GO = 1002;
inline constexpr int IDC_TEXT = 1003;
inline constexpr int IDC_TONE_SLIDER = 1006;
inline constexpr int IDC_SPEED_SLIDER = 1007;
inline constexpr int IDC_GAP_SLIDER = 1009;
inline constexpr int IDC_LAMP = 1013;
inline constexpr int IDC_TONE_LABEL = 1019;
inline constexpr int IDC_SPEED_LABEL = 1020;
inline constexpr int IDC_GAP_LABEL = 1021;
inline constexpr int IDC_ABOUT = 1022;

} // namespace kestrin
