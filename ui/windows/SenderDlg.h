#pragma once

#include "engine/KeyerWindow.h"
#include "engine/Platform.h"
#include "ui/face/Dialog.h"
#include "ui/face/ResourceLoader.h"
#include "ui/face/SliderCtrl.h"

#include <filesystem>

namespace kestrin {

class LampPanel;

// The main window, on template IDD_MAIN: the text box, the tone, speed and gap sliders with their
// labels, the lamp panel, "Go !" and "About". It holds the keying settings for the run (loaded at
// initialisation, taken from a slider only when the mouse lets go of it, saved when the window is
// destroyed) and offers the send engine the five things it needs. It does no timing itself.
// Written once for every face of the dialog framework; what differs (the text box's text, the
// lamp panel, repainting, accessible names) is in the face's folder beside this one.
class CSenderDlg : public CDialog, public KeyerWindow {
public:
    // services: how sends sleep, start tone workers and sound tones.
    explicit CSenderDlg(const KeyerServices& services);
    ~CSenderDlg() override;

    const MessageMap& GetMessageMap() const override;

    // What a send uses of this window.
    std::string Text() const override;
    const KeyerSettings& Settings() const override { return m_settings; }
    Colour LampOffColour() const override { return m_lampOffColour; }
    std::unique_ptr<LampSurface> GetLampSurface() override;
    void MarkForRepaint() override;

    // The "Go !" command: sends the text box's text as Morse, on this thread, and returns when
    // the whole text has been sent.
    void SendText();

    LampPanel* Lamp() const;
    const std::filesystem::path& SettingsFile() const { return m_settingsFile; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    ControlWindow* CreateControl(const ControlTemplate& control, ControlWindow* parent) override;

private:
    void OnSysCommand(unsigned id);
    void OnReleasedGap(const NotifyHeader&);
    void OnReleasedTone(const NotifyHeader&);
    void OnReleasedSpeed(const NotifyHeader&);
    void OnAbout();
    void OnDestroy();
    void ShowSettingLabels();
    void NameControlsForAccessibility();

    CSliderCtrl m_gapSlider;
    CSliderCtrl m_speedSlider;
    CSliderCtrl m_toneSlider;
    Icon m_icon;
    Colour m_lampOffColour = kBlack;
    KeyerSettings m_settings;
    KeyerServices m_services;
    std::filesystem::path m_settingsFile;
};

} // namespace kestrin
