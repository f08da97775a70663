#include "WindowGeometry.h"

#include <algorithm>

namespace {

// The start and length of a span of `length` wanted at `start`, kept within the span of
// `areaLength` from `areaStart`.
void FitSpan(int& start, int& length, int areaStart, int areaLength) {
    if (areaLength <= 0) {
        return;
    }
    length = std::min(length, areaLength);
    start = std::clamp(start, areaStart, areaStart + areaLength - length);
}

} // namespace

WindowBounds InitialWindowBounds(int screenWidth, int screenHeight, const WindowBounds& workArea,
                                 int minimumWidth, int minimumHeight, int margin) {
    WindowBounds frame;
    frame.Width = std::max(minimumWidth, screenWidth - margin);
    frame.Height = std::max(minimumHeight, screenHeight - margin);
    frame.Left = (screenWidth - frame.Width) / 2;
    frame.Top = (screenHeight - frame.Height) / 2;
    // A small or scaled screen, or one with panels, cannot take the design's minimum: the
    // window shrinks to what is there rather than hang its title bar off screen.
    FitSpan(frame.Left, frame.Width, workArea.Left, workArea.Width);
    FitSpan(frame.Top, frame.Height, workArea.Top, workArea.Height);
    return frame;
}
