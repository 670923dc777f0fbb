#include "ui/framework/win32/DialogTemplateEx.h"

#include "ui/framework/win32/WideText.h"

namespace kestrin {
namespace {

class TemplateWriter {
public:
    void Word(std::uint32_t value) { m_words.push_back(static_cast<std::uint16_t>(value)); }
    void DWord(std::uint32_t value)
    {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
    void Short(int value) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
    void Text(std::string_view utf8)
    {
        for (wchar_t c : Widen(utf8))
            Word(static_cast<std::uint16_t>(c));
        Word(0);
    }
    void Ordinal(std::uint32_t value)
    {
        Word(0xFFFF);
        Word(value);
    }
    void AlignToDWord()
    {
        if (m_words.size() % 2 != 0)
            Word(0);
    }
    std::vector<std::uint16_t> Take() { return std::move(m_words); }

private:
    std::vector<std::uint16_t> m_words;
};

// The predefined window classes by their atoms; the trackbar is a common control, named.
constexpr std::uint32_t kButtonAtom = 0x0080;
constexpr std::uint32_t kEditAtom = 0x0081;
constexpr std::uint32_t kStaticAtom = 0x0082;

} // namespace

std::vector<std::uint16_t> BuildDialogTemplateEx(const DialogTemplate& dialog)
{
    TemplateWriter w;
    w.Word(1); // dlgVer
    w.Word(0xFFFF); // signature: extended template
    w.DWord(0); // helpID
    w.DWord(dialog.exStyle);
    w.DWord(dialog.style | kDsSetFont);
    w.Word(static_cast<std::uint32_t>(dialog.controls.size()));
    w.Short(dialog.rect.x);
    w.Short(dialog.rect.y);
    w.Short(dialog.rect.cx);
    w.Short(dialog.rect.cy);
    w.Word(0); // no menu
    w.Word(0); // the dialog class
    w.Text(dialog.caption);
    w.Word(static_cast<std::uint32_t>(dialog.pointSize));
    w.Word(400); // weight: normal
    w.Word(0); // not italic; the default character set
    w.Text(dialog.fontFace);

    for (const ControlTemplate& control : dialog.controls) {
        w.AlignToDWord();
        w.DWord(0); // helpID
        w.DWord(control.exStyle);
        w.DWord(control.style | kWsChild | kWsVisible);
        w.Short(control.rect.x);
        w.Short(control.rect.y);
        w.Short(control.rect.cx);
        w.Short(control.rect.cy);
        w.DWord(static_cast<std::uint32_t>(control.id));
        switch (control.kind) {
        case ControlKind::PushButton:
            w.Ordinal(kButtonAtom);
            break;
        case ControlKind::Edit:
            w.Ordinal(kEditAtom);
            break;
        case ControlKind::Static:
            w.Ordinal(kStaticAtom);
            break;
        case ControlKind::Trackbar:
            w.Text("msctls_trackbar32");
            break;
        }
        if (control.imageId != 0)
            w.Ordinal(static_cast<std::uint32_t>(control.imageId));
        else
            w.Text(control.text);
        w.Word(0); // no creation data
    }
    return w.Take();
}

} // namespace kestrin
