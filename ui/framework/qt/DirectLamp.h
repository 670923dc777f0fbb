#pragma once

#include <QImage>
#include <QRect>
#include <memory>

class QWidget;

namespace kestrin {

// Puts ready-made images straight onto a widget's own X11 window and flushes the connection
// without waiting for any reply, so that they are on the screen while the window thread goes on
// to sleep. Each image is uploaded to the X server once, as a pixmap, and then only copied. Draws
// nothing on its own and keeps no state of the widget: the widget's normal paint must produce the
// same pixels once events flow again.
class DirectLamp {
public:
    // Null unless the program runs on X11 and the widget's window takes 32-bit little-endian RGB
    // pixels; the caller then draws through Qt instead.
    static std::unique_ptr<DirectLamp> ForWidget(QWidget& widget);
    ~DirectLamp();
    DirectLamp(const DirectLamp&) = delete;
    DirectLamp& operator=(const DirectLamp&) = delete;

    // Copies the part `area` of image onto the same place of the window (window pixels).
    void Show(const QImage& image, const QRect& area);

private:
    struct X11;
    explicit DirectLamp(std::unique_ptr<X11> x11);
    std::unique_ptr<X11> m_x11;
};

} // namespace kestrin
