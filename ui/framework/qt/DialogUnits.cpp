#include "ui/framework/qt/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <cstdint>

namespace kestrin {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t half = (c < 0 ? -c : c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QFont DialogFont(int pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(pointSize > 0 ? pointSize : 8);
    return font;
}

QSize DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int extent = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return { (extent / 26 + 1) / 2, metrics.height() };
}

QRect MapDialogRect(const DialogUnitRect& rect, QSize baseUnits)
{
    const int bx = baseUnits.width();
    const int by = baseUnits.height();
    return { MulDiv(rect.x, bx, 4), MulDiv(rect.y, by, 8), MulDiv(rect.cx, bx, 4),
        MulDiv(rect.cy, by, 8) };
}

PixelRect ToPixelRect(const QRect& rect)
{
    return { rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height() };
}

} // namespace kestrin
