#include "ui/DataExchange.h"

#include "ui/Dialog.h"
#include "ui/DialogControls.h"
#include "ui/DialogWindow.h"
#include "ui/SliderCtrl.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>

namespace kestrin {

void CDataExchange::Control(int id, CSliderCtrl& slider)
{
    slider.Attach(qobject_cast<QSlider*>(m_dialog.GetDlgItem(id)));
}

void CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
}

void CDialog::DoDataExchange(CDataExchange&) { }

QWidget* CDialog::GetDlgItem(int id) const
{
    for (const Control& control : m_controls) {
        if (control.source->id == id)
            return control.widget.data();
    }
    return nullptr;
}

const CDialog::Control* CDialog::ControlOf(const QObject* object) const
{
    for (; object != nullptr && object != m_window; object = object->parent()) {
        for (const Control& control : m_controls) {
            if (control.widget == object)
                return &control;
        }
    }
    return nullptr;
}

void CDialog::SetDlgItemText(int id, const QString& text)
{
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const Control* control = ControlOf(widget);
        label->setText(StaticText(text, control->source->style));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->setPlainText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(text);
    } else if (widget != nullptr) {
        widget->setWindowTitle(text);
    }
}

QString CDialog::GetDlgItemText(int id) const
{
    const QWidget* widget = GetDlgItem(id);
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget))
        return edit->toPlainText();
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return line->text();
    return widget != nullptr ? widget->windowTitle() : QString();
}

} // namespace kestrin
