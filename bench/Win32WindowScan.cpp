// The native main window as the scan's host, for scan_bench --window on Windows.
#include "BenchedScan.h"
#include "winapp/TForm1.h"

#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// How the walk let the window system run during one scan.
struct ProcessingFigures {
    double MaxGapMs = 0;
    std::int64_t Count = 0;
    double TotalMs = 0;
    double LongestMs = 0;
};

class Win32WindowScan final : public BenchedScan {
public:
    explicit Win32WindowScan(const std::string& folder)
        : oleReady_(SUCCEEDED(OleInitialize(nullptr))), form_(GetModuleHandleW(nullptr)) {
        form_.SetMessageBoxHook([this](const std::string& message) { errors_.push_back(message); });
        // No report page: writing it to a file and loading it into the web-browser control
        // before and after every scan is no part of the walk being measured.
        form_.Logic().SetReportPageHook([](bool) {});
        // The window's own start-up scan covers the folder, not the system drive: it is the
        // first warm-up, through the same first-paint path as in the program.
        form_.SetStartupRoot(folder);
        ShowWindow(form_.Form1, SW_SHOWNOACTIVATE);
        UpdateWindow(form_.Form1);
        const bool started = PumpUntil(
            [this] { return form_.ScanHost().ScansStarted() > 0 && !form_.ScanRunning(); });
        ThrowOnErrors();
        if (!started) {
            throw std::runtime_error("the window's start-up scan did not run within a minute");
        }
    }

    ~Win32WindowScan() override {
        if (oleReady_) {
            OleUninitialize();
        }
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

    void Settle() override { form_.PumpPendingMessages(); }

    void BeginTimedRuns() override { timedRuns_.clear(); }

    void EndTimedRun(bool fastestSoFar) override {
        timedRuns_.push_back(last_);
        if (fastestSoFar) {
            fastest_ = last_;
        }
    }

    void PrintFigures(std::FILE* out) const override {
        double worst = 0;
        for (const ProcessingFigures& run : timedRuns_) {
            worst = std::max(worst, run.MaxGapMs);
        }
        std::fprintf(out, "max_gap_ms %.3f\n", worst);
    }

    void PrintNotes(std::FILE* out) const override {
        std::fprintf(out, "window: longest gap of each timed run:");
        for (const ProcessingFigures& run : timedRuns_) {
            std::fprintf(out, " %.3f", run.MaxGapMs);
        }
        std::fprintf(out,
                     "\nwindow: the fastest run processed messages %lld times, %.3f ms in all, "
                     "%.3f ms at most at once\n",
                     static_cast<long long>(fastest_.Count), fastest_.TotalMs, fastest_.LongestMs);
    }

private:
    // Processes messages until `done` holds or a minute has passed; returns whether it holds.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline || !form_.PumpPendingMessages()) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
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

    bool oleReady_;
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

std::unique_ptr<BenchedScan> MakeWindowScan(int&, char**, const std::string& folder) {
    return std::make_unique<Win32WindowScan>(folder);
}
