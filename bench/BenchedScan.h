#pragma once

#include <cstdio>
#include <memory>
#include <string>

class ScanEngine;

// One way of running the scan engine that scan_bench times against the plain walk: behind
// a window that does nothing, or behind the program's real main window.
class BenchedScan {
public:
    virtual ~BenchedScan() = default;

    // One complete scan of `folder`. Throws std::runtime_error when the scan could not run.
    virtual void Scan(const std::string& folder) = 0;
    // The engine, whose state and list tell what the last scan found.
    virtual ScanEngine& Engine() = 0;

    // Called after every scan, outside the timed part: lets a window finish what the scan
    // left for the event loop, as an idle window would before the user's next command.
    virtual void Settle() {}
    // Called once the untimed warm-up is done: figures collected from here on describe the
    // timed runs only.
    virtual void BeginTimedRuns() {}
    // Called after every timed run with whether it was the fastest so far.
    virtual void EndTimedRun(bool fastestSoFar) { (void)fastestSoFar; }
    // Writes the figures of its own, one "name value" line each, after the common ones.
    virtual void PrintFigures(std::FILE* out) const { (void)out; }
    // Writes notes for the error stream.
    virtual void PrintNotes(std::FILE* out) const { (void)out; }
};

// The engine behind a window and an icon lookup that do nothing.
std::unique_ptr<BenchedScan> MakeBareEngineScan();

// Whether this build can drive the real main window (it is built with Qt).
bool WindowScanAvailable();

// The program's main window, created offscreen (unless the environment names another
// platform) with `folder` as its start-up scan, which is run before this returns. Only for
// builds where WindowScanAvailable(). `argc` and `argv` go to the application object, which
// lives as long as the returned object. Throws std::runtime_error when the window cannot
// be made or its start-up scan fails.
std::unique_ptr<BenchedScan> MakeWindowScan(int& argc, char** argv, const std::string& folder);
