// The native window's controls, their names, texts and places.

#include "WindowDriver.h"

#include "scan/InterfaceTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

using windriver::Window;

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return FromWide(name);
}

TEST(WindowLayout, ControlsAreWhereTheDesignPutsThem) {
    windriver::OleScope ole;
    Window window;
    TForm1& form = window.Form();
    const int dpi = form.Dpi();
    auto scale = [dpi](int designPixels) { return MulDiv(designPixels, dpi, 96); };

    // The frame: 200 design pixels smaller than the screen, at least 635 x 475, centred.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT frame{};
    GetWindowRect(form.Form1, &frame);
    const int width = std::max(scale(635), screenWidth - scale(200));
    const int height = std::max(scale(475), screenHeight - scale(200));
    EXPECT_EQ(frame.right - frame.left, width);
    EXPECT_EQ(frame.bottom - frame.top, height);
    EXPECT_EQ(frame.left, (screenWidth - width) / 2);
    EXPECT_EQ(frame.top, (screenHeight - height) / 2);

    EXPECT_EQ(ClassOf(form.Form1), "TForm1");
    EXPECT_EQ(ClassOf(form.ListView), "SysListView32");
    EXPECT_EQ(ClassOf(form.StatusBar2), "msctls_statusbar32");
    EXPECT_EQ(ClassOf(form.Animate), "SysAnimate32");
    const auto style = GetWindowLongW(form.ListView, GWL_STYLE);
    EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_NE(style & LVS_OWNERDATA, 0);
    EXPECT_NE(style & LVS_SHOWSELALWAYS, 0);
    EXPECT_NE(style & LVS_SINGLESEL, 0);
    EXPECT_NE(ListView_GetImageList(form.ListView, LVSIL_SMALL), nullptr)
        << "the shell's small-icon list is attached";

    // From top to bottom: top bar, list, splitter, report view, totals bar, status line.
    auto top = [&](HWND control) {
        RECT bounds{};
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, form.Form1, reinterpret_cast<POINT*>(&bounds), 2);
        return bounds;
    };
    EXPECT_EQ(top(form.TopPanel).bottom, scale(40));
    EXPECT_EQ(top(form.ListView).top, top(form.TopPanel).bottom);
    EXPECT_EQ(top(form.Splitter2).top, top(form.ListView).bottom);
    EXPECT_EQ(top(form.WebBrowser).top, top(form.Splitter2).bottom);
    EXPECT_EQ(top(form.StatusBar2).top, top(form.WebBrowser).bottom);
    EXPECT_EQ(top(form.StatusBar).top, top(form.StatusBar2).bottom);
    RECT client{};
    GetClientRect(form.Form1, &client);
    EXPECT_EQ(top(form.StatusBar).bottom, client.bottom);
    // The list starts with half the client height.
    EXPECT_NEAR(top(form.ListView).bottom - top(form.ListView).top, client.bottom / 2, 1);

    int edges[3] = {};
    ASSERT_EQ(SendMessageW(form.StatusBar2, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], scale(250));
    EXPECT_EQ(edges[1], scale(500));
    EXPECT_EQ(edges[2], -1);
    EXPECT_NE(SendMessageW(form.StatusBar, SB_ISSIMPLE, 0, 0), 0);

    // The button sits 10 design pixels from the right edge; the busy clip is hidden.
    EXPECT_EQ(top(form.BrowseSpeedButton).right, client.right - scale(10));
    EXPECT_FALSE(IsWindowVisible(form.Animate));
    EXPECT_EQ(window.ButtonCaption(), " ");
}

TEST(WindowLayout, TextsAreTheUsersLanguage) {
    windriver::OleScope ole;
    Window window;
    TForm1& form = window.Form();
    // The suite runs once more in a German locale, where the window must speak German.
    if (std::getenv("BULKON_EXPECT_GERMAN") != nullptr) {
        ASSERT_TRUE(IsGermanUser()) << "the system does not report a German user";
    }
    const InterfaceTexts& texts = TextsFor(IsGermanUser());
    wchar_t caption[256] = {};
    GetWindowTextW(form.Form1, caption, 256);
    EXPECT_EQ(FromWide(caption), texts.Caption);
    for (int column = 0; column < 4; ++column) {
        wchar_t header[64] = {};
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = header;
        info.cchTextMax = 64;
        ASSERT_TRUE(ListView_GetColumn(form.ListView, column, &info));
        EXPECT_EQ(FromWide(header), texts.Columns[column]);
    }
    wchar_t item[64] = {};
    GetMenuStringW(form.PopupMenu, 0, item, 64, MF_BYPOSITION);
    EXPECT_EQ(FromWide(item), texts.LocateMenu);
    GetMenuStringW(form.PopupMenu, 1, item, 64, MF_BYPOSITION);
    EXPECT_EQ(FromWide(item), texts.DeleteMenu);
    EXPECT_EQ(window.StatusLine(), std::string(texts.CreditLine));
}

} // namespace

namespace {

TEST(WindowLayout, MovingToAMonitorOfAnotherDpiScalesTheDesignSizes) {
    windriver::OleScope ole;
    Window window;
    TForm1& form = window.Form();
    const int before = form.Dpi();
    const int after = before * 3 / 2;
    const int column0 = ListView_GetColumnWidth(form.ListView, 0);
    RECT frame{};
    GetWindowRect(form.Form1, &frame);
    // The system suggests where the window goes on the new monitor; it takes the suggestion.
    RECT suggested{frame.left + 10, frame.top + 10, frame.left + 10 + 900, frame.top + 10 + 700};
    SendMessageW(form.Form1, WM_DPICHANGED, MAKEWPARAM(after, after),
                 reinterpret_cast<LPARAM>(&suggested));

    EXPECT_EQ(form.Dpi(), after);
    RECT moved{};
    GetWindowRect(form.Form1, &moved);
    EXPECT_EQ(moved.right - moved.left, 900);
    EXPECT_EQ(moved.bottom - moved.top, 700);
    RECT panel{};
    GetClientRect(form.TopPanel, &panel);
    EXPECT_EQ(panel.bottom, MulDiv(40, after, 96));
    int edges[3] = {};
    SendMessageW(form.StatusBar2, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], MulDiv(250, after, 96));
    EXPECT_EQ(edges[1], MulDiv(500, after, 96));
    EXPECT_EQ(ListView_GetColumnWidth(form.ListView, 0), MulDiv(column0, after, before));
}

} // namespace
