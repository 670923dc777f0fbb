#include "ui/windows/SenderDlg.h"

#include "resources/Resource.h"
#include "ui/framework/qt/LampPanel.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QWidget>

// CSenderDlg's part that knows Qt: the lamp panel widget, the text box's text, repainting and the
// names a screen reader reads.

namespace kestrin {

ControlWindow* CSenderDlg::CreateControl(const ControlTemplate& control, ControlWindow* parent)
{
    if (control.id == IDC_LAMP)
        return new LampPanel(parent);
    return CDialog::CreateControl(control, parent);
}

void CSenderDlg::NameControlsForAccessibility()
{
    const struct {
        int id;
        const char* name;
    } names[] = {
        { IDC_TEXT, "Text to send" },
        { IDC_GO, "Go: send the text" },
        { IDC_TONE_SLIDER, "Tone in hertz" },
        { IDC_SPEED_SLIDER, "Speed in words per minute" },
        { IDC_GAP_SLIDER, "Extra gap between characters, in dots" },
        // The labels keep no name of their own: a screen reader reads their text, which is the
        // setting in use (a slider can sit at the end of its range while the setting is beyond).
        { IDC_ABOUT, "About Kestrin" },
    };
    for (const auto& n : names) {
        if (QWidget* widget = GetDlgItem(n.id))
            widget->setAccessibleName(QString::fromUtf8(n.name));
    }
}

std::string CSenderDlg::Text() const
{
    // UTF-8 keeps every non-ASCII character in bytes of 128 and above, which have no Morse row:
    // nothing typed can turn into a character that is sounded. The document's raw text, since
    // the plain text turns a no-break space into a space, which is a word pause; its paragraph
    // and line separators become line breaks, as in the plain text.
    const auto* box = qobject_cast<const QPlainTextEdit*>(GetDlgItem(IDC_TEXT));
    if (box == nullptr)
        return GetDlgItemText(IDC_TEXT).toUtf8().toStdString();
    QString text = box->document()->toRawText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    }
    return text.toUtf8().toStdString();
}

LampPanel* CSenderDlg::Lamp() const
{
    return qobject_cast<LampPanel*>(GetDlgItem(IDC_LAMP));
}

std::unique_ptr<LampSurface> CSenderDlg::GetLampSurface()
{
    LampPanel* lamp = Lamp();
    return lamp != nullptr ? lamp->GetSurface() : nullptr;
}

void CSenderDlg::MarkForRepaint()
{
    if (QWidget* window = GetSafeWidget())
        window->update();
}

} // namespace kestrin
