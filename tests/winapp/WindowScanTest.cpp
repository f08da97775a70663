// Scans started through the native window, read back from its controls.

#include "WindowDriver.h"

#include "TreeGenerator.h"
#include "scan/InterfaceTexts.h"
#include "tests/win32/WinFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using windriver::Window;

// The size column's text, written out here from the rule rather than taken from the code
// under test: "´" before the last three digits and, from seven digits on, before the last
// six; then " Byte".
std::string ExpectedSizeText(std::uint64_t size) {
    const std::string digits = std::to_string(size);
    const std::size_t n = digits.size();
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i == 3 || (n - i == 6 && n >= 7))) {
            text += "\xC2\xB4";
        }
        text += digits[i];
    }
    return text + " Byte";
}

// "%.Nf" of numerator / denominator, rounded at the last decimal with halves away from zero,
// with `point` between the whole number and the decimals.
std::string Fixed(std::uint64_t numerator, std::uint64_t denominator, int decimals,
                  const std::string& point) {
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    const std::uint64_t scaled = (2 * numerator * scale + denominator) / (2 * denominator);
    std::string fraction = std::to_string(scaled % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return std::to_string(scaled / scale) + point + fraction;
}

// numerator / denominator rounded to a whole number, halves to the even neighbour.
std::uint64_t RoundedHalfEven(std::uint64_t numerator, std::uint64_t denominator) {
    const std::uint64_t quotient = numerator / denominator;
    const std::uint64_t twice = 2 * (numerator % denominator);
    if (twice > denominator || (twice == denominator && quotient % 2 == 1)) {
        return quotient + 1;
    }
    return quotient;
}

// One tree for the suite: generating it under the emulator costs a few seconds.
class WindowScan : public testing::Test {
protected:
    static void SetUpTestSuite() {
        temp_ = new winfixture::TempTree();
        root_ = FromWide(temp_->Path()) + "\\tree";
        TreeShape shape;
        shape.FileCount = 1500;
        shape.Seed = 8;
        tree_ = new GeneratedTree(GenerateTree(root_, shape));
    }
    static void TearDownTestSuite() {
        delete tree_;
        delete temp_;
    }

    static winfixture::TempTree* temp_;
    static std::string root_;
    static GeneratedTree* tree_;
    windriver::OleScope ole_;
};

winfixture::TempTree* WindowScan::temp_ = nullptr;
std::string WindowScan::root_;
GeneratedTree* WindowScan::tree_ = nullptr;

bool HasSummary(const std::string& page) {
    return page.find("The 100 largest files on") != std::string::npos ||
           page.find("Die 100 gr\xF6\xDF"
                     "ten Dateien auf") != std::string::npos;
}

TEST_F(WindowScan, ListsTheHundredLargestFilesWithTotalsIconsAndReport) {
    std::vector<GeneratedFile> expected = tree_->Files;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.SizeBytes > b.SizeBytes; });
    expected.resize(100);
    ASSERT_GE(expected.front().SizeBytes, 4ull << 30)
        << "the tree must hold files of 4 GiB and more";
    std::map<std::string, std::uint64_t> sizeOfPath;
    for (const GeneratedFile& file : tree_->Files) {
        sizeOfPath[file.Path] = file.SizeBytes;
    }

    Window window;
    window.Form().StartScan(root_);
    ASSERT_TRUE(window.Errors.empty()) << window.Errors.front();

    ASSERT_EQ(window.ItemCount(), 100);
    const auto rows = window.Rows();
    std::uint64_t listedMB = 0;
    for (int row = 0; row < 100; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        // Largest first, with the record's sizes; equal sizes may come in any order.
        EXPECT_EQ(rows[row][2], ExpectedSizeText(expected[row].SizeBytes));
        const std::string path = rows[row][1] + "\\" + rows[row][0];
        ASSERT_EQ(sizeOfPath.count(path), 1u) << path << " is no file of the tree";
        EXPECT_EQ(sizeOfPath[path], expected[row].SizeBytes) << path;
        EXPECT_FALSE(rows[row][3].empty());
        EXPECT_GE(window.ItemIcon(row), 0) << path;
        listedMB += expected[row].SizeBytes >> 20;
    }

    // The totals bar: the listed MiB and the record's file count against the volume.
    const ScanState& state = window.Form().Engine().State();
    const std::uint64_t files = tree_->Files.size();
    // The user's decimal separator, as the window read it.
    const std::string point = window.Form().Engine().Locale().DecimalSeparator;
    EXPECT_EQ(window.TotalsPanel(0),
              "Total " + Fixed(listedMB, 1024, 2, point) + " GB (" +
                  std::to_string(RoundedHalfEven(listedMB * 100, state.DiskTotalMB)) + "% of C:)");
    EXPECT_EQ(window.TotalsPanel(1),
              std::to_string(RoundedHalfEven(listedMB * 100, state.DiskUsedMB)) +
                  " % of uses disk spaces on C:");
    EXPECT_EQ(window.TotalsPanel(2), Fixed(100 * 100, files, 3, point) + " % of all files on C:");
    EXPECT_EQ(window.StatusLine(), std::string(EnglishTexts().CreditLine));
    EXPECT_EQ(window.ButtonCaption(), "Browse");
    EXPECT_FALSE(window.Form().ScanRunning());

    // The report page with the summary was written and the view was asked to show it.
    ASSERT_NE(window.Form().Browser(), nullptr) << "the web-browser control was not created";
    const std::string page = window.Form().Browser()->LastNavigation();
    const std::string name = page.substr(page.find_last_of('\\') + 1);
    EXPECT_EQ(name.substr(0, 3), "htm") << page;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << page;
    const std::string written = windriver::ReadFileBytes(page);
    EXPECT_TRUE(HasSummary(written)) << page;
    EXPECT_NE(written.find(root_), std::string::npos) << "the summary names the scanned folder";

    if (const char* picture = std::getenv("BULKON_SCREENSHOT")) {
        RedrawWindow(window.Form().Form1, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        window.Pump();
        EXPECT_TRUE(window.SavePicture(picture)) << picture;
    }
}

TEST_F(WindowScan, ReportPageIsRendered) {
    Window window;
    window.Form().StartScan(root_);
    WebBrowserHost* browser = window.Form().Browser();
    ASSERT_NE(browser, nullptr) << "the web-browser control was not created";
    // The page loads in the background after the scan.
    auto pumpUntil = [&window](const std::function<bool()>& done) {
        for (int wait = 0; wait < 200 && !done(); ++wait) {
            window.Pump();
            Sleep(25);
        }
    };
    pumpUntil([browser] { return browser->HasDocument(); });
    if (!browser->HasDocument()) {
        GTEST_SKIP() << "the web-browser control has no HTML engine here (Wine without "
                        "mshtml): the page was written and asked for, but cannot be rendered";
    }
    std::string text;
    pumpUntil([&] {
        text = browser->RenderedBodyText();
        return text.find("100") != std::string::npos;
    });
    EXPECT_NE(text.find("The 100 largest files on"), std::string::npos) << text;
}

TEST_F(WindowScan, WithoutTheWebBrowserControlTheWindowGoesOn) {
    if (std::getenv("BULKON_EXPECT_NO_BROWSER") == nullptr) {
        GTEST_SKIP() << "runs as winapp_tests_without_browser, with the control switched off";
    }
    Window window;
    ASSERT_EQ(window.Form().Browser(), nullptr) << "the control was not switched off";
    window.Form().StartScan(root_);
    EXPECT_TRUE(window.Errors.empty()) << window.Errors.front();
    EXPECT_EQ(window.ItemCount(), 100);
    EXPECT_EQ(window.ButtonCaption(), "Browse");
    EXPECT_EQ(window.Form().Engine().State().FileCount, tree_->Files.size());
}

TEST_F(WindowScan, StopByTheButtonKeepsThePartialList) {
    Window window;
    window.AtProcessing(
        400, [&window] { PostMessageW(window.Form().BrowseSpeedButton, BM_CLICK, 0, 0); });
    window.Form().StartScan(root_);
    ASSERT_TRUE(window.Errors.empty()) << window.Errors.front();

    const ResultList& list = window.Form().Engine().List();
    EXPECT_LT(window.Form().Engine().State().FileCount, tree_->Files.size()) << "not stopped";
    ASSERT_GT(list.Count(), 0);
    ASSERT_EQ(window.ItemCount(), list.Count());
    for (int row = 0; row < list.Count(); ++row) {
        EXPECT_EQ(window.ItemText(row, 0), list.At(row).Caption);
        EXPECT_EQ(window.ItemText(row, 2), list.At(row).SizeText);
    }
    EXPECT_EQ(window.ButtonCaption(), "Browse");
    EXPECT_FALSE(window.Form().ScanRunning());
    // A stopped scan leaves the page without the summary.
    EXPECT_FALSE(HasSummary(windriver::ReadFileBytes(window.Form().Browser()->LastNavigation())));
}

TEST_F(WindowScan, TheSelectionFollowsItsEntryWhileTheListChanges) {
    Window window;
    std::string selected;
    // The largest file met so far stays listed while the walk adds, re-sorts and evicts. It
    // is selected as a user would: once the list shows it. The list shows new rows only at
    // its next frame, which under the emulator may come due after the walk of this small
    // tree has ended; until then the user waits a little at each processing.
    window.Form().ScanHost().SetProcessEventsIntervalMs(0);
    window.Form().ScanHost().SetProcessingHook([&window, &selected](std::int64_t count) {
        if (count < 400 || !selected.empty()) {
            return;
        }
        if (window.ItemCount() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        } else {
            window.Select(0);
            const ResultEntry& entry = window.Form().Engine().List().At(0);
            selected = entry.FolderText + "\\" + entry.Caption;
        }
    });
    window.Form().StartScan(root_);
    ASSERT_FALSE(selected.empty());
    const int row = window.Form().SelectedRow();
    ASSERT_GE(row, 0) << "the selection was lost";
    EXPECT_EQ(window.ItemText(row, 1) + "\\" + window.ItemText(row, 0), selected);
    EXPECT_EQ(ListView_GetSelectedCount(window.Form().ListView), 1u);
}

TEST_F(WindowScan, EscapeStopsTheScanAndThenClosesTheWindow) {
    Window window;
    window.AtProcessing(
        400, [&window] { PostMessageW(window.Form().ListView, WM_KEYDOWN, VK_ESCAPE, 0); });
    window.Form().StartScan(root_);
    EXPECT_LT(window.Form().Engine().State().FileCount, tree_->Files.size()) << "not stopped";
    EXPECT_GT(window.ItemCount(), 0);
    EXPECT_TRUE(window.Form().IsOpen()) << "Escape during a scan only stops it";
    EXPECT_FALSE(window.Form().ScanRunning());

    // Without a scan, Escape closes the window and ends the program.
    PostMessageW(window.Form().ListView, WM_KEYDOWN, VK_ESCAPE, 0);
    window.Pump();
    window.Pump();
    EXPECT_FALSE(window.Form().IsOpen());
    EXPECT_TRUE(Window::DrainQuit());
}

TEST_F(WindowScan, ClosingDuringAScanEndsItThenTheProgram) {
    Window window;
    window.AtProcessing(400, [&window] { PostMessageW(window.Form().Form1, WM_CLOSE, 0, 0); });
    window.Form().StartScan(root_);
    EXPECT_TRUE(window.Errors.empty());
    EXPECT_LT(window.Form().Engine().State().FileCount, tree_->Files.size()) << "not stopped";
    EXPECT_TRUE(window.Form().IsOpen()) << "the window goes when control is back in the loop";
    window.Pump();
    EXPECT_FALSE(window.Form().IsOpen());
    EXPECT_TRUE(Window::DrainQuit()) << "the program is asked to end";
    // Nothing of the stopped scan pretends it ran to its end.
    EXPECT_EQ(window.Form().ScanHost().ScansStarted(), 1);
}

} // namespace
