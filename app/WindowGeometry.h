#pragma once

#include <QRect>
#include <QSize>

// The main window's size rules, kept free of widgets so that they can be checked for any
// screen.

// The window's frame on a screen of `screenSize` whose available area is `available`: at
// least 635 x 475, otherwise 200 pixels smaller than the screen in each direction, centred
// (integer division toward zero), and kept within the available area (InitialWindowBounds).
QRect InitialWindowGeometry(QSize screenSize, const QRect& available);

// The list's height at start: half the client height, a half rounded to the even neighbour.
int InitialListHeight(int clientHeight);

// The folder column takes what the three other columns and twice the width of a vertical
// scroll bar leave of the client width; never less than `minimumWidth`.
int FolderColumnWidth(int clientWidth, int column0Width, int column2Width, int column3Width,
                      int scrollBarWidth, int minimumWidth);
