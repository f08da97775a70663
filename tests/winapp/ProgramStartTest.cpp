// The program as a user starts it: bulkon.exe itself, in a process of its own.

#include "platform/win32/WideText.h"
#include "scan/InterfaceTexts.h"
#include "tests/win32/WinFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// bulkon.exe in the build tree, found from this test program's own place.
std::wstring ProgramFile() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L'\\') + 1);
    for (const char c : std::string(BULKON_PROGRAM_FROM_TESTS)) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    }
    return path;
}

struct FoundBox {
    DWORD Process = 0;
    HWND Box = nullptr;
};

// The message box of the process `process`, or null while it has none.
HWND MessageBoxOf(DWORD process) {
    FoundBox found{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<FoundBox*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (owner == search->Process && std::wstring(name) == L"#32770" &&
                IsWindowVisible(window)) {
                search->Box = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.Box;
}

TEST(ProgramStart, WithoutAConsoleAMissingFolderIsSaidInAMessageBox) {
    winfixture::TempTree tree;
    const std::wstring missing = tree / L"no such folder";
    std::wstring command = L"\"" + ProgramFile() + L"\" \"" + missing + L"\"";
    // As after a double-click: no console, and no output handles handed down.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                               nullptr, nullptr, &startup, &process))
        << "cannot start " << FromWide(ProgramFile());
    HWND box = nullptr;
    for (int wait = 0; wait < 300 && box == nullptr; ++wait) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
            break;
        }
        box = MessageBoxOf(process.dwProcessId);
    }
    std::wstring text(2048, L'\0');
    if (box != nullptr) {
        text.resize(static_cast<std::size_t>(GetDlgItemTextW(box, 0xFFFF, text.data(), 2048)));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    const bool ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
    }
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    ASSERT_NE(box, nullptr) << "no message box was shown";
    // The suite runs once more in a German locale, where the box must speak German.
    if (std::getenv("BULKON_EXPECT_GERMAN") != nullptr) {
        ASSERT_TRUE(IsGermanUser()) << "the system does not report a German user";
    }
    const InterfaceTexts& texts = TextsFor(IsGermanUser());
    EXPECT_EQ(FromWide(text), FillIn(texts.ArgumentsNotFollowed,
                                     FillIn(texts.ArgumentNoSuchFolder, FromWide(missing))));
    EXPECT_TRUE(ended);
    EXPECT_EQ(status, 2u);
}

} // namespace
