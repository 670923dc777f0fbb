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

QRect CentredInWorkArea(QSize size, const QRect& centreOn, const QRect& workArea)
{
    // Edges as the platform keeps them: right and bottom exclusive.
    const int centreRight = centreOn.x() + centreOn.width();
    const int centreBottom = centreOn.y() + centreOn.height();
    const int areaRight = workArea.x() + workArea.width();
    const int areaBottom = workArea.y() + workArea.height();

    int left = (centreOn.x() + centreRight) / 2 - size.width() / 2;
    int top = (centreOn.y() + centreBottom) / 2 - size.height() / 2;
    if (left < workArea.x())
        left = workArea.x();
    else if (left + size.width() > areaRight)
        left = areaRight - size.width();
    if (top < workArea.y())
        top = workArea.y();
    else if (top + size.height() > areaBottom)
        top = areaBottom - size.height();
    return { QPoint(left, top), size };
}

} // namespace kestrin
