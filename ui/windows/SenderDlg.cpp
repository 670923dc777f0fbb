#include "ui/windows/SenderDlg.h"

#include "engine/SendText.h"
#include "resources/DialogTemplate.h"
#include "resources/Resource.h"
#include "settings/SettingsStore.h"
#include "ui/framework/DataExchange.h"
#include "ui/windows/AboutDlg.h"

#include <cstdio>
#include <string>

namespace kestrin {
namespace {

const char* const kInitialText = "Type your text to send here and click the Go! button.";
const char* const kToneLabel = "Tone: %i Hz";
const char* const kSpeedLabel = "Speed: %i WPM";
const char* const kGapLabel = "Char.gap: %i dots";

std::string FormatSetting(const char* format, int value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

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

bool CSenderDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* menu = GetSystemMenu()) {
        const std::string_view about = LoadResourceString(IDS_ABOUTBOX);
        if (!about.empty()) {
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

    SetDlgItemText(IDC_TEXT, kInitialText);

    NameControlsForAccessibility();
    return true;
}

void CSenderDlg::ShowSettingLabels()
{
    SetDlgItemText(IDC_TONE_LABEL, FormatSetting(kToneLabel, m_settings.tone));
    SetDlgItemText(IDC_SPEED_LABEL, FormatSetting(kSpeedLabel, m_settings.speed));
    SetDlgItemText(IDC_GAP_LABEL, FormatSetting(kGapLabel, m_settings.gap));
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
    SetDlgItemText(IDC_GAP_LABEL, FormatSetting(kGapLabel, m_settings.gap));
}

void CSenderDlg::OnReleasedTone(const NotifyHeader&)
{
    m_settings.tone = m_toneSlider.GetPos();
    SetDlgItemText(IDC_TONE_LABEL, FormatSetting(kToneLabel, m_settings.tone));
}

void CSenderDlg::OnReleasedSpeed(const NotifyHeader&)
{
    m_settings.speed = m_speedSlider.GetPos();
    SetDlgItemText(IDC_SPEED_LABEL, FormatSetting(kSpeedLabel, m_settings.speed));
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

} // namespace kestrin
