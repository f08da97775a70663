#pragma once

#include "scan/ScanWindow.h"

// A window that shows nothing: every call returns at once. With it a scan costs only the
// engine's own work, which is what the benchmark measures and what the tree test checks.
class NullScanWindow final : public ScanWindow {
public:
    void ShowReportPage(bool) override {}
    void StartBusyAnimation() override {}
    void StopBusyAnimation() override {}
    void ShowStopButton(const std::string&) override {}
    void ShowBrowseButton(const std::string&) override {}
    void MakeBrowseButtonVisible() override {}
    void SetStatusText(const std::string&) override {}
    void WriteTotalsPanels(const TotalsPanelTexts&) override {}
    void ProcessPendingMessages() override {}
    void ListChanging(const ListChange&) override {}
    void ListChanged(const ListChange&) override {}
};
