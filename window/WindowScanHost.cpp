#include "WindowScanHost.h"

#include "MainWindowLogic.h"
#include "WindowFace.h"
#include "platform/fs/CoarseClock.h"

#include <algorithm>

namespace {
// A repaint of the list costs a few milliseconds (every visible cell's text is laid out
// again), far more than the walk may spend at one of its frequent event processings, and
// even the two status bars cost a few tenths of a millisecond, at more than a hundred
// processings a second. During a scan the list and the bars therefore show their changes at
// most 10 times a second, as often as the busy animation moves; input and the stop request
// are still handled at every processing.
constexpr auto ListFrameInterval = std::chrono::milliseconds(100);
} // namespace

WindowScanHost::WindowScanHost(WindowFace& face, MainWindowLogic& logic)
    : face_(face), logic_(logic) {}

void WindowScanHost::SetProcessEventsIntervalMs(int intervalMs) {
    intervalMs_ = std::max(0, intervalMs);
    intervalNs_ = static_cast<std::int64_t>(intervalMs_) * 1'000'000;
}

void WindowScanHost::SetProcessingHook(std::function<void(std::int64_t)> hook) {
    hook_ = std::move(hook);
}

void WindowScanHost::ShowReportPage(bool withSummary) {
    logic_.ShowReportPage(withSummary);
}

void WindowScanHost::StartBusyAnimation() {
    ++scansStarted_;
    processingCount_ = 0;
    maxGapMs_ = 0;
    processingMs_ = 0;
    maxProcessingMs_ = 0;
    measuring_ = true;
    lastProcessed_ = Clock::now();
    lastProcessedCoarseNs_ = CoarseMonotonicNs();
    frameInterval_ = ListFrameInterval;
    lastListFrame_ = lastProcessed_ - ListFrameInterval;
    face_.StartBusyAnimation();
}

void WindowScanHost::StopBusyAnimation() {
    if (measuring_) {
        NoteGap(Clock::now());
        measuring_ = false;
    }
    if (listFramePending_) {
        ShowListFrame(Clock::now());
    }
    face_.StopBusyAnimation();
}

void WindowScanHost::ShowStopButton(const std::string& caption) {
    face_.ShowButton(WindowFace::Glyph::Stop, caption);
}

void WindowScanHost::ShowBrowseButton(const std::string& caption) {
    face_.ShowButton(WindowFace::Glyph::Folder, caption);
}

void WindowScanHost::MakeBrowseButtonVisible() {
    face_.MakeBrowseButtonVisible();
}

void WindowScanHost::SetStatusText(const std::string& text) {
    HoldBackRepaints();
    face_.SetStatusText(text);
}

void WindowScanHost::WriteTotalsPanels(const TotalsPanelTexts& texts) {
    HoldBackRepaints();
    face_.WriteTotalsPanels(texts);
}

void WindowScanHost::ProcessPendingMessages() {
    // Asked for at every directory entry: the clock read is all that most requests cost.
    if (CoarseMonotonicNs() - lastProcessedCoarseNs_ < intervalNs_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (measuring_) {
        NoteGap(now);
    }
    const bool frameDue = listFramePending_ && now - lastListFrame_ >= frameInterval_;
    if (frameDue) {
        ShowListFrame(now);
    }
    face_.ProcessPendingMessages();
    ++processingCount_;
    lastProcessed_ = Clock::now();
    lastProcessedCoarseNs_ = CoarseMonotonicNs();
    if (frameDue) {
        // The frame was painted just now. Where painting is slow (a screen drawn in software,
        // an emulated window system) frames come less often, so that painting never takes
        // more than about a twentieth of the walk's time.
        frameInterval_ = std::max<Clock::duration>(ListFrameInterval, 19 * (lastProcessed_ - now));
    }
    const double spentMs = std::chrono::duration<double, std::milli>(lastProcessed_ - now).count();
    processingMs_ += spentMs;
    maxProcessingMs_ = std::max(maxProcessingMs_, spentMs);
    if (hook_) {
        hook_(processingCount_);
    }
}

void WindowScanHost::NoteGap(Clock::time_point now) {
    const double gapMs = std::chrono::duration<double, std::milli>(now - lastProcessed_).count();
    maxGapMs_ = std::max(maxGapMs_, gapMs);
}

void WindowScanHost::ShowListFrame(Clock::time_point now) {
    face_.ShowHeldBackRepaints();
    listFramePending_ = false;
    lastListFrame_ = now;
}

void WindowScanHost::HoldBackRepaints() {
    if (measuring_ && !listFramePending_) {
        face_.HoldBackRepaints();
        listFramePending_ = true;
    }
}

void WindowScanHost::ListChanging(const ListChange& change) {
    HoldBackRepaints();
    face_.ListChanging(change);
}

void WindowScanHost::ListChanged(const ListChange& change) {
    face_.ListChanged(change);
    switch (change.What) {
    case ListChange::Kind::Clear:
        // A new scan starts with nothing selected, showing its largest files rather than
        // the rows where the last one was scrolled, and with the keys at the list.
        face_.ClearSelection();
        face_.ScrollListToTop();
        face_.FocusList();
        break;
    case ListChange::Kind::Append:
    case ListChange::Kind::Sort:
    case ListChange::Kind::Remove:
        // Until the user picks a row the arrow keys start at the largest file, wherever the
        // file that was first at the top has moved to since.
        if (face_.SelectedRow() < 0 && logic_.Engine().List().Count() > 0) {
            face_.FocusRow(0);
        }
        break;
    case ListChange::Kind::Update:
        break;
    }
}
