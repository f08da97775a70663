#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// Loads a button glyph from the program's resources with the colour of its bottom-left
// pixel made transparent, as the glyphs are drawn on a solid background colour. A missing
// resource gives a null pixmap.
QPixmap LoadButtonGlyph(const QString& resourcePath);

// The glyph as an icon for the button: the glyph and, where the resources hold one, its
// twice-as-large drawing ("@2x" after the name) for screens scaled to 200 %, each keyed
// as LoadButtonGlyph does.
QIcon LoadButtonGlyphIcon(const QString& resourcePath);
