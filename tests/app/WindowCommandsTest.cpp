// The commands on listed files and on the logo as the Qt window delivers them, with a
// recording stand-in for the desktop. What the commands decide is tested with the window
// logic; here, that clicks, menus and the list model reach it and show its results.
#include "AppTestSupport.h"
#include "app/PanelStatusBar.h"
#include "platform/fs/Paths.h"
#include "scan/InterfaceTexts.h"
#include "scan/StopRequested.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

class WindowCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void ListClickShowsTheEntrysFolder();
    void DoubleClickOpensTheSelectedFile();
    void LogoClickOpensTheSite();
    void DeleteConfirmedRemovesFileRowAndItsSizeFromTheTotals();
    void DeleteReachesExactlyTheNonUtf8File();
    void DeleteDuringScanRemovesTheRowAndTheWalkGoesOn();
    void KeyboardShortcutsReachTheCommands();
    void CutNamesShowWholeInATooltip();

private:
    // A window that has scanned a fresh tree, shown.
    void ScanFreshTree();
    QPoint RowCentre(int row) const;
    // As the window system delivers a double-click: press, release, double-click, release.
    void DoubleClickRow(int row);

    std::unique_ptr<ScopedEnvironment> english_;
    std::unique_ptr<TestTree> tree_;
    std::unique_ptr<FakeShellServices> shell_;
    std::unique_ptr<RecordingForm> form_;
};

void WindowCommandsTest::initTestCase() {
    english_ = std::make_unique<ScopedEnvironment>("LC_ALL", "en_US.UTF-8");
}

void WindowCommandsTest::init() {
    StopRequested = false;
    tree_ = std::make_unique<TestTree>();
    tree_->AddFile("big.iso", 5000000);
    tree_->AddFile("Data/movie.mkv", 3000000);
    tree_->AddFile("Data/deep/notes.txt", 1000);
    shell_ = std::make_unique<FakeShellServices>();
    form_ = std::make_unique<RecordingForm>(*shell_);
}

void WindowCommandsTest::cleanup() {
    form_.reset();
    shell_.reset();
    tree_.reset();
}

void WindowCommandsTest::ScanFreshTree() {
    form_->SetStartupRoot(tree_->Root());
    QVERIFY(ShowAndWaitForStartupScan(*form_));
    QCOMPARE(form_->Engine().List().Count(), 3);
}

QPoint WindowCommandsTest::RowCentre(int row) const {
    return form_->ListView->visualRect(form_->ListModel().index(row, 0)).center();
}

void WindowCommandsTest::DoubleClickRow(int row) {
    QWidget* viewport = form_->ListView->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowCentre(row));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowCentre(row));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, RowCentre(row));
}

void WindowCommandsTest::ListClickShowsTheEntrysFolder() {
    ScanFreshTree();
    const int row = RowOfCaption(*form_, "movie.mkv");
    QVERIFY(row >= 0);
    QTest::mouseClick(form_->ListView->viewport(), Qt::LeftButton, {}, RowCentre(row));
    QCOMPARE(form_->SelectedRow(), row);
    QCOMPARE(form_->StatusBar->PanelText(0), QString::fromStdString(tree_->Root() + "/Data"));
    // Nothing else happened.
    QVERIFY(shell_->Calls.empty());
    QCOMPARE(shell_->Beeps, 0);
}

void WindowCommandsTest::DoubleClickOpensTheSelectedFile() {
    ScanFreshTree();
    const int row = RowOfCaption(*form_, "big.iso");
    DoubleClickRow(row);
    QCOMPARE(shell_->Calls, std::vector<std::string>{"open " + tree_->Root() + "/big.iso"});
    QCOMPARE(shell_->Beeps, 0);
}

void WindowCommandsTest::LogoClickOpensTheSite() {
    ScanFreshTree();
    const std::string site(PublisherSiteUrl);
    QTest::mouseClick(form_->AppImage, Qt::LeftButton);
    QCOMPARE(shell_->Calls, std::vector<std::string>{"url " + site});
    // The right button does not count as a click on the logo.
    QTest::mouseClick(form_->AppImage, Qt::RightButton);
    QCOMPARE(shell_->CountCalls("url "), 1);
}

void WindowCommandsTest::DeleteConfirmedRemovesFileRowAndItsSizeFromTheTotals() {
    ScanFreshTree();
    const ScanState before = form_->Engine().State();
    QString totals[3];
    for (int panel = 0; panel < 3; ++panel) {
        totals[panel] = form_->StatusBar2->PanelText(panel);
    }
    const std::string path = tree_->Root() + "/Data/movie.mkv";
    SelectRow(*form_, RowOfCaption(*form_, "movie.mkv"));

    form_->DeletePopupmenu->trigger();

    QCOMPARE(shell_->Calls, std::vector<std::string>{"delete " + path});
    QVERIFY(!PathExists(path));
    QCOMPARE(ListedCaptions(*form_), (std::vector<std::string>{"big.iso", "notes.txt"}));
    QCOMPARE(form_->ListModel().rowCount(), 2);
    // The deleted file's 2 MiB leave the listed total and the totals bar at once; the
    // number of files counted stays what the scan met.
    const ScanState& after = form_->Engine().State();
    QCOMPARE(after.ListedTotalMB, before.ListedTotalMB - 2);
    QCOMPARE(after.FileCount, before.FileCount);
    QVERIFY(form_->StatusBar2->PanelText(0) != totals[0]);
    QVERIFY(PathExists(tree_->Root() + "/big.iso"));

    // The next scan no longer finds it.
    shell_->BrowseAnswer = tree_->Root();
    QTest::mouseClick(form_->BrowseSpeedButton, Qt::LeftButton);
    QCOMPARE(form_->Engine().State().FileCount, std::uint32_t(2));
    QCOMPARE(RowOfCaption(*form_, "movie.mkv"), -1);
}

void WindowCommandsTest::DeleteReachesExactlyTheNonUtf8File() {
    // Two names that look alike on screen: each invalid byte shows as the same replacement
    // character.
    const std::string latin1Name = "r\xe9sum\xe9.doc";
    const std::string otherName = "r\xe8sum\xe8.doc";
    const std::string latin1Path = tree_->AddFile(latin1Name, 7000000);
    const std::string otherPath = tree_->AddFile(otherName, 6000000);
    form_->SetStartupRoot(tree_->Root());
    QVERIFY(ShowAndWaitForStartupScan(*form_));
    const int row = RowOfCaption(*form_, latin1Name);
    QVERIFY(row >= 0);
    QCOMPARE(form_->ListModel().index(row, 0).data().toString(),
             QStringLiteral("r\uFFFDsum\uFFFD.doc"));

    SelectRow(*form_, row);
    form_->DeletePopupmenu->trigger();

    QCOMPARE(shell_->Calls, std::vector<std::string>{"delete " + latin1Path});
    QVERIFY(!PathExists(latin1Path));
    QVERIFY(PathExists(otherPath));
    QCOMPARE(RowOfCaption(*form_, latin1Name), -1);
    QVERIFY(RowOfCaption(*form_, otherName) >= 0);

    // Opening and revealing use the same bytes.
    SelectRow(*form_, RowOfCaption(*form_, otherName));
    form_->ListViewDblClick();
    form_->ShowInExplorerPopupmenu->trigger();
    QCOMPARE(shell_->Calls.at(1), "open " + otherPath);
    QCOMPARE(shell_->Calls.at(2), "reveal " + tree_->Root() + "/|" + otherName);
}

void WindowCommandsTest::DeleteDuringScanRemovesTheRowAndTheWalkGoesOn() {
    TestTree big;
    big.AddFiles(200, 30);
    form_->SetStartupRoot(big.Root());
    form_->ScanHost().SetProcessEventsIntervalMs(0);
    std::string deleted;
    form_->ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 60 && form_->Engine().List().Count() > 0) {
            const ResultEntry& first = form_->Engine().List().At(0);
            deleted = JoinPath(first.FolderText, first.Caption);
            SelectRow(*form_, 0);
            form_->DeletePopupmenu->trigger();
        }
    });
    QVERIFY(ShowAndWaitForStartupScan(*form_));

    QVERIFY(!deleted.empty());
    QVERIFY(!PathExists(deleted));
    for (const ResultEntry& entry : form_->Engine().List().Entries()) {
        QVERIFY(JoinPath(entry.FolderText, entry.Caption) != deleted);
    }
    // The walk went on to its end: every file was counted and the summary shown.
    QCOMPARE(form_->Engine().State().FileCount, std::uint32_t(200));
    QCOMPARE(form_->ReportPages, (std::vector<bool>{false, true}));
    QCOMPARE(form_->Engine().List().Count(), 100);
}

void WindowCommandsTest::KeyboardShortcutsReachTheCommands() {
    ScanFreshTree();
    const std::string path = tree_->Root() + "/Data/movie.mkv";
    SelectRow(*form_, RowOfCaption(*form_, "movie.mkv"));
    form_->ListView->setFocus();

    QTest::keyClick(form_->ListView, Qt::Key_Return);
    QCOMPARE(shell_->Calls, std::vector<std::string>{"open " + path});
    QTest::keyClick(form_->ListView, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(path));
    QTest::keyClick(form_->ListView, Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(form_->PopupMenu->isVisible());
    form_->PopupMenu->hide();
    QTest::keyClick(form_->ListView, Qt::Key_Menu);
    QVERIFY(form_->PopupMenu->isVisible());
    form_->PopupMenu->hide();
    shell_->ConfirmDelete = false;
    QTest::keyClick(form_->ListView, Qt::Key_Delete);
    QCOMPARE(shell_->Calls.back(), "delete " + path);
    QTest::keyClick(form_->ListView, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(shell_->Calls.back(), std::string("browse"));
    // Keys that are not the window's still reach the list: Down moves the selection.
    const int row = form_->SelectedRow();
    QTest::keyClick(form_->ListView, Qt::Key_Down);
    QCOMPARE(form_->SelectedRow(), row + 1);
}

void WindowCommandsTest::CutNamesShowWholeInATooltip() {
    ScanFreshTree();
    const int row = RowOfCaption(*form_, "notes.txt");
    QWidget* viewport = form_->ListView->viewport();
    auto hover = [&](int column) {
        const QPoint place =
            form_->ListView->visualRect(form_->ListModel().index(row, column)).center();
        QHelpEvent help(QEvent::ToolTip, place, viewport->mapToGlobal(place));
        QApplication::sendEvent(viewport, &help);
    };
    // The folder fits: no tooltip.
    form_->ListView->setColumnWidth(1, 2000);
    hover(1);
    QVERIFY(!QToolTip::isVisible());
    // Cut short, it shows whole; so does a cut name.
    form_->ListView->setColumnWidth(1, 40);
    hover(1);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString::fromStdString(tree_->Root() + "/Data/deep"));
    form_->ListView->setColumnWidth(0, 30);
    hover(0);
    QCOMPARE(QToolTip::text(), QStringLiteral("notes.txt"));
}

QTEST_MAIN(WindowCommandsTest)
#include "WindowCommandsTest.moc"
