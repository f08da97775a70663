// The list's commands in the native window.

#include "WindowDriver.h"

#include "platform/win32/SystemMessage.h"
#include "tests/win32/WinFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using windriver::Window;
using winfixture::MakeFile;
using winfixture::MakeFolder;
using winfixture::TempTree;

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int RowOf(Window& window, const std::string& caption) {
    for (int row = 0; row < window.ItemCount(); ++row) {
        if (window.ItemText(row, 0) == caption) {
            return row;
        }
    }
    return -1;
}

TEST(WindowCommands, DeleteRemovesTheSelectedFileAndItsRowAndNothingElse) {
    windriver::OleScope ole;
    TempTree tree;
    MakeFile(tree / L"big.bin", 300000);
    MakeFile(tree / L"doomed \u00E4.bin", 200000);
    MakeFile(tree / L"doomed \u00E4.bin.keep", 100000);
    MakeFile(tree / L"small.bin", 10);

    Window window;
    window.Form().StartScan(FromWide(tree.Path()));
    ASSERT_EQ(window.ItemCount(), 4);
    const int doomed = RowOf(window, "doomed \xC3\xA4.bin");
    ASSERT_EQ(doomed, 1);

    // Without a selection the command does nothing.
    window.Form().Shell().SetDeleteConfirmation(DeleteConfirmation::DontAsk);
    window.Form().DeletePopupmenuClick();
    EXPECT_EQ(window.ItemCount(), 4);

    window.Select(doomed);
    ASSERT_EQ(window.Form().SelectedRow(), doomed);
    window.Form().DeletePopupmenuClick();
    window.Pump();

    EXPECT_TRUE(window.Errors.empty());
    EXPECT_FALSE(Exists(tree / L"doomed \u00E4.bin"));
    EXPECT_TRUE(Exists(tree / L"doomed \u00E4.bin.keep"));
    EXPECT_TRUE(Exists(tree / L"big.bin"));
    EXPECT_TRUE(Exists(tree / L"small.bin"));
    ASSERT_EQ(window.ItemCount(), 3);
    EXPECT_EQ(window.ItemText(0, 0), "big.bin");
    EXPECT_EQ(window.ItemText(1, 0), "doomed \xC3\xA4.bin.keep");
    EXPECT_EQ(window.ItemText(2, 0), "small.bin");
    // The totals still count the deleted file until the next scan.
    EXPECT_EQ(window.Form().Engine().State().FileCount, 4u);
}

// The Delete key is the window's: it runs the delete command on the selected row instead of
// reaching the list.
TEST(WindowCommands, DeleteKeyDeletesTheSelectedFile) {
    windriver::OleScope ole;
    TempTree tree;
    MakeFile(tree / L"big.bin", 300000);
    MakeFile(tree / L"doomed.bin", 200000);

    Window window;
    window.Form().StartScan(FromWide(tree.Path()));
    ASSERT_EQ(window.ItemCount(), 2);
    window.Form().Shell().SetDeleteConfirmation(DeleteConfirmation::DontAsk);
    window.Select(1);
    PostMessageW(window.Form().ListView, WM_KEYDOWN, VK_DELETE, 0);
    window.Pump();

    EXPECT_TRUE(window.Errors.empty());
    EXPECT_FALSE(Exists(tree / L"doomed.bin"));
    EXPECT_TRUE(Exists(tree / L"big.bin"));
    ASSERT_EQ(window.ItemCount(), 1);
    EXPECT_EQ(window.ItemText(0, 0), "big.bin");
}

TEST(WindowCommands, ClickShowsTheEntrysFolderInTheStatusLine) {
    windriver::OleScope ole;
    TempTree tree;
    winfixture::MakeFolder(tree / L"sub");
    MakeFile(tree / L"sub\\a.bin", 5000);

    Window window;
    const std::string root = FromWide(tree.Path());
    window.Form().StartScan(root);
    ASSERT_EQ(window.ItemCount(), 1);
    window.Select(0);
    NMITEMACTIVATE click{};
    click.hdr.hwndFrom = window.Form().ListView;
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window.Form().ListView));
    click.hdr.code = NM_CLICK;
    click.iItem = 0;
    SendMessageW(window.Form().Form1, WM_NOTIFY, click.hdr.idFrom,
                 reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(window.StatusLine(), root + "\\sub");
}

// A new scan starts with nothing selected and the keys at the list, its first row focused;
// the status line follows the selection however it changes; the list's keys act only while
// the list has the focus; the window lies within the screen's free area.
TEST(WindowCommands, SelectionFocusAndTheListsKeysAsAUserMeetsThem) {
    windriver::OleScope ole;
    TempTree tree;
    winfixture::MakeFolder(tree / L"sub");
    MakeFile(tree / L"big.bin", 300000);
    MakeFile(tree / L"sub\\small.bin", 5000);

    Window window;
    const std::string root = FromWide(tree.Path());
    window.Form().StartScan(root);
    ASSERT_EQ(window.ItemCount(), 2);
    window.Select(1);
    window.Form().StartScan(root);
    window.Pump();
    ASSERT_EQ(window.ItemCount(), 2);
    HWND list = window.Form().ListView;
    EXPECT_EQ(window.Form().SelectedRow(), -1) << "the selection carried into the next scan";
    EXPECT_EQ(GetFocus(), list);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 0);

    // Selecting by the keyboard's way (no click) shows the file's folder.
    window.Select(1);
    window.Pump();
    EXPECT_EQ(window.StatusLine(), root + "\\sub");
    window.Select(0);
    window.Pump();
    EXPECT_EQ(window.StatusLine(), root);

    // Elsewhere Delete is not the list's: the file stays.
    window.Form().Shell().SetDeleteConfirmation(DeleteConfirmation::DontAsk);
    SetFocus(window.Form().StatusBar);
    EXPECT_FALSE(window.Form().ListHasFocus());
    EXPECT_FALSE(window.Form().Logic().FormKeyDown(VK_DELETE));
    EXPECT_TRUE(Exists(tree / L"big.bin"));
    SetFocus(list);
    EXPECT_TRUE(window.Form().Logic().FormKeyDown(VK_DELETE));
    EXPECT_FALSE(Exists(tree / L"big.bin"));

    RECT frame{};
    RECT free{};
    GetWindowRect(window.Form().Form1, &frame);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &free, 0));
    EXPECT_GE(frame.left, free.left);
    EXPECT_GE(frame.top, free.top);
    EXPECT_LE(frame.right, free.right);
    EXPECT_LE(frame.bottom, free.bottom);
}

TEST(WindowCommands, AFileGoneFromALongPathIsSaidNotSilentlyPassedOver) {
    windriver::OleScope ole;
    TempTree tree;
    std::wstring folder = tree.Path();
    for (int level = 0; level < 2; ++level) {
        folder += L"\\" + std::wstring(200, static_cast<wchar_t>(L'p' + level));
        MakeFolder(L"\\\\?\\" + folder);
    }
    const std::string gone = FromWide(folder + L"\\gone.bin");
    Window window;
    Win32ShellServices& shell = window.Form().Shell();
    shell.SetDeleteConfirmation(DeleteConfirmation::DontAsk);

    // Opening a file that has gone is a failure like any other (the window beeps).
    bool opened = true;
    shell.OpenFile(gone, [&](bool succeeded) { opened = succeeded; });
    EXPECT_FALSE(opened);
    EXPECT_TRUE(window.Errors.empty());
    // Deleting says why, with the file's path cut in the middle.
    EXPECT_FALSE(shell.DeleteFileForGood(gone));
    ASSERT_EQ(window.Errors.size(), 1u);
    const std::string& message = window.Errors[0];
    EXPECT_NE(message.find(SystemMessage(ERROR_FILE_NOT_FOUND)), std::string::npos) << message;
    EXPECT_NE(message.find("ppp...qqq"), std::string::npos) << message;
    EXPECT_NE(message.find("\\gone.bin"), std::string::npos) << message;
    EXPECT_LT(message.size(), 600u);
}

} // namespace
