#include "ui/LampPanel.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kestrin {

class LampPanel::Surface final : public LampSurface {
public:
    explicit Surface(LampPanel& panel)
        : m_panel(panel)
    { }
    void FillSolid(const PixelRect& rect, Colour colour) override
    {
        m_panel.SetDrawing(false, rect, colour);
    }
    void Ellipse(const PixelRect& rect) override { m_panel.SetDrawing(true, rect, m_panel.m_fill); }

private:
    LampPanel& m_panel;
};

LampPanel::LampPanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Lamp"));
    setAccessibleDescription(tr("dark"));
}

std::unique_ptr<LampSurface> LampPanel::GetSurface()
{
    return std::make_unique<Surface>(*this);
}

QRect LampPanel::Scaled(const PixelRect& rect) const
{
    const double scale = std::min(width(), height()) / double(kNominalSizePx);
    const auto at = [scale](int v) { return int(std::lround(v * scale)); };
    return QRect(
        QPoint(at(rect.left), at(rect.top)), QPoint(at(rect.right) - 1, at(rect.bottom) - 1));
}

void LampPanel::SetDrawing(bool lit, const PixelRect& rect, Colour fill)
{
    if (lit) {
        m_disc = rect;
    } else {
        m_square = rect;
        m_fill = fill;
    }
    m_drawn = true;
    const bool changed = lit != m_lit;
    m_lit = lit;
    // Synchronous: the pixels must reach the screen while the caller goes on to sleep.
    repaint();
    if (changed) {
        setAccessibleDescription(lit ? tr("lit") : tr("dark"));
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void LampPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_drawn) {
        painter.fillRect(Scaled(m_square), QColor::fromRgb(m_fill));
        if (m_lit) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(Qt::black, 1));
            painter.setBrush(Qt::white);
            const QRect disc = Scaled(m_disc);
            painter.drawEllipse(QRectF(disc).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
    drawFrame(&painter);
}

} // namespace kestrin
