#pragma once

#include <QPointer>
#include <QSlider>

namespace kestrin {

// A dialog's trackbar as a member: bound to its control by data exchange, it sets and reads the
// range and position. Unbound, or once its control is gone, it does nothing and reads 0.
class CSliderCtrl {
public:
    void Attach(QSlider* slider) { m_slider = slider; }
    QSlider* Slider() const { return m_slider; }

    // A changed slider repaints itself; `redraw` only asks for it at once.
    void SetRange(int minimum, int maximum, bool redraw = false);
    int GetRangeMin() const;
    int GetRangeMax() const;

    // A position outside the range shows at the nearer end.
    void SetPos(int position);
    int GetPos() const;

private:
    QPointer<QSlider> m_slider;
};

} // namespace kestrin
