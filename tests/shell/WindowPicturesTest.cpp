#include <QImage>
#include <QSet>
#include <QTest>

// The window's pictures as the program finds them among its resources.
class WindowPicturesTest : public QObject {
    Q_OBJECT

private:
    // The share of pixels, in per cent, that differ from `colour` (the glyph itself).
    static int DrawnPercent(const QImage& image, QRgb colour) {
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != colour) {
                    ++drawn;
                }
            }
        }
        return drawn * 100 / (image.width() * image.height());
    }

private slots:
    void GlyphsHaveAKeyColourInTheBottomLeftPixel_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("stop") << ":/glyphs/STOP";
        QTest::newRow("folder") << ":/glyphs/ORDNER";
    }

    void GlyphsHaveAKeyColourInTheBottomLeftPixel() {
        QFETCH(QString, name);
        const QImage glyph(name);
        QVERIFY2(!glyph.isNull(), qPrintable(name));
        QCOMPARE(glyph.size(), QSize(24, 24));
        const QRgb key = glyph.pixel(0, 23);
        // The key colour is the background: it also fills the corners, and the picture
        // itself covers a good part of the square without using it.
        QCOMPARE(glyph.pixel(0, 0), key);
        QCOMPARE(glyph.pixel(23, 23), key);
        const int drawn = DrawnPercent(glyph, key);
        QVERIFY2(drawn > 40 && drawn < 95, qPrintable(QString::number(drawn)));
        // After keying out the background nothing of it may remain as a fringe.
        const QImage mask = glyph.createMaskFromColor(key, Qt::MaskOutColor);
        QCOMPARE(mask.pixelIndex(0, 23), 0);
    }

    void BusyClipHasEightDistinctFrames() {
        const QImage clip(QStringLiteral(":/animation/152"));
        QVERIFY(!clip.isNull());
        QCOMPARE(clip.size(), QSize(128, 16));
        QVERIFY(clip.hasAlphaChannel());
        QSet<QByteArray> frames;
        for (int frame = 0; frame < 8; ++frame) {
            const QImage image =
                clip.copy(frame * 16, 0, 16, 16).convertToFormat(QImage::Format_ARGB32);
            QVERIFY(DrawnPercent(image, qRgba(0, 0, 0, 0)) > 10);
            frames.insert(
                QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QCOMPARE(frames.size(), 8);
    }

    void ProgramIconComesInThreeSizes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::newRow("16") << ":/icons/bulkon-16" << 16;
        QTest::newRow("24") << ":/icons/bulkon-24" << 24;
        QTest::newRow("32") << ":/icons/bulkon-32" << 32;
    }

    void ProgramIconComesInThreeSizes() {
        QFETCH(QString, name);
        QFETCH(int, size);
        const QImage icon(name);
        QVERIFY2(!icon.isNull(), qPrintable(name));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
        // Transparent round the edge, drawn in the middle.
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(icon.pixel(size / 4, size / 4)), 255);
    }
};

QTEST_GUILESS_MAIN(WindowPicturesTest)
#include "WindowPicturesTest.moc"
