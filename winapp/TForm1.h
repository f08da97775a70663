#pragma once

#include "ShellIconLookup.h"
#include "Win32ScanHost.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Shell.h"
#include "scan/ScanEngine.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

class WebBrowserHost;

// The program's one window on the Win32 API and the common controls: the top bar with the
// logo, the headline, the Browse/Stop button and the busy clip; the list of the largest
// files (an owner-data list view reading the entries in place from the result list); the
// report page in the system's web-browser control under a splitter; the totals bar and
// the status line. Sizes are the design's 96-DPI sizes, scaled with the monitor.
//
// The scans run inside the call that starts them, on this thread; the user's commands run
// re-entrantly from the walk's processing of pending messages. Every command catches what
// it raises and shows the message in a message box; nothing crosses the message loop.
class TForm1 {
public:
    // Creates the window, hidden, and lays it out. `instance` holds the program's
    // resources. Throws std::runtime_error when the window cannot be created.
    explicit TForm1(HINSTANCE instance);
    virtual ~TForm1();
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // The window and its controls, named after their role.
    HWND Form1 = nullptr;
    HWND TopPanel = nullptr;
    HWND AppImage = nullptr;
    HWND TopLabel = nullptr;
    HWND BrowseSpeedButton = nullptr;
    HWND Animate = nullptr;
    HWND ListView = nullptr;
    HWND Splitter2 = nullptr;
    HWND WebBrowser = nullptr;
    HWND StatusBar2 = nullptr;
    HWND StatusBar = nullptr;
    HMENU PopupMenu = nullptr;

    // Runs the message loop until the window has closed; returns the program's exit code.
    int RunMessageLoop();
    // Handles every pending message (Escape seen by the window first) and returns. False
    // when the program has been asked to end (the request stays in the queue).
    bool PumpPendingMessages();

    ScanEngine& Engine() { return engine_; }
    Win32ScanHost& ScanHost() { return host_; }
    // The report view's control; null when the system has none.
    WebBrowserHost* Browser() { return browser_.get(); }

    // The folder scanned after the first paint; the system drive unless set before then.
    void SetStartupRoot(const std::string& root) { startupRoot_ = root; }
    // Replaces the message box that shows a command's error (tests use it so that no
    // dialog opens). An empty function restores the message box.
    void SetMessageBoxHook(std::function<void(const std::string&)> hook);
    // How deleting asks before it deletes; the shell's confirmation unless a test says so.
    void SetDeleteConfirmation(DeleteConfirmation confirmation) { confirmation_ = confirmation; }

    bool ScanRunning() const;
    // The selected row, or -1.
    int SelectedRow() const;
    // Whether the window still exists (closing destroys it).
    bool IsOpen() const { return Form1 != nullptr; }
    // The screen's dots per inch for this window; 96 is the design's.
    int Dpi() const { return dpi_; }

    // Shows the report page under the list, with or without the summary of the scan that
    // has just ended. Throws std::system_error when the page cannot be written or the view
    // refuses it.
    virtual void ShowReportPage(bool withSummary);
    // Starts and completes a scan of `path`; an error is shown in a message box.
    void StartScan(const std::string& path);

    // The window's event handlers.
    void FormCreate();
    void FormResize();
    void FormPaint();
    void BrowseSpeedButtonClick();
    void FormKeyDown(WPARAM key);
    // Asks for the close; the window closes at once, or once a running scan has unwound.
    void FormCloseQuery();
    void FormClose();
    void AppImageClick();
    void ListViewClick();
    void ListViewDblClick();
    void ShowInExplorerPopupmenuClick();
    void DeletePopupmenuClick();

    // What the scan shows in the window.
    enum class ButtonGlyph { None, Stop, Folder };
    void ShowButtonGlyph(ButtonGlyph glyph, const std::string& caption);
    void ShowBrowseSpeedButton();
    void StartAnimation();
    void StopAnimation();
    void SetStatusLine(const std::string& text);
    void SetTotalsPanels(const TotalsPanelTexts& texts);
    void ListChanging(const ListChange& change);
    void ListChanged(const ListChange& change);
    // Stops (true) or resumes (false) the list's repaints; resuming repaints it once.
    void HoldBackListRepaints(bool holdBack);

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void RegisterClasses(HINSTANCE instance);
    // The window of ours that a message for `window` belongs to, or null.
    static TForm1* FormOf(HWND window);
    // Escape goes to the window before the focused control sees it. True when handled.
    static bool PreviewKey(const MSG& message);

    LRESULT HandleFormMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Messages of the top panel's children, which reach the window through the panel.
    bool HandlePanelMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT HandleListNotify(NMHDR* header);
    void CreateControls();
    void ApplyFonts();
    void LoadPictures();
    void ApplyTexts(bool german);
    void SetColumns();
    void SizeHeadline();
    void LayOut();
    void DrawBrowseButton(const DRAWITEMSTRUCT& item);
    void FillDisplayInfo(NMLVDISPINFOW& info);
    void ShowPopupMenu(POINT screenPoint);
    void ChangeDpi(int newDpi, const RECT* suggested);
    void MoveSplitter(int cursorY);
    void ReadLocaleFormat();
    void SelectRow(int row);
    // The full path of the selected entry, from its original bytes; empty without one.
    std::string SelectedPath() const;
    // Runs a command, showing what it throws in a message box.
    void RunGuarded(const std::function<void()>& command);
    void ShowError(const std::string& message);
    int Scale(int designPixels) const;

    HINSTANCE instance_;
    ShellIconLookup icons_;
    Win32ScanHost host_;
    ScanEngine engine_;
    std::unique_ptr<WebBrowserHost> browser_;
    std::string startupRoot_;
    std::function<void(const std::string&)> messageBoxHook_;
    DeleteConfirmation confirmation_ = DeleteConfirmation::AskUser;
    int dpi_ = 96;
    HFONT font_ = nullptr;
    HICON appIcon_ = nullptr;
    HIMAGELIST stopGlyph_ = nullptr;
    HIMAGELIST folderGlyph_ = nullptr;
    ButtonGlyph glyph_ = ButtonGlyph::None;
    std::wstring buttonCaption_;
    std::wstring headline_;
    // The report view's height in pixels; the list takes the rest.
    int browserHeight_ = 0;
    int splitterGrab_ = -1;
    int listRowBeforeSort_ = -1;
    std::wstring displayText_;
    bool firstPaintSeen_ = false;
    bool scanEverStarted_ = false;
    bool closeAfterScan_ = false;
};
