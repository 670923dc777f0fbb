#include "ui/DialogKeys.h"

#include "resources/Resource.h"
#include "ui/Dialog.h"

#include <QKeyEvent>
#include <QWidget>

namespace kestrin {

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
