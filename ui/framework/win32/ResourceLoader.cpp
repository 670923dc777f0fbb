#include "ui/framework/win32/ResourceLoader.h"

namespace kestrin {

Icon LoadIconResource(int id, bool big)
{
    const int size = GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
        MAKEINTRESOURCEW(static_cast<WORD>(id)), IMAGE_ICON, size, size, LR_SHARED));
}

} // namespace kestrin
