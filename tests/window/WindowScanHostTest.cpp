#include "RecordingFace.h"
#include "scan/StopRequested.h"
#include "tests/scan/RecordingWindow.h"
#include "tests/support/FakeShellServices.h"
#include "window/MainWindowLogic.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowScanHost, EventsAreProcessedOnlyAfterTheInterval) {
    TempTree tree;
    for (int i = 0; i < 20; ++i) {
        tree.File("f" + std::to_string(i), 100 + i);
    }
    RecordingFace face;
    FakeShellServices shell;
    FixedIcons icons;
    MainWindowLogic logic(face, shell, icons);
    logic.SetReportPageHook([](bool) {});
    WindowScanHost& host = logic.ScanHost();
    EXPECT_EQ(host.ProcessEventsIntervalMs(), 5);

    // With no interval every request processes events: at least one per file.
    host.SetProcessEventsIntervalMs(0);
    logic.StartScan(tree.Root().string());
    EXPECT_GE(host.ProcessingCount(), 20);
    EXPECT_EQ(host.ProcessingCount(), face.Processings);
    EXPECT_LE(host.MaxProcessingMs(), host.ProcessingMs());
    EXPECT_GE(host.MaxGapMs(), 0.0);

    // With an interval longer than any scan the face is never asked.
    host.SetProcessEventsIntervalMs(24 * 3600 * 1000);
    face.Processings = 0;
    logic.StartScan(tree.Root().string());
    EXPECT_EQ(host.ProcessingCount(), 0);
    EXPECT_EQ(face.Processings, 0);
    EXPECT_EQ(host.ScansStarted(), 2);

    // Repaints held back during the walk are all shown by its end, never held twice.
    EXPECT_FALSE(face.Held);
    EXPECT_EQ(face.Count("held twice"), 0);
}

} // namespace
