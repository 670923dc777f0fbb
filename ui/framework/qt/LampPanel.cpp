#include "ui/framework/qt/LampPanel.h"

#include "ui/framework/qt/DirectLamp.h"
#include "ui/framework/qt/DisplayConnection.h"
#include "ui/framework/qt/WinApp.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kestrin {
namespace {

bool IsX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool IsWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

class LampPanel::Surface final : public LampSurface {
public:
    explicit Surface(LampPanel& panel)
        : m_panel(panel)
    { }
    void FillSolid(const PixelRect& rect, Colour colour) override
    {
        m_panel.Draw({ false, colour, rect, m_panel.m_look.disc });
    }
    void Ellipse(const PixelRect& rect) override
    {
        m_panel.Draw({ true, m_panel.m_look.fill, m_panel.m_look.square, rect });
    }

private:
    LampPanel& m_panel;
};

bool LampPanel::Look::SamePixels(const Look& other) const
{
    if (lit != other.lit || fill != other.fill)
        return false;
    // A black square on the panel's black face shows nothing of its own.
    const bool squareShows = fill != kBlack;
    return (!squareShows || square == other.square) && (!lit || disc == other.disc);
}

LampPanel::LampPanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // On X11 a window of its own, for the lamp to be drawn onto directly during a send. On
    // Wayland a surface of its own would get no image until the send ended.
    if (IsX11())
        setAttribute(Qt::WA_NativeWindow);
    setAccessibleName(tr("Lamp"));
    setAccessibleDescription(tr("dark"));
}

LampPanel::~LampPanel() = default;

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

void LampPanel::Draw(const Look& look)
{
    const bool litChanged = look.lit != m_look.lit;
    const bool pixelsChange = !look.SamePixels(m_look);
    // What changes lies in the lamp as it was or as it becomes.
    const QRect changed = AreaOf(m_look) | AreaOf(look);
    m_look = look;
    if (pixelsChange) {
        // Both paths put the pixels on the screen before returning, while events stay queued.
        if (m_direct) {
            m_direct->Show(ImageOf(look), changed & rect());
        } else {
            repaint(changed);
            // Qt 6.4 sends a Wayland client's requests to the compositor only when its event
            // loop is about to block, which no send lets it do: tell it so.
            if (IsWayland())
                emit QAbstractEventDispatcher::instance()->aboutToBlock();
        }
        ++m_screenDraws;
    }
    // Only an assistive technology reads the description, so it changes only while one listens
    // (the change tells it): keeping it costs every element time on air. At rest the lamp is
    // dark, and so is the text.
    if (litChanged && QAccessible::isActive())
        setAccessibleDescription(look.lit ? tr("lit") : tr("dark"));
    // A send hears of a lost display only here and in its waits.
    if (pixelsChange && DisplayConnectionLost())
        EndOnLostDisplay();
}

QRect LampPanel::AreaOf(const Look& look) const
{
    return Scaled(look.square) | (look.lit ? Scaled(look.disc) : QRect());
}

const QImage& LampPanel::ImageOf(const Look& look)
{
    QImage& image = look.lit ? m_litImage : m_darkImage;
    Look& imageLook = look.lit ? m_litImageLook : m_darkImageLook;
    if (image.isNull() || image.size() != size() || !look.SamePixels(imageLook)) {
        // The whole panel as its own paint shows it, so that any part of it can be copied.
        image = QImage(size(), QImage::Format_RGB32);
        QPainter painter(&image);
        PaintPanel(painter, look);
        imageLook = look;
    }
    return image;
}

bool LampPanel::event(QEvent* event)
{
    // What the server is asked about the window, it is asked when the panel is shown, not in
    // the middle of a send. A new native window needs asking again; a new size, new images.
    switch (event->type()) {
    case QEvent::WinIdChange:
        m_direct.reset();
        m_directTried = false;
        [[fallthrough]];
    case QEvent::Resize:
        m_litImage = QImage();
        m_darkImage = QImage();
        break;
    default:
        break;
    }
    const bool handled = QFrame::event(event);
    if (!m_directTried && isVisible()
        && (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)) {
        m_directTried = true;
        // Straight onto the window only where widget pixels are the window's own.
        if (devicePixelRatioF() == 1.0)
            m_direct = DirectLamp::ForWidget(*this);
    }
    return handled;
}

void LampPanel::PaintLamp(QPainter& painter, const Look& look) const
{
    painter.fillRect(Scaled(look.square), QColor::fromRgb(look.fill));
    if (look.lit) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        const QRect disc = Scaled(look.disc);
        painter.drawEllipse(QRectF(disc).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void LampPanel::PaintPanel(QPainter& painter, const Look& look)
{
    painter.fillRect(rect(), Qt::black);
    PaintLamp(painter, look);
    drawFrame(&painter);
}

void LampPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PaintPanel(painter, m_look);
}

} // namespace kestrin
