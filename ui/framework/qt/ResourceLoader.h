#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace kestrin {

// Text as the user interface shows it.
using UiString = QString;
using Icon = QIcon;

// The icon with this resource id in all its images; null when there is none.
QIcon LoadIconResource(int id);

// The icon's image drawn for `size` x `size` pixels, unscaled; null when there is none.
QPixmap LoadIconImage(int id, int size);

// The string-table entry with this id; empty when there is none.
QString LoadStringResource(int id);

} // namespace kestrin
