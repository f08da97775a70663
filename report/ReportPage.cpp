#include "ReportPage.h"

#include "PageText.h"
#include "scan/InterfaceTexts.h"
#include "scan/Totals.h"

#include <array>

std::string SiteImageFolderUrl() {
    return std::string(PublisherSiteUrl) + "img/";
}

namespace {

// The program path goes into the page only after the picture replacements have run: a path
// holding ".gif", ".jpg" or "/GIF/AWARDS" of its own must not be cut by them. Until then a
// control byte that the template does not use stands in for it; no pattern contains one.
char ChoosePlaceholder(const std::string& templateText) {
    for (char c = 1; c < 32; ++c) {
        if (c != '\t' && c != '\n' && c != '\r' && templateText.find(c) == std::string::npos) {
            return c;
        }
    }
    return 0;
}

} // namespace

std::string BuildReportPage(const std::string& templateText, const ScanState& state,
                            bool withSummary, bool german, const LocaleFormat& locale,
                            const std::string& programPath, const std::string& volumeLabel) {
    // The path is an attribute value in a Windows-1252 page: escaped and re-encoded so that
    // the view reads back exactly the path.
    const std::string pagePath = Utf8ToPageText(EscapeHtml(programPath));
    const char placeholder = ChoosePlaceholder(templateText);
    const std::string pathInPage = placeholder != 0 ? std::string(1, placeholder) : pagePath;
    const std::string resPrefix = "res://" + pathInPage;
    const std::string imageFolder = SiteImageFolderUrl();

    const std::array<std::pair<std::string, std::string>, 7> replacements = {{
        {"/GIF/DOWNLOAD", resPrefix + "/GIF/DOWNLOAD"},
        {"/GIF/AWARDS", resPrefix + "/GIF/AWARDS"},
        {imageFolder + "bg", resPrefix + "/JPG/BG"},
        {imageFolder + "space.jpg", resPrefix + "/JPG/SPACE"},
        {imageFolder, resPrefix + "/GIF/"},
        {".jpg", ""},
        {".gif", ""},
    }};
    std::string page = templateText;
    for (const auto& [pattern, replacement] : replacements) {
        page = ReplaceAllIgnoringCase(page, pattern, replacement);
    }
    if (placeholder != 0) {
        page = ReplaceAllIgnoringCase(page, pathInPage, pagePath);
    }

    if (withSummary) {
        std::string sentence = Utf8ToPageText(MakeSummarySentence(
            state, EscapeHtml(state.ScanRoot), EscapeHtml(volumeLabel), german, locale));
        // A result with drives left out must not read as complete.
        const std::string skipped = MakeSkippedMountsSentence(state, german, locale);
        if (!skipped.empty())
            sentence += "<BR>" + Utf8ToPageText(EscapeHtml(skipped));
        // A result with gaps says so where the result is stated.
        if (state.UnreadableFolderCount > 0) {
            sentence += "<BR>" + Utf8ToPageText(MakeUnreadableFoldersText(
                                     state.UnreadableFolderCount, german, locale));
        }
        if (state.UnansweredFolderCount > 0) {
            sentence += "<BR>" + Utf8ToPageText(MakeUnansweredFoldersText(
                                     state.UnansweredFolderCount, german, locale));
        }
        page = ReplaceAllIgnoringCase(page, HeadlinePattern,
                                      std::string(SummaryOpening) + sentence + "</B>");
    }
    return page;
}

void SetZeroCountersToOne(ScanState& state) {
    if (state.DiskUsedMB == 0) {
        state.DiskUsedMB = 1;
    }
    if (state.DiskTotalMB == 0) {
        state.DiskTotalMB = 1;
    }
    if (state.FileCount == 0) {
        state.FileCount = 1;
    }
}
