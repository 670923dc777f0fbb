#pragma once

#include <QSlider>
#include <functional>

namespace kestrin {

// The trackbar control: a QSlider that reports when the mouse lets go of it after a click or a
// drag anywhere on it (the "released capture" notification), keeps its tick marks at the two
// ends of the range unless asked for one per value, and pages by a fifth of its range. It does
// not report keyboard moves.
class Trackbar : public QSlider {
public:
    Trackbar(Qt::Orientation orientation, bool tickEveryValue, QWidget* parent);

    void SetReleasedCaptureHandler(std::function<void()> handler);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void AdaptToRange();

    bool m_tickEveryValue;
    bool m_captured = false;
    std::function<void()> m_releasedCapture;
};

} // namespace kestrin
