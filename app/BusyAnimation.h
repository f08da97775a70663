#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

// The busy animation in the top bar: a clip stored as a horizontal strip of square frames,
// played in an endless loop while a scan runs. The frames advance only when the event loop
// runs, which during a scan happens whenever the walk lets pending events be processed.
class BusyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget* parent = nullptr);

    // Loads the strip at `resourcePath` (frames as wide as the strip is high) and sizes the
    // control to one frame. False when the resource cannot be read; the control then keeps
    // its size and shows nothing.
    bool LoadClip(const QString& resourcePath);

    // Shows the control and plays the clip from the current frame, looping.
    void Start();
    // Hides the control, stops playing and rewinds to the first frame.
    void Stop();

    bool IsPlaying() const { return timer_.isActive(); }
    int FrameCount() const { return frameCount_; }
    int CurrentFrame() const { return frame_; }
    // Moves to the next frame, after the last back to the first.
    void ShowNextFrame();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap strip_;
    QSize frameSize_;
    int frameCount_ = 0;
    int frame_ = 0;
    QTimer timer_;
};
