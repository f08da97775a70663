#pragma once

// Scans recorded whole, to compare the walk with read-ahead threads against the walk that
// reads each folder itself: every window call, the final list and the icons asked for.
#include "RecordingWindow.h"

#include "platform/fs/Paths.h"
#include "scan/ScanEngine.h"
#include "scan/StopRequested.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace scancomparison {

// Everything one scan showed: the window's calls, the final list, the files whose icons were
// asked for, and the most read-ahead threads seen during the scan.
struct ScanRecord {
    std::vector<std::string> Lines;
    std::vector<std::string> List;
    std::vector<std::string> IconsAsked;
    std::uint32_t FileCount = 0;
    int MostThreadsDuringScan = 0;
};

// The read-ahead threads of this process running now, where the suite can tell; the scans
// record the most seen at a few points. Unset, they record 0.
inline std::function<int()> CountThreads;

// One scan of `root` by `engine`, stopped at processing point `stopAt` when it is above 0;
// `onProcess` runs at every processing point with its number.
inline ScanRecord RecordScan(ScanEngine& engine, RecordingWindow& window, FixedIcons& icons,
                             const std::string& root, int stopAt,
                             const std::function<void(int)>& onProcess = {}) {
    window.Lines.clear();
    window.ProcessCount = 0;
    window.StopAtProcess = stopAt;
    icons.Asked.clear();
    ScanRecord record;
    window.OnProcess = [&](int count) {
        if (onProcess)
            onProcess(count);
        // Looking at the threads costs time: at a few points only.
        if (count <= 3 || count % 1000 == 0)
            if (CountThreads)
                record.MostThreadsDuringScan =
                    std::max(record.MostThreadsDuringScan, CountThreads());
    };
    engine.StartScan(root);
    window.OnProcess = nullptr;
    record.Lines = window.Lines;
    // The totals' second and third panels relate to the disk's used space, which other
    // programs change between two scans; the first is the listed total alone.
    for (std::string& line : record.Lines)
        if (line.rfind("totals ", 0) == 0)
            line.erase(std::min(line.size(), line.find('|')));
    for (const ResultEntry& entry : engine.List().Entries())
        record.List.push_back(JoinPath(entry.FolderText, entry.Caption) + "\t" +
                              std::to_string(entry.SizeValue) + "\t" + entry.DateText + "\t" +
                              std::to_string(entry.IconIndex));
    record.IconsAsked = icons.Asked;
    record.FileCount = engine.State().FileCount;
    return record;
}

// One scan of `root` with `threads`, by a fresh engine.
inline ScanRecord ScanWith(const std::string& root, int threads, int stopAt = 0,
                           const std::function<void(int)>& onProcess = {}) {
    StopRequested = false;
    RecordingWindow window;
    FixedIcons icons;
    ScanEngine engine(window, icons);
    engine.SetWalkThreads(threads);
    return RecordScan(engine, window, icons, root, stopAt, onProcess);
}

inline std::string FirstDifference(const std::vector<std::string>& expected,
                                   const std::vector<std::string>& actual,
                                   const std::string& what) {
    const std::size_t common = std::min(expected.size(), actual.size());
    for (std::size_t i = 0; i < common; ++i)
        if (expected[i] != actual[i])
            return what + " " + std::to_string(i) + ": expected \"" + expected[i] + "\", got \"" +
                   actual[i] + "\"";
    if (expected.size() != actual.size())
        return what + ": expected " + std::to_string(expected.size()) + " lines, got " +
               std::to_string(actual.size());
    return "";
}

// "" when the two scans showed the same, else the first difference.
inline std::string Difference(const ScanRecord& single, const ScanRecord& threaded) {
    std::string difference = FirstDifference(single.Lines, threaded.Lines, "window call");
    if (difference.empty())
        difference = FirstDifference(single.List, threaded.List, "list entry");
    if (difference.empty())
        difference = FirstDifference(single.IconsAsked, threaded.IconsAsked, "icon request");
    return difference;
}

} // namespace scancomparison
