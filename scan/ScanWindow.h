#pragma once

#include "ListChange.h"
#include "TotalsPanelTexts.h"
#include "walk/FolderWalk.h"

#include <string>

// Everything a scan does to the window, and nothing else. The main window implements it;
// the tests implement it with a recorder. docs/ARCHITECTURE.md gives the order of the calls
// during one scan.
class ScanWindow {
public:
    virtual ~ScanWindow() = default;

    // Shows the report page, with or without the summary sentence. Throws std::system_error
    // when the page cannot be written or shown; the scan does not catch it.
    virtual void ShowReportPage(bool withSummary) = 0;

    // Shows the busy animation and starts it looping: a scan is running from now on.
    virtual void StartBusyAnimation() = 0;
    // Hides the busy animation and rewinds it to its first frame: the scan is over.
    virtual void StopBusyAnimation() = 0;

    // The Browse/Stop button: the stop glyph with `caption` while a scan runs...
    virtual void ShowStopButton(const std::string& caption) = 0;
    // ...and the folder glyph with `caption` afterwards.
    virtual void ShowBrowseButton(const std::string& caption) = 0;
    virtual void MakeBrowseButtonVisible() = 0;

    // Replaces the status line's text (UTF-8; a folder's bytes as they are).
    virtual void SetStatusText(const std::string& text) = 0;

    // Writes the totals bar's three panels, in the order 0, 1, 2.
    virtual void WriteTotalsPanels(const TotalsPanelTexts& texts) = 0;

    // Lets the window system handle what is pending: input, repaints, the user's commands
    // (which may set StopRequested or change the list). Called very often during a walk;
    // an implementation decides how much work each call does.
    virtual void ProcessPendingMessages() = 0;

    // Called every 50 ms while the walk waits for a file system to answer one of its workers
    // (at most 2 s per folder), or the scan for its root's to answer before the walk (at most
    // 2 s), so that Stop, Escape and closing are heard meanwhile; with workers also between
    // the steps of opening the root, which take a while where every call goes through
    // another process. These calls come at no fixed point, so they are not part of the fixed
    // sequence of a scan.
    virtual void ProcessMessagesWhileWaiting() { ProcessPendingMessages(); }

    // The walk has left out `folder` for `reason` (Unreadable or OtherDrive; folders that are
    // deliberately not entered are not announced). Called right after it is found out,
    // before the processing of pending messages that follows.
    virtual void FolderSkipped(const std::string& folder, FolderSkip reason) {
        (void)folder;
        (void)reason;
    }

    // The result list is about to change / has changed.
    virtual void ListChanging(const ListChange& change) = 0;
    virtual void ListChanged(const ListChange& change) = 0;
};
