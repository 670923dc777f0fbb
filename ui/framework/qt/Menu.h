#pragma once

#include <QString>
#include <vector>

namespace kestrin {

enum class MenuItemKind { String, Separator };

// A window's system menu as a list of items; the dialog offers it as its context menu and sends
// the chosen item's id as a system command. It does not draw itself.
class CMenu {
public:
    struct Item {
        MenuItemKind kind = MenuItemKind::String;
        unsigned id = 0;
        QString text;
    };

    void AppendMenu(MenuItemKind kind, unsigned id = 0, const QString& text = {})
    {
        m_items.push_back({ kind, id, text });
    }
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

} // namespace kestrin
