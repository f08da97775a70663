#pragma once

#include "scan/InterfaceTexts.h"

#include <string>
#include <vector>

// What the program's arguments ask for.
enum class CommandMode {
    Window,  // open the window and scan Folder at start (the system drive when it is empty)
    List,    // print the largest files under Folder, without a window
    Help,    // print the usage
    Version, // print the program's name and version
    Invalid, // the arguments cannot be followed; Error says why
};

// What makes arguments impossible to follow, for the window program's message box, which
// says it in whole sentences. None where the console's sentence (Error) says it best.
enum class CommandProblem {
    None,
    UnknownOption,   // Subjects[0]: the option
    TwoFolders,      // Subjects[0], [1]: the first two folders
    ListUsage,       // --json or --null without --list, or --list without a folder
    EmptyFolderName, //
    NotAFolder,      // Subjects[0]: the name as given
    NoSuchFolder,    // Subjects[0]: the name as given
};

// How the list without a window is written.
enum class ListForm {
    Text,     // one line per file, the path's control characters and stray bytes escaped
    NulEnded, // one record per file ended by NUL, the path as its bytes (for xargs -0)
    Json,     // one JSON document
};

// The program's arguments, read. Filled by ParseCommandLine.
struct CommandLine {
    CommandMode Mode = CommandMode::Window;
    // The folder to scan as a full path (see AbsolutePath); empty when none was given.
    std::string Folder;
    // With List: how the list is written.
    ListForm Form = ListForm::Text;
    // With Invalid: one sentence for the user, in the user's language, without the
    // program's name.
    std::string Error;
    CommandProblem Problem = CommandProblem::None;
    std::string Subjects[2];
};

// Reads the program's arguments, without the program's own name: `[FOLDER]`,
// `--list [--json | --null | -0] FOLDER`, `--help`, `--version`; `--` ends the options.
// --help wins over everything else, then --version. An unknown option, a second folder,
// --json or --null without --list or together, --list without a folder, a folder that does
// not exist, is not a folder, was deleted, or is a kernel pseudo file system give Invalid,
// with the reason in German when `german`. A folder that exists but cannot be read is the
// scan's to report. No arguments at all give Window with no folder. Reads the file system
// only to find the current folder and to look at the folder.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments,
                             bool german = IsGermanUser());

// The window program's message for arguments it cannot follow (Mode Invalid), in the
// language of `texts`: the reason, and how the program is started.
std::string ArgumentErrorMessage(const CommandLine& command, const InterfaceTexts& texts);

// The text --help prints, lines ending in "\n", in German when `german`.
std::string UsageText(bool german = IsGermanUser());

// The text --version prints: "bulkon " and the version, then "\n".
std::string VersionText();
