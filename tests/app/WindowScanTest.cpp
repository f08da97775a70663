// Scans driven by the window: the start-up scan, stopping by button, Escape and closing,
// the folder picker, the list model following the walk, and errors shown, not thrown.
#include "AppTestSupport.h"
#include "app/BusyAnimation.h"
#include "app/PanelStatusBar.h"
#include "scan/InterfaceTexts.h"
#include "scan/StopRequested.h"
#include "scan/Totals.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <system_error>

namespace {
constexpr int TreeFiles = 300;

// A ScanWindow that only forwards list changes to a model, to drive the model without a
// scan.
class ModelOnlyWindow : public ScanWindow {
public:
    ResultListModel* Model = nullptr;
    void ShowReportPage(bool) override {}
    void StartBusyAnimation() override {}
    void StopBusyAnimation() override {}
    void ShowStopButton(const std::string&) override {}
    void ShowBrowseButton(const std::string&) override {}
    void MakeBrowseButtonVisible() override {}
    void SetStatusText(const std::string&) override {}
    void WriteTotalsPanels(const TotalsPanelTexts&) override {}
    void ProcessPendingMessages() override {}
    void ListChanging(const ListChange& change) override { Model->ListChanging(change); }
    void ListChanged(const ListChange& change) override { Model->ListChanged(change); }
};

// A new entry as the scan appends it: the caption only, size value 0.
ResultEntry Entry(const std::string& caption) {
    ResultEntry entry;
    entry.Caption = caption;
    return entry;
}

QString Credit() {
    const auto credit = TextsFor(false).CreditLine;
    return QString::fromUtf8(credit.data(), static_cast<qsizetype>(credit.size()));
}
} // namespace

class WindowScanTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void StartupScanRunsOnceEvenWhenRepaintedDuringIt();
    void CompletedScanShowsSummaryAndRestoresControls();
    void EscapeDuringScanStopsItAndKeepsWindowOpen();
    void EscapeWithoutScanClosesWindow();
    void StopButtonDuringScanStopsWithoutPicker();
    void CloseDuringScanEndsTheProgramOnceTheWalkHasUnwound();
    void PickedFolderIsScanned();
    void NewScanShowsTheListFromItsFirstRow();
    void ModelKeepsSelectionOnItsEntryWhenSorted();
    void SizeColumnGrowsToTheLargestListedSize();

private:
    TestTree tree_;
    std::unique_ptr<ScopedEnvironment> english_;
};

void WindowScanTest::initTestCase() {
    english_ = std::make_unique<ScopedEnvironment>("LC_ALL", "en_US.UTF-8");
    QVERIFY(tree_.IsValid());
    tree_.AddFiles(TreeFiles, 40);
}

void WindowScanTest::init() {
    StopRequested = false;
}

void WindowScanTest::StartupScanRunsOnceEvenWhenRepaintedDuringIt() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    form.ScanHost().SetProcessEventsIntervalMs(0);
    int repaints = 0;
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count % 50 == 0) {
            form.repaint();
            ++repaints;
        }
    });
    QAbstractItemModelTester tester(&form.ListModel(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);

    QVERIFY(ShowAndWaitForStartupScan(form));
    QVERIFY(repaints > 0);
    QCOMPARE(form.ScanHost().ScansStarted(), 1);
    QCOMPARE(form.Engine().State().ScanRoot, tree_.Root());
    QCOMPARE(form.Engine().State().FileCount, std::uint32_t(TreeFiles));

    // Paint again once the scan is over: the posted start must not come back.
    form.repaint();
    form.update();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(form.ScanHost().ScansStarted(), 1);
    QCOMPARE(form.ReportPages, (std::vector<bool>{false, true}));
}

void WindowScanTest::CompletedScanShowsSummaryAndRestoresControls() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    bool runningDuringScan = false;
    bool listHeldBackDuringScan = false;
    bool barsHeldBackDuringScan = false;
    QString statusDuringScan;
    form.ScanHost().SetProcessEventsIntervalMs(0);
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (!form.ListView->viewport()->updatesEnabled()) {
            listHeldBackDuringScan = true;
        }
        if (!form.ListView->header()->viewport()->updatesEnabled() &&
            !form.StatusBar->updatesEnabled() && !form.StatusBar2->updatesEnabled()) {
            barsHeldBackDuringScan = true;
        }
        if (count == 20) {
            runningDuringScan = form.ScanRunning() && form.Animate->IsPlaying();
            statusDuringScan = form.StatusBar->PanelText(0);
        }
    });
    QVERIFY(ShowAndWaitForStartupScan(form));

    QVERIFY(runningDuringScan);
    QVERIFY(listHeldBackDuringScan);
    // The list, its header and the status bars show their last changes once the walk is
    // over.
    QVERIFY(barsHeldBackDuringScan);
    QVERIFY(form.ListView->viewport()->updatesEnabled());
    QVERIFY(form.ListView->header()->viewport()->updatesEnabled());
    QVERIFY(form.StatusBar->updatesEnabled());
    QVERIFY(form.StatusBar2->updatesEnabled());
    QVERIFY(statusDuringScan.startsWith(QString::fromStdString(tree_.Root())));
    QVERIFY(!form.ScanRunning());
    QCOMPARE(form.Animate->CurrentFrame(), 0);
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral("Browse"));
    QVERIFY(!form.BrowseSpeedButton->icon().isNull());
    QCOMPARE(form.StatusBar->PanelText(0), Credit());
    QVERIFY(form.StatusBar2->PanelText(0).startsWith(QStringLiteral("Total ")));
    QVERIFY(form.StatusBar2->PanelText(2).contains(QStringLiteral("of all files on")));

    // The view shows the engine's list, largest first, and nothing else.
    const ResultList& list = form.Engine().List();
    QCOMPARE(form.ListModel().rowCount(), 100);
    QCOMPARE(list.Count(), 100);
    for (int row = 0; row < list.Count(); ++row) {
        QCOMPARE(form.ListModel().index(row, 0).data().toString(),
                 QString::fromStdString(list.At(row).Caption));
        QCOMPARE(form.ListModel().index(row, 1).data().toString(),
                 QString::fromStdString(list.At(row).FolderText));
        if (row > 0) {
            QVERIFY(list.At(row - 1).SizeValue >= list.At(row).SizeValue);
        }
    }
    QCOMPARE(list.At(0).Caption, std::string("f299.bin"));
    QCOMPARE(form.ListModel().index(0, 2).data().toString(),
             QString::fromUtf8(list.At(0).SizeText.c_str()));
}

void WindowScanTest::EscapeDuringScanStopsItAndKeepsWindowOpen() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    form.ScanHost().SetProcessEventsIntervalMs(0);
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 200) {
            QTest::keyClick(form.ListView, Qt::Key_Escape);
        }
    });
    QVERIFY(ShowAndWaitForStartupScan(form));

    QVERIFY(form.isVisible());
    QVERIFY(!StopRequested);
    const ScanState& state = form.Engine().State();
    QVERIFY(state.FileCount > 0);
    QVERIFY(state.FileCount < std::uint32_t(TreeFiles));
    QVERIFY(form.Engine().List().Count() > 0);
    QCOMPARE(form.ReportPages, std::vector<bool>{false});
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral("Browse"));
    // The partial list says so, with the files counted.
    QCOMPARE(form.StatusBar->PanelText(0),
             QString::fromStdString(MakeScanStoppedText(state.FileCount, false)));
    QVERIFY(!form.StatusBar2->PanelText(0).isEmpty());
}

void WindowScanTest::EscapeWithoutScanClosesWindow() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    QVERIFY(ShowAndWaitForStartupScan(form));
    QVERIFY(form.isVisible());
    // Other keys do nothing.
    QTest::keyClick(form.ListView, Qt::Key_A);
    QTest::keyClick(form.ListView, Qt::Key_Return);
    QVERIFY(form.isVisible());
    QTest::keyClick(form.ListView, Qt::Key_Escape, Qt::ShiftModifier);
    QVERIFY(form.isHidden());
    QVERIFY(!StopRequested);
    QCOMPARE(form.ScanHost().ScansStarted(), 1);
}

void WindowScanTest::StopButtonDuringScanStopsWithoutPicker() {
    FakeShellServices shell;
    shell.BrowseAnswer = tree_.Root();
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    form.ScanHost().SetProcessEventsIntervalMs(0);
    QString captionAtClick;
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 150) {
            captionAtClick = form.BrowseSpeedButton->text();
            QTest::mouseClick(form.BrowseSpeedButton, Qt::LeftButton);
        }
    });
    QVERIFY(ShowAndWaitForStartupScan(form));

    QCOMPARE(captionAtClick, QStringLiteral("Stop"));
    QCOMPARE(shell.CountCalls("browse"), 0);
    QCOMPARE(form.ScanHost().ScansStarted(), 1);
    QVERIFY(form.Engine().State().FileCount < std::uint32_t(TreeFiles));
    QVERIFY(form.Engine().List().Count() > 0);
    QCOMPARE(form.ReportPages, std::vector<bool>{false});
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral("Browse"));
    QVERIFY(!StopRequested);
}

void WindowScanTest::CloseDuringScanEndsTheProgramOnceTheWalkHasUnwound() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    form.ScanHost().SetProcessEventsIntervalMs(0);
    bool closedDuringScan = false;
    form.ScanHost().SetProcessingHook([&](std::int64_t count) {
        if (count == 100) {
            closedDuringScan = form.ScanRunning() && form.close();
        }
    });
    // Should the program not end, this ends the event loop instead, and the test fails.
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&] {
        hung = true;
        QCoreApplication::exit(2);
    });
    watchdog.start(60000);
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, &form, [&] { form.show(); });

    const int exitCode = QCoreApplication::exec();

    QVERIFY(!hung);
    QCOMPARE(exitCode, 0);
    QVERIFY(closedDuringScan);
    // The walk unwound before the loop ended, and the scan closed its steps.
    QVERIFY(!form.ScanRunning());
    QCOMPARE(form.ReportPages, std::vector<bool>{false});
    QVERIFY(form.Engine().State().FileCount < std::uint32_t(TreeFiles));
    QCOMPARE(form.BrowseSpeedButton->text(), QStringLiteral("Browse"));
}

void WindowScanTest::PickedFolderIsScanned() {
    TestTree other;
    other.AddFile("only.iso", 4096);
    other.AddFile("sub/second.iso", 2048);
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    QVERIFY(ShowAndWaitForStartupScan(form));

    // A trailing separator is dropped by the scan, not by the window.
    shell.BrowseAnswer = other.Root() + "/";
    QTest::mouseClick(form.BrowseSpeedButton, Qt::LeftButton);

    QCOMPARE(form.ScanHost().ScansStarted(), 2);
    QCOMPARE(form.Engine().State().ScanRoot, other.Root());
    QCOMPARE(ListedCaptions(form), (std::vector<std::string>{"only.iso", "second.iso"}));
    QCOMPARE(form.ListModel().rowCount(), 2);
    QCOMPARE(form.Engine().List().At(1).FolderText, other.Root() + "/sub");
}

void WindowScanTest::NewScanShowsTheListFromItsFirstRow() {
    FakeShellServices shell;
    RecordingForm form(shell);
    form.SetStartupRoot(tree_.Root());
    QVERIFY(ShowAndWaitForStartupScan(form));
    QScrollBar* scrollBar = form.ListView->verticalScrollBar();
    form.ListView->scrollToBottom();
    QTRY_VERIFY(scrollBar->value() > 0);
    // A row chosen with the arrow keys puts its folder in the status line.
    form.ListView->setFocus();
    QTRY_VERIFY(form.ListView->hasFocus());
    QTest::keyClick(form.ListView, Qt::Key_End);
    const int last = form.Engine().List().Count() - 1;
    QCOMPARE(form.SelectedRow(), last);
    QCOMPARE(form.StatusBar->PanelText(0),
             QString::fromStdString(form.Engine().List().At(last).FolderText));

    // Browse, and the focus at the button: the new scan starts with nothing selected, from
    // its top, with the keys back at the list and its first row focused.
    form.BrowseSpeedButton->setFocusPolicy(Qt::StrongFocus);
    form.BrowseSpeedButton->setFocus();
    shell.BrowseAnswer = tree_.Root();
    QTest::mouseClick(form.BrowseSpeedButton, Qt::LeftButton);
    QCOMPARE(form.ScanHost().ScansStarted(), 2);
    QCOMPARE(scrollBar->value(), 0);
    QVERIFY(form.ListView->visualRect(form.ListModel().index(0, 0)).top() >= 0);
    QCOMPARE(form.SelectedRow(), -1);
    QTRY_VERIFY(form.ListView->hasFocus());
    QCOMPARE(form.ListView->currentIndex().row(), 0);
}

void WindowScanTest::ModelKeepsSelectionOnItsEntryWhenSorted() {
    ModelOnlyWindow window;
    ResultList list(window);
    ResultListModel model(list, nullptr);
    window.Model = &model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QItemSelectionModel selection(&model);

    for (const auto& [caption, size] :
         std::vector<std::pair<std::string, std::uint64_t>>{{"a", 300}, {"b", 200}, {"c", 100}}) {
        const int row = list.Append(Entry(caption));
        list.CompleteEntry(row, "/data", std::to_string(size) + " Byte", "1/2/2024", -1);
        list.SetSizeValue(row, size);
    }
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("c"));
    selection.setCurrentIndex(model.index(2, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    // A larger entry arrives: everything moves down one row, the selection with "c".
    const int row = list.Append(Entry("z"));
    list.SetSizeValue(row, 999);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("z"));
    QCOMPARE(selection.currentIndex().row(), 3);
    QCOMPARE(selection.selectedRows().size(), 1);
    QCOMPARE(selection.selectedRows().first().data().toString(), QStringLiteral("c"));

    // Removing a row above keeps the selection on "c"; removing "c" clears it.
    list.RemoveAt(0);
    QCOMPARE(selection.selectedRows().first().data().toString(), QStringLiteral("c"));
    list.RemoveAt(2);
    QVERIFY(selection.selectedRows().isEmpty());
    QCOMPARE(model.rowCount(), 2);

    // Names are bytes: a name that is not UTF-8 shows with a replacement character.
    list.Append(Entry("caf\xe9.txt"));
    QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("caf\uFFFD.txt"));
    QCOMPARE(model.index(2, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                 Qt::AlignHorizontal_Mask,
             Qt::Alignment(Qt::AlignRight));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    list.Clear();
    QCOMPARE(model.rowCount(), 0);
}

void WindowScanTest::SizeColumnGrowsToTheLargestListedSize() {
    // 10 TB: more digits than the example the column starts from.
    TestTree tree;
    QVERIFY(tree.IsValid());
    const std::uint64_t tenTerabytes = 10'000'000'000'000ULL;
    tree.AddFile("huge.img", tenTerabytes);
    tree.AddFile("small.txt", 10);
    FakeShellServices shell;
    RecordingForm form(shell);
    form.show();
    form.StartScan(tree.Root());
    QCOMPARE(form.Engine().List().At(0).SizeValue, tenTerabytes);
    const QFontMetrics metrics(form.ListView->font());
    const QString sizeText = QString::fromStdString(form.Engine().List().At(0).SizeText);
    QVERIFY(form.ListView->columnWidth(2) > metrics.horizontalAdvance(sizeText));
}

QTEST_MAIN(WindowScanTest)
#include "WindowScanTest.moc"
