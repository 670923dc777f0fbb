#include "ui/framework/qt/Trackbar.h"

#include <QMouseEvent>
#include <algorithm>

namespace kestrin {

Trackbar::Trackbar(Qt::Orientation orientation, bool tickEveryValue, QWidget* parent)
    : QSlider(orientation, parent)
    , m_tickEveryValue(tickEveryValue)
{
    setRange(0, 100);
    connect(this, &QAbstractSlider::rangeChanged, this, [this] { AdaptToRange(); });
    AdaptToRange();
}

void Trackbar::SetReleasedCaptureHandler(std::function<void()> handler)
{
    m_releasedCapture = std::move(handler);
}

void Trackbar::AdaptToRange()
{
    const int span = maximum() - minimum();
    setTickInterval(m_tickEveryValue ? 1 : std::max(span, 1));
    setPageStep(std::max(span / 5, 1));
}

void Trackbar::mousePressEvent(QMouseEvent* event)
{
    QSlider::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_captured = true;
}

void Trackbar::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    // QSlider::sliderReleased comes only after dragging the handle; a click on the groove, which
    // pages the slider, must be reported as well.
    if (event->button() == Qt::LeftButton && m_captured) {
        m_captured = false;
        if (m_releasedCapture)
            m_releasedCapture();
    }
}

} // namespace kestrin
