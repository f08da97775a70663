#pragma once

#include "scan/ListChange.h"
#include "scan/TotalsPanelTexts.h"

#include <string>
#include <string_view>

// What the window logic asks of a face (the Qt window on Linux, the Win32 window on
// Windows): drawing and control operations only. A face decides nothing: it creates its
// controls, carries these operations out, and forwards its events to MainWindowLogic.
class WindowFace {
public:
    enum class Glyph { Stop, Folder };

    virtual ~WindowFace() = default;

    // The report view: an empty page, drawn at once...
    virtual void NavigateBlank() = 0;
    // ...and the page in `file`. Throws std::system_error when it cannot be shown.
    virtual void Navigate(const std::string& file) = 0;
    // The report template `resourceName` from the program's own resources, as its bytes;
    // empty when there is none.
    virtual std::string ReportTemplate(std::string_view resourceName) = 0;

    // The busy animation: shown and looping, or hidden and rewound.
    virtual void StartBusyAnimation() = 0;
    virtual void StopBusyAnimation() = 0;

    // The Browse/Stop button's glyph and caption, and making it visible.
    virtual void ShowButton(Glyph glyph, const std::string& caption) = 0;
    virtual void MakeBrowseButtonVisible() = 0;

    // The status line's text (UTF-8; a folder's bytes as they are).
    virtual void SetStatusText(const std::string& text) = 0;
    // The totals bar's three panels.
    virtual void WriteTotalsPanels(const TotalsPanelTexts& texts) = 0;

    // Handles what is pending in the window system now: input, repaints, the commands.
    virtual void ProcessPendingMessages() = 0;
    // While a scan runs the list and the status bars are drawn once a frame: their repaints
    // are held back from the first change of a frame until ShowHeldBackRepaints.
    virtual void HoldBackRepaints() = 0;
    virtual void ShowHeldBackRepaints() = 0;

    // The result list is about to change / has changed: the list view follows.
    virtual void ListChanging(const ListChange& change) = 0;
    virtual void ListChanged(const ListChange& change) = 0;
    // The selected row of the list, or -1.
    virtual int SelectedRow() const = 0;
    // Shows the list from its first row.
    virtual void ScrollListToTop() = 0;
    // Selects no row and marks none as the focused one.
    virtual void ClearSelection() = 0;
    // Marks `row` as the list's focused row, where the arrow keys start, without selecting
    // it.
    virtual void FocusRow(int row) = 0;
    // Gives the list the keyboard focus.
    virtual void FocusList() = 0;
    // True while the list has the keyboard focus.
    virtual bool ListHasFocus() const = 0;
    // Opens the list's context menu at the selected row (at the list's corner without one).
    virtual void ShowContextMenu() = 0;
    // Puts `text` (UTF-8; a path's bytes as they are) on the clipboard.
    virtual void CopyText(const std::string& text) = 0;

    // Closes the main window; the face then asks MainWindowLogic::FormCloseQuery.
    virtual void CloseWindow() = 0;
    // Shows a command's error in a message box owned by the window.
    virtual void ShowErrorMessage(const std::string& message) = 0;
};
