#pragma once

#include "scan/ResultList.h"
#include "window/WindowFace.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// A face that writes the logic's calls down, one line each: "blank", "page", "animation
// start", "animation stop", "button stop CAPTION", "button folder CAPTION", "button visible",
// "status TEXT", "totals P0|P1|P2", "close", "error MESSAGE", "scroll top", "menu",
// "copy TEXT", "no selection", "focus list"; "held twice" when repaints are held back again before
// being shown. Every page shown is read into Pages and its file removed. Processing pending
// messages runs OnProcess, where a test plays the user.
class RecordingFace : public WindowFace {
public:
    std::vector<std::string> Lines;
    std::vector<std::string> Pages;
    std::string Template;
    int Selected = -1;
    // The row marked as focused without being selected (-1: none), and whether the list
    // has the keyboard focus.
    int FocusedRow = -1;
    bool ListFocused = true;
    int Processings = 0;
    bool Held = false;
    std::function<void(int)> OnProcess;
    // Runs with the page's bytes when a page is shown; may throw as a failing view would.
    std::function<void(const std::string&)> OnPage;

    void NavigateBlank() override { Lines.push_back("blank"); }
    void Navigate(const std::string& file) override {
        Lines.push_back("page");
        std::error_code ignored;
        {
            std::ifstream in(file, std::ios::binary);
            Pages.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
        std::filesystem::remove(file, ignored);
        if (OnPage) {
            OnPage(Pages.back());
        }
    }
    std::string ReportTemplate(std::string_view) override { return Template; }
    void StartBusyAnimation() override { Lines.push_back("animation start"); }
    void StopBusyAnimation() override { Lines.push_back("animation stop"); }
    void ShowButton(Glyph glyph, const std::string& caption) override {
        Lines.push_back((glyph == Glyph::Stop ? "button stop " : "button folder ") + caption);
    }
    void MakeBrowseButtonVisible() override { Lines.push_back("button visible"); }
    void SetStatusText(const std::string& text) override { Lines.push_back("status " + text); }
    void WriteTotalsPanels(const TotalsPanelTexts& texts) override {
        Lines.push_back("totals " + texts[0] + "|" + texts[1] + "|" + texts[2]);
    }
    void ProcessPendingMessages() override {
        ++Processings;
        if (OnProcess) {
            OnProcess(Processings);
        }
    }
    void HoldBackRepaints() override {
        if (Held) {
            Lines.push_back("held twice");
        }
        Held = true;
    }
    void ShowHeldBackRepaints() override { Held = false; }
    void ListChanging(const ListChange&) override {}
    void ListChanged(const ListChange&) override {}
    int SelectedRow() const override { return Selected; }
    void ScrollListToTop() override { Lines.push_back("scroll top"); }
    void ClearSelection() override {
        Lines.push_back("no selection");
        Selected = -1;
        FocusedRow = -1;
    }
    void FocusRow(int row) override { FocusedRow = row; }
    void FocusList() override {
        Lines.push_back("focus list");
        ListFocused = true;
    }
    bool ListHasFocus() const override { return ListFocused; }
    void ShowContextMenu() override { Lines.push_back("menu"); }
    void CopyText(const std::string& text) override { Lines.push_back("copy " + text); }
    void CloseWindow() override { Lines.push_back("close"); }
    void ShowErrorMessage(const std::string& message) override {
        Lines.push_back("error " + message);
    }

    int Count(const std::string& prefix) const {
        int count = 0;
        for (const std::string& line : Lines) {
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return count;
    }
    std::string Last(const std::string& prefix) const {
        for (auto it = Lines.rbegin(); it != Lines.rend(); ++it) {
            if (it->rfind(prefix, 0) == 0) {
                return *it;
            }
        }
        return std::string();
    }
};
