#include "ConsoleCommand.h"

#include "CommandLine.h"
#include "InterruptStop.h"
#include "ListOutput.h"
#include "ListWindow.h"
#include "ProgressLine.h"

#include "platform/fs/Terminal.h"
#include "scan/IconLookup.h"
#include "scan/ScanEngine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>

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

// Names the folders that were left out, so that an incomplete list is not taken for a
// complete one.
void ReportSkippedFolders(const ListWindow& window, FolderSkip reason, const char* oneFolder,
                          const char* manyFolders) {
    std::size_t count = 0;
    for (const ListWindow::SkippedFolder& folder : window.SkippedFolders()) {
        count += folder.Reason == reason ? 1 : 0;
    }
    if (count == 0) {
        return;
    }
    std::string text =
        "bulkon: " + std::to_string(count) + " " + (count == 1 ? oneFolder : manyFolders) + ":\n";
    for (const ListWindow::SkippedFolder& folder : window.SkippedFolders()) {
        if (folder.Reason == reason) {
            text += "  " + folder.Path + "\n";
        }
    }
    WriteAll(stderr, text);
}

int RunList(const CommandLine& command) {
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
            WriteAll(stdout, command.Json ? ListJson(engine, window) : ListText(engine.List()));
            WriteAll(stderr, "\nbulkon: stopped while a folder did not answer; the list holds the "
                             "largest of the " +
                                 std::to_string(engine.State().FileCount) +
                                 " files counted until then.\n");
            std::_Exit(ExitInterrupted);
        });
        engine.StartScan(command.Folder);
    }

    const ScanState& state = engine.State();
    // A root that could not be opened gives no result at all, which is not an empty list.
    if (state.RootUnreadable) {
        WriteAll(stderr, "bulkon: cannot read the folder '" + state.ScanRoot + "'\n");
        return ExitUnreadable;
    }

    const std::string list = command.Json ? ListJson(engine, window) : ListText(engine.List());
    if (!WriteAll(stdout, list)) {
        const std::string reason = std::strerror(errno);
        WriteAll(stderr, "bulkon: cannot write the list: " + reason + "\n");
        return ExitUnreadable;
    }
    ReportSkippedFolders(window, FolderSkip::Unreadable, "folder could not be read",
                         "folders could not be read");
    ReportSkippedFolders(window, FolderSkip::OtherDrive, "folder on another drive was not entered",
                         "folders on other drives were not entered");
    ReportSkippedFolders(window, FolderSkip::NoAnswer, "folder did not answer",
                         "folders did not answer");
    if (!window.Completed()) {
        WriteAll(stderr, "bulkon: stopped; the list holds the largest of the " +
                             std::to_string(state.FileCount) + " files counted until then.\n");
        return ExitInterrupted;
    }
    return ExitCompleted;
}

} // namespace

int RunConsoleCommand(const CommandLine& command) {
    switch (command.Mode) {
    case CommandMode::Help:
        return WriteAll(stdout, UsageText()) ? ExitCompleted : ExitUnreadable;
    case CommandMode::Version:
        return WriteAll(stdout, VersionText()) ? ExitCompleted : ExitUnreadable;
    case CommandMode::List:
        try {
            return RunList(command);
        } catch (const std::exception& error) {
            // Out of memory, or a failure of the system the walk cannot go round: said
            // plainly instead of an abort.
            WriteAll(stderr, std::string("bulkon: the scan failed: ") + error.what() + "\n");
            return ExitUnreadable;
        }
    case CommandMode::Invalid:
    case CommandMode::Window:
        break;
    }
    const std::string error =
        command.Mode == CommandMode::Invalid ? command.Error : "the window cannot be opened here";
    WriteAll(stderr, "bulkon: " + error + "\nTry 'bulkon --help' for more information.\n");
    return ExitWrongUsage;
}
