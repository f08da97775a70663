#include "window/WindowGeometry.h"

#include <gtest/gtest.h>

namespace {

// The design's size rules on whole screens, and the same window kept within what a screen
// leaves free: a panel, a taskbar, a screen scaled to twice its size.
TEST(WindowGeometry, TheFrameFollowsTheScreenAndStaysWithinItsFreeArea) {
    struct Case {
        const char* Name;
        int ScreenWidth;
        int ScreenHeight;
        WindowBounds Free;
        WindowBounds Expected;
    };
    const Case cases[] = {
        {"1024x768", 1024, 768, {0, 0, 1024, 768}, {100, 100, 824, 568}},
        {"800x600 keeps the minimum", 800, 600, {0, 0, 800, 600}, {82, 62, 635, 475}},
        {"narrower than 835", 834, 900, {0, 0, 834, 900}, {99, 100, 635, 700}},
        {"1920x1080", 1920, 1080, {0, 0, 1920, 1080}, {100, 100, 1720, 880}},
        // A screen smaller than the minimum: the window takes the screen, title bar on it.
        {"smaller than the minimum", 600, 400, {0, 0, 600, 400}, {0, 0, 600, 400}},
        // 1366x768 at twice the scale is 683x384; a panel of 14 at the top.
        {"scaled twice with a top panel", 683, 384, {0, 14, 683, 370}, {24, 14, 635, 370}},
        // A taskbar of 40 on the left moves the window right, not off the free area.
        {"taskbar on the left", 800, 600, {40, 0, 760, 600}, {82, 62, 635, 475}},
        {"wide taskbar on the left", 700, 600, {100, 0, 600, 600}, {100, 62, 600, 475}},
        {"taskbar at the bottom", 800, 520, {0, 0, 800, 480}, {82, 5, 635, 475}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const WindowBounds frame = InitialWindowBounds(c.ScreenWidth, c.ScreenHeight, c.Free);
        EXPECT_EQ(frame, c.Expected)
            << frame.Left << "," << frame.Top << " " << frame.Width << "x" << frame.Height;
        EXPECT_GE(frame.Left, c.Free.Left);
        EXPECT_GE(frame.Top, c.Free.Top);
        EXPECT_LE(frame.Left + frame.Width, c.Free.Left + c.Free.Width);
        EXPECT_LE(frame.Top + frame.Height, c.Free.Top + c.Free.Height);
    }
    // The Win32 face passes its figures in the monitor's pixels: at 192 DPI the minimum is
    // 1270 x 950, which a 1366x768 screen with a taskbar of 40 cannot hold.
    EXPECT_EQ(InitialWindowBounds(1366, 768, {0, 0, 1366, 728}, 1270, 950, 400),
              (WindowBounds{48, 0, 1270, 728}));
    // No free area known: the design's rules alone.
    EXPECT_EQ(InitialWindowBounds(600, 400, {}), (WindowBounds{-17, -37, 635, 475}));
}

} // namespace
