#include "WindowGeometry.h"

#include <algorithm>

QRect InitialWindowGeometry(QSize screenSize) {
    const int width = std::max(635, screenSize.width() - 200);
    const int height = std::max(475, screenSize.height() - 200);
    // On a screen smaller than the minimum the window sticks out on both sides alike; C++
    // division truncates toward zero, which keeps that symmetric.
    const int left = (screenSize.width() - width) / 2;
    const int top = (screenSize.height() - height) / 2;
    return QRect(left, top, width, height);
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
