#pragma once

// A rectangle on the screen in pixels: the window's frame, or a screen's available area.
struct WindowBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const WindowBounds&) const = default;
};

// The main window's frame at start, for a screen of `screenWidth` x `screenHeight` pixels
// whose available area (the screen without taskbars, docks and panels) is `workArea`: the
// larger of the minimum size and the screen less `margin` in each direction, centred on the
// screen (integer division toward zero). Then it is made no larger than the available area
// and moved into it, so that the whole frame, title bar included, is on screen however the
// screen is scaled. The faces pass the design's figures in their own pixels.
WindowBounds InitialWindowBounds(int screenWidth, int screenHeight, const WindowBounds& workArea,
                                 int minimumWidth = 635, int minimumHeight = 475, int margin = 200);
