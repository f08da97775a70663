#include "Totals.h"

#include "InterfaceTexts.h"
#include "TextFormat.h"

#include <algorithm>
#include <limits>

namespace {

long double NonZero(std::uint64_t divisor) {
    return divisor == 0 ? 1.0L : static_cast<long double>(divisor);
}

} // namespace

TotalsFigures ComputeTotals(const ScanState& state) {
    const auto listedMB = static_cast<long double>(state.ListedTotalMB);
    TotalsFigures figures;
    figures.ListedGB = listedMB / 1024;
    // The per-cent factor is applied before dividing, so that a share that is exactly a half
    // (5 of 200 MiB) stays one and rounds to the even neighbour as it should.
    figures.ShareOfCapacity = RoundHalfEven(listedMB * 100 / NonZero(state.DiskTotalMB));
    figures.ShareOfUsedSpace = RoundHalfEven(listedMB * 100 / NonZero(state.DiskUsedMB));
    figures.ShareOfFiles = 100.0L * 100 / NonZero(state.FileCount);
    return figures;
}

TotalsPanelTexts MakeTotalsPanelTexts(const ScanState& state, const std::string& volumeLabel,
                                      bool german, const LocaleFormat& locale) {
    const InterfaceTexts& texts = TextsFor(german);
    const TotalsFigures figures = ComputeTotals(state);
    // With fewer than 100 files counted every one of them is listed; more than all of
    // them cannot be.
    const long double shareOfFiles = std::min(figures.ShareOfFiles, 100.0L);
    return {
        FormatText(texts.Panel0, {figures.ListedGB, figures.ShareOfCapacity, volumeLabel}, locale),
        FormatText(texts.Panel1, {figures.ShareOfUsedSpace, volumeLabel}, locale),
        FormatText(texts.Panel2, {shareOfFiles, volumeLabel}, locale),
    };
}

std::string MakeSummarySentence(const ScanState& state, const std::string& rootText,
                                const std::string& volumeLabel, bool german,
                                const LocaleFormat& locale) {
    const TotalsFigures figures = ComputeTotals(state);
    return FormatText(TextsFor(german).Summary,
                      {rootText, figures.ListedGB, figures.ShareOfCapacity,
                       figures.ShareOfUsedSpace, volumeLabel},
                      locale);
}

std::string MakeSkippedMountsSentence(const ScanState& state, bool german,
                                      const LocaleFormat& locale) {
    const InterfaceTexts& texts = TextsFor(german);
    if (state.SkippedMountCount == 0)
        return {};
    if (state.SkippedMountCount == 1)
        return std::string(texts.SkippedMountOne);
    const auto count = static_cast<std::int64_t>(
        std::min<std::uint64_t>(state.SkippedMountCount, std::numeric_limits<std::int64_t>::max()));
    return FormatText(texts.SkippedMountsMany, {count}, locale);
}

std::string MakeRootUnreadableText(const std::string& root, bool german,
                                   const LocaleFormat& locale) {
    return FormatText(TextsFor(german).RootUnreadable, {root}, locale);
}

std::string MakeNoResultText(const ScanState& state, bool german, const LocaleFormat& locale) {
    if (state.RootOnPseudoFileSystem)
        return FormatText(TextsFor(german).RootOnPseudoFileSystem, {state.ScanRoot}, locale);
    if (state.RootUnanswered)
        return FormatText(TextsFor(german).RootUnanswered, {state.ScanRoot}, locale);
    if (state.RootUnreadable)
        return MakeRootUnreadableText(state.ScanRoot, german, locale);
    return {};
}

std::string MakeUnreadableFoldersText(std::uint64_t count, bool german,
                                      const LocaleFormat& locale) {
    const InterfaceTexts& texts = TextsFor(german);
    if (count == 1)
        return std::string(texts.OneFolderUnreadable);
    return FormatText(texts.FoldersUnreadable, {static_cast<std::int64_t>(count)}, locale);
}

namespace {

// `count` in decimal with `separator` between each group of three digits.
std::string GroupedCount(std::uint64_t count, std::string_view separator) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += separator;
        }
        grouped += digits[i];
    }
    return grouped;
}

} // namespace

std::string MakeScanStoppedText(std::uint64_t fileCount, bool german) {
    const InterfaceTexts& texts = TextsFor(german);
    return FillIn(texts.ScanStopped, GroupedCount(fileCount, texts.CountGroupSeparator));
}

std::string MakeListShortText(std::uint64_t listedCount, bool german) {
    const InterfaceTexts& texts = TextsFor(german);
    return FillIn(texts.ListShort, GroupedCount(listedCount, texts.CountGroupSeparator));
}

std::string MakeUnansweredFoldersText(std::uint64_t count, bool german,
                                      const LocaleFormat& locale) {
    const InterfaceTexts& texts = TextsFor(german);
    if (count == 1)
        return std::string(texts.OneFolderUnanswered);
    return FormatText(texts.FoldersUnanswered, {static_cast<std::int64_t>(count)}, locale);
}
