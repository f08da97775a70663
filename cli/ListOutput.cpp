#include "ListOutput.h"

#include "JsonText.h"
#include "ListWindow.h"

#include "platform/fs/LocalTime.h"
#include "platform/fs/Paths.h"
#include "scan/ResultList.h"
#include "scan/ScanEngine.h"
#include "scan/TextFormat.h"
#include "scan/Totals.h"

#include <algorithm>
#include <cstdio>

namespace {

// A string member: `"key": "text"`, and for bytes that are not UTF-8 also
// `"key_base64": "..."` with the bytes as they are.
std::string BytesMember(const std::string& key, const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        return JsonQuoted(key) + ": " + JsonQuoted(bytes);
    }
    return JsonQuoted(key) + ": " + JsonQuoted(WithReplacementCharacters(bytes)) + ", " +
           JsonQuoted(key + "_base64") + ": " + JsonQuoted(Base64(bytes));
}

std::string FullPath(const ResultEntry& entry) {
    return JoinPath(entry.FolderText, entry.Caption);
}

} // namespace

LocaleFormat ListLocaleFormat() {
    LocaleFormat format;
    format.DecimalSeparator = ".";
    format.ShortDatePattern = "yyyy-MM-dd";
    format.TimeSeparator = ":";
    format.HourLeadingZero = true;
    format.TwentyFourHour = true;
    return format;
}

std::string ListDateTime(std::int64_t unixSeconds) {
    const LocalDateTime time = ToLocalDateTime(unixSeconds);
    // Beyond four digits of year the text would no longer sort, nor parse, as a date.
    if (!time.Converted || time.Year < 0 || time.Year > 9999) {
        return UnconvertedTimeText(unixSeconds);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.Year, time.Month,
                  time.Day, time.Hour, time.Minute, time.Second);
    return text;
}

namespace {

// One record per entry: the size, the date and the path, separated by tabs, ended by `end`.
std::string ListRecords(const ResultList& list, bool escapePaths, char end) {
    std::string text;
    for (const ResultEntry& entry : list.Entries()) {
        text += std::to_string(entry.SizeValue);
        text += '\t';
        text += ListDateTime(entry.LastWriteTime);
        text += '\t';
        // A name may hold line ends, tabs and terminal commands: written raw in a line, it
        // could pass for a line of its own, or retitle the terminal.
        text += escapePaths ? EscapedText(FullPath(entry)) : FullPath(entry);
        text += end;
    }
    return text;
}

} // namespace

std::string ListText(const ResultList& list) {
    return ListRecords(list, true, '\n');
}

std::string ListNulEnded(const ResultList& list) {
    return ListRecords(list, false, '\0');
}

std::string ListJson(const ScanEngine& engine, const ListWindow& window) {
    const ScanState& state = engine.State();
    const TotalsFigures figures = ComputeTotals(state);
    // As on the totals bar: with fewer than 100 files counted, all of them are listed.
    const long double shareOfFiles = std::min(figures.ShareOfFiles, 100.0L);

    std::string json = "{\n";
    json += "  " + BytesMember("root", state.ScanRoot) + ",\n";
    json += "  " + BytesMember("volume", engine.VolumeLabel()) + ",\n";
    json += std::string("  \"completed\": ") + (window.Completed() ? "true" : "false") + ",\n";
    json += "  \"files_counted\": " + std::to_string(state.FileCount) + ",\n";
    json += "  \"unreadable_folders\": " + std::to_string(state.UnreadableFolderCount) + ",\n";
    json += "  \"other_drive_folders\": " + std::to_string(state.SkippedMountCount) + ",\n";
    json += "  \"unanswered_folders\": " + std::to_string(state.UnansweredFolderCount) + ",\n";
    json += "  \"totals\": {\n";
    json += "    \"listed_mib\": " + std::to_string(state.ListedTotalMB) + ",\n";
    json += "    \"listed_gb\": " + FormatFixed(figures.ListedGB, 2, ".") + ",\n";
    json += "    \"capacity_mib\": " + std::to_string(state.DiskTotalMB) + ",\n";
    json += "    \"used_mib\": " + std::to_string(state.DiskUsedMB) + ",\n";
    json += "    \"share_of_capacity_percent\": " + std::to_string(figures.ShareOfCapacity) + ",\n";
    json +=
        "    \"share_of_used_space_percent\": " + std::to_string(figures.ShareOfUsedSpace) + ",\n";
    json += "    \"share_of_files_percent\": " + FormatFixed(shareOfFiles, 3, ".") + "\n";
    json += "  },\n";
    json += "  \"files\": [";
    const std::vector<ResultEntry>& entries = engine.List().Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ResultEntry& entry = entries[i];
        json += i == 0 ? "\n" : ",\n";
        json += "    {\"size\": " + std::to_string(entry.SizeValue) +
                ", \"modified\": " + JsonQuoted(ListDateTime(entry.LastWriteTime)) +
                ", \"modified_unix\": " + std::to_string(entry.LastWriteTime) + ", " +
                BytesMember("path", FullPath(entry)) + "}";
    }
    json += entries.empty() ? "]\n" : "\n  ]\n";
    json += "}\n";
    return json;
}
