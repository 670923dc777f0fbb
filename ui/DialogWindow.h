#pragma once

#include <QWidget>

namespace kestrin {

class CDialog;

// The top-level window of a running CDialog: hands its close button, context menu, the input of
// all its controls and the moves the window manager makes to the dialog. Knows nothing of what
// the dialog does with them.
class DialogWindow final : public QWidget {
public:
    DialogWindow(CDialog& dialog, QWidget* owner, Qt::WindowFlags flags);

    CDialog& Dialog() const { return m_dialog; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CDialog& m_dialog;
};

} // namespace kestrin
