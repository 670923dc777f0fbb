#include "ui/framework/qt/ResourceLoader.h"

#include "resources/DialogTemplate.h"
#include "resources/Resource.h"

namespace kestrin {

QPixmap LoadIconImage(int id, int size)
{
    if (id != IDR_MAINFRAME || (size != 16 && size != 32))
        return {};
    return QPixmap(QStringLiteral(":/kestrin/icons/kestrin-%1.png").arg(size));
}

QIcon LoadIconResource(int id)
{
    QIcon icon;
    for (int size : { 16, 32 }) {
        const QPixmap image = LoadIconImage(id, size);
        if (!image.isNull())
            icon.addPixmap(image);
    }
    return icon;
}

QString LoadStringResource(int id)
{
    const std::string_view text = LoadResourceString(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace kestrin
