#include "window/MainWindowLogic.h"
#include "RecordingFace.h"
#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "report/ReportPage.h"
#include "scan/InterfaceTexts.h"
#include "scan/StopRequested.h"
#include "scan/TextFormat.h"
#include "scan/Totals.h"
#include "tests/scan/RecordingWindow.h"
#include "tests/support/FakeShellServices.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <system_error>

namespace {

constexpr int TreeFiles = 30;

// A window logic over a recording face and a fake desktop, with a small tree to scan. The
// face's template carries the headline band, so a page with the summary can be told apart.
class MainWindowLogicTest : public ::testing::Test {
protected:
    MainWindowLogicTest() : logic_(face_, shell_, icons_) {
        StopRequested = false;
        for (int i = 0; i < TreeFiles; ++i) {
            tree_.File("d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".bin",
                       (static_cast<std::uint64_t>(i) + 1) * 4096);
        }
        face_.Template = "<TD " + std::string(HeadlinePattern) + "</FONT></TD>";
        logic_.ScanHost().SetProcessEventsIntervalMs(0);
        logic_.SetStartupRoot(Root());
    }
    ~MainWindowLogicTest() override { StopRequested = false; }

    std::string Root() const { return tree_.Root().string(); }
    bool HasSummary(const std::string& page) const {
        return page.find(SummaryOpening) != std::string::npos;
    }
    int RowOf(const std::string& caption) const {
        const ResultList& list = logic_.Engine().List();
        for (int row = 0; row < list.Count(); ++row) {
            if (list.At(row).Caption == caption) {
                return row;
            }
        }
        return -1;
    }

    TempTree tree_;
    RecordingFace face_;
    FakeShellServices shell_;
    FixedIcons icons_;
    MainWindowLogic logic_;
};

TEST_F(MainWindowLogicTest, TheStartupScanRunsOnceAfterTheFirstPaint) {
    logic_.FormPaint();
    logic_.FormPaint();
    EXPECT_EQ(logic_.ScanHost().ScansStarted(), 1);
    EXPECT_EQ(logic_.Engine().State().ScanRoot, Root());
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles);
    ASSERT_EQ(face_.Pages.size(), 2u);
    EXPECT_FALSE(HasSummary(face_.Pages[0]));
    EXPECT_TRUE(HasSummary(face_.Pages[1]));
    EXPECT_EQ(face_.Last("button"), "button folder Browse");
    EXPECT_EQ(face_.Last("status"), "status " + std::string(EnglishTexts().CreditLine));
    EXPECT_FALSE(face_.Held) << "the list must not stay frozen after a scan";
    // A new scan shows the list from its first row.
    EXPECT_EQ(face_.Count("scroll top"), 1);
    EXPECT_EQ(face_.Count("held twice"), 0);
}

TEST_F(MainWindowLogicTest, NoStartupScanAfterAChosenScanOrAGrantedClose) {
    const TempTree chosen;
    chosen.File("only.bin", 10);
    shell_.BrowseAnswer = chosen.Root().string();
    logic_.BrowseSpeedButtonClick();
    logic_.FormPaint();
    EXPECT_EQ(logic_.ScanHost().ScansStarted(), 1);
    EXPECT_EQ(logic_.Engine().State().ScanRoot, chosen.Root().string());

    RecordingFace otherFace;
    MainWindowLogic closed(otherFace, shell_, icons_);
    closed.SetStartupRoot(Root());
    EXPECT_TRUE(closed.FormCloseQuery());
    closed.FormPaint();
    EXPECT_EQ(closed.ScanHost().ScansStarted(), 0);
}

// Each way of stopping, used in the middle of the walk: the scan ends without the summary,
// keeps its partial list, and the window is ready again; the folder picker never opens.
TEST_F(MainWindowLogicTest, BrowseEscapeAndCloseStopARunningScan) {
    const std::vector<std::pair<std::string, std::function<void()>>> stops = {
        {"browse", [this] { logic_.BrowseSpeedButtonClick(); }},
        {"escape", [this] { logic_.FormKeyDown(MainWindowLogic::EscapeKey); }},
        {"close", [this] { EXPECT_TRUE(logic_.FormCloseQuery()); }},
    };
    for (const auto& [name, stop] : stops) {
        SCOPED_TRACE(name);
        face_.Pages.clear();
        face_.Lines.clear();
        face_.Processings = 0;
        bool runningWhenStopped = false;
        face_.OnProcess = [&](int count) {
            if (count == 8) {
                runningWhenStopped = logic_.ScanRunning();
                stop();
                stop(); // a second stop before the walk unwinds changes nothing
            }
        };
        logic_.StartScan(Root());
        EXPECT_TRUE(runningWhenStopped);
        EXPECT_FALSE(logic_.ScanRunning());
        EXPECT_FALSE(StopRequested);
        ASSERT_EQ(face_.Pages.size(), 1u);
        EXPECT_FALSE(HasSummary(face_.Pages[0]));
        EXPECT_LT(logic_.Engine().List().Count(), TreeFiles);
        EXPECT_EQ(face_.Last("button"), "button folder Browse");
        EXPECT_EQ(face_.Count("close"), 0) << "Escape during a scan must not close";
        EXPECT_EQ(shell_.CountCalls("browse"), 0);
    }
    EXPECT_TRUE(logic_.CloseGranted());
}

TEST_F(MainWindowLogicTest, EscapeWhenIdleClosesAndOtherKeysAreLeftToTheControls) {
    EXPECT_FALSE(logic_.FormKeyDown('Q'));
    EXPECT_FALSE(logic_.FormKeyDown(MainWindowLogic::CKey));
    EXPECT_FALSE(logic_.FormKeyDown(MainWindowLogic::F10Key));
    EXPECT_FALSE(logic_.FormKeyDown(MainWindowLogic::DeleteKey, MainWindowLogic::ShiftModifier));
    EXPECT_EQ(face_.Count("close"), 0);
    EXPECT_TRUE(logic_.FormKeyDown(MainWindowLogic::EscapeKey, MainWindowLogic::ShiftModifier));
    EXPECT_EQ(face_.Count("close"), 1);
}

TEST_F(MainWindowLogicTest, ShortcutsRunTheCommandsOfTheSelectedEntry) {
    using L = MainWindowLogic;
    logic_.StartScan(Root());
    // Without a selection the list's keys find nothing to act on.
    EXPECT_TRUE(logic_.FormKeyDown(L::EnterKey));
    EXPECT_TRUE(logic_.FormKeyDown(L::CKey, L::ControlModifier));
    EXPECT_TRUE(shell_.Calls.empty());
    EXPECT_EQ(face_.Count("copy"), 0);

    face_.Selected = 1;
    const ResultEntry entry = logic_.Engine().List().At(1);
    const std::string path = JoinPath(entry.FolderText, entry.Caption);
    EXPECT_TRUE(logic_.FormKeyDown(L::EnterKey));
    EXPECT_EQ(shell_.Calls, std::vector<std::string>{"open " + path});
    EXPECT_TRUE(logic_.FormKeyDown(L::CKey, L::ControlModifier));
    EXPECT_EQ(face_.Last("copy"), "copy " + path);
    EXPECT_TRUE(logic_.FormKeyDown(L::F10Key, L::ShiftModifier));
    EXPECT_TRUE(logic_.FormKeyDown(L::MenuKey));
    EXPECT_EQ(face_.Count("menu"), 2);
    shell_.ConfirmDelete = false;
    EXPECT_TRUE(logic_.FormKeyDown(L::DeleteKey));
    EXPECT_EQ(shell_.Calls.back(), "delete " + path);

    // Ctrl+O browses when idle; during a scan it neither browses nor stops.
    EXPECT_TRUE(logic_.FormKeyDown(L::OKey, L::ControlModifier));
    EXPECT_EQ(shell_.CountCalls("browse"), 1);
    face_.OnProcess = [&](int count) {
        if (count == 3) {
            EXPECT_TRUE(logic_.FormKeyDown(L::OKey, L::ControlModifier));
        }
    };
    face_.Processings = 0;
    logic_.StartScan(Root());
    EXPECT_EQ(shell_.CountCalls("browse"), 1);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles);
}

TEST_F(MainWindowLogicTest, ACancelledPickerChangesNothing) {
    logic_.StartScan(Root());
    const std::size_t lines = face_.Lines.size();
    logic_.BrowseSpeedButtonClick();
    EXPECT_EQ(shell_.CountCalls("browse"), 1);
    EXPECT_EQ(face_.Lines.size(), lines);
    EXPECT_EQ(logic_.ScanHost().ScansStarted(), 1);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles);
}

TEST_F(MainWindowLogicTest, CommandsOnTheSelectedEntry) {
    logic_.StartScan(Root());
    const std::string folder = logic_.Engine().List().At(0).FolderText;
    const std::string caption = logic_.Engine().List().At(0).Caption;
    const std::string path = JoinPath(folder, caption);
    const std::string location = SplitFileLocation(path).Location;

    // Without a selection no command does anything.
    for (auto command :
         {&MainWindowLogic::ListViewClick, &MainWindowLogic::ListViewDblClick,
          &MainWindowLogic::ShowInExplorerPopupmenuClick, &MainWindowLogic::DeletePopupmenuClick}) {
        (logic_.*command)();
    }
    EXPECT_TRUE(shell_.Calls.empty());

    face_.Selected = 0;
    logic_.ListViewClick();
    EXPECT_EQ(face_.Last("status"), "status " + folder);

    logic_.ListViewDblClick();
    shell_.OpenResult = false;
    logic_.ListViewDblClick();
    EXPECT_EQ(shell_.CountCalls("open " + path), 2);
    EXPECT_EQ(shell_.Beeps, 1);

    logic_.AppImageClick();
    shell_.UrlResult = false;
    logic_.AppImageClick();
    EXPECT_EQ(shell_.CountCalls("url " + std::string(PublisherSiteUrl)), 2);
    EXPECT_EQ(shell_.Beeps, 2);

    // The three ways of showing the file, each only when the one before failed; no beep.
    shell_.Calls.clear();
    logic_.ShowInExplorerPopupmenuClick();
    shell_.RevealResult = false;
    logic_.ShowInExplorerPopupmenuClick();
    shell_.ExploreResult = false;
    shell_.FileManagerResult = false;
    logic_.ShowInExplorerPopupmenuClick();
    const std::string reveal = "reveal " + location + "|" + caption;
    EXPECT_EQ(shell_.Calls,
              (std::vector<std::string>{reveal, reveal, "explore " + location, reveal,
                                        "explore " + location, "filemanager " + location}));
    EXPECT_EQ(shell_.Beeps, 2);
    // Not one way worked: the user is told, once, naming the folder.
    EXPECT_EQ(face_.Count("error"), 1);
    EXPECT_EQ(face_.Last("error"), "error " + FillIn(EnglishTexts().RevealFailed, location));
}

// The confirmation runs an event loop of its own: meanwhile the list may lose entries, so
// the deleted entry is found again by its name, and only its row goes.
TEST_F(MainWindowLogicTest, DeleteRemovesTheEntryWhereverItIsAfterTheConfirmation) {
    logic_.StartScan(Root());
    const ScanState before = logic_.Engine().State();
    face_.Selected = 2;
    const std::string caption = logic_.Engine().List().At(2).Caption;
    const std::uint64_t deletedMB = logic_.Engine().List().At(2).SizeValue >> 20;
    const std::string path = JoinPath(logic_.Engine().List().At(2).FolderText, caption);
    const std::string largest = logic_.Engine().List().At(0).Caption;

    shell_.ConfirmDelete = false;
    logic_.DeletePopupmenuClick();
    EXPECT_EQ(RowOf(caption), 2);
    EXPECT_TRUE(std::filesystem::exists(path));

    shell_.ConfirmDelete = true;
    shell_.BeforeDelete = [this] { logic_.Engine().List().RemoveAt(0); };
    logic_.DeletePopupmenuClick();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(RowOf(caption), -1);
    EXPECT_EQ(RowOf(largest), -1);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles - 2);
    // The deleted file's size leaves the total and the totals bar at once.
    EXPECT_EQ(logic_.Engine().State().ListedTotalMB, before.ListedTotalMB - deletedMB);
    const TotalsPanelTexts panels = MakeTotalsPanelTexts(
        logic_.Engine().State(), VolumeLabelFor(logic_.Engine().State().ScanRoot), false,
        logic_.Engine().Locale());
    EXPECT_EQ(face_.Last("totals"), "totals " + panels[0] + "|" + panels[1] + "|" + panels[2]);
    EXPECT_EQ(logic_.Engine().State().FileCount, before.FileCount);

    // The entry gone from the list meanwhile: nothing else is removed.
    face_.Selected = 0;
    const std::string next = logic_.Engine().List().At(0).Caption;
    shell_.BeforeDelete = [this] { logic_.Engine().List().RemoveAt(0); };
    logic_.DeletePopupmenuClick();
    EXPECT_EQ(RowOf(next), -1);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles - 3);
}

TEST_F(MainWindowLogicTest, ErrorsAreShownAndTheWindowStaysReady) {
    // The page before the walk fails: no scan runs.
    face_.OnPage = [](const std::string&) {
        throw std::system_error(std::make_error_code(std::errc::io_error), "page failed");
    };
    logic_.StartScan(Root());
    EXPECT_EQ(face_.Count("error page failed"), 1);
    EXPECT_EQ(logic_.ScanHost().ScansStarted(), 0);
    EXPECT_FALSE(logic_.ScanRunning());
    // The button is left as Browse with its caption, also before any scan has set one.
    EXPECT_EQ(face_.Last("button"), "button folder Browse");

    // A root that cannot be read is said so in a message.
    face_.OnPage = nullptr;
    logic_.StartScan(Root() + "/missing");
    EXPECT_EQ(face_.Last("error"), "error " + MakeRootUnreadableText(Root() + "/missing", false,
                                                                     logic_.Engine().Locale()));

    // The summary page fails: the walk has run, the message is shown, the window is ready.
    face_.OnPage = [this](const std::string& page) {
        if (HasSummary(page)) {
            throw std::runtime_error("the view refused the page");
        }
    };
    logic_.StartScan(Root());
    EXPECT_EQ(face_.Count("error the view refused the page"), 1);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles);
    EXPECT_FALSE(logic_.ScanRunning());
    face_.OnPage = nullptr;
    face_.Lines.clear();
    face_.Processings = 0;

    // The walk fails midway: the window ends the scan as after a stop, once, and shows the
    // error; the next scan runs.
    face_.OnProcess = [](int count) {
        if (count == 5) {
            throw std::runtime_error("disk gone");
        }
    };
    logic_.StartScan(Root());
    EXPECT_EQ(face_.Count("error disk gone"), 1);
    EXPECT_FALSE(logic_.ScanRunning());
    EXPECT_FALSE(StopRequested);
    EXPECT_EQ(face_.Count("animation stop"), 1);
    EXPECT_EQ(face_.Last("button"), "button folder Browse");
    EXPECT_EQ(face_.Last("status"),
              "status " + MakeScanStoppedText(logic_.Engine().State().FileCount, false));
    face_.OnProcess = nullptr;
    logic_.StartScan(Root());
    // The scans of the tree and the one of the root that could not be read.
    EXPECT_EQ(logic_.ScanHost().ScansStarted(), 4);
    EXPECT_EQ(logic_.Engine().List().Count(), TreeFiles);

    // Whatever a command throws stays inside the command.
    logic_.RunGuarded([] { throw 42; });
    EXPECT_EQ(face_.Last("error"), "error " + std::string(EnglishTexts().UnexpectedError));
}

// Every scan starts with nothing selected, from the top, with the keys at the list and its
// first row focused; from then on the status line follows the selection however it moves,
// and keeps its text when nothing is selected.
TEST_F(MainWindowLogicTest, TheStatusLineFollowsTheSelectionAndEveryScanStartsWithoutOne) {
    logic_.StartScan(Root());
    const ResultList& list = logic_.Engine().List();
    EXPECT_EQ(face_.Count("no selection"), 1);
    EXPECT_EQ(face_.Count("focus list"), 1);
    EXPECT_EQ(face_.FocusedRow, 0);

    face_.Lines.clear();
    face_.Selected = 3;
    logic_.ListViewSelectionChanged();
    EXPECT_EQ(face_.Lines, std::vector<std::string>{"status " + list.At(3).FolderText});
    // The same file still selected (a re-sort moved it): nothing to say again.
    logic_.ListViewSelectionChanged();
    EXPECT_EQ(face_.Count("status"), 1);
    face_.Selected = TreeFiles - 1;
    logic_.ListViewSelectionChanged();
    EXPECT_EQ(face_.Last("status"), "status " + list.At(TreeFiles - 1).FolderText);
    // The selection gone: the status line keeps its text.
    face_.Selected = -1;
    logic_.ListViewSelectionChanged();
    EXPECT_EQ(face_.Count("status"), 2);
    // Selecting the same file again says it again.
    face_.Selected = 3;
    logic_.ListViewSelectionChanged();
    EXPECT_EQ(face_.Count("status"), 3);

    // The next scan starts from nothing selected, so Delete and Ctrl+C cannot reach the file
    // that happens to sit in the old row, and the first row is focused again as soon as the
    // walk lists one.
    int selectedDuringScan = -2; // below any row the face can report
    face_.OnProcess = [&](int) {
        selectedDuringScan = std::max(selectedDuringScan, face_.Selected);
    };
    face_.FocusedRow = 5;
    logic_.StartScan(Root());
    EXPECT_EQ(selectedDuringScan, -1);
    EXPECT_EQ(face_.FocusedRow, 0);
    EXPECT_EQ(face_.Count("focus list"), 1);
}

// Enter, Delete, the menu keys and Ctrl+C belong to the list while it has the focus;
// elsewhere (the report page) the control keeps them. Escape and Ctrl+O work anywhere.
TEST_F(MainWindowLogicTest, TheListsKeysActOnlyWhileTheListHasTheFocus) {
    using L = MainWindowLogic;
    logic_.StartScan(Root());
    face_.Selected = 0;
    face_.ListFocused = false;
    EXPECT_FALSE(logic_.FormKeyDown(L::EnterKey));
    EXPECT_FALSE(logic_.FormKeyDown(L::DeleteKey));
    EXPECT_FALSE(logic_.FormKeyDown(L::CKey, L::ControlModifier));
    EXPECT_FALSE(logic_.FormKeyDown(L::F10Key, L::ShiftModifier));
    EXPECT_FALSE(logic_.FormKeyDown(L::MenuKey));
    EXPECT_TRUE(shell_.Calls.empty());
    EXPECT_EQ(face_.Count("copy") + face_.Count("menu"), 0);
    EXPECT_TRUE(logic_.FormKeyDown(L::OKey, L::ControlModifier));
    EXPECT_EQ(shell_.CountCalls("browse"), 1);
    EXPECT_TRUE(logic_.FormKeyDown(L::EscapeKey));
    EXPECT_EQ(face_.Count("close"), 1);

    face_.ListFocused = true;
    EXPECT_TRUE(logic_.FormKeyDown(L::CKey, L::ControlModifier));
    const ResultEntry& entry = logic_.Engine().List().At(0);
    EXPECT_EQ(face_.Last("copy"), "copy " + JoinPath(entry.FolderText, entry.Caption));
}

// After a delete in a finished scan the summary under the list is written again with the
// totals bar's figures; after a stopped scan there is no summary to write.
TEST_F(MainWindowLogicTest, ADeleteAfterACompletedScanWritesTheSummaryAgain) {
    const TempTree big;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(big.File("f" + std::to_string(i), static_cast<std::uint64_t>(i) * 300 << 20));
    }
    logic_.StartScan(big.Root().string());
    ASSERT_EQ(face_.Pages.size(), 2u);
    const ScanState& state = logic_.Engine().State();
    auto listedGB = [&] { return FormatFixed(state.ListedTotalMB / 1024.0L, 2, "."); };
    EXPECT_NE(face_.Pages[1].find(listedGB()), std::string::npos) << listedGB();
    face_.Selected = 0;
    logic_.DeletePopupmenuClick();
    EXPECT_EQ(state.ListedTotalMB, 900u);
    ASSERT_EQ(face_.Pages.size(), 3u);
    EXPECT_TRUE(HasSummary(face_.Pages[2]));
    EXPECT_NE(face_.Pages[2].find(listedGB()), std::string::npos) << listedGB();
    const TotalsPanelTexts panels = MakeTotalsPanelTexts(state, VolumeLabelFor(state.ScanRoot),
                                                         false, logic_.Engine().Locale());
    EXPECT_EQ(face_.Last("totals"), "totals " + panels[0] + "|" + panels[1] + "|" + panels[2]);

    face_.OnProcess = [&](int count) {
        if (count == 3) {
            logic_.FormKeyDown(MainWindowLogic::EscapeKey);
        }
    };
    face_.Processings = 0;
    logic_.StartScan(big.Root().string());
    ASSERT_EQ(logic_.Engine().LastOutcome(), ScanOutcome::Stopped);
    const std::size_t pages = face_.Pages.size();
    face_.Selected = 0;
    logic_.DeletePopupmenuClick();
    EXPECT_EQ(face_.Pages.size(), pages);
}

// The desktop's helpers answer later: a failure known only then still beeps, the next way
// of showing a file is tried only then, and an answer after the window is gone is dropped.
TEST_F(MainWindowLogicTest, AnswersThatComeLaterStillBeepOrTryTheNextWay) {
    logic_.StartScan(Root());
    shell_.AnswerLater = true;
    shell_.OpenResult = false;
    face_.Selected = 0;
    logic_.ListViewDblClick();
    EXPECT_EQ(shell_.Beeps, 0);
    shell_.AnswerPending();
    EXPECT_EQ(shell_.Beeps, 1);

    shell_.RevealResult = shell_.ExploreResult = shell_.FileManagerResult = false;
    shell_.Calls.clear();
    logic_.ShowInExplorerPopupmenuClick();
    for (const char* next : {"explore ", "filemanager "}) {
        EXPECT_EQ(shell_.Calls.size(), next[0] == 'e' ? 1u : 2u);
        EXPECT_EQ(face_.Count("error"), 0);
        shell_.AnswerPending();
        EXPECT_EQ(shell_.Calls.back().rfind(next, 0), 0u) << shell_.Calls.back();
    }
    shell_.AnswerPending();
    EXPECT_EQ(face_.Count("error"), 1);
    EXPECT_EQ(shell_.Beeps, 1) << "showing a file's location never beeps";

    {
        RecordingFace otherFace;
        MainWindowLogic shortLived(otherFace, shell_, icons_);
        shell_.UrlResult = false;
        shortLived.AppImageClick();
    }
    shell_.AnswerPending();
    EXPECT_EQ(shell_.Beeps, 1);
    EXPECT_EQ(shell_.PendingAnswers(), 0u);
}

// An empty folder counts no file: the summary and the totals bar written after it divide
// by the same counters, set to 1.
TEST_F(MainWindowLogicTest, TheSummaryAndTheTotalsBarSeeTheSameCounters) {
    const TempTree empty;
    logic_.StartScan(empty.Root().string());
    const ScanState& state = logic_.Engine().State();
    EXPECT_EQ(state.FileCount, 1u);
    ASSERT_EQ(face_.Pages.size(), 2u);
    EXPECT_TRUE(HasSummary(face_.Pages[1]));
    const TotalsPanelTexts panels =
        MakeTotalsPanelTexts(state, VolumeLabelFor(state.ScanRoot), false, LocaleFormat{});
    EXPECT_EQ(face_.Last("totals"), "totals " + panels[0] + "|" + panels[1] + "|" + panels[2]);
}

} // namespace
