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
    strip_ = strip;
    frameSize_ = QSize(strip.height(), strip.height());
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
    const QRect source(frame_ * frameSize_.width(), 0, frameSize_.width(), frameSize_.height());
    QRect target(QPoint(0, 0), frameSize_);
    target.moveCenter(rect().center());
    painter.drawPixmap(target, strip_, source);
}
