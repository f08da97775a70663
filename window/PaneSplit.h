#pragma once

// How the list and the report page under it share the window's height, and which size of
// the window's pictures suits a screen. Sizes are pixels of the screen the window is on.

// The heights of the list and of the report page.
struct PaneHeights {
    int List = 0;
    int Report = 0;
};

// The list keeps at least this many rows (below its header) while the window has room.
inline constexpr int MinimumListRows = 3;

// The panes in `room` pixels, given the heights the user last chose (or the start's):
// with room to spare the list takes what the window gained and the report keeps its
// height; with less, both give up height in proportion to their chosen heights, but the
// list keeps `minimumListHeight` as long as the room holds it (the report then gives the
// rest). The chosen heights are not changed, so a window made smaller and larger again is
// as it was. Negative values count as 0.
PaneHeights SplitListAndReport(int room, PaneHeights chosen, int minimumListHeight);

// The version of the window's pictures (the button's glyphs, the busy clip) for a screen of
// `dpi` dots per inch, in percent of the design size: the largest of 100, 150 and 200 that
// is not larger than the design size scaled to the screen, so that a picture is never
// drawn larger than its place.
int PictureScalePercent(int dpi);
