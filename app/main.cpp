// The program: the usage, the list without a window and the other answers on the command line
// need no toolkit, so this program loads none. For the window it becomes the window program,
// in the same process and with the same arguments; the Qt libraries are loaded only then.
#include "StartCommand.h"
#include "cli/CommandLine.h"
#include "platform/fs/Paths.h"
#include "platform/fs/ProcessImage.h"
#include "scan/InterfaceTexts.h"
#include "scan/TextFormat.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const CommandLine command =
        ParseCommandLine(std::vector<std::string>(argc > 0 ? argv + 1 : argv, argv + argc));
    if (const std::optional<int> status = RunCommandWithoutWindow(command)) {
        return *status;
    }
    // Beside this program in the build tree; installed, in the folder for programs that other
    // programs start, found from this program's folder so that a package installed under
    // another prefix finds its own. Never from the current folder: without a folder of its
    // own, the program goes where it is installed by default.
    const std::string self = ProgramPath();
    const std::string::size_type slash = self.find_last_of('/');
    std::string program = BULKON_WINDOW_PROGRAM_INSTALLED;
    if (slash != std::string::npos) {
        const std::string folder = self.substr(0, slash + 1);
        // Returns only when there is none.
        RunInPlaceOfThisProcess(folder + "bulkon-window", argv);
        program = folder + BULKON_WINDOW_PROGRAM_FROM_HERE;
    }
    const std::string reason = RunInPlaceOfThisProcess(program, argv);
    const bool german = IsGermanUser();
    const std::string message =
        FormatText(TextsFor(german).NoWindowProgram, {program, reason}, LocaleFormat{});
    std::fwrite(message.data(), 1, message.size(), stderr);
    return 1;
}
