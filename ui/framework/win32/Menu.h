#pragma once

#include "ui/framework/win32/Win32.h"

#include <string_view>

namespace kestrin {

enum class MenuItemKind { String, Separator };

// A window's menu (here the system menu) by its handle; appends items. Does nothing without one.
class CMenu {
public:
    explicit CMenu(HMENU menu = nullptr)
        : m_menu(menu)
    { }

    void AppendMenu(MenuItemKind kind, unsigned id = 0, std::string_view text = {});
    HMENU GetSafeHmenu() const { return m_menu; }

private:
    HMENU m_menu;
};

} // namespace kestrin
