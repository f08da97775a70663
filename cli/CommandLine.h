#pragma once

#include <string>
#include <vector>

struct InterfaceTexts;

// What the program's arguments ask for.
enum class CommandMode {
    Window,  // open the window and scan Folder at start (the system drive when it is empty)
    List,    // print the largest files under Folder, without a window
    Help,    // print the usage
    Version, // print the program's name and version
    Invalid, // the arguments cannot be followed; Error says why
};

// What makes arguments impossible to follow, for a message in the user's language.
enum class CommandProblem {
    None,
    UnknownOption,   // Subjects[0]: the option
    TwoFolders,      // Subjects[0], [1]: the first two folders
    ListUsage,       // --json without --list, or --list without a folder
    EmptyFolderName, //
    NotAFolder,      // Subjects[0]: the name as given
    NoSuchFolder,    // Subjects[0]: the name as given
};

// The program's arguments, read. Filled by ParseCommandLine.
struct CommandLine {
    CommandMode Mode = CommandMode::Window;
    // The folder to scan as a full path (see AbsolutePath); empty when none was given.
    std::string Folder;
    // With List: one JSON document instead of lines of text.
    bool Json = false;
    // With Invalid: one sentence for the user, without the program's name (English, for
    // the console), and what it is about.
    std::string Error;
    CommandProblem Problem = CommandProblem::None;
    std::string Subjects[2];
};

// Reads the program's arguments, without the program's own name: `[FOLDER]`,
// `--list [--json] FOLDER`, `--help`, `--version`; `--` ends the options. --help wins over
// everything else, then --version. An unknown option, a second folder, --json without
// --list, --list without a folder, or a folder that does not exist give Invalid. No
// arguments at all give Window with no folder. Reads the file system only to find the
// current folder and to check that the folder exists.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The window program's message for arguments it cannot follow (Mode Invalid), in the
// language of `texts`: the reason, and how the program is started.
std::string ArgumentErrorMessage(const CommandLine& command, const InterfaceTexts& texts);

// The text --help prints, lines ending in "\n".
std::string UsageText();

// The text --version prints: "bulkon " and the version, then "\n".
std::string VersionText();
