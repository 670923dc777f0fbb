#pragma once

#include "engine/KeyerWindow.h"

#include <QFrame>
#include <QImage>
#include <memory>

namespace kestrin {

class DirectLamp;

// The lamp panel: a black sunken panel on which keying draws the lamp. During a send the window
// thread only sleeps, so each drawing that changes the lamp is put on the screen at once: on X11
// straight onto the panel's own window, without a round trip to the server; elsewhere by a
// synchronous repaint. A drawing that would change no pixel is not sent at all. The panel's normal
// paint shows the same lamp once events flow. It does not time anything.
class LampPanel : public QFrame {
    Q_OBJECT

public:
    // The panel's width in pixels at 96 dpi with the 8-point dialog font; the lamp is scaled by
    // the panel's real size against it.
    static constexpr int kNominalSizePx = 154;

    explicit LampPanel(QWidget* parent = nullptr);
    ~LampPanel() override;

    bool IsLit() const { return m_look.lit; }
    // Drawings that reached the screen (changed its pixels) since the panel was made.
    int ScreenDraws() const { return m_screenDraws; }
    // The drawing surface keying uses; valid while this panel lives.
    std::unique_ptr<LampSurface> GetSurface();
    // A template pixel rectangle mapped onto this panel's real size.
    QRect Scaled(const PixelRect& rect) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class Surface;
    // What the lamp shows: the dark square in the lamp-off colour, and the lit disc over it.
    struct Look {
        bool lit = false;
        Colour fill = kBlack;
        PixelRect square {};
        PixelRect disc {};
        bool SamePixels(const Look& other) const;
    };

    void Draw(const Look& look);
    QRect AreaOf(const Look& look) const;
    void PaintLamp(QPainter& painter, const Look& look) const;
    void PaintPanel(QPainter& painter, const Look& look);
    const QImage& ImageOf(const Look& look);

    Look m_look; // as last drawn, and so as the screen shows it
    int m_screenDraws = 0;
    std::unique_ptr<DirectLamp> m_direct;
    bool m_directTried = false;
    // The panel as last put on the screen directly, lit and dark.
    QImage m_litImage;
    QImage m_darkImage;
    Look m_litImageLook;
    Look m_darkImageLook;
};

} // namespace kestrin
