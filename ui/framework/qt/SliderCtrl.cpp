#include "ui/framework/qt/SliderCtrl.h"

namespace kestrin {

void CSliderCtrl::SetRange(int minimum, int maximum, bool redraw)
{
    if (!m_slider)
        return;
    m_slider->setRange(minimum, maximum);
    if (redraw)
        m_slider->update();
}

int CSliderCtrl::GetRangeMin() const
{
    return m_slider ? m_slider->minimum() : 0;
}

int CSliderCtrl::GetRangeMax() const
{
    return m_slider ? m_slider->maximum() : 0;
}

void CSliderCtrl::SetPos(int position)
{
    if (m_slider)
        m_slider->setValue(position);
}

int CSliderCtrl::GetPos() const
{
    return m_slider ? m_slider->value() : 0;
}

} // namespace kestrin
