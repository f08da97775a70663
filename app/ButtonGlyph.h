#pragma once

#include <QPixmap>
#include <QString>

// Loads a button glyph from the program's resources with the colour of its bottom-left
// pixel made transparent, as the glyphs are drawn on a solid background colour. A missing
// resource gives a null pixmap.
QPixmap LoadButtonGlyph(const QString& resourcePath);
