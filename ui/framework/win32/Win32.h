#pragma once

// <windows.h> for the Win32 face. Its IDOK and IDCANCEL macros would hide the same commands of
// resources/Resource.h, which have the same values: the names stay Kestrin's.
#include <windows.h>

#undef IDOK
#undef IDCANCEL
