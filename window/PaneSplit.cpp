#include "PaneSplit.h"

#include <algorithm>
#include <cstdint>

PaneHeights SplitListAndReport(int room, PaneHeights chosen, int minimumListHeight) {
    room = std::max(room, 0);
    const int chosenList = std::max(chosen.List, 0);
    const int chosenReport = std::max(chosen.Report, 0);
    const int chosenTotal = chosenList + chosenReport;
    PaneHeights split;
    if (room >= chosenTotal) {
        split.Report = chosenReport;
    } else {
        // 64 bits: heights times heights can pass what an int holds.
        split.Report = static_cast<int>(static_cast<std::int64_t>(chosenReport) * room /
                                        std::max(chosenTotal, 1));
    }
    split.List = room - split.Report;
    const int floor = std::min(std::max(minimumListHeight, 0), room);
    if (split.List < floor) {
        split.List = floor;
        split.Report = room - floor;
    }
    return split;
}

int PictureScalePercent(int dpi) {
    // The design size is 96 dpi; 150 % fits from 144, 200 % from 192.
    if (dpi >= 192) {
        return 200;
    }
    if (dpi >= 144) {
        return 150;
    }
    return 100;
}
