#include "ui/Dialog.h"

#include "resources/Resource.h"
#include "ui/DialogUnits.h"
#include "ui/DialogWindow.h"
#include "ui/FrameExtents.h"
#include "ui/WinApp.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

namespace kestrin {
namespace {

// Window managers answer in a few milliseconds; one that offers to but does not costs this.
constexpr std::chrono::milliseconds kFrameRequestTimeout { 100 };

CDialog::ModalLoop& InstalledModalLoop()
{
    static CDialog::ModalLoop loop;
    return loop;
}

// The margins of the frame around `window`; none before the window manager has framed it.
QMargins FrameMargins(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return { inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
        outer.bottom() - inner.bottom() };
}

} // namespace

CDialog::CDialog(int templateId, CDialog* parent)
    : m_templateId(templateId)
    , m_template(FindDialogTemplate(templateId))
    , m_parent(parent)
{ }

CDialog::~CDialog()
{
    // No Destroy message: the derived parts whose handlers it would run are gone already.
    delete m_window.data();
}

CDialog::ModalLoop CDialog::SetModalLoop(ModalLoop loop)
{
    ModalLoop old = std::move(InstalledModalLoop());
    InstalledModalLoop() = std::move(loop);
    return old;
}

const MessageMap& CDialog::GetMessageMap() const
{
    static constexpr MessageMapEntry kEntries[] = {
        OnCommand<&CDialog::OnOK>(IDOK),
        OnCommand<&CDialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap kMap { &CCmdTarget::GetMessageMap(), kEntries };
    return kMap;
}

bool CDialog::OnCmdMsg(int id, int code)
{
    if (CCmdTarget::OnCmdMsg(id, code))
        return true;
    CWinApp* app = CWinApp::Get();
    return app != nullptr && app->RouteCommand(*this, id, code);
}

void CDialog::SendMessage(const MessageArgs& args)
{
    if (args.message == Message::Command) {
        (void)OnCmdMsg(args.id, args.code); // an unhandled command is simply dropped
        return;
    }
    if (Dispatch(args))
        return;
    switch (args.message) {
    case Message::SysCommand:
        CDialog::OnSysCommand(static_cast<unsigned>(args.id));
        break;
    case Message::Close:
        CDialog::OnClose();
        break;
    case Message::Destroy:
        CDialog::OnDestroy();
        break;
    case Message::Command:
    case Message::Notify:
        break;
    }
}

void CDialog::OnSysCommand(unsigned id)
{
    switch (id & 0xFFF0) {
    case kScClose:
        SendMessage({ Message::Close });
        break;
    case kScMinimize:
        if (m_window)
            m_window->showMinimized();
        break;
    default:
        break;
    }
}

void CDialog::OnClose()
{
    const QWidget* cancel = GetDlgItem(IDCANCEL);
    if (cancel == nullptr || cancel->isEnabled())
        SendMessage({ Message::Command, IDCANCEL, kBnClicked });
}

void CDialog::OnDestroy() { }

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

std::uint32_t CDialog::GetHelpContext() const
{
    return 0x20000u + static_cast<std::uint32_t>(m_templateId);
}

QWidget* CDialog::GetSafeWidget() const
{
    return m_window.data();
}

CDialog* CDialog::FromWidget(const QWidget* widget)
{
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (const auto* window = dynamic_cast<const DialogWindow*>(widget))
            return &window->Dialog();
    }
    return nullptr;
}

void CDialog::SetIcon(const QIcon& icon, bool bigIcon)
{
    (bigIcon ? m_bigIcon : m_smallIcon) = icon;
    ApplyIcons();
}

void CDialog::ApplyIcons()
{
    if (!m_window)
        return;
    // A Qt window has one icon, which holds images of several sizes.
    QIcon both;
    for (const QIcon* icon : { &m_smallIcon, &m_bigIcon }) {
        for (const QSize& size : icon->availableSizes())
            both.addPixmap(icon->pixmap(size));
    }
    m_window->setWindowIcon(both);
}

CMenu* CDialog::GetSystemMenu()
{
    if (!m_window || m_template == nullptr || (m_template->style & style::kSysMenu) == 0)
        return nullptr;
    return &m_systemMenu;
}

void CDialog::EnableWindow(bool enable)
{
    m_enabled = enable;
}

CDialog* CDialog::Owner() const
{
    if (m_parent != nullptr)
        return m_parent->m_window ? m_parent : nullptr;
    CWinApp* app = CWinApp::Get();
    CDialog* main = app != nullptr ? app->GetMainWnd() : nullptr;
    return main != nullptr && main != this && main->m_window ? main : nullptr;
}

LResult CDialog::DoModal()
{
    CDialog* owner = Owner();
    QWidget* ownerWindow = owner != nullptr ? owner->GetSafeWidget() : nullptr;
    const bool ownerWasEnabled = owner != nullptr && owner->IsWindowEnabled();
    if (ownerWasEnabled)
        owner->EnableWindow(false);

    m_ended = false;
    m_result = -1;
    m_centreOnceFramed = false;
    bool wasActive = false;
    if (CreateDialogWindow(ownerWindow)) {
        const QPoint placed = m_window->pos();
        const bool focusFirst = OnInitDialog();
        if (!m_window->isVisible() && m_window->pos() == placed) {
            // The frame the window manager will add: asked for where it answers such requests,
            // else taken to be the owner's; the window is centred again once it is framed.
            const bool ownerShown
                = ownerWindow != nullptr && ownerWindow->isVisible() && !ownerWindow->isMinimized();
            const QMargins guess = ownerShown ? FrameMargins(*ownerWindow) : QMargins();
            CentreWindow(RequestFrameExtents(*m_window, kFrameRequestTimeout).value_or(guess));
            m_centreOnceFramed = true;
        }
        if (!m_ended) {
            m_window->show();
            m_window->activateWindow();
            if (QWidget* first = focusFirst ? FirstTabStop() : nullptr)
                first->setFocus(Qt::TabFocusReason);
            RunModalLoop();
        }
        wasActive = m_window->isActiveWindow();
        m_window->hide();
    }

    if (ownerWasEnabled)
        owner->EnableWindow(true);
    if (wasActive && ownerWindow != nullptr)
        ownerWindow->activateWindow();
    DestroyDialogWindow();
    return m_result;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    if (m_loop != nullptr)
        m_loop->exit();
}

void CDialog::RunModalLoop()
{
    if (const ModalLoop loop = InstalledModalLoop()) {
        loop(*this);
        return;
    }
    QEventLoop events;
    m_loop = &events;
    if (!m_ended)
        events.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
}

void CDialog::CentreWindow(const QMargins& frame)
{
    QWidget* ownerWindow = m_window->parentWidget();
    const QScreen* screen
        = ownerWindow != nullptr ? ownerWindow->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect workArea = screen->availableGeometry();
    QRect centreOn = workArea;
    if (ownerWindow != nullptr && ownerWindow->isVisible() && !ownerWindow->isMinimized())
        centreOn = ownerWindow->frameGeometry();
    const QRect outer = CentredInWorkArea(m_window->size().grownBy(frame), centreOn, workArea);
    // A move places the frame's outer corner, except on a native window that is not framed yet:
    // that one Qt places itself, and the window manager then frames it where it is.
    QPoint corner = outer.topLeft();
    if (m_window->testAttribute(Qt::WA_WState_Created) && FrameMargins(*m_window).isNull())
        corner += QPoint(frame.left(), frame.top());
    m_window->move(corner);
}

void CDialog::CentreOnceFramed()
{
    if (!m_centreOnceFramed || !m_window || !m_window->isVisible())
        return;
    const QMargins frame = FrameMargins(*m_window);
    if (frame.isNull())
        return; // no window manager, or it has not framed us yet
    m_centreOnceFramed = false;
    CentreWindow(frame);
}

void CDialog::DestroyDialogWindow()
{
    if (!m_window)
        return;
    SendMessage({ Message::Destroy });
    DialogWindow* window = m_window;
    m_window = nullptr;
    m_controls.clear();
    delete window;
}

} // namespace kestrin
