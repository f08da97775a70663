#include "CommandLine.h"

#include "BulkonVersionText.h"
#include "platform/fs/Paths.h"
#include "platform/fs/Volume.h"
#include "scan/InterfaceTexts.h"

namespace {

CommandLine Invalid(std::string error, CommandProblem problem, std::string first = {},
                    std::string second = {}) {
    CommandLine command;
    command.Mode = CommandMode::Invalid;
    command.Error = std::move(error);
    command.Problem = problem;
    command.Subjects[0] = std::move(first);
    command.Subjects[1] = std::move(second);
    return command;
}

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument.front() == '-';
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    // A request for help is answered whatever else the line holds, so that a user who got
    // the options wrong can always ask.
    bool version = false;
    for (const std::string& argument : arguments) {
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h") {
            CommandLine command;
            command.Mode = CommandMode::Help;
            return command;
        }
        version = version || argument == "--version";
    }
    if (version) {
        CommandLine command;
        command.Mode = CommandMode::Version;
        return command;
    }

    bool list = false;
    bool json = false;
    std::vector<std::string> folders;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || !IsOption(argument)) {
            folders.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--list") {
            list = true;
        } else if (argument == "--json") {
            json = true;
        } else {
            return Invalid("unknown option '" + argument + "'", CommandProblem::UnknownOption,
                           argument);
        }
    }

    if (folders.size() > 1) {
        return Invalid("one folder at most, not '" + folders[0] + "' and '" + folders[1] + "'",
                       CommandProblem::TwoFolders, folders[0], folders[1]);
    }
    if (json && !list) {
        return Invalid("--json goes with --list: bulkon --list --json FOLDER",
                       CommandProblem::ListUsage);
    }
    if (list && folders.empty()) {
        return Invalid("--list needs a folder: bulkon --list FOLDER", CommandProblem::ListUsage);
    }

    CommandLine command;
    command.Mode = list ? CommandMode::List : CommandMode::Window;
    command.Json = json;
    if (!folders.empty()) {
        if (folders[0].empty()) {
            return Invalid("the folder's name is empty", CommandProblem::EmptyFolderName);
        }
        command.Folder = AbsolutePath(folders[0]);
        if (!FolderExists(command.Folder)) {
            if (FileExists(command.Folder)) {
                return Invalid("not a folder: '" + folders[0] + "'", CommandProblem::NotAFolder,
                               folders[0]);
            }
            return Invalid("no such folder: '" + folders[0] + "'", CommandProblem::NoSuchFolder,
                           folders[0]);
        }
    }
    return command;
}

std::string ArgumentErrorMessage(const CommandLine& command, const InterfaceTexts& texts) {
    std::string_view reason = texts.ArgumentListUsage;
    switch (command.Problem) {
    case CommandProblem::UnknownOption:
        reason = texts.ArgumentUnknownOption;
        break;
    case CommandProblem::TwoFolders:
        reason = texts.ArgumentTwoFolders;
        break;
    case CommandProblem::EmptyFolderName:
        reason = texts.ArgumentEmptyFolder;
        break;
    case CommandProblem::NotAFolder:
        reason = texts.ArgumentNotAFolder;
        break;
    case CommandProblem::NoSuchFolder:
        reason = texts.ArgumentNoSuchFolder;
        break;
    case CommandProblem::ListUsage:
    case CommandProblem::None:
        break;
    }
    return FillIn(texts.ArgumentsNotFollowed,
                  FillIn(reason, command.Subjects[0], command.Subjects[1]));
}

std::string UsageText() {
    return "Usage: bulkon [FOLDER]\n"
           "       bulkon --list [--json] FOLDER\n"
           "Shows the 100 largest files under FOLDER, largest first.\n"
           "\n"
           "  FOLDER          open the window and scan FOLDER at start\n"
           "                  (without it, the whole system drive)\n"
           "  --list FOLDER   no window: print one line per file, the size in bytes,\n"
           "                  the local date and time and the full path, separated by tabs\n"
           "  --json          with --list: one JSON document with the totals and the list\n"
           "  --help          print this help and exit\n"
           "  --version       print the version and exit\n"
           "\n"
           "Ctrl+C stops a --list scan and prints the files found so far.\n"
           "Exit status: 0 the scan ran to its end; 1 the folder could not be read;\n"
           "2 wrong arguments; 130 stopped by Ctrl+C.\n";
}

std::string VersionText() {
    return std::string("bulkon ") + BULKON_VERSION_TEXT + "\n";
}
