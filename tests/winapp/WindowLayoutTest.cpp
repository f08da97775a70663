// The native window's controls, their names, texts and places.

#include "WindowDriver.h"

#include "scan/InterfaceTexts.h"
#include "tests/win32/WinFixture.h"
#include "window/PaneSplit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
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

// The button's glyph and the busy clip in the sizes a window at `dpi` draws.
void ExpectPicturesFor(TForm1& form, int dpi) {
    const int percent = PictureScalePercent(dpi);
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    EXPECT_EQ(form.ButtonGlyphPixels(), 24 * percent / 100);
    RECT clip{};
    GetClientRect(form.Animate, &clip);
    EXPECT_EQ(clip.right, 16 * percent / 100);
    EXPECT_EQ(clip.bottom, 16 * percent / 100);
}

TEST(WindowLayout, GlyphsAndTheBusyClipComeInTheMonitorsSize) {
    windriver::OleScope ole;
    Window window;
    TForm1& form = window.Form();
    ExpectPicturesFor(form, form.Dpi());
    // A running clip goes on at its new size.
    form.StartBusyAnimation();
    for (const int dpi : {192, 144, 120, 96, 192}) {
        RECT frame{};
        GetWindowRect(form.Form1, &frame);
        SendMessageW(form.Form1, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&frame));
        ExpectPicturesFor(form, dpi);
        EXPECT_TRUE(IsWindowVisible(form.Animate));
    }
    form.StopBusyAnimation();
}

TEST(WindowLayout, ShrinkingSharesTheLossAndTheListKeepsItsRows) {
    windriver::OleScope ole;
    Window window;
    TForm1& form = window.Form();
    auto height = [](HWND control) {
        RECT bounds{};
        GetWindowRect(control, &bounds);
        return static_cast<int>(bounds.bottom - bounds.top);
    };
    RECT frame{};
    GetWindowRect(form.Form1, &frame);
    const int list = height(form.ListView);
    const int report = height(form.WebBrowser);
    ASSERT_GT(report, 0);

    // 200 pixels less: the list and the report view give in proportion.
    SetWindowPos(form.Form1, nullptr, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top - 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(height(form.ListView) + height(form.WebBrowser), list + report - 200);
    EXPECT_NEAR(height(form.WebBrowser), report - 200 * report / (list + report), 1);

    // As small as the window goes: the header and three rows stay in view.
    SetWindowPos(form.Form1, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_GE(ListView_GetCountPerPage(form.ListView), MinimumListRows);

    // Back to the first size: both as they were.
    SetWindowPos(form.Form1, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(height(form.ListView), list);
    EXPECT_EQ(height(form.WebBrowser), report);
}

// Pumps the window's messages until `done` or `seconds` have passed.
bool PumpUntil(Window& window, const std::function<bool()>& done, int seconds) {
    for (int wait = 0; wait < seconds * 50; ++wait) {
        window.Pump();
        if (done()) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

// The middle of a cell of the list, in screen coordinates.
POINT CellCentre(HWND list, int row, int column) {
    RECT cell{};
    ListView_GetSubItemRect(list, row, column, LVIR_LABEL, &cell);
    POINT point{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &point);
    return point;
}

TEST(WindowLayout, CutNamesAndFoldersShowTheirWholeTextInATip) {
    windriver::OleScope ole;
    winfixture::TempTree tree;
    const std::wstring longName =
        L"a name much longer than its column, so that the list cuts it short.bin";
    const std::wstring folder =
        tree / L"a folder whose name alone is wider than the folder column of the list, "
               L"and then some more to be sure of it";
    winfixture::MakeFolder(folder);
    winfixture::MakeFile(folder + L"\\" + longName, 2000);
    winfixture::MakeFile(tree / L"short.bin", 1000);
    Window window;
    TForm1& form = window.Form();
    form.StartScan(FromWide(tree.Path()));
    ASSERT_EQ(window.ItemCount(), 2);
    ASSERT_EQ(window.ItemText(0, 0), FromWide(longName));
    SetForegroundWindow(form.Form1);

    const struct {
        int Row;
        int Column;
        std::wstring Tip;
    } cells[] = {{0, 0, longName}, {0, 1, folder}, {1, 0, L""}, {0, 2, L""}};
    for (const auto& cell : cells) {
        SCOPED_TRACE("row " + std::to_string(cell.Row) + ", column " + std::to_string(cell.Column));
        const POINT point = CellCentre(form.ListView, cell.Row, cell.Column);
        SetCursorPos(point.x, point.y);
        // What the system sends when the pointer comes there and rests: sent here as well,
        // since a virtual screen's pointer need not follow SetCursorPos at once.
        POINT inList = point;
        ScreenToClient(form.ListView, &inList);
        PostMessageW(form.ListView, WM_MOUSEMOVE, 0, MAKELPARAM(inList.x, inList.y));
        PostMessageW(form.ListView, WM_MOUSEHOVER, 0, MAKELPARAM(inList.x, inList.y));
        if (cell.Tip.empty()) {
            // Time enough for a tip to appear; none may.
            PumpUntil(
                window, [&] { return false; }, 2);
            EXPECT_EQ(form.CellTipText(), L"");
            continue;
        }
        EXPECT_TRUE(PumpUntil(
            window, [&] { return !form.CellTipText().empty(); }, 5))
            << "no tip appeared";
        EXPECT_EQ(form.CellTipText(), cell.Tip);
        wchar_t shown[512] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = form.ListView;
        tool.uId = 1;
        tool.lpszText = shown;
        SendMessageW(form.CellTip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(shown), cell.Tip);
        if (const char* picture = std::getenv("BULKON_TIP_SCREENSHOT");
            picture != nullptr && cell.Column == 1) {
            window.SavePicture(picture);
        }
    }
}

} // namespace
