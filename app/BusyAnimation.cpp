#include "BusyAnimation.h"

#include <QPainter>

namespace {
// The clip plays at 10 frames per second.
constexpr int FrameIntervalMs = 100;
} // namespace

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    timer_.setInterval(FrameIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &BusyAnimation::ShowNextFrame);
}

bool BusyAnimation::LoadClip(const QString& resourcePath) {
    QPixmap strip(resourcePath);
    if (strip.isNull() || strip.height() <= 0 || strip.width() < strip.height()) {
        return false;
    }
    // On a scaled screen the clip drawn at twice the size, where there is one, stays sharp.
    if (devicePixelRatioF() > 1.0) {
        const QPixmap large(resourcePath + QStringLiteral("@2x"));
        if (large.width() == 2 * strip.width() && large.height() == 2 * strip.height()) {
            strip = large;
            strip.setDevicePixelRatio(2.0);
        }
    }
    strip_ = strip;
    const int side = strip.height() / static_cast<int>(strip.devicePixelRatio());
    frameSize_ = QSize(side, side);
    frameCount_ = strip.width() / strip.height();
    frame_ = 0;
    setFixedSize(frameSize_);
    update();
    return true;
}

void BusyAnimation::Start() {
    show();
    timer_.start();
}

void BusyAnimation::Stop() {
    hide();
    timer_.stop();
    frame_ = 0;
    update();
}

void BusyAnimation::ShowNextFrame() {
    if (frameCount_ == 0) {
        return;
    }
    frame_ = (frame_ + 1) % frameCount_;
    update();
}

QSize BusyAnimation::sizeHint() const {
    return frameSize_.isValid() ? frameSize_ : QSize(16, 16);
}

void BusyAnimation::paintEvent(QPaintEvent*) {
    if (frameCount_ == 0) {
        return;
    }
    QPainter painter(this);
    // The source is in the strip's own pixels, twice the frame size in a "@2x" strip.
    const int pixels = strip_.height();
    const QRect source(frame_ * pixels, 0, pixels, pixels);
    QRect target(QPoint(0, 0), frameSize_);
    target.moveCenter(rect().center());
    painter.drawPixmap(target, strip_, source);
}
