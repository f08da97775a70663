#include "CommandLine.h"

#include "BulkonVersionText.h"
#include "CommandTexts.h"

#include "platform/fs/AnswerWithin.h"
#include "platform/fs/Paths.h"
#include "platform/fs/RootCheck.h"
#include "scan/InterfaceTexts.h"
#include "scan/TextFormat.h"

#include <optional>

namespace {

CommandLine Invalid(std::string error, CommandProblem problem = CommandProblem::None,
                    std::string first = {}, std::string second = {}) {
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

// Refuses the folder `given`, found at `folder`, when it cannot be scanned; nullopt when it
// can, or when only the scan can tell (a folder that is there but cannot be read gives no
// result, which the scan reports with its own exit status; so does a folder whose file
// system does not answer, which is not waited for here beyond AnswerTimeLimit).
std::optional<CommandLine> RefuseFolder(const std::string& given, const std::string& folder,
                                        bool german) {
    const CommandTexts& texts = CommandTextsFor(german);
    // Nothing is running yet that a stop could end: Ctrl+C ends the process as it is.
    const Answer<RootCheck> check =
        AnswerWithin([folder] { return CheckScanRoot(folder); }, [] { return true; });
    if (check.End != AnswerEnd::Answered) {
        return std::nullopt;
    }
    switch (*check.Value) {
    case RootCheck::Missing:
        return Invalid(FillIn(texts.NoSuchFolder, given), CommandProblem::NoSuchFolder, given);
    case RootCheck::NotAFolder:
        return Invalid(FillIn(texts.NotAFolder, given), CommandProblem::NotAFolder, given);
    case RootCheck::Removed:
        return Invalid(FillIn(texts.FolderDeleted, given));
    case RootCheck::PseudoFileSystem:
        return Invalid(
            FormatText(TextsFor(german).RootOnPseudoFileSystem, {folder}, LocaleFormat{}));
    case RootCheck::Unreadable:
    case RootCheck::Readable:
        break;
    }
    return std::nullopt;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool german) {
    const CommandTexts& texts = CommandTextsFor(german);
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
    bool nulEnded = false;
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
        } else if (argument == "--null" || argument == "-0") {
            nulEnded = true;
        } else {
            return Invalid(FillIn(texts.UnknownOption, argument), CommandProblem::UnknownOption,
                           argument);
        }
    }

    if (folders.size() > 1) {
        return Invalid(FillIn(texts.OneFolderAtMost, folders[0], folders[1]),
                       CommandProblem::TwoFolders, folders[0], folders[1]);
    }
    if (json && !list) {
        return Invalid(std::string(texts.JsonNeedsList), CommandProblem::ListUsage);
    }
    if (nulEnded && !list) {
        return Invalid(std::string(texts.NullNeedsList), CommandProblem::ListUsage);
    }
    if (json && nulEnded) {
        return Invalid(std::string(texts.JsonOrNull));
    }
    if (list && folders.empty()) {
        return Invalid(std::string(texts.ListNeedsFolder), CommandProblem::ListUsage);
    }

    CommandLine command;
    command.Mode = list ? CommandMode::List : CommandMode::Window;
    command.Form = json ? ListForm::Json : nulEnded ? ListForm::NulEnded : ListForm::Text;
    if (!folders.empty()) {
        if (folders[0].empty()) {
            return Invalid(std::string(texts.EmptyFolderName), CommandProblem::EmptyFolderName);
        }
        command.Folder = AbsolutePath(folders[0]);
        if (std::optional<CommandLine> refused = RefuseFolder(folders[0], command.Folder, german)) {
            return *std::move(refused);
        }
    }
    return command;
}

std::string ArgumentErrorMessage(const CommandLine& command, const InterfaceTexts& texts) {
    std::string reason;
    switch (command.Problem) {
    case CommandProblem::UnknownOption:
        reason = FillIn(texts.ArgumentUnknownOption, command.Subjects[0]);
        break;
    case CommandProblem::TwoFolders:
        reason = FillIn(texts.ArgumentTwoFolders, command.Subjects[0], command.Subjects[1]);
        break;
    case CommandProblem::ListUsage:
        reason = std::string(texts.ArgumentListUsage);
        break;
    case CommandProblem::EmptyFolderName:
        reason = std::string(texts.ArgumentEmptyFolder);
        break;
    case CommandProblem::NotAFolder:
        reason = FillIn(texts.ArgumentNotAFolder, command.Subjects[0]);
        break;
    case CommandProblem::NoSuchFolder:
        reason = FillIn(texts.ArgumentNoSuchFolder, command.Subjects[0]);
        break;
    case CommandProblem::None:
        // The console's own sentence, already in the user's language.
        reason = command.Error;
        break;
    }
    return FillIn(texts.ArgumentsNotFollowed, reason);
}

std::string UsageText(bool german) {
    return std::string(CommandTextsFor(german).Usage);
}

std::string VersionText() {
    return std::string("bulkon ") + BULKON_VERSION_TEXT + "\n";
}
