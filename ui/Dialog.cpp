#include "ui/Dialog.h"

#include "resources/Resource.h"
#include "ui/DialogUnits.h"
#include "ui/ResourceLoader.h"
#include "ui/SliderCtrl.h"
#include "ui/Trackbar.h"
#include "ui/WinApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace kestrin {

// The top-level window of a running CDialog: hands its close button, context menu and the input
// of all its controls to the dialog.
class DialogWindow final : public QWidget {
public:
    DialogWindow(CDialog& dialog, QWidget* owner, Qt::WindowFlags flags)
        : QWidget(owner, flags)
        , m_dialog(dialog)
    { }

    CDialog& Dialog() const { return m_dialog; }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        // The dialog decides: by default the close button is the Cancel command.
        event->ignore();
        if (m_dialog.IsWindowEnabled())
            m_dialog.SendMessage({ Message::Close });
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        CMenu* menu = m_dialog.GetSystemMenu();
        if (menu == nullptr)
            return;
        QMenu popup(this);
        for (const CMenu::Item& item : menu->Items()) {
            if (item.kind == MenuItemKind::Separator)
                popup.addSeparator();
            else
                popup.addAction(item.text)->setData(item.id);
        }
        if (const QAction* chosen = popup.exec(event->globalPos()))
            m_dialog.SendMessage(
                { Message::SysCommand, static_cast<int>(chosen->data().toUInt()) });
    }

    bool event(QEvent* event) override
    {
        return m_dialog.FilterEvent(this, event) || QWidget::event(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return m_dialog.FilterEvent(watched, event);
    }

private:
    CDialog& m_dialog;
};

namespace {

CDialog::ModalLoop& InstalledModalLoop()
{
    static CDialog::ModalLoop loop;
    return loop;
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A static control's text as shown: without SS_NOPREFIX "&&" is an ampersand and a single
// "&" marks a mnemonic, which a static control has no use for here.
QString StaticText(const QString& text, std::uint32_t controlStyle)
{
    if ((controlStyle & style::kNoPrefix) != 0)
        return text;
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

QWidget* StandardControl(const ControlTemplate& control, QWidget* parent)
{
    const QString text = FromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault((control.style & style::kDefPushButton) != 0);
        return button;
    }
    case ControlKind::Edit: {
        if ((control.style & style::kMultiLine) == 0) {
            auto* edit = new QLineEdit(text, parent);
            edit->setFrame((control.style & style::kBorder) != 0);
            return edit;
        }
        auto* edit = new QPlainTextEdit(text, parent);
        // Without auto horizontal scroll a multi-line edit wraps at words.
        edit->setLineWrapMode((control.style & style::kAutoHScroll) != 0
                ? QPlainTextEdit::NoWrap
                : QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy((control.style & style::kVScroll) != 0
                ? Qt::ScrollBarAlwaysOn
                : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy((control.style & style::kHScroll) != 0
                ? Qt::ScrollBarAlwaysOn
                : Qt::ScrollBarAlwaysOff);
        edit->setFrameShape(
            (control.style & style::kBorder) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
        edit->setTabChangesFocus(true);
        return edit;
    }
    case ControlKind::Trackbar: {
        const bool vertical = (control.style & style::kTrackVert) != 0;
        auto* slider = new Trackbar(vertical ? Qt::Vertical : Qt::Horizontal,
            (control.style & style::kTrackAutoTicks) != 0, parent);
        if ((control.style & style::kTrackNoTicks) != 0)
            slider->setTickPosition(QSlider::NoTicks);
        else if ((control.style & style::kTrackBoth) != 0)
            slider->setTickPosition(QSlider::TicksBothSides);
        else if ((control.style & style::kTrackTop) != 0)
            slider->setTickPosition(QSlider::TicksAbove);
        else
            slider->setTickPosition(QSlider::TicksBelow);
        return slider;
    }
    case ControlKind::Static:
        break;
    }

    switch (control.style & style::kStaticTypeMask) {
    case style::kStaticIcon: {
        auto* icon = new QLabel(parent);
        icon->setPixmap(LoadIconImage(control.imageId, 32));
        return icon;
    }
    case style::kStaticBlackRect: {
        auto* panel = new QFrame(parent);
        if ((control.exStyle & style::kExClientEdge) != 0)
            panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, Qt::black);
        panel->setPalette(palette);
        panel->setAutoFillBackground(true);
        return panel;
    }
    default: {
        auto* label = new QLabel(StaticText(text, control.style), parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        Qt::Alignment alignment = Qt::AlignLeft;
        if ((control.style & style::kStaticTypeMask) == style::kStaticCenter)
            alignment = Qt::AlignHCenter;
        else if ((control.style & style::kStaticTypeMask) == style::kStaticRight)
            alignment = Qt::AlignRight;
        label->setAlignment(alignment | Qt::AlignTop);
        return label;
    }
    }
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

DialogKeyAction ClassifyDialogKey(int key, Qt::KeyboardModifiers modifiers, FocusedControl focus)
{
    switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_Cancel:
        return DialogKeyAction::Cancel;
    case Qt::Key_Pause: // Ctrl+Pause is Break
        return (modifiers & Qt::ControlModifier) != 0 ? DialogKeyAction::Cancel
                                                      : DialogKeyAction::None;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        switch (focus) {
        case FocusedControl::PushButton:
            return DialogKeyAction::ClickFocused;
        case FocusedControl::EditWantingReturn:
            return DialogKeyAction::None;
        case FocusedControl::Other:
            return DialogKeyAction::DefaultButton;
        }
        return DialogKeyAction::None;
    case Qt::Key_F1:
        return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0
            ? DialogKeyAction::Help
            : DialogKeyAction::None;
    default:
        return DialogKeyAction::None;
    }
}

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

LResult CDialog::SendMessage(const MessageArgs& args)
{
    LResult result = 0;
    if (args.message == Message::Command) {
        (void)OnCmdMsg(args.id, args.code); // an unhandled command is simply dropped
        return result;
    }
    if (Dispatch(args, result))
        return result;
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
    return result;
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

void CDialog::DoDataExchange(CDataExchange&) { }

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

QWidget* CDialog::CreateControl(const ControlTemplate&, QWidget*)
{
    return nullptr;
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

void CDataExchange::Control(int id, CSliderCtrl& slider)
{
    slider.Attach(qobject_cast<QSlider*>(m_dialog.GetDlgItem(id)));
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
    bool wasActive = false;
    if (CreateDialogWindow(ownerWindow)) {
        const QPoint placed = m_window->pos();
        const bool focusFirst = OnInitDialog();
        if (!m_window->isVisible() && m_window->pos() == placed)
            CentreWindow(ownerWindow);
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

    m_window = new DialogWindow(*this, ownerWindow, flags);
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

void CDialog::CentreWindow(QWidget* ownerWindow)
{
    const QScreen* screen
        = ownerWindow != nullptr ? ownerWindow->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect workArea = screen->availableGeometry();
    QRect centreOn = workArea;
    QMargins frame;
    if (ownerWindow != nullptr && ownerWindow->isVisible() && !ownerWindow->isMinimized()) {
        centreOn = ownerWindow->frameGeometry();
        // Our own frame is not known before the window manager has framed us: assume the owner's.
        const QRect inner = ownerWindow->geometry();
        frame = { inner.left() - centreOn.left(), inner.top() - centreOn.top(),
            centreOn.right() - inner.right(), centreOn.bottom() - inner.bottom() };
    }
    const QRect outer = CentredInWorkArea(m_window->size().grownBy(frame), centreOn, workArea);
    m_window->move(outer.topLeft());
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

bool CDialog::FilterEvent(QObject* watched, QEvent* event)
{
    if (!IsInput(event->type()))
        return false;
    if (!m_enabled)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    return HandleDialogKey(watched, static_cast<const QKeyEvent&>(*event));
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

} // namespace kestrin
