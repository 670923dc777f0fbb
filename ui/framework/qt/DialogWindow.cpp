#include "ui/framework/qt/DialogWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>

namespace kestrin {

DialogWindow::DialogWindow(
    CDialog& dialog, DialogWindowEvents& events, QWidget* owner, Qt::WindowFlags flags)
    : QWidget(owner, flags)
    , m_dialog(dialog)
    , m_events(events)
{ }

void DialogWindow::closeEvent(QCloseEvent* event)
{
    // The dialog decides: by default the close button is the Cancel command.
    event->ignore();
    if (m_events.WindowTakesInput())
        m_events.OnWindowClose();
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event)
{
    CMenu* menu = m_events.WindowSystemMenu();
    if (menu == nullptr)
        return;
    QMenu popup(this);
    for (const CMenu::Item& item : menu->Items()) {
        if (item.kind == MenuItemKind::Separator)
            popup.addSeparator();
        else
            popup.addAction(item.text)->setData(item.id);
    }
    if (const QAction* chosen = popup.exec(event->globalPos()))
        m_events.OnWindowSystemCommand(chosen->data().toUInt());
}

bool DialogWindow::event(QEvent* event)
{
    // Qt has the frame's margins by the time it reports the move that framing the window makes.
    if (event->type() == QEvent::Move)
        m_events.OnWindowMoved();
    return m_events.FilterWindowEvent(this, event) || QWidget::event(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event)
{
    return m_events.FilterWindowEvent(watched, event);
}

} // namespace kestrin
