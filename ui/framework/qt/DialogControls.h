#pragma once

#include "resources/DialogTemplate.h"

#include <QString>
#include <cstdint>
#include <string_view>

class QWidget;

namespace kestrin {

// A template's UTF-8 text as a QString.
QString FromUtf8(std::string_view text);

// A static control's text as shown: without SS_NOPREFIX "&&" is an ampersand and a single "&"
// marks a mnemonic, which a static control has no use for here.
QString StaticText(const QString& text, std::uint32_t controlStyle);

// The Qt widget that stands for a template's control of a standard kind, parented to `parent`:
// push button, line or multi-line edit, trackbar, icon, black panel or static text, with the
// template's text and the looks its styles ask for. Placing it, its focus policy and what its
// signals do are the dialog's.
QWidget* StandardControl(const ControlTemplate& control, QWidget* parent);

} // namespace kestrin
