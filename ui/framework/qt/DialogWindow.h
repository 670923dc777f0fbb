#pragma once

#include "ui/framework/qt/Menu.h"

#include <QWidget>

namespace kestrin {

class CDialog;

// What a dialog window hands on to the dialog that owns it.
class DialogWindowEvents {
public:
    virtual bool WindowTakesInput() const = 0;
    // The close button.
    virtual void OnWindowClose() = 0;
    // The system menu, offered as the context menu; null when there is none.
    virtual CMenu* WindowSystemMenu() = 0;
    virtual void OnWindowSystemCommand(unsigned id) = 0;
    // The window manager moved the window.
    virtual void OnWindowMoved() = 0;
    // An event of the window or of one of its controls; true when the dialog took it.
    virtual bool FilterWindowEvent(QObject* watched, QEvent* event) = 0;

protected:
    ~DialogWindowEvents() = default;
};

// The top-level window of a running CDialog: hands its close button, context menu, the input of
// all its controls and the moves the window manager makes to the dialog. Knows nothing of what
// the dialog does with them.
class DialogWindow final : public QWidget {
public:
    DialogWindow(
        CDialog& dialog, DialogWindowEvents& events, QWidget* owner, Qt::WindowFlags flags);

    CDialog& Dialog() const { return m_dialog; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CDialog& m_dialog;
    DialogWindowEvents& m_events;
};

} // namespace kestrin
