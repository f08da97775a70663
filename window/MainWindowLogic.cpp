#include "MainWindowLogic.h"

#include "ShellServices.h"
#include "WindowFace.h"
#include "platform/fs/Paths.h"
#include "report/ReportFile.h"
#include "report/ReportPage.h"
#include "scan/InterfaceTexts.h"
#include "scan/StopRequested.h"
#include "scan/Totals.h"

#include <chrono>
#include <thread>

MainWindowLogic::MainWindowLogic(WindowFace& face, ShellServices& shell, IconLookup& icons)
    : face_(face), shell_(shell), host_(face, *this), engine_(host_, icons),
      startupRoot_(SystemDriveRoot()) {}

void MainWindowLogic::SetReportPageHook(std::function<void(bool)> hook) {
    reportPageHook_ = std::move(hook);
}

void MainWindowLogic::StartScan(const std::string& path) {
    scanEverStarted_ = true;
    RunGuarded([this, &path] {
        try {
            engine_.StartScan(path);
        } catch (...) {
            // A scan that failed (at the start, the report page) leaves the button ready
            // for the next one, with its caption, not as it was before the first scan.
            face_.ShowButton(WindowFace::Glyph::Folder,
                             std::string(TextsFor(IsGermanUser()).BrowseButton));
            throw;
        }
        // No result at all: the user is told so, not left with an empty list.
        const std::string noResult =
            MakeNoResultText(engine_.State(), IsGermanUser(), engine_.Locale());
        if (!noResult.empty()) {
            face_.ShowErrorMessage(noResult);
        }
    });
}

void MainWindowLogic::ShowReportPage(bool withSummary) {
    ScanState& state = engine_.State();
    if (withSummary) {
        // The totals bar is written right after the page from the same state.
        SetZeroCountersToOne(state);
    }
    if (reportPageHook_) {
        reportPageHook_(withSummary);
        return;
    }
    face_.NavigateBlank();
    const bool german = IsGermanUser();
    // As the scan found it: its root is not asked again, it may have stopped answering.
    const std::string volumeLabel = withSummary ? engine_.VolumeLabel() : std::string();
    const std::string page =
        BuildReportPage(face_.ReportTemplate(TextsFor(german).TemplateResource), state, withSummary,
                        german, engine_.Locale(), ProgramPath(), volumeLabel);
    // Each page goes to a new file that is never deleted: the view may still be reading an
    // earlier one.
    face_.Navigate(WriteReportFile(page));
}

void MainWindowLogic::FormPaint() {
    if (firstPaintSeen_) {
        return;
    }
    firstPaintSeen_ = true;
    RunGuarded([this] {
        // Let the window be drawn completely before the walk takes over.
        face_.ProcessPendingMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        face_.ProcessPendingMessages();
        // Meanwhile the window may have been closed, or the user may have scanned a folder
        // of their own choice: the system drive is then not scanned behind their back.
        if (closeGranted_ || scanEverStarted_) {
            return;
        }
        StartScan(startupRoot_);
    });
}

void MainWindowLogic::RequestStop() {
    if (ScanRunning()) {
        StopRequested = true;
    }
}

void MainWindowLogic::BrowseSpeedButtonClick() {
    RunGuarded([this] {
        if (ScanRunning()) {
            RequestStop();
            return;
        }
        const std::string folder = shell_.BrowseForFolder();
        if (!folder.empty()) {
            StartScan(folder);
        }
    });
}

bool MainWindowLogic::FormKeyDown(int key, unsigned modifiers) {
    if (key == EscapeKey) {
        RunGuarded([this] {
            if (ScanRunning()) {
                RequestStop();
            } else {
                face_.CloseWindow();
            }
        });
        return true;
    }
    const bool shift = (modifiers & ShiftModifier) != 0;
    const bool control = (modifiers & ControlModifier) != 0;
    const bool alt = (modifiers & AltModifier) != 0;
    if (key == OKey && control && !shift && !alt) {
        // During a scan the shortcut does not stop it: only Browse/Stop and Escape do.
        if (!ScanRunning()) {
            BrowseSpeedButtonClick();
        }
        return true;
    }
    // The list's keys: in another control (the report page) they keep its own meaning.
    if (!face_.ListHasFocus()) {
        return false;
    }
    if (key == EnterKey && !control && !alt) {
        ListViewDblClick();
        return true;
    }
    if (key == DeleteKey && modifiers == NoModifier) {
        DeletePopupmenuClick();
        return true;
    }
    if ((key == F10Key && shift && !control && !alt) || (key == MenuKey && !control && !alt)) {
        RunGuarded([this] { face_.ShowContextMenu(); });
        return true;
    }
    if (key == CKey && control && !shift && !alt) {
        RunGuarded([this] {
            const std::string path = SelectedPath();
            if (!path.empty()) {
                face_.CopyText(path);
            }
        });
        return true;
    }
    return false;
}

bool MainWindowLogic::FormCloseQuery() {
    // Closing is never refused. During a scan the walk unwinds first; the program ends once
    // control is back in the event loop.
    RequestStop();
    closeGranted_ = true;
    return true;
}

ShellServices::Outcome MainWindowLogic::WhenAnswered(std::function<void(bool)> then) {
    return [this, alive = std::weak_ptr<bool>(alive_), then = std::move(then)](bool succeeded) {
        // The answer may come after the window has closed.
        if (!alive.expired()) {
            RunGuarded([&] { then(succeeded); });
        }
    };
}

ShellServices::Outcome MainWindowLogic::BeepOnFailure() {
    return WhenAnswered([this](bool succeeded) {
        if (!succeeded) {
            shell_.Beep();
        }
    });
}

void MainWindowLogic::AppImageClick() {
    RunGuarded([this] { shell_.OpenUrl(std::string(PublisherSiteUrl), BeepOnFailure()); });
}

void MainWindowLogic::ListViewClick() {
    RunGuarded([this] {
        const int row = face_.SelectedRow();
        if (row >= 0 && row < engine_.List().Count()) {
            face_.SetStatusText(engine_.List().At(row).FolderText);
        }
    });
}

void MainWindowLogic::ListViewSelectionChanged() {
    RunGuarded([this] {
        const int row = face_.SelectedRow();
        if (row < 0 || row >= engine_.List().Count()) {
            announcedSelection_.clear();
            return;
        }
        const ResultEntry& entry = engine_.List().At(row);
        std::string selection = entry.FolderText;
        selection += '\0';
        selection += entry.Caption;
        if (selection == announcedSelection_) {
            return;
        }
        announcedSelection_ = std::move(selection);
        face_.SetStatusText(entry.FolderText);
    });
}

void MainWindowLogic::ListViewDblClick() {
    RunGuarded([this] {
        const std::string path = SelectedPath();
        if (!path.empty()) {
            shell_.OpenFile(path, BeepOnFailure());
        }
    });
}

void MainWindowLogic::ShowInExplorerPopupmenuClick() {
    RunGuarded([this] {
        const std::string path = SelectedPath();
        if (path.empty()) {
            return;
        }
        const FileLocation location = SplitFileLocation(path);
        const std::string folder = location.Location;
        auto lastWay = WhenAnswered([this, folder](bool succeeded) {
            if (!succeeded) {
                // Not one way worked: the user is told instead of left waiting for a window.
                face_.ShowErrorMessage(FillIn(TextsFor(IsGermanUser()).RevealFailed, folder));
            }
        });
        auto secondWay = WhenAnswered([this, folder, lastWay](bool succeeded) {
            if (!succeeded) {
                shell_.StartFileManager(folder, lastWay);
            }
        });
        shell_.RevealSelectFile(folder, location.FileName,
                                WhenAnswered([this, folder, secondWay](bool succeeded) {
                                    if (!succeeded) {
                                        shell_.ExploreFolder(folder, secondWay);
                                    }
                                }));
    });
}

void MainWindowLogic::DeletePopupmenuClick() {
    RunGuarded([this] {
        const int row = face_.SelectedRow();
        if (row < 0 || row >= engine_.List().Count()) {
            return;
        }
        // Copies: the confirmation runs an event loop of its own, during which the walk may
        // add, re-sort and evict entries; the entry is only known again by its name.
        const std::string folder = engine_.List().At(row).FolderText;
        const std::string caption = engine_.List().At(row).Caption;
        if (!shell_.DeleteFileForGood(JoinPath(folder, caption))) {
            return;
        }
        const ResultList& list = engine_.List();
        auto isTheEntry = [&](int candidate) {
            const ResultEntry& entry = list.At(candidate);
            return entry.FolderText == folder && entry.Caption == caption;
        };
        int current = -1;
        if (row < list.Count() && isTheEntry(row)) {
            current = row;
        } else {
            for (int candidate = 0; candidate < list.Count(); ++candidate) {
                if (isTheEntry(candidate)) {
                    current = candidate;
                    break;
                }
            }
        }
        // Its size leaves the listed total and the totals bar, and the next largest file
        // takes its place.
        if (current >= 0) {
            engine_.RemoveListedEntry(current);
            if (!ScanRunning() && engine_.LastOutcome() == ScanOutcome::Completed) {
                // The summary under the list states the totals bar's figures.
                ShowReportPage(true);
            }
        }
    });
}

void MainWindowLogic::RunGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        face_.ShowErrorMessage(error.what());
    } catch (...) {
        face_.ShowErrorMessage(std::string(TextsFor(IsGermanUser()).UnexpectedError));
    }
}

std::string MainWindowLogic::SelectedPath() const {
    const int row = face_.SelectedRow();
    if (row < 0 || row >= engine_.List().Count()) {
        return std::string();
    }
    const ResultEntry& entry = engine_.List().At(row);
    return JoinPath(entry.FolderText, entry.Caption);
}
