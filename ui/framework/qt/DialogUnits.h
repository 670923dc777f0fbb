#pragma once

#include "resources/DialogTemplate.h"
#include "ui/framework/Placement.h"

#include <QFont>
#include <QRect>
#include <QSize>

namespace kestrin {

// a * b / c rounded to the nearest integer, halves away from zero, as the dialog manager scales.
int MulDiv(int a, int b, int c);

// The font dialogs are laid out in: the desktop's sans-serif UI font at the template's size. The
// templates name "MS Sans Serif", which Linux does not have.
QFont DialogFont(int pointSize);

// Base units of a dialog font: the average character width as the dialog manager measures it
// (the width of "A..Za..z" over 52, rounded) and the character height.
QSize DialogBaseUnits(const QFont& font);

// Dialog units to pixels: x and width by a quarter of the base width, y and height by an eighth
// of the base height.
QRect MapDialogRect(const DialogUnitRect& rect, QSize baseUnits);

// The same rectangle in the framework's portable terms.
PixelRect ToPixelRect(const QRect& rect);

} // namespace kestrin
