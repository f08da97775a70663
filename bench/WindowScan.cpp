// The program's main window as the scan's host, for scan_bench --window.
#include "BenchedScan.h"
#include "app/TForm1.h"
#include "window/ShellServices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// The desktop as the benchmark shows it to the window: nothing is opened, revealed or
// deleted and no dialog appears, whatever reaches the window while it runs unattended.
class InertShellServices final : public ShellServices {
public:
    void OpenFile(const std::string&, Outcome done) override { done(false); }
    void OpenUrl(const std::string&, Outcome done) override { done(false); }
    void RevealSelectFile(const std::string&, const std::string&, Outcome done) override {
        done(false);
    }
    void ExploreFolder(const std::string&, Outcome done) override { done(false); }
    void StartFileManager(const std::string&, Outcome done) override { done(false); }
    bool DeleteFileForGood(const std::string&) override { return false; }
    std::string BrowseForFolder() override { return std::string(); }
    void Beep() override {}
};

// How the walk let the event loop run during one scan.
struct ProcessingFigures {
    double MaxGapMs = 0;
    std::int64_t Count = 0;
    double TotalMs = 0;
    double LongestMs = 0;
};

// The window needs no display: offscreen it paints into memory just the same. A platform
// the caller names (e.g. xcb, to watch the window) is kept.
int& OffscreenUnlessNamed(int& argc) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return argc;
}

class WindowScan final : public BenchedScan {
public:
    WindowScan(int& argc, char** argv, const std::string& folder)
        : application_(OffscreenUnlessNamed(argc), argv), form_(shell_) {
        // Without its report page: writing the page to a file and loading it into the HTML
        // view before and after every scan is no part of the walk being measured.
        form_.Logic().SetReportPageHook([](bool) {});
        form_.SetMessageBoxHook(
            [this](const QString& message) { errors_.push_back(message.toStdString()); });
        // The window's own start-up scan covers the folder, not the system drive: it is the
        // first warm-up, through the same first-paint path as in the program.
        form_.SetStartupRoot(folder);
        form_.show();
        const bool started = RunEventsUntil(
            [this] { return form_.ScanHost().ScansStarted() > 0 && !form_.ScanRunning(); });
        ThrowOnErrors();
        if (!started) {
            throw std::runtime_error("the window's start-up scan did not run within a minute");
        }
        Settle();
    }

    void Scan(const std::string& folder) override {
        const int before = form_.ScanHost().ScansStarted();
        form_.StartScan(folder);
        ThrowOnErrors();
        if (form_.ScanHost().ScansStarted() != before + 1) {
            throw std::runtime_error("the window did not start the scan");
        }
        const WindowScanHost& host = form_.ScanHost();
        last_ = {host.MaxGapMs(), host.ProcessingCount(), host.ProcessingMs(),
                 host.MaxProcessingMs()};
    }

    ScanEngine& Engine() override { return form_.Engine(); }

    void Settle() override {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    void BeginTimedRuns() override { timedRuns_.clear(); }

    void EndTimedRun(bool fastestSoFar) override {
        timedRuns_.push_back(last_);
        if (fastestSoFar) {
            fastest_ = last_;
        }
    }

    void PrintFigures(std::FILE* out) const override {
        std::fprintf(out, "max_gap_ms %.3f\n", WorstGapMs());
    }

    void PrintNotes(std::FILE* out) const override {
        std::fprintf(out, "window: longest gap of each timed run:");
        for (const ProcessingFigures& run : timedRuns_) {
            std::fprintf(out, " %.3f", run.MaxGapMs);
        }
        std::fprintf(out,
                     "\nwindow: the fastest run processed events %lld times, %.3f ms in all, "
                     "%.3f ms at most at once\n",
                     static_cast<long long>(fastest_.Count), fastest_.TotalMs, fastest_.LongestMs);
    }

private:
    double WorstGapMs() const {
        double worst = 0;
        for (const ProcessingFigures& run : timedRuns_) {
            worst = std::max(worst, run.MaxGapMs);
        }
        return worst;
    }

    // Processes events until `done` holds or a minute has passed; returns whether it holds.
    static bool RunEventsUntil(const std::function<bool()>& done) {
        QElapsedTimer waited;
        waited.start();
        while (!done()) {
            if (waited.elapsed() > 60'000) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(1);
        }
        return true;
    }

    void ThrowOnErrors() {
        if (!errors_.empty()) {
            const std::string first = errors_.front();
            errors_.clear();
            throw std::runtime_error("the window reported: " + first);
        }
    }

    QApplication application_;
    InertShellServices shell_;
    TForm1 form_;
    std::vector<std::string> errors_;
    ProcessingFigures last_;
    ProcessingFigures fastest_;
    std::vector<ProcessingFigures> timedRuns_;
};

} // namespace

bool WindowScanAvailable() {
    return true;
}

std::unique_ptr<BenchedScan> MakeWindowScan(int& argc, char** argv, const std::string& folder) {
    return std::make_unique<WindowScan>(argc, argv, folder);
}
