#include "ui/DialogWindow.h"

#include "ui/Dialog.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>

namespace kestrin {
namespace {

bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

DialogWindow::DialogWindow(CDialog& dialog, QWidget* owner, Qt::WindowFlags flags)
    : QWidget(owner, flags)
    , m_dialog(dialog)
{ }

void DialogWindow::closeEvent(QCloseEvent* event)
{
    // The dialog decides: by default the close button is the Cancel command.
    event->ignore();
    if (m_dialog.IsWindowEnabled())
        m_dialog.SendMessage({ Message::Close });
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event)
{
    CMenu* menu = m_dialog.GetSystemMenu();
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
        m_dialog.SendMessage({ Message::SysCommand, static_cast<int>(chosen->data().toUInt()) });
}

bool DialogWindow::event(QEvent* event)
{
    // Qt has the frame's margins by the time it reports the move that framing the window makes.
    if (event->type() == QEvent::Move)
        m_dialog.CentreOnceFramed();
    return m_dialog.FilterEvent(this, event) || QWidget::event(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event)
{
    return m_dialog.FilterEvent(watched, event);
}

bool CDialog::FilterEvent(QObject* watched, QEvent* event)
{
    if (!IsInput(event->type()))
        return false;
    if (!m_enabled)
        return true;
    if (event->type() != QEvent::KeyPress)
        return false;
    return HandleDialogKey(watched, static_cast<const QKeyEvent&>(*event));
}

} // namespace kestrin
