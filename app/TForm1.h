#pragma once

#include "ResultListModel.h"
#include "platform/shell/IconCatalogue.h"
#include "window/MainWindowLogic.h"
#include "window/WindowFace.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class BusyAnimation;
class HtmlView;
class PanelStatusBar;
class QAction;
class QHelpEvent;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QTreeView;
class ShellServices;

// The program's one window on Qt: the top bar with the logo, the headline, the Browse/Stop
// button and the busy animation; the list of the largest files; the report view under a
// splitter; the totals bar and the status line. It creates the controls, draws, and forwards
// its events to MainWindowLogic, which decides what they do.
class TForm1 : public QWidget, public WindowFace {
    Q_OBJECT
public:
    // `shell` carries out the desktop actions (open, reveal, delete, folder picker, beep); it
    // must outlive the window.
    explicit TForm1(ShellServices& shell, QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, named after their role.
    QWidget* TopPanel = nullptr;
    QLabel* AppImage = nullptr;
    QLabel* TopLabel = nullptr;
    QToolButton* BrowseSpeedButton = nullptr;
    BusyAnimation* Animate = nullptr;
    QTreeView* ListView = nullptr;
    QSplitter* Splitter2 = nullptr;
    HtmlView* WebBrowser = nullptr;
    PanelStatusBar* StatusBar2 = nullptr;
    PanelStatusBar* StatusBar = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* ShowInExplorerPopupmenu = nullptr;
    QAction* DeletePopupmenu = nullptr;

    MainWindowLogic& Logic() { return logic_; }
    ScanEngine& Engine() { return logic_.Engine(); }
    WindowScanHost& ScanHost() { return logic_.ScanHost(); }
    ResultListModel& ListModel() { return model_; }

    // The folder scanned after the first paint; SystemDriveRoot() unless set before then.
    void SetStartupRoot(const std::string& root) { logic_.SetStartupRoot(root); }
    // Replaces the message box that shows a command's error (tests use it so that no real
    // dialog opens). An empty function restores the message box.
    void SetMessageBoxHook(std::function<void(const QString&)> hook);

    bool ScanRunning() const { return logic_.ScanRunning(); }
    void StartScan(const std::string& path) { logic_.StartScan(path); }

    // The window's events, forwarded to the logic's handlers of the same names.
    void FormCreate();
    void FormResize();
    void FormPaint() { logic_.FormPaint(); }
    void BrowseSpeedButtonClick() { logic_.BrowseSpeedButtonClick(); }
    // `key` and `modifiers` as Qt gives them; true when the window took the key.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void FormCloseQuery() { logic_.FormCloseQuery(); }
    void FormClose() {}
    void AppImageClick() { logic_.AppImageClick(); }
    void ListViewClick() { logic_.ListViewClick(); }
    void ListViewDblClick() { logic_.ListViewDblClick(); }
    void ShowInExplorerPopupmenuClick() { logic_.ShowInExplorerPopupmenuClick(); }
    void DeletePopupmenuClick() { logic_.DeletePopupmenuClick(); }

    // The face's operations.
    void NavigateBlank() override;
    void Navigate(const std::string& file) override;
    std::string ReportTemplate(std::string_view resourceName) override;
    void StartBusyAnimation() override;
    void StopBusyAnimation() override;
    void ShowButton(Glyph glyph, const std::string& caption) override;
    void MakeBrowseButtonVisible() override;
    void SetStatusText(const std::string& text) override;
    void WriteTotalsPanels(const TotalsPanelTexts& texts) override;
    void ProcessPendingMessages() override;
    void HoldBackRepaints() override;
    void ShowHeldBackRepaints() override;
    void ListChanging(const ListChange& change) override;
    void ListChanged(const ListChange& change) override;
    int SelectedRow() const override;
    void ScrollListToTop() override;
    void ClearSelection() override;
    void FocusRow(int row) override;
    void FocusList() override;
    bool ListHasFocus() const override;
    void ShowContextMenu() override;
    void CopyText(const std::string& text) override;
    void CloseWindow() override;
    void ShowErrorMessage(const std::string& message) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    HtmlView* CreateWebBrowser();
    void ReadLocaleFormat();
    void FitValueColumnsToFont();
    // The size column grows to hold the size text of the entry at `row` when it is longer
    // than any it has held (10^12 bytes and more outgrow the design's example).
    void FitSizeColumnToEntry(int row);
    // The design's size and place are those of the whole window, frame included. The frame
    // is known only once the window manager has framed the shown window: then the inside
    // is made smaller by it and the frame put in place, once.
    void FitFrameToDesign();
    // The list takes half the inside's height, the report view the rest.
    void SetInitialListHeight();
    // A name or folder cut short in its column shows whole in a tooltip. True when the help
    // event was the list's.
    bool ShowCutTextToolTip(QHelpEvent* event);

    IconCatalogue icons_;
    MainWindowLogic logic_;
    ResultListModel model_;
    std::function<void(const QString&)> messageBoxHook_;
    bool firstPaintSeen_ = false;
    QRect designFrame_;
    bool frameFitted_ = false;
    QSize frameSize_;
    bool listHeightPending_ = false;
    // The longest size text the size column has been fitted to, in bytes.
    std::size_t fittedSizeTextBytes_ = 0;
};
