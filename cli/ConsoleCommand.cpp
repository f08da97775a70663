#include "ConsoleCommand.h"

#include "CommandLine.h"
#include "CommandTexts.h"
#include "InterruptStop.h"
#include "JsonText.h"
#include "ListOutput.h"
#include "ListWindow.h"
#include "ProgressLine.h"

#include "platform/fs/Terminal.h"
#include "scan/IconLookup.h"
#include "scan/InterfaceTexts.h"
#include "scan/ScanEngine.h"
#include "scan/Totals.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace {

// A list on a terminal or in a file shows no icons; the desktop's catalogue is not read.
class NoIcons final : public IconLookup {
public:
    int SmallIconIndex(const std::string&) override { return -1; }
};

bool WriteAll(std::FILE* stream, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
           std::fflush(stream) == 0;
}

// A message on the error stream, after the program's name. Control characters in it (from
// a path) are escaped as in the list: a name must not reach the terminal as a command.
void Say(const std::string& message) {
    WriteAll(stderr, "bulkon: " + EscapedMessageText(message) + "\n");
}

// Writes `text` to the standard output; a failure (a full disk, a closed output) is said on
// the error stream instead of passing for success.
bool WriteOutput(const std::string& text, std::string_view failure) {
    if (WriteAll(stdout, text)) {
        return true;
    }
    const std::string reason = std::strerror(errno);
    Say(FillIn(failure, reason));
    return false;
}

// Names the folders that were left out, so that an incomplete list is not taken for a
// complete one.
void ReportSkippedFolders(const ListWindow& window, FolderSkip reason, std::string_view oneFolder,
                          std::string_view manyFolders) {
    std::size_t count = 0;
    for (const ListWindow::SkippedFolder& folder : window.SkippedFolders()) {
        count += folder.Reason == reason ? 1 : 0;
    }
    if (count == 0) {
        return;
    }
    std::string text =
        "bulkon: " +
        (count == 1 ? std::string(oneFolder) : FillIn(manyFolders, std::to_string(count))) + "\n";
    for (const ListWindow::SkippedFolder& folder : window.SkippedFolders()) {
        if (folder.Reason == reason) {
            text += "  " + EscapedMessageText(folder.Path) + "\n";
        }
    }
    WriteAll(stderr, text);
}

std::string ListInForm(ListForm form, const ScanEngine& engine, const ListWindow& window) {
    switch (form) {
    case ListForm::Json:
        return ListJson(engine, window);
    case ListForm::NulEnded:
        return ListNulEnded(engine.List());
    case ListForm::Text:
        break;
    }
    return ListText(engine.List());
}

int RunList(const CommandLine& command, bool german) {
    const CommandTexts& texts = CommandTextsFor(german);
    ListWindow window;
    NoIcons icons;
    ScanEngine engine(window, icons);
    engine.SetLocaleFormat(ListLocaleFormat());
    std::optional<ProgressLine> progress;
    if (ErrorStreamIsTerminal()) {
        progress.emplace(stderr, ErrorStreamColumns());
        window.ShowProgress(*progress, engine.State());
    }
    {
        InterruptStop interrupt([&] {
            // The scan's thread is stuck in a call that does not return: the list found so
            // far is printed from here, and the process ends without waiting for that call.
            window.HoldListForGood();
            WriteAll(stdout, ListInForm(command.Form, engine, window));
            WriteAll(stderr, "\n");
            Say(FillIn(texts.StoppedWhileUnanswered, std::to_string(engine.State().FileCount)));
            std::_Exit(ExitInterrupted);
        });
        engine.StartScan(command.Folder);
    }

    const ScanState& state = engine.State();
    // A root that could not be read gives no result at all, which is not an empty list.
    const std::string noResult = MakeNoResultText(state, german, engine.Locale());
    if (!noResult.empty()) {
        Say(noResult);
        return state.RootOnPseudoFileSystem ? ExitWrongUsage : ExitUnreadable;
    }

    if (!WriteOutput(ListInForm(command.Form, engine, window), texts.CannotWriteList)) {
        return ExitUnreadable;
    }
    ReportSkippedFolders(window, FolderSkip::Unreadable, texts.OneFolderUnreadable,
                         texts.FoldersUnreadable);
    ReportSkippedFolders(window, FolderSkip::OtherDrive, texts.OneOtherDrive, texts.OtherDrives);
    ReportSkippedFolders(window, FolderSkip::NoAnswer, texts.OneFolderUnanswered,
                         texts.FoldersUnanswered);
    if (!window.Completed()) {
        Say(FillIn(texts.Stopped, std::to_string(state.FileCount)));
        return ExitInterrupted;
    }
    return ExitCompleted;
}

} // namespace

int RunConsoleCommand(const CommandLine& command, bool german) {
    const CommandTexts& texts = CommandTextsFor(german);
    switch (command.Mode) {
    case CommandMode::Help:
        return WriteOutput(UsageText(german), texts.CannotWrite) ? ExitCompleted : ExitUnreadable;
    case CommandMode::Version:
        return WriteOutput(VersionText(), texts.CannotWrite) ? ExitCompleted : ExitUnreadable;
    case CommandMode::List:
        try {
            return RunList(command, german);
        } catch (const std::exception& error) {
            // Out of memory, or a failure of the system the walk cannot go round: said
            // plainly instead of an abort.
            Say(FillIn(texts.ScanFailed, error.what()));
            return ExitUnreadable;
        }
    case CommandMode::Invalid:
    case CommandMode::Window:
        break;
    }
    Say(command.Mode == CommandMode::Invalid ? command.Error : std::string(texts.NoWindowHere));
    WriteAll(stderr, std::string(texts.TryHelp) + "\n");
    return ExitWrongUsage;
}
