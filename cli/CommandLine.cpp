#include "CommandLine.h"

#include "CommandTexts.h"

#include "platform/fs/Paths.h"
#include "platform/fs/RootCheck.h"
#include "scan/TextFormat.h"

namespace {

CommandLine Invalid(std::string error) {
    CommandLine command;
    command.Mode = CommandMode::Invalid;
    command.Error = std::move(error);
    return command;
}

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && argument.front() == '-';
}

// Why the folder `given`, found at `folder`, cannot be scanned; empty when it can, or when
// only the scan can tell (a folder that is there but cannot be read gives no result, which
// the scan reports with its own exit status).
std::string WhyNotScanned(const std::string& given, const std::string& folder, bool german) {
    const CommandTexts& texts = CommandTextsFor(german);
    switch (CheckScanRoot(folder)) {
    case RootCheck::Missing:
        return FillIn(texts.NoSuchFolder, given);
    case RootCheck::NotAFolder:
        return FillIn(texts.NotAFolder, given);
    case RootCheck::Removed:
        return FillIn(texts.FolderDeleted, given);
    case RootCheck::PseudoFileSystem:
        return FormatText(TextsFor(german).RootOnPseudoFileSystem, {folder}, LocaleFormat{});
    case RootCheck::Unreadable:
    case RootCheck::Readable:
        break;
    }
    return {};
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
            return Invalid(FillIn(texts.UnknownOption, argument));
        }
    }

    if (folders.size() > 1) {
        return Invalid(FillIn(texts.OneFolderAtMost, folders[0], folders[1]));
    }
    if (json && !list) {
        return Invalid(std::string(texts.JsonNeedsList));
    }
    if (nulEnded && !list) {
        return Invalid(std::string(texts.NullNeedsList));
    }
    if (json && nulEnded) {
        return Invalid(std::string(texts.JsonOrNull));
    }
    if (list && folders.empty()) {
        return Invalid(std::string(texts.ListNeedsFolder));
    }

    CommandLine command;
    command.Mode = list ? CommandMode::List : CommandMode::Window;
    command.Form = json ? ListForm::Json : nulEnded ? ListForm::NulEnded : ListForm::Text;
    if (!folders.empty()) {
        if (folders[0].empty()) {
            return Invalid(std::string(texts.EmptyFolderName));
        }
        command.Folder = AbsolutePath(folders[0]);
        const std::string why = WhyNotScanned(folders[0], command.Folder, german);
        if (!why.empty()) {
            return Invalid(why);
        }
    }
    return command;
}

std::string UsageText(bool german) {
    return std::string(CommandTextsFor(german).Usage);
}

std::string VersionText() {
    return std::string("bulkon ") + BULKON_VERSION + "\n";
}
