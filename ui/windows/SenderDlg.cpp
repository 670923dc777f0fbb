#include "ui/windows/SenderDlg.h"

#include "engine/SendText.h"
#include "resources/Resource.h"
#include "settings/SettingsStore.h"
#include "ui/framework/DataExchange.h"
#include "ui/framework/qt/LampPanel.h"
#include "ui/framework/qt/ResourceLoader.h"
#include "ui/framework/qt/WinApp.h"
#include "ui/windows/AboutDlg.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <QWidget>

namespace kestrin {
namespace {

const char* const kInitialText = "Type your text to send here and click the Go! button.";
const char* const kToneLabel = "Tone: %i Hz";
const char* const kSpeedLabel = "Speed: %i WPM";
const char* const kGapLabel = "Char.gap: %i dots";

} // namespace

CSenderDlg::CSenderDlg(const KeyerServices& services)
    : CDialog(IDD_MAIN)
    , m_icon(LoadIconResource(IDR_MAINFRAME))
    , m_services(services)
    , m_settingsFile(SettingsFilePath(ExecutableBaseName()))
{ }

CSenderDlg::~CSenderDlg() = default;

const MessageMap& CSenderDlg::GetMessageMap() const
{
    static constexpr MessageMapEntry kEntries[] = {
        OnSysCommandMessage<&CSenderDlg::OnSysCommand>(),
        OnBnClicked<&CSenderDlg::SendText>(IDC_GO),
        OnNotify<&CSenderDlg::OnReleasedGap>(kNmReleasedCapture, IDC_GAP_SLIDER),
        OnNotify<&CSenderDlg::OnReleasedTone>(kNmReleasedCapture, IDC_TONE_SLIDER),
        OnNotify<&CSenderDlg::OnReleasedSpeed>(kNmReleasedCapture, IDC_SPEED_SLIDER),
        OnBnClicked<&CSenderDlg::OnAbout>(IDC_ABOUT),
        OnDestroyMessage<&CSenderDlg::OnDestroy>(),
    };
    static const MessageMap kMap { &CDialog::GetMessageMap(), kEntries };
    return kMap;
}

void CSenderDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    dx.Control(IDC_GAP_SLIDER, m_gapSlider);
    dx.Control(IDC_SPEED_SLIDER, m_speedSlider);
    dx.Control(IDC_TONE_SLIDER, m_toneSlider);
}

QWidget* CSenderDlg::CreateControl(const ControlTemplate& control, QWidget* parent)
{
    if (control.id == IDC_LAMP)
        return new LampPanel(parent);
    return CDialog::CreateControl(control, parent);
}

bool CSenderDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* menu = GetSystemMenu()) {
        const QString about = LoadStringResource(IDS_ABOUTBOX);
        if (!about.isEmpty()) {
            menu->AppendMenu(MenuItemKind::Separator);
            menu->AppendMenu(MenuItemKind::String, IDM_ABOUTBOX, about);
        }
    }

    SetIcon(m_icon, true);
    SetIcon(m_icon, false);

    m_lampOffColour = kBlack;

    m_settings = LoadKeyerSettings(m_settingsFile, OlderSettingsFilePath(ExecutableBaseName()));

    m_gapSlider.SetRange(1, 20);
    m_speedSlider.SetRange(1, 25);
    m_toneSlider.SetRange(400, 1000);

    // A stored value outside a slider's range shows at its end; the setting keeps the value.
    m_gapSlider.SetPos(m_settings.gap);
    m_speedSlider.SetPos(m_settings.speed);
    m_toneSlider.SetPos(m_settings.tone);

    ShowSettingLabels();

    SetDlgItemText(IDC_TEXT, QString::fromUtf8(kInitialText));

    NameControlsForAccessibility();
    return true;
}

void CSenderDlg::ShowSettingLabels()
{
    SetDlgItemText(IDC_TONE_LABEL, QString::asprintf(kToneLabel, m_settings.tone));
    SetDlgItemText(IDC_SPEED_LABEL, QString::asprintf(kSpeedLabel, m_settings.speed));
    SetDlgItemText(IDC_GAP_LABEL, QString::asprintf(kGapLabel, m_settings.gap));
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

void CSenderDlg::OnSysCommand(unsigned id)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
        return;
    }
    CDialog::OnSysCommand(id);
}

void CSenderDlg::OnAbout()
{
    CAboutDlg about;
    (void)about.DoModal(); // the box only informs; how it ended changes nothing
}

void CSenderDlg::OnReleasedGap(const NotifyHeader&)
{
    m_settings.gap = m_gapSlider.GetPos();
    SetDlgItemText(IDC_GAP_LABEL, QString::asprintf(kGapLabel, m_settings.gap));
}

void CSenderDlg::OnReleasedTone(const NotifyHeader&)
{
    m_settings.tone = m_toneSlider.GetPos();
    SetDlgItemText(IDC_TONE_LABEL, QString::asprintf(kToneLabel, m_settings.tone));
}

void CSenderDlg::OnReleasedSpeed(const NotifyHeader&)
{
    m_settings.speed = m_speedSlider.GetPos();
    SetDlgItemText(IDC_SPEED_LABEL, QString::asprintf(kSpeedLabel, m_settings.speed));
}

void CSenderDlg::OnDestroy()
{
    CDialog::OnDestroy();
    SaveKeyerSettings(m_settingsFile, m_settings);
}

void CSenderDlg::SendText()
{
    // The output may have closed while idle: it opens during the leading pads.
    if (m_services.sendStarting)
        m_services.sendStarting();
    kestrin::SendText(*this, m_services);
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
