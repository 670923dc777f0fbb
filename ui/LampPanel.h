#pragma once

#include "engine/KeyerWindow.h"

#include <QFrame>
#include <memory>

namespace kestrin {

// The lamp panel: a black sunken panel on which keying draws the lamp. It keeps what was last
// drawn (the dark square or the lit disc) and paints it at once, because during a send the window
// thread only sleeps and nothing else would put it on screen. It does not time anything.
class LampPanel : public QFrame {
    Q_OBJECT

public:
    // The panel's width in pixels at 96 dpi with the 8-point dialog font; the lamp is scaled by
    // the panel's real size against it.
    static constexpr int kNominalSizePx = 154;

    explicit LampPanel(QWidget* parent = nullptr);

    bool IsLit() const { return m_lit; }
    // The drawing surface keying uses; valid while this panel lives.
    std::unique_ptr<LampSurface> GetSurface();
    // A template pixel rectangle mapped onto this panel's real size.
    QRect Scaled(const PixelRect& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Surface;
    void SetDrawing(bool lit, const PixelRect& rect, Colour fill);

    bool m_lit = false;
    bool m_drawn = false;
    PixelRect m_square {};
    PixelRect m_disc {};
    Colour m_fill = kBlack;
};

} // namespace kestrin
