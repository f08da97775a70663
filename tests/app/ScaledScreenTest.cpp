// On a screen scaled to 200 % the program icon, the button glyphs and the busy animation are
// drawn from their twice-as-large pictures, so that they stay sharp.
#include "AppTestSupport.h"
#include "app/BusyAnimation.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

namespace {
// Before the QApplication exists: the scale is read when it starts.
const bool scaledScreen = qputenv("QT_SCALE_FACTOR", "2");
} // namespace

class ScaledScreenTest : public QObject {
    Q_OBJECT
private slots:
    void PicturesAreDrawnAtTwiceTheirSize();
};

void ScaledScreenTest::PicturesAreDrawnAtTwiceTheirSize() {
    QVERIFY(scaledScreen);
    FakeShellServices shell;
    RecordingForm form(shell);
    QCOMPARE(form.devicePixelRatioF(), 2.0);

    const QPixmap logo = form.AppImage->pixmap();
    QCOMPARE(logo.deviceIndependentSize().toSize(), QSize(32, 32));
    QCOMPARE(logo.size(), QSize(64, 64));

    form.ShowButton(WindowFace::Glyph::Stop, "Stop");
    const QPixmap glyph = form.BrowseSpeedButton->icon().pixmap(QSize(24, 24), 2.0);
    QCOMPARE(glyph.size(), QSize(48, 48));
    // Keyed like the small one: the bottom-left corner is transparent.
    QCOMPARE(qAlpha(glyph.toImage().pixel(0, 47)), 0);

    // The busy animation keeps its size on screen and paints with the large frames.
    QCOMPARE(form.Animate->size(), QSize(16, 16));
    form.StartBusyAnimation();
    QImage frame(QSize(32, 32), QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(2.0);
    frame.fill(Qt::transparent);
    form.Animate->render(&frame);
    const QImage large = QImage(QStringLiteral(":/animation/152@2x"))
                             .copy(0, 0, 32, 32)
                             .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(large.size(), QSize(32, 32));
    int differing = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            differing += std::abs(qAlpha(frame.pixel(x, y)) - qAlpha(large.pixel(x, y))) > 2;
        }
    }
    // The first frame as drawn at 32 pixels, not the 16-pixel one blown up.
    QCOMPARE(differing, 0);
    form.StopBusyAnimation();
}

QTEST_MAIN(ScaledScreenTest)
#include "ScaledScreenTest.moc"
