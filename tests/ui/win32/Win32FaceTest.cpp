#include "engine/KeyElement.h"
#include "resources/DialogTemplate.h"
#include "resources/Resource.h"
#include "ui/framework/DataExchange.h"
#include "ui/framework/Placement.h"
#include "ui/framework/win32/Dialog.h"
#include "ui/framework/win32/LampPanel.h"
#include "ui/framework/win32/SliderCtrl.h"
#include "ui/framework/win32/Win32.h"
#include "ui/framework/win32/WinApp.h"
#include "ui/windows/SenderDlg.h"

#include <commctrl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kestrin {
namespace {

// Runs `check` once the dialog is initialised, then ends it with `result` unless check ended it
// or left keys for the modal loop.
class ProbeDlg : public CDialog {
public:
    ProbeDlg(int templateId, std::function<void(ProbeDlg&)> check)
        : CDialog(templateId)
        , m_check(std::move(check))
    { }

    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_check(*this);
        return true;
    }

private:
    std::function<void(ProbeDlg&)> m_check;
};

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

const wchar_t* ClassFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
        return L"Button";
    case ControlKind::Edit:
        return L"Edit";
    case ControlKind::Static:
        return L"Static";
    case ControlKind::Trackbar:
        return TRACKBAR_CLASSW;
    }
    return L"";
}

class Win32Face : public ::testing::TestWithParam<int> { };

TEST_P(Win32Face, TemplateBecomesDialogWithItsControlsIdsSizesAndTabOrder)
{
    const DialogTemplate* source = FindDialogTemplate(GetParam());
    ASSERT_NE(source, nullptr);
    ProbeDlg dlg(GetParam(), [&](ProbeDlg& d) {
        HWND window = d.GetSafeHwnd();
        RECT client {};
        GetClientRect(window, &client);
        RECT expected { 0, 0, source->rect.cx, source->rect.cy };
        MapDialogRect(window, &expected);
        EXPECT_EQ(client.right, expected.right);
        EXPECT_EQ(client.bottom, expected.bottom);

        std::vector<HWND> tabStops;
        HWND child = GetWindow(window, GW_CHILD);
        for (const ControlTemplate& control : source->controls) {
            ASSERT_NE(child, nullptr) << "control " << control.id;
            EXPECT_EQ(GetDlgCtrlID(child), control.id);
            EXPECT_EQ(lstrcmpiW(ClassOf(child).c_str(), ClassFor(control.kind)), 0)
                << "control " << control.id;
            // The dialog manager maps a control's position and its size each on its own.
            RECT place { control.rect.x, control.rect.y, control.rect.cx, control.rect.cy };
            MapDialogRect(window, &place);
            RECT actual {};
            GetWindowRect(child, &actual);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, place.left) << "control " << control.id;
            EXPECT_EQ(actual.top, place.top) << "control " << control.id;
            const bool icon = control.kind == ControlKind::Static
                && (control.style & style::kStaticTypeMask) == style::kStaticIcon;
            if (!icon) { // an icon control takes its icon's size
                EXPECT_EQ(actual.right - actual.left, place.right) << "control " << control.id;
                EXPECT_EQ(actual.bottom - actual.top, place.bottom) << "control " << control.id;
            }
            if ((control.style & style::kTabStop) != 0)
                tabStops.push_back(child);
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "more windows than the template's controls";

        // The dialog manager's tab order is the template's.
        ASSERT_FALSE(tabStops.empty());
        HWND next = tabStops.front();
        for (std::size_t i = 1; i < tabStops.size(); ++i) {
            next = GetNextDlgTabItem(window, next, FALSE);
            EXPECT_EQ(next, tabStops[i]) << "tab stop " << i;
        }
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

INSTANTIATE_TEST_SUITE_P(Templates, Win32Face, ::testing::Values(IDD_MAIN, IDD_ABOUTBOX));

TEST(Win32FaceKeys, EscapeAndCtrlBreakInTheTextBoxCancelBeforeItSeesThem)
{
    for (const WPARAM key : { WPARAM { VK_ESCAPE }, WPARAM { VK_CANCEL } }) {
        ProbeDlg dlg(IDD_MAIN, [key](ProbeDlg& d) {
            HWND text = d.GetDlgItem(IDC_TEXT);
            SetFocus(text);
            PostMessageW(text, WM_KEYDOWN, key, 1);
            PostMessageW(text, WM_CHAR, key == VK_ESCAPE ? 0x1B : 0x03, 1);
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << "key " << key;
    }
}

TEST(Win32FaceKeys, EnterOnAFocusedPushButtonClicksItAndDoesNotEndTheDialog)
{
    // "Go !" has no handler here: its click does nothing, and only the Escape after it ends.
    ProbeDlg dlg(IDD_MAIN, [](ProbeDlg& d) {
        HWND go = d.GetDlgItem(IDC_GO);
        PostMessageW(go, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(go, WM_KEYDOWN, VK_ESCAPE, 1);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

class RecordingApp final : public CWinApp {
public:
    void OnRunCutShort() override { ++cutShort; }
    int cutShort = 0;
};

TEST(Win32FaceSession, LoggingOffLetsTheSessionEndAndSavesAsARunCutShort)
{
    RecordingApp app;
    ProbeDlg dlg(IDD_MAIN, [&app](ProbeDlg& d) {
        EXPECT_EQ(SendMessageW(d.GetSafeHwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
        EXPECT_EQ(app.cutShort, 0);
        SendMessageW(d.GetSafeHwnd(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF); // called off
        EXPECT_EQ(app.cutShort, 0);
        SendMessageW(d.GetSafeHwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        EXPECT_EQ(app.cutShort, 1);
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

// Notes where it stood, once placed and shown, and ends at once.
class PlacedDlg final : public CDialog {
public:
    PlacedDlg(int templateId, CDialog* parent)
        : CDialog(templateId, parent)
    { }
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessageW(GetSafeHwnd(), WM_COMMAND, IDOK, 0);
        return true;
    }
    void OnOK() override
    {
        GetWindowRect(GetSafeHwnd(), &placed);
        CDialog::OnOK();
    }
    RECT placed {};
};

TEST(Win32FacePlacement, AboutBoxCentresOverItsOwnerAndStaysInsideTheWorkArea)
{
    RECT area {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const struct {
        const char* name;
        int x, y; // where the owner's outer corner is put
    } cases[] = {
        { "in the middle", 300, 200 },
        { "past the left edge", -300, 200 },
        { "past the right edge", static_cast<int>(area.right) - 60, 200 },
        { "past the top edge", 300, -200 },
        { "past the bottom edge", 300, static_cast<int>(area.bottom) - 40 },
    };
    const auto rect = [](const RECT& r) { return PixelRect { r.left, r.top, r.right, r.bottom }; };
    for (const auto& c : cases) {
        RECT owner {};
        RECT about {};
        ProbeDlg main(IDD_MAIN, [&](ProbeDlg& d) {
            SetWindowPos(d.GetSafeHwnd(), nullptr, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            ShowWindow(d.GetSafeHwnd(), SW_SHOWNA);
            GetWindowRect(d.GetSafeHwnd(), &owner);
            PlacedDlg box(IDD_ABOUTBOX, &d);
            box.DoModal();
            about = box.placed;
            d.EndDialog(IDOK);
        });
        EXPECT_EQ(main.DoModal(), IDOK) << c.name;
        EXPECT_EQ(rect(about),
            CentredInWorkArea(
                about.right - about.left, about.bottom - about.top, rect(owner), rect(area)))
            << c.name;
        EXPECT_TRUE(about.left >= area.left && about.top >= area.top && about.right <= area.right
            && about.bottom <= area.bottom)
            << c.name << ": " << about.left << "," << about.top;
    }
}

class NoSleep final : public Sleeper {
public:
    void Sleep(int) override { }
};

class NoWorkers final : public WorkerStarter {
public:
    bool Start(std::function<void()>) override { return false; }
};

// The main window, ended from its initialisation after `check` has driven it.
class ProbeSenderDlg : public CSenderDlg {
public:
    ProbeSenderDlg(const KeyerServices& services, std::function<void(ProbeSenderDlg&)> check)
        : CSenderDlg(services)
        , m_check(std::move(check))
    { }

    bool OnInitDialog() override
    {
        CSenderDlg::OnInitDialog();
        m_check(*this);
        EndDialog(IDCANCEL);
        return true;
    }

private:
    std::function<void(ProbeSenderDlg&)> m_check;
};

// Runs the main window, with no time passing and no workers, for `check` to drive.
void RunSenderDlg(std::function<void(ProbeSenderDlg&)> check)
{
    NoSleep sleeper;
    NoWorkers workers;
    const KeyerServices services { sleeper, workers, {} };
    ProbeSenderDlg dlg(services, std::move(check));
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(Win32FaceSliders, ReleasedCaptureSetsValueAndLabelKeyboardMovesAloneDoNot)
{
    RunSenderDlg([](ProbeSenderDlg& d) {
        HWND tone = d.GetDlgItem(IDC_TONE_SLIDER);
        const int before = d.Settings().tone;
        const std::string label = d.GetDlgItemText(IDC_TONE_LABEL);

        // The keyboard moves the slider; without a mouse release the setting stays.
        SendMessageW(tone, TBM_SETPOS, TRUE, 700);
        SendMessageW(tone, WM_KEYDOWN, VK_RIGHT, 1);
        SendMessageW(tone, WM_KEYUP, VK_RIGHT, 0xC0000001);
        EXPECT_EQ(SendMessageW(tone, TBM_GETPOS, 0, 0), 701);
        EXPECT_EQ(d.Settings().tone, before);
        EXPECT_EQ(d.GetDlgItemText(IDC_TONE_LABEL), label);

        // A mouse press on the channel's left end and its release: the trackbar pages towards
        // it and, letting go, sends the released-capture notification.
        RECT channel {};
        SendMessageW(tone, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        const LPARAM at = MAKELPARAM(channel.left + 1, (channel.top + channel.bottom) / 2);
        SendMessageW(tone, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tone, WM_LBUTTONUP, 0, at);
        const int after = static_cast<int>(SendMessageW(tone, TBM_GETPOS, 0, 0));
        EXPECT_EQ(d.Settings().tone, after);
        EXPECT_EQ(d.GetDlgItemText(IDC_TONE_LABEL), "Tone: " + std::to_string(after) + " Hz");
    });
}

TEST(Win32FaceText, TypedTextReachesASendAsUtf8SoNothingOutsideTheTableSounds)
{
    // Through the system's code page "€" would come out as a byte of its own or as "?", which
    // has a row; as UTF-8 every byte is 128 or above, and none has one.
    RunSenderDlg([](ProbeSenderDlg& d) {
        SetWindowTextW(d.GetDlgItem(IDC_TEXT), L"E\u20AC\u00A0E\r\nT");
        EXPECT_EQ(d.Text(),
            "E\xE2\x82\xAC\xC2\xA0"
            "E\r\nT");
    });
}

TEST(Win32FaceLamp, EachElementLightsTheLampAndLeavesItDarkWithNoFillThatChangesNothing)
{
    RunSenderDlg([](ProbeSenderDlg& d) {
        LampPanel* lamp = d.Lamp();
        ASSERT_NE(lamp, nullptr);
        ShowWindow(d.GetSafeHwnd(), SW_SHOWNA);
        UpdateWindow(d.GetSafeHwnd());
        SetWindowTextW(d.GetDlgItem(IDC_TEXT), L"EE");
        d.SendText();
        // Dark, lit, dark for the first element; the second's dark square before it is there.
        EXPECT_EQ(lamp->ScreenDraws(), 5);
        HDC dc = GetWindowDC(d.GetDlgItem(IDC_LAMP));
        const int x = (kLampDisc.left + kLampDisc.right) / 2;
        const int y = (kLampDisc.top + kLampDisc.bottom) / 2;
        EXPECT_EQ(GetPixel(dc, x, y), RGB(0, 0, 0));
        ReleaseDC(d.GetDlgItem(IDC_LAMP), dc);
    });
}

TEST(Win32FaceMenus, SystemMenuEndsWithASeparatorAndTheAboutItem)
{
    RunSenderDlg([](ProbeSenderDlg& d) {
        HMENU menu = GetSystemMenu(d.GetSafeHwnd(), FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        MENUITEMINFOW separator { sizeof(MENUITEMINFOW), MIIM_FTYPE, 0, 0, 0, nullptr, nullptr,
            nullptr, 0, nullptr, 0, nullptr };
        GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator);
        EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);
        EXPECT_EQ(GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(count - 1), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, L"&About Kestrin...");
    });
}

} // namespace
} // namespace kestrin
