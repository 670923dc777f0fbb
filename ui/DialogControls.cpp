#include "ui/DialogControls.h"

#include "ui/Dialog.h"
#include "ui/DialogUnits.h"
#include "ui/DialogWindow.h"
#include "ui/ResourceLoader.h"
#include "ui/Trackbar.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace kestrin {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

QWidget* CDialog::CreateControl(const ControlTemplate&, QWidget*)
{
    return nullptr;
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

} // namespace kestrin
