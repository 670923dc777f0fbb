#include "ui/framework/qt/Dialog.h"

#include "resources/Resource.h"
#include "ui/framework/DataExchange.h"
#include "ui/framework/qt/DialogControls.h"
#include "ui/framework/qt/DialogKeys.h"
#include "ui/framework/qt/DialogUnits.h"
#include "ui/framework/qt/DialogWindow.h"
#include "ui/framework/qt/FrameExtents.h"
#include "ui/framework/qt/Trackbar.h"
#include "ui/framework/qt/WinApp.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

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
    const QSize outer = m_window->size().grownBy(frame);
    const PixelRect placed = CentredInWorkArea(
        outer.width(), outer.height(), ToPixelRect(centreOn), ToPixelRect(workArea));
    // A move places the frame's outer corner, except on a native window that is not framed yet:
    // that one Qt places itself, and the window manager then frames it where it is.
    QPoint corner(placed.left, placed.top);
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

QWidget* CDialog::GetDlgItem(int id) const
{
    for (const Control& control : m_controls) {
        if (control.source->id == id)
            return control.widget.data();
    }
    return nullptr;
}

const CDialog::Control* CDialog::ControlOf(const QObject* object) const
{
    for (; object != nullptr && object != m_window; object = object->parent()) {
        for (const Control& control : m_controls) {
            if (control.widget == object)
                return &control;
        }
    }
    return nullptr;
}

void CDialog::SetDlgItemText(int id, const QString& text)
{
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const Control* control = ControlOf(widget);
        label->setText(StaticText(text, control->source->style));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->setPlainText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(text);
    } else if (widget != nullptr) {
        widget->setWindowTitle(text);
    }
}

QString CDialog::GetDlgItemText(int id) const
{
    const QWidget* widget = GetDlgItem(id);
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return line->text();
    return widget != nullptr ? widget->windowTitle() : QString();
}

bool CDialog::CreateDialogWindow(QWidget* ownerWindow)
{
    if (m_template == nullptr)
        return false;
    const std::uint32_t dialogStyle = m_template->style;
    const bool appWindow
        = ownerWindow == nullptr || (m_template->exStyle & style::kExAppWindow) != 0;
    Qt::WindowFlags flags = (appWindow ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint;
    if ((dialogStyle & style::kCaption) == style::kCaption)
        flags |= Qt::WindowTitleHint;
    if ((dialogStyle & style::kSysMenu) != 0)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((dialogStyle & style::kMinimizeBox) != 0)
        flags |= Qt::WindowMinimizeButtonHint;

    m_window = new DialogWindow(*this, *this, ownerWindow, flags);
    if (ownerWindow != nullptr)
        m_window->setWindowModality(Qt::WindowModal);
    m_window->setWindowTitle(FromUtf8(m_template->caption));
    const QFont font = DialogFont(m_template->pointSize);
    m_window->setFont(font);
    m_baseUnits = DialogBaseUnits(font);
    const QRect client = MapDialogRect(m_template->rect, m_baseUnits);
    m_window->setFixedSize(client.size());

    m_systemMenu = {};
    if ((dialogStyle & style::kMinimizeBox) != 0)
        m_systemMenu.AppendMenu(MenuItemKind::String, kScMinimize, QObject::tr("Mi&nimize"));
    m_systemMenu.AppendMenu(MenuItemKind::String, kScClose, QObject::tr("&Close"));

    m_controls.clear();
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : m_template->controls) {
        QWidget* widget = BuildControl(control);
        m_controls.push_back({ &control, widget });
        if ((control.style & style::kTabStop) != 0) {
            if (previousTabStop != nullptr)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
    }
    for (QWidget* child : m_window->findChildren<QWidget*>())
        child->installEventFilter(m_window);
    ApplyIcons();

    // The template's position, on the owner's window or the screen; centring usually replaces it.
    QPoint origin;
    if (ownerWindow != nullptr)
        origin = ownerWindow->geometry().topLeft();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        origin = screen->availableGeometry().topLeft();
    m_window->move(origin + client.topLeft());
    return true;
}

QWidget* CDialog::BuildControl(const ControlTemplate& control)
{
    QWidget* widget = CreateControl(control, m_window);
    if (widget == nullptr)
        widget = StandardControl(control, m_window);
    if (widget->parentWidget() != m_window)
        widget->setParent(m_window);

    QRect rect = MapDialogRect(control.rect, m_baseUnits);
    if (control.kind == ControlKind::Static
        && (control.style & style::kStaticTypeMask) == style::kStaticIcon) {
        rect.setSize({ 32, 32 }); // an icon control takes the size of its icon
    }
    widget->setGeometry(rect);

    if ((control.style & style::kTabStop) != 0)
        widget->setFocusPolicy(Qt::StrongFocus);
    else if (control.kind == ControlKind::Static)
        widget->setFocusPolicy(Qt::NoFocus);
    else
        widget->setFocusPolicy(Qt::ClickFocus);

    const int id = control.id;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        QObject::connect(button, &QAbstractButton::clicked, m_window, [this, id] {
            SendMessage({ Message::Command, id, kBnClicked });
        });
    }
    if (auto* trackbar = dynamic_cast<Trackbar*>(widget)) {
        trackbar->SetReleasedCaptureHandler([this, id] {
            SendMessage({ Message::Notify, id, kNmReleasedCapture });
        });
    }
    return widget;
}

QWidget* CDialog::FirstTabStop() const
{
    for (const Control& control : m_controls) {
        if ((control.source->style & style::kTabStop) != 0 && control.widget
            && control.widget->isEnabled() && !control.widget->isHidden())
            return control.widget;
    }
    return nullptr;
}

bool CDialog::HandleDialogKey(QObject* watched, const QKeyEvent& event)
{
    const Control* focused = ControlOf(watched);
    FocusedControl focus = FocusedControl::Other;
    if (focused != nullptr && focused->source->kind == ControlKind::PushButton) {
        focus = FocusedControl::PushButton;
    } else if (focused != nullptr && focused->source->kind == ControlKind::Edit
        && (focused->source->style & (style::kMultiLine | style::kWantReturn))
            == (style::kMultiLine | style::kWantReturn)) {
        focus = FocusedControl::EditWantingReturn;
    }

    switch (ClassifyDialogKey(event.key(), event.modifiers(), focus)) {
    case DialogKeyAction::None:
        return false;
    case DialogKeyAction::Cancel: {
        const QWidget* cancel = GetDlgItem(IDCANCEL);
        if (cancel == nullptr || cancel->isEnabled())
            SendMessage({ Message::Command, IDCANCEL, kBnClicked });
        return true;
    }
    case DialogKeyAction::ClickFocused:
        SendMessage({ Message::Command, focused->source->id, kBnClicked });
        return true;
    case DialogKeyAction::DefaultButton: {
        int id = IDOK;
        for (const Control& control : m_controls) {
            if (control.source->kind == ControlKind::PushButton
                && (control.source->style & style::kDefPushButton) != 0) {
                id = control.source->id;
                if (!control.widget || !control.widget->isEnabled())
                    return true;
                break;
            }
        }
        SendMessage({ Message::Command, id, kBnClicked });
        return true;
    }
    case DialogKeyAction::Help:
        SendMessage({ Message::Command, ID_HELP, kBnClicked });
        return true;
    }
    return false;
}

bool CDialog::WindowTakesInput() const
{
    return m_enabled;
}

void CDialog::OnWindowClose()
{
    SendMessage({ Message::Close });
}

CMenu* CDialog::WindowSystemMenu()
{
    return GetSystemMenu();
}

void CDialog::OnWindowSystemCommand(unsigned id)
{
    SendMessage({ Message::SysCommand, static_cast<int>(id) });
}

void CDialog::OnWindowMoved()
{
    CentreOnceFramed();
}

bool CDialog::FilterWindowEvent(QObject* watched, QEvent* event)
{
    if (!IsInput(event->type()))
        return false;
    if (!m_enabled)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    return HandleDialogKey(watched, static_cast<const QKeyEvent&>(*event));
}

} // namespace kestrin
