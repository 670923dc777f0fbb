#pragma once

#include "resources/DialogTemplate.h"
#include "ui/framework/CmdTarget.h"
#include "ui/framework/qt/DialogWindow.h"
#include "ui/framework/qt/Menu.h"

#include <QIcon>
#include <QPointer>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QEvent;
class QEventLoop;
class QKeyEvent;
class QMargins;
class QObject;
class QWidget;

namespace kestrin {

class CDataExchange;

// What a control is to a dialog: its widget.
using ControlWindow = QWidget;

// A dialog built from a template in resources/ over a Qt widget window, run modally.
//
// Running it modally: the owner (the parent given, else the application's main window) is
// disabled, the window and its controls are built from the template in template order (which is
// the tab order), OnInitDialog runs, the window is centred unless OnInitDialog moved or showed it,
// then it is shown and the modal loop runs until EndDialog; then it is hidden, the owner enabled
// and, if the dialog was active, made active; last the window is destroyed (the Destroy message).
// Centring places the window as the user sees it, with the window manager's frame: before the
// first show the frame is asked of the window manager, or else taken to be the owner's (none for a
// window without one), and once the window manager has framed the window it is centred again with
// its own.
// Commands that no entry of its message map takes go to the application object. The dialog keys
// are those of ClassifyDialogKey. It knows nothing of what its controls mean.
class CDialog : public CCmdTarget, private DialogWindowEvents {
public:
    // Runs the modal loop of `dialog` and returns once it has ended. Tests install their own to
    // drive a dialog without running an event loop.
    using ModalLoop = std::function<void(CDialog& dialog)>;

    explicit CDialog(int templateId, CDialog* parent = nullptr);
    ~CDialog() override;

    // The value given to EndDialog; -1 when there is no such template, or when the modal loop
    // returned before the dialog ended.
    virtual LResult DoModal();
    void EndDialog(int result);

    // Installs the modal loop every dialog runs (empty: the real event loop); returns the old one.
    static ModalLoop SetModalLoop(ModalLoop loop);

    int TemplateId() const { return m_templateId; }
    const DialogTemplate* Template() const { return m_template; }

    // The dialog window; null unless the dialog is running.
    QWidget* GetSafeWidget() const;
    // The dialog whose window holds `widget`, or null.
    static CDialog* FromWidget(const QWidget* widget);

    QWidget* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const QString& text);
    // The same from UTF-8, as the windows written for every face give it.
    void SetDlgItemText(int id, const std::string& utf8)
    {
        SetDlgItemText(id, QString::fromStdString(utf8));
    }
    void SetDlgItemText(int id, const char* utf8) { SetDlgItemText(id, QString::fromUtf8(utf8)); }
    QString GetDlgItemText(int id) const;

    // Data exchange in the given direction.
    void UpdateData(bool saveAndValidate = true);

    // Base units of the dialog font, valid once the window exists.
    QSize BaseUnits() const { return m_baseUnits; }

    void SetIcon(const QIcon& icon, bool bigIcon);
    QIcon GetIcon(bool bigIcon) const { return bigIcon ? m_bigIcon : m_smallIcon; }

    // The system menu, shown as the window's context menu; null when the template has none or
    // the window does not exist.
    CMenu* GetSystemMenu();

    // A disabled dialog takes no mouse or keyboard input and ignores its close button.
    void EnableWindow(bool enable);
    bool IsWindowEnabled() const { return m_enabled; }

    // The help context this dialog answers while it holds the focus: 0x20000 + template id.
    virtual std::uint32_t GetHelpContext() const;

    // Sends a message to the dialog: its message map first, then the default processing.
    void SendMessage(const MessageArgs& args);

    bool OnCmdMsg(int id, int code) override;
    const MessageMap& GetMessageMap() const override;

protected:
    // Runs data exchange to the controls. True puts the focus on the first tab-stop control.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // Data exchange from the controls, then EndDialog(IDOK).
    virtual void OnOK();
    virtual void OnCancel();

    // The widget for a control, parented to `parent`, or null for the standard one. Buttons
    // returned here send their clicks and Trackbars their releases like the standard ones.
    virtual QWidget* CreateControl(const ControlTemplate& control, QWidget* parent);

    // The default processing of these messages, for handlers that add to it.
    void OnSysCommand(unsigned id);
    void OnClose();
    void OnDestroy();

private:
    friend class CDataExchange;

    struct Control {
        const ControlTemplate* source;
        QPointer<QWidget> widget;
    };

    CDialog* Owner() const;
    bool CreateDialogWindow(QWidget* ownerWindow);
    QWidget* BuildControl(const ControlTemplate& control);
    void CentreWindow(const QMargins& frame);
    void CentreOnceFramed();
    void RunModalLoop();
    void DestroyDialogWindow();
    void ApplyIcons();
    const Control* ControlOf(const QObject* object) const;
    QWidget* FirstTabStop() const;
    bool WindowTakesInput() const override;
    void OnWindowClose() override;
    CMenu* WindowSystemMenu() override;
    void OnWindowSystemCommand(unsigned id) override;
    void OnWindowMoved() override;
    bool FilterWindowEvent(QObject* watched, QEvent* event) override;
    bool HandleDialogKey(QObject* watched, const QKeyEvent& event);

    int m_templateId;
    const DialogTemplate* m_template;
    CDialog* m_parent;
    QPointer<DialogWindow> m_window;
    std::vector<Control> m_controls;
    QSize m_baseUnits;
    CMenu m_systemMenu;
    QIcon m_bigIcon;
    QIcon m_smallIcon;
    bool m_enabled = true;
    bool m_ended = false;
    bool m_centreOnceFramed = false;
    int m_result = -1;
    QEventLoop* m_loop = nullptr;
};

} // namespace kestrin
