#pragma once

#include "ResultListModel.h"
#include "WindowScanHost.h"
#include "platform/shell/IconCatalogue.h"
#include "scan/ScanEngine.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

class BusyAnimation;
class HtmlView;
class PanelStatusBar;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QTreeView;
class ShellServices;

// The program's one window: the top bar with the logo, the headline, the Browse/Stop button
// and the busy animation; the list of the largest files; the report view under a splitter;
// the totals bar and the status line. It runs the scans (inside the call that starts them,
// on this thread) and the user's commands, which during a scan run re-entrantly from the
// walk's processing of pending events.
//
// A scan is running exactly while the busy animation is shown. Every command catches what
// it raises and shows the message in a message box; nothing crosses the event loop.
class TForm1 : public QWidget {
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

    ScanEngine& Engine() { return engine_; }
    WindowScanHost& ScanHost() { return host_; }
    ResultListModel& ListModel() { return model_; }

    // The folder scanned after the first paint; SystemDriveRoot() unless set before then.
    void SetStartupRoot(const std::string& root) { startupRoot_ = root; }
    // Replaces the message box that shows a command's error (tests use it so that no real
    // dialog opens). An empty function restores the message box.
    void SetMessageBoxHook(std::function<void(const QString&)> hook);

    bool ScanRunning() const;
    // The selected row, or -1.
    int SelectedRow() const;

    // Shows the report page under the list, with or without the summary of the scan that
    // has just ended. Throws std::system_error when the page cannot be written or shown.
    virtual void ShowReportPage(bool withSummary);

    // Starts and completes a scan of `path`; an error is shown in a message box.
    void StartScan(const std::string& path);

    // The window's event handlers.
    void FormCreate();
    void FormResize();
    void FormPaint();
    void BrowseSpeedButtonClick();
    void FormKeyDown(int key);
    void FormCloseQuery();
    void FormClose();
    void AppImageClick();
    void ListViewClick();
    void ListViewDblClick();
    void ShowInExplorerPopupmenuClick();
    void DeletePopupmenuClick();

    enum class ButtonGlyph { Stop, Folder };
    // The Browse/Stop button's glyph and caption.
    void ShowButtonGlyph(ButtonGlyph glyph, const std::string& caption);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    HtmlView* CreateWebBrowser();
    void ReadLocaleFormat();
    void FitValueColumnsToFont();
    // The full path of the selected entry, from its original bytes; empty without one.
    std::string SelectedPath() const;
    // Runs a command, showing what it throws in a message box.
    void RunGuarded(const std::function<void()>& command);
    void ShowError(const QString& message);

    ShellServices& shell_;
    IconCatalogue icons_;
    WindowScanHost host_;
    ScanEngine engine_;
    ResultListModel model_;
    std::string startupRoot_;
    std::function<void(const QString&)> messageBoxHook_;
    bool firstPaintSeen_ = false;
    bool scanEverStarted_ = false;
};
