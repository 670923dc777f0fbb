#pragma once

#include "ui/framework/win32/Win32.h"

#include <string>

namespace kestrin {

// Text as the user interface shows it.
using UiString = std::wstring;
using Icon = HICON;

// The program's icon with this resource id (from its .rc) at the size the system asks for a
// large (big) or small icon; null when there is none. Shared: never destroyed.
Icon LoadIconResource(int id, bool big = true);

} // namespace kestrin
