#include "WindowGeometry.h"

#include "window/WindowGeometry.h"

#include <algorithm>

QRect InitialWindowGeometry(QSize screenSize, const QRect& available) {
    const WindowBounds frame =
        InitialWindowBounds(screenSize.width(), screenSize.height(),
                            {available.x(), available.y(), available.width(), available.height()});
    return QRect(frame.Left, frame.Top, frame.Width, frame.Height);
}

int InitialListHeight(int clientHeight) {
    const int half = clientHeight / 2;
    if (clientHeight % 2 == 0) {
        return half;
    }
    // An odd height leaves exactly a half: it goes to the even neighbour.
    const int up = clientHeight > 0 ? half + 1 : half - 1;
    return half % 2 == 0 ? half : up;
}

int FolderColumnWidth(int clientWidth, int column0Width, int column2Width, int column3Width,
                      int scrollBarWidth, int minimumWidth) {
    const int width = clientWidth - column0Width - column2Width - column3Width - 2 * scrollBarWidth;
    return std::max(width, minimumWidth);
}
