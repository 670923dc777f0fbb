#include "ui/framework/qt/DialogKeys.h"

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

} // namespace kestrin
