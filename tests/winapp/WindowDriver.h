#pragma once

// Drives the native main window from inside the test program: creates it, runs scans,
// reads its controls back through their own messages, and keeps a picture of it.

#include "platform/win32/WideText.h"
#include "winapp/TForm1.h"
#include "winapp/WebBrowserHost.h"

#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace windriver {

// The window's apartment: the web-browser control is an OLE object. Entered once for the
// whole test program, which ends in it, as the program does.
class OleScope {
public:
    OleScope() {
        static const bool ready = SUCCEEDED(OleInitialize(nullptr));
        (void)ready;
    }
};

// A shown main window with no start-up scan; errors that it would show in a message box
// are collected instead.
class Window {
public:
    Window() : form_(GetModuleHandleW(nullptr)) {
        form_.SetStartupRoot(std::string());
        form_.SetMessageBoxHook([this](const std::string& message) { Errors.push_back(message); });
        ShowWindow(form_.Form1, SW_SHOWNOACTIVATE);
        UpdateWindow(form_.Form1);
        Pump();
    }
    ~Window() { DrainQuit(); }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    TForm1& Form() { return form_; }
    std::vector<std::string> Errors;

    void Pump() { form_.PumpPendingMessages(); }

    // Takes the request to end the program out of the queue; true when there was one.
    static bool DrainQuit() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }

    int ItemCount() {
        return static_cast<int>(SendMessageW(form_.ListView, LVM_GETITEMCOUNT, 0, 0));
    }

    std::string ItemText(int row, int column) {
        wchar_t buffer[1024] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer;
        item.cchTextMax = 1024;
        const auto length = SendMessageW(form_.ListView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                         reinterpret_cast<LPARAM>(&item));
        return FromWide(std::wstring_view(item.pszText, static_cast<std::size_t>(length)));
    }

    int ItemIcon(int row) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = -100;
        SendMessageW(form_.ListView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    // Every row as its four column texts.
    std::vector<std::vector<std::string>> Rows() {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0; row < ItemCount(); ++row) {
            rows.push_back(
                {ItemText(row, 0), ItemText(row, 1), ItemText(row, 2), ItemText(row, 3)});
        }
        return rows;
    }

    static std::string StatusText(HWND bar, int part) {
        const auto length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
        std::wstring text(length + 1u, L'\0');
        SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
        text.resize(length);
        return FromWide(text);
    }
    std::string StatusLine() { return StatusText(form_.StatusBar, 0); }
    std::string TotalsPanel(int part) { return StatusText(form_.StatusBar2, part); }

    std::string ButtonCaption() {
        wchar_t text[64] = {};
        GetWindowTextW(form_.BrowseSpeedButton, text, 64);
        return FromWide(text);
    }

    void Select(int row) {
        ListView_SetItemState(form_.ListView, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(form_.ListView, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }

    // Runs `action` once, at the given processing of pending messages of the next scan.
    void AtProcessing(std::int64_t number, std::function<void()> action) {
        form_.ScanHost().SetProcessEventsIntervalMs(0);
        form_.ScanHost().SetProcessingHook(
            [number, action = std::move(action)](std::int64_t count) {
                if (count == number) {
                    action();
                }
            });
    }

    // Keeps a picture of the window as the screen shows it, as a BMP file.
    bool SavePicture(const std::string& path) {
        RECT bounds{};
        GetWindowRect(form_.Form1, &bounds);
        const int width = bounds.right - bounds.left;
        const int height = bounds.bottom - bounds.top;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, picture);
        BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD size = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
        file.bfSize = file.bfOffBits + size;
        std::ofstream out(std::filesystem::path(ToWide(path)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof(file));
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
        out.write(static_cast<const char*>(bits), size);
        const bool written = out.good();
        SelectObject(memory, old);
        DeleteObject(picture);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return written;
    }

private:
    TForm1 form_;
};

// The bytes of a file; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(std::filesystem::path(ToWide(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace windriver
