#pragma once

#include <qnamespace.h>

namespace kestrin {

// What a key does in a dialog, before the control with the focus sees it.
enum class DialogKeyAction {
    None, // the control gets the key
    Cancel, // the Cancel command
    ClickFocused, // the focused push button's click
    DefaultButton, // the default button's click, or OK when there is none
    Help, // the Help command
};

// The kind of control holding the focus, as far as dialog keys care.
enum class FocusedControl { PushButton, EditWantingReturn, Other };

// Escape and Ctrl+Break cancel wherever the focus is; Enter clicks a focused push button, is left
// to an edit box that wants returns, and otherwise clicks the default button; F1 without Shift,
// Ctrl or Alt asks for help.
DialogKeyAction ClassifyDialogKey(int key, Qt::KeyboardModifiers modifiers, FocusedControl focus);

} // namespace kestrin
