#pragma once

#include <QString>
#include <string_view>
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
    // The same from UTF-8, as the windows written for every face give it.
    void AppendMenu(MenuItemKind kind, unsigned id, std::string_view utf8)
    {
        AppendMenu(kind, id, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    }
    void AppendMenu(MenuItemKind kind, unsigned id, const char* utf8)
    {
        AppendMenu(kind, id, QString::fromUtf8(utf8));
    }
    const std::vector<Item>& Items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

} // namespace kestrin
