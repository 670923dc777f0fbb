#include "ui/framework/win32/Dialog.h"

#include "resources/Resource.h"
#include "ui/framework/DataExchange.h"
#include "ui/framework/Placement.h"
#include "ui/framework/win32/DialogTemplateEx.h"
#include "ui/framework/win32/WideText.h"
#include "ui/framework/win32/WinApp.h"

#include <commctrl.h>
#include <vector>

namespace kestrin {
namespace {

const wchar_t* const kDialogProperty = L"kestrin.CDialog";

PixelRect FromRect(const RECT& r)
{
    return { r.left, r.top, r.right, r.bottom };
}

} // namespace

CDialog::~CDialog()
{
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
}

void CDialog::OnSysCommand(unsigned id)
{
    if (m_hwnd != nullptr)
        DefWindowProcW(m_hwnd, WM_SYSCOMMAND, id, 0);
}

void CDialog::OnClose()
{
    const HWND cancel = GetDlgItem(IDCANCEL);
    if (cancel == nullptr || IsWindowEnabled(cancel))
        SendMessage({ Message::Command, IDCANCEL, kBnClicked });
}

CDialog* CDialog::FromHandle(HWND window)
{
    for (; window != nullptr; window = GetParent(window)) {
        if (auto* dialog = static_cast<CDialog*>(GetPropW(window, kDialogProperty)))
            return dialog;
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0)
            break;
    }
    return nullptr;
}

HWND CDialog::GetDlgItem(int id) const
{
    return m_hwnd != nullptr ? ::GetDlgItem(m_hwnd, id) : nullptr;
}

void CDialog::SetDlgItemText(int id, const std::string& utf8)
{
    if (m_hwnd != nullptr)
        ::SetDlgItemTextW(m_hwnd, id, Widen(utf8).c_str());
}

std::string CDialog::GetDlgItemText(int id) const
{
    const HWND control = GetDlgItem(id);
    if (control == nullptr)
        return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void CDialog::SetIcon(Icon icon, bool bigIcon)
{
    if (m_hwnd != nullptr)
        ::SendMessageW(
            m_hwnd, WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

CMenu* CDialog::GetSystemMenu()
{
    if (m_hwnd == nullptr || (GetWindowLongPtrW(m_hwnd, GWL_STYLE) & WS_SYSMENU) == 0)
        return nullptr;
    m_systemMenu = CMenu(::GetSystemMenu(m_hwnd, FALSE));
    return m_systemMenu.GetSafeHmenu() != nullptr ? &m_systemMenu : nullptr;
}

void CDialog::EnableWindow(bool enable)
{
    if (m_hwnd != nullptr)
        ::EnableWindow(m_hwnd, enable ? TRUE : FALSE);
}

HWND CDialog::OwnerWindow() const
{
    if (m_parent != nullptr)
        return m_parent->GetSafeHwnd();
    CWinApp* app = CWinApp::Get();
    CDialog* main = app != nullptr ? app->GetMainWnd() : nullptr;
    return main != nullptr && main != this ? main->GetSafeHwnd() : nullptr;
}

LResult CDialog::DoModal()
{
    if (m_template == nullptr)
        return -1;
    const INITCOMMONCONTROLSEX controls { sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES };
    (void)InitCommonControlsEx(&controls); // without it the trackbars are missing, nothing worse

    const std::vector<std::uint16_t> dialogTemplate = BuildDialogTemplateEx(*m_template);
    HWND owner = OwnerWindow();
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        ::EnableWindow(owner, FALSE);

    m_ended = false;
    m_result = -1;
    const HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
        reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), owner, &CDialog::DialogProc,
        reinterpret_cast<LPARAM>(this));
    if (window != nullptr) {
        if (!m_ended && !IsWindowVisible(window))
            ShowWindow(window, SW_SHOWNORMAL);
        MSG msg;
        while (!m_ended) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop outside this one
                break;
            }
            if (got < 0)
                break;
            if (PreTranslateMessage(msg) || IsDialogMessageW(window, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const bool wasActive = GetActiveWindow() == window;
        ShowWindow(window, SW_HIDE);
        if (ownerWasEnabled)
            ::EnableWindow(owner, TRUE);
        if (owner != nullptr && wasActive)
            SetActiveWindow(owner);
        DestroyWindow(window);
    } else if (ownerWasEnabled) {
        ::EnableWindow(owner, TRUE);
    }
    return m_result;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    // Wakes the modal loop should this come from outside it.
    if (m_hwnd != nullptr)
        PostMessageW(m_hwnd, WM_NULL, 0, 0);
}

bool CDialog::PreTranslateMessage(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd)))
        return false;
    switch (msg.wParam) {
    case VK_ESCAPE:
    case VK_CANCEL: // Ctrl+Break
        OnClose();
        return true;
    case VK_RETURN: {
        // A focused push button is clicked; the dialog manager would take its default button.
        HWND focus = GetFocus();
        wchar_t className[16] = {};
        if (focus == nullptr || !IsChild(m_hwnd, focus) || GetClassNameW(focus, className, 16) == 0
            || lstrcmpiW(className, L"Button") != 0)
            return false;
        const auto type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
            return false;
        if (IsWindowEnabled(focus))
            SendMessage({ Message::Command, GetDlgCtrlID(focus), kBnClicked });
        return true;
    }
    case VK_F1:
        if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
            return false;
        SendMessage({ Message::Command, ID_HELP, kBnClicked });
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        SetPropW(window, kDialogProperty, dialog);
        dialog->m_hwnd = window;
    }
    auto* dialog = static_cast<CDialog*>(GetPropW(window, kDialogProperty));
    if (dialog == nullptr)
        return FALSE;
    const INT_PTR result = dialog->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemovePropW(window, kDialogProperty);
        dialog->m_hwnd = nullptr;
    }
    return result;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        for (const ControlTemplate& control : m_template->controls)
            (void)CreateControl(control, m_hwnd);
        RECT before {};
        GetWindowRect(m_hwnd, &before);
        const bool focusFirst = OnInitDialog();
        RECT after {};
        GetWindowRect(m_hwnd, &after);
        if (before.left == after.left && before.top == after.top && !IsWindowVisible(m_hwnd))
            Centre();
        return focusFirst ? TRUE : FALSE;
    }
    case WM_COMMAND:
        SendMessage({ Message::Command, LOWORD(wParam), HIWORD(wParam) });
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        SendMessage(
            { Message::Notify, static_cast<int>(header->idFrom), static_cast<int>(header->code) });
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        SendMessage({ Message::SysCommand, static_cast<int>(wParam) });
        return TRUE;
    case WM_CLOSE:
        SendMessage({ Message::Close });
        return TRUE;
    case WM_DESTROY:
        SendMessage({ Message::Destroy });
        return TRUE;
    case WM_HELP:
        return TRUE; // the modal loop raises Help itself, at F1
    case WM_QUERYENDSESSION:
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        // The session ends without the window closing: save as a run cut short does.
        if (wParam != FALSE) {
            if (CWinApp* app = CWinApp::Get())
                app->OnRunCutShort();
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void CDialog::Centre()
{
    RECT window {};
    GetWindowRect(m_hwnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;

    HWND owner = GetWindow(m_hwnd, GW_OWNER);
    RECT area {};
    RECT centreOn {};
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        MONITORINFO monitor { sizeof(MONITORINFO), {}, {}, 0 };
        GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
        GetWindowRect(owner, &centreOn);
    } else {
        if (owner != nullptr) {
            MONITORINFO monitor { sizeof(MONITORINFO), {}, {}, 0 };
            GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
            area = monitor.rcWork;
        } else {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        }
        centreOn = area;
    }
    const PixelRect placed = CentredInWorkArea(width, height, FromRect(centreOn), FromRect(area));
    SetWindowPos(
        m_hwnd, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kestrin
