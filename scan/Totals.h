#pragma once

#include "LocaleFormat.h"
#include "ScanState.h"
#include "TotalsPanelTexts.h"

#include <cstdint>
#include <string>

// The four figures of the totals bar and the summary sentence. A zero divisor counts as 1.
struct TotalsFigures {
    long double ListedGB = 0;          // ListedTotalMB / 1024
    std::int64_t ShareOfCapacity = 0;  // ListedTotalMB / DiskTotalMB * 100, rounded
    std::int64_t ShareOfUsedSpace = 0; // ListedTotalMB / DiskUsedMB * 100, rounded
    long double ShareOfFiles = 0;      // 100 / FileCount * 100
};
TotalsFigures ComputeTotals(const ScanState& state);

// The totals bar's three texts for `volumeLabel`, in English or German.
TotalsPanelTexts MakeTotalsPanelTexts(const ScanState& state, const std::string& volumeLabel,
                                      bool german, const LocaleFormat& locale);

// The report page's summary sentence, in English or German. `rootText` and `volumeLabel`
// are inserted as given: a caller putting the sentence into HTML escapes them first.
std::string MakeSummarySentence(const ScanState& state, const std::string& rootText,
                                const std::string& volumeLabel, bool german,
                                const LocaleFormat& locale);

// The sentence that says how many network or removable drives the walk left out, in English
// or German; empty when it left none out.
std::string MakeSkippedMountsSentence(const ScanState& state, bool german,
                                      const LocaleFormat& locale);

// The end of a scan whose root could not be read, naming `root`, in English or German.
std::string MakeRootUnreadableText(const std::string& root, bool german,
                                   const LocaleFormat& locale);

// The sentence that ends a scan without a result (its root could not be read, did not answer,
// or is a kernel pseudo file system), naming the root, in English or German; empty for a scan with
// a result.
std::string MakeNoResultText(const ScanState& state, bool german, const LocaleFormat& locale);

// The line under the summary sentence when `count` folders (more than 0) could not be read.
std::string MakeUnreadableFoldersText(std::uint64_t count, bool german, const LocaleFormat& locale);

// The status line after a stopped scan that counted `fileCount` files, in English or German,
// the count grouped by thousands ("Scan stopped after 12,345 files: ...").
std::string MakeScanStoppedText(std::uint64_t fileCount, bool german);
// The status line while deletes have left the list with only `listedCount` entries.
std::string MakeListShortText(std::uint64_t listedCount, bool german);
// The line under the summary sentence when `count` folders (more than 0) did not answer.
std::string MakeUnansweredFoldersText(std::uint64_t count, bool german, const LocaleFormat& locale);
