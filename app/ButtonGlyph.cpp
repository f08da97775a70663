#include "ButtonGlyph.h"

#include <QBitmap>
#include <QColor>
#include <QImage>

QPixmap LoadButtonGlyph(const QString& resourcePath) {
    QImage image(resourcePath);
    if (image.isNull()) {
        return QPixmap();
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb background = image.pixel(0, image.height() - 1);
    // Compare the colour only: a background pixel that already carries some alpha must
    // still vanish, and no other pixel is touched.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == (background & 0x00FFFFFFu)) {
                line[x] = 0;
            }
        }
    }
    return QPixmap::fromImage(image);
}

QIcon LoadButtonGlyphIcon(const QString& resourcePath) {
    QIcon icon(LoadButtonGlyph(resourcePath));
    QPixmap large = LoadButtonGlyph(resourcePath + QStringLiteral("@2x"));
    if (!large.isNull()) {
        large.setDevicePixelRatio(2.0);
        icon.addPixmap(large);
    }
    return icon;
}
