#pragma once

#include <string>

// The Windows shell's services for the window's commands, free of any toolkit: the Qt shell
// layer on Windows forwards to these. Paths are UTF-8; `owner` is the owning window's HWND
// (or null), passed as void* so that callers need not include the Windows headers.

// The index of the small icon that the shell shows for the file at `path`, in the system's
// small-icon list; -1 when the shell cannot say.
int ShellSmallIconIndex(const std::string& path);

// True when the shell's calls can reach `path`: it is shorter than MAX_PATH characters, or
// its volume gives it a short (8.3) form that is. Open, reveal and delete take such a form
// for a long path; without one they fail, and the caller says why.
bool ShellCanReach(const std::string& path);

// The system's small-icon list (an HIMAGELIST), shared with the shell and owned by it;
// null when the shell does not give it.
void* SystemSmallImageList();

// Opens a file with its associated program, or a web address in the browser ("open", shown
// normally). True on success; false when the shell reports 32 or less.
bool ShellOpen(void* owner, const std::string& fileOrUrl);

// The three ways of showing a file's location, each true on success. `location` is the
// path cut after its last separator, keeping it ("C:\Data\"); `fileName` follows it.
// Stage 1: Explorer on the location with the file selected.
bool ShellRevealSelectFile(const std::string& location, const std::string& fileName);
// Stage 2: the location opened with the shell's "explore" verb.
bool ShellExploreFolder(void* owner, const std::string& location);
// Stage 3: Explorer started with the location as its argument.
bool ShellStartFileManager(void* owner, const std::string& location);

// Where stage 1 points Explorer: `folder`, the folder it starts in (with its trailing
// backslash), and `name`, the file's name in it; both as given while together shorter than
// MAX_PATH, else in their short (8.3) forms. False when the file is out of the shell's
// reach (see ShellCanReach).
bool RevealSelectTarget(const std::string& location, const std::string& fileName,
                        std::wstring& folder, std::wstring& name);

// The parameters that stage 1 passes to Explorer: "/select, " and the file name. A name
// with a comma is quoted, as Explorer would otherwise cut its argument there.
std::string RevealSelectParameters(const std::string& fileName);

// How ShellDeleteFileForGood asks before it deletes.
enum class DeleteConfirmation {
    AskUser, // the shell's confirmation: what the program does
    DontAsk, // no question and no warning at all: only for automated tests
};

// Deletes the file at `path` for good (no recycle bin) through the shell, which asks the
// user to confirm and shows its own progress and error messages. True only when the shell
// reports success, nothing was aborted (the user did not decline) and the file is gone.
// A folder at `path` is left alone (false), whatever is in it.
bool ShellDeleteFileForGood(void* owner, const std::string& path,
                            DeleteConfirmation confirmation = DeleteConfirmation::AskUser);

// The shell's folder picker, modal to `owner`: file-system folders only, no title, starting
// at the desktop. The chosen folder's path, or an empty string when the user cancels or
// the chosen item has no file-system path.
std::string ShellBrowseForFolder(void* owner);

// The default sound.
void ShellBeep();
