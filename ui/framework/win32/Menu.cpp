#include "ui/framework/win32/Menu.h"

#include "ui/framework/win32/WideText.h"

#include <string>

namespace kestrin {

void CMenu::AppendMenu(MenuItemKind kind, unsigned id, std::string_view text)
{
    if (m_menu == nullptr)
        return;
    if (kind == MenuItemKind::Separator) {
        (void)::AppendMenuW(m_menu, MF_SEPARATOR, 0, nullptr); // a menu without it still works
        return;
    }
    const std::wstring wide = Widen(text);
    (void)::AppendMenuW(m_menu, MF_STRING, id, wide.c_str());
}

} // namespace kestrin
