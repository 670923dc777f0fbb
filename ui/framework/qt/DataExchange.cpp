#include "ui/framework/DataExchange.h"

#include "ui/framework/qt/Dialog.h"
#include "ui/framework/qt/SliderCtrl.h"

#include <QSlider>

namespace kestrin {

void CDataExchange::Control(int id, CSliderCtrl& slider)
{
    slider.Attach(qobject_cast<QSlider*>(m_dialog.GetDlgItem(id)));
}

} // namespace kestrin
