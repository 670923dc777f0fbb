#pragma once

namespace kestrin {

class CDialog;
class CSliderCtrl;

// One pass of data exchange between a dialog's members and its controls; `saveAndValidate` tells
// the direction (true: controls to members).
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog)
        , m_saveAndValidate(saveAndValidate)
    { }

    bool SaveAndValidate() const { return m_saveAndValidate; }
    CDialog& Dialog() const { return m_dialog; }

    // Binds a slider member to the trackbar with this id; a control of another kind leaves the
    // member unbound.
    void Control(int id, CSliderCtrl& slider);

private:
    CDialog& m_dialog;
    bool m_saveAndValidate;
};

} // namespace kestrin
