#pragma once

#include "WindowScanHost.h"
#include "scan/ScanEngine.h"

#include "ShellServices.h"

#include <functional>
#include <memory>
#include <string>

class IconLookup;
class WindowFace;

// What the main window decides, free of any toolkit: the scans (the start-up scan, Browse
// and Stop, Escape, closing during a scan) and the user's commands on the listed files.
// A face (the Qt window, the Win32 window) creates the controls, draws, and forwards its
// events to the handlers here, which carry the design's names.
//
// A scan runs inside the call that starts it, on the window's thread; the handlers then run
// re-entrantly from the walk's processing of pending messages. Whether a scan is running is
// asked of the engine and of nothing else. Every handler catches what its command throws
// and has the face show the message: nothing crosses the window system's event loop.
class MainWindowLogic {
public:
    // The keys the window handles, as Windows virtual-key codes (faces translate theirs),
    // and the modifier keys held with them.
    static constexpr int EnterKey = 13;
    static constexpr int EscapeKey = 27;
    static constexpr int DeleteKey = 46;
    static constexpr int MenuKey = 93;
    static constexpr int F10Key = 121;
    static constexpr int CKey = 'C';
    static constexpr int OKey = 'O';
    enum Modifier : unsigned {
        NoModifier = 0,
        ShiftModifier = 1,
        ControlModifier = 2,
        AltModifier = 4
    };

    // `face`, `shell` and `icons` must outlive the logic.
    MainWindowLogic(WindowFace& face, ShellServices& shell, IconLookup& icons);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    ScanEngine& Engine() { return engine_; }
    const ScanEngine& Engine() const { return engine_; }
    WindowScanHost& ScanHost() { return host_; }

    bool ScanRunning() const { return engine_.ScanRunning(); }
    // True once the window's close was granted: the program ends when control is back in
    // the window system's event loop.
    bool CloseGranted() const { return closeGranted_; }

    // The folder scanned after the first paint; SystemDriveRoot() unless set before then.
    void SetStartupRoot(const std::string& root) { startupRoot_ = root; }
    // Replaces the report page by `hook`, which is told whether the page would carry the
    // summary (tests, and the benchmark that leaves the page out of its figures). An empty
    // function restores the page.
    void SetReportPageHook(std::function<void(bool)> hook);

    // Starts and completes a scan of `path`; an error is shown by the face.
    void StartScan(const std::string& path);
    // Shows the report page under the list, with or without the summary of the scan that
    // has just ended; with it, the counters the sentence divides by are set to 1 where they
    // are 0 first, and stay so for the totals bar. Throws std::system_error when the page
    // cannot be written or shown.
    void ShowReportPage(bool withSummary);

    // The window's event handlers.
    // After the first paint: lets the window be drawn, then scans the start-up root unless
    // the window was closed or a scan has already been started meanwhile. Once only.
    void FormPaint();
    void BrowseSpeedButtonClick();
    // A key pressed anywhere in the window, seen before the focused control sees it.
    // Window-wide: Escape stops a scan or closes the window, whatever modifiers are held;
    // Ctrl+O browses when no scan runs. While the list has the focus: Enter opens the
    // selected file; Delete deletes it (with the confirmation); Shift+F10 and the menu key
    // open the context menu; Ctrl+C copies the selected file's full path. Elsewhere those
    // keys keep the focused control's own meaning (Ctrl+C in the report page copies its
    // selected text). Returns whether the key was the window's: the face then keeps it
    // from the focused control.
    bool FormKeyDown(int key, unsigned modifiers = NoModifier);
    // Stops a running scan. Returns whether the window may close: always.
    bool FormCloseQuery();
    void AppImageClick();
    void ListViewClick();
    // The list's selection changed, by a click, the keys, a right-click or a delete: the
    // status line shows the selected file's folder; without a selection it keeps its text.
    // A re-sort that keeps the same file selected changes nothing.
    void ListViewSelectionChanged();
    void ListViewDblClick();
    void ShowInExplorerPopupmenuClick();
    void DeletePopupmenuClick();

    // Runs `command`, having the face show what it throws.
    void RunGuarded(const std::function<void()>& command);

private:
    // Asks the running scan to stop; does nothing between scans.
    void RequestStop();
    // The full path of the selected entry, from its original bytes; empty without one.
    std::string SelectedPath() const;
    // `then`, run guarded when a shell action answers, unless the logic is gone by then.
    ShellServices::Outcome WhenAnswered(std::function<void(bool)> then);
    // Beeps when the action failed.
    ShellServices::Outcome BeepOnFailure();

    WindowFace& face_;
    ShellServices& shell_;
    WindowScanHost host_;
    ScanEngine engine_;
    std::string startupRoot_;
    std::function<void(bool)> reportPageHook_;
    bool firstPaintSeen_ = false;
    bool scanEverStarted_ = false;
    bool closeGranted_ = false;
    // The entry whose folder the status line was last given for a selection (folder, then
    // caption); empty while nothing is selected.
    std::string announcedSelection_;
    // Lives as long as the logic: an answer of the desktop that comes later asks it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
