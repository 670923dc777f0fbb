#pragma once

#include "resources/DialogTemplate.h"

#include <cstdint>
#include <vector>

namespace kestrin {

// Extra styles the dialog manager needs that a template leaves to the platform: the dialog's
// font is given in the template, and every control is a visible child.
inline constexpr std::uint32_t kDsSetFont = 0x00000040;
inline constexpr std::uint32_t kWsChild = 0x40000000;
inline constexpr std::uint32_t kWsVisible = 0x10000000;

// The template as the dialog manager's in-memory extended template (DLGTEMPLATEEX followed by a
// DLGITEMTEMPLATEEX per control, each item on a 4-byte boundary), in dialog units, with its font:
// the resources' templates stay the one source of truth. Pass data() to CreateDialogIndirectParam.
std::vector<std::uint16_t> BuildDialogTemplateEx(const DialogTemplate& dialog);

} // namespace kestrin
