#pragma once

#include "ShellIconLookup.h"
#include "Win32ShellServices.h"
#include "platform/win32/Win32Api.h"
#include "window/MainWindowLogic.h"
#include "window/WindowFace.h"

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
// The window decides nothing: it creates its controls, draws what MainWindowLogic asks
// for, and forwards its events there. The scans run inside the call that starts them, on
// this thread; the events then arrive re-entrantly from the walk's processing of pending
// messages.
class TForm1 final : public WindowFace {
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
    // The tip that shows a name or folder the list cuts short.
    HWND CellTip = nullptr;

    // Runs the message loop until the window has closed; returns the program's exit code.
    int RunMessageLoop();
    // Handles every pending message (Escape seen by the window first) and returns. False
    // when the program has been asked to end (the request stays in the queue).
    bool PumpPendingMessages();

    MainWindowLogic& Logic() { return logic_; }
    ScanEngine& Engine() { return logic_.Engine(); }
    WindowScanHost& ScanHost() { return logic_.ScanHost(); }
    Win32ShellServices& Shell() { return shell_; }
    // The report view's control; null when the system has none.
    WebBrowserHost* Browser() { return browser_.get(); }

    // The folder scanned after the first paint; the system drive unless set before then.
    void SetStartupRoot(const std::string& root) { logic_.SetStartupRoot(root); }
    // Replaces the message box that shows a command's error (tests use it so that no
    // dialog opens). An empty function restores the message box.
    void SetMessageBoxHook(std::function<void(const std::string&)> hook);

    bool ScanRunning() const { return logic_.ScanRunning(); }
    // Whether the window still exists (a granted close destroys it once no scan runs).
    bool IsOpen() const { return Form1 != nullptr; }
    // The width and height of the button's glyphs, in pixels.
    int ButtonGlyphPixels() const;
    // The text the cell tip shows, while it shows; empty otherwise.
    std::wstring CellTipText() const;
    // The screen's dots per inch for this window; 96 is the design's.
    int Dpi() const { return dpi_; }
    void StartScan(const std::string& path) { logic_.StartScan(path); }

    // The window's event handlers, forwarded to the logic.
    void FormCreate();
    void FormResize();
    void FormPaint() { logic_.FormPaint(); }
    void BrowseSpeedButtonClick() { logic_.BrowseSpeedButtonClick(); }
    void FormKeyDown(WPARAM key) { logic_.FormKeyDown(static_cast<int>(key)); }
    void FormCloseQuery();
    void FormClose() {}
    void AppImageClick() { logic_.AppImageClick(); }
    void ListViewClick() { logic_.ListViewClick(); }
    void ListViewDblClick() { logic_.ListViewDblClick(); }
    void ShowInExplorerPopupmenuClick() { logic_.ShowInExplorerPopupmenuClick(); }
    void DeletePopupmenuClick() { logic_.DeletePopupmenuClick(); }

    // WindowFace
    void NavigateBlank() override;
    void Navigate(const std::string& file) override;
    std::string ReportTemplate(std::string_view resourceName) override;
    void StartBusyAnimation() override;
    void StopBusyAnimation() override;
    void ShowButton(Glyph glyph, const std::string& caption) override;
    void MakeBrowseButtonVisible() override;
    void SetStatusText(const std::string& text) override;
    void WriteTotalsPanels(const TotalsPanelTexts& texts) override;
    void ProcessPendingMessages() override { PumpPendingMessages(); }
    void HoldBackRepaints() override;
    void ShowHeldBackRepaints() override;
    void ListChanging(const ListChange& change) override;
    void ListChanged(const ListChange& change) override;
    int SelectedRow() const override;
    void ScrollListToTop() override;
    void ClearSelection() override { SelectRow(-1); }
    void FocusRow(int row) override;
    void FocusList() override { SetFocus(ListView); }
    bool ListHasFocus() const override { return GetFocus() == ListView; }
    void ShowContextMenu() override { ShowPopupMenu(POINT{-1, -1}); }
    void CopyText(const std::string& text) override;
    void CloseWindow() override;
    void ShowErrorMessage(const std::string& message) override;

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SplitterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK BrowserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ListViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
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
    void CreateCellTip();
    // Points the tip at the cell under `point` (list coordinates) when its text is cut.
    void TrackCellTip(POINT point);
    void ShowCellTip();
    void HideCellTip();
    void SizeHeadline();
    void LayOut();
    void DrawBrowseButton(const DRAWITEMSTRUCT& item);
    void FillDisplayInfo(NMLVDISPINFOW& info);
    void ShowPopupMenu(POINT screenPoint);
    void ChangeDpi(int newDpi, const RECT* suggested);
    void MoveSplitter(int cursorY);
    void SetListCount(int count);
    void InvalidateList();
    void ReadLocaleFormat();
    void FitValueColumnsToFont();
    void SelectRow(int row);
    void ShowStatusLine(const std::string& text);
    void ShowTotalsPanels(const TotalsPanelTexts& texts);
    // Carries out a granted close once no scan runs: control is back in the message loop.
    void DestroyIfCloseGranted();
    int Scale(int designPixels) const;
    // The list's height with its header and MinimumListRows rows.
    int MinimumListHeight() const;

    HINSTANCE instance_;
    ShellIconLookup icons_;
    Win32ShellServices shell_;
    MainWindowLogic logic_;
    std::unique_ptr<WebBrowserHost> browser_;
    std::function<void(const std::string&)> messageBoxHook_;
    int dpi_ = 96;
    HFONT font_ = nullptr;
    HICON appIcon_ = nullptr;
    HIMAGELIST stopGlyph_ = nullptr;
    HIMAGELIST folderGlyph_ = nullptr;
    // No glyph until the first scan starts.
    HIMAGELIST buttonGlyph_ = nullptr;
    std::wstring buttonCaption_;
    std::wstring headline_;
    // The heights of the report view and the list as last chosen (at start, or with the
    // splitter); the window shares its height out from them.
    int browserHeight_ = 0;
    int chosenListHeight_ = 0;
    // The size of the glyphs and the clip loaded, in percent of the design's; 0 for none.
    int picturePercent_ = 0;
    int splitterGrab_ = -1;
    int listRowBeforeSort_ = -1;
    // While the list view's selection is moved along with its entry (a re-sort, a row
    // removed above it), its notifications are not the user's change of the selection.
    bool followingSelection_ = false;
    // The row to mark as focused once the list view has been given the list's count.
    int pendingFocusRow_ = -1;
    // The list view's own window procedure, which ListViewProc hands every message on to.
    WNDPROC listViewProc_ = nullptr;
    // The cell the tip was last pointed at, and its whole text when that is cut.
    int tipRow_ = -1;
    int tipColumn_ = -1;
    std::wstring tipText_;
    RECT tipCell_{};
    std::wstring displayText_;
    // While repaints are held back the status texts wait here for the next frame.
    bool holdingBack_ = false;
    bool countPending_ = false;
    bool statusPending_ = false;
    std::string pendingStatus_;
    bool totalsPending_ = false;
    TotalsPanelTexts pendingTotals_;
    bool firstPaintSeen_ = false;
};
