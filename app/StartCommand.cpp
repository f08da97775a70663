#include "StartCommand.h"

#include "cli/ConsoleCommand.h"
#include "scan/InterfaceTexts.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {
bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Without a display Qt's platform plugin aborts the program with a long, cryptic message;
// say instead how to run it.
bool DisplayAvailable() {
#ifdef BULKON_NEEDS_DISPLAY_VARIABLE
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
#else
    (void)IsSet;
    return true;
#endif
}
} // namespace

std::optional<int> RunCommandWithoutWindow(const CommandLine& command) {
    if (command.Mode != CommandMode::Window) {
        return RunConsoleCommand(command);
    }
    if (!DisplayAvailable()) {
        const std::string_view message = TextsFor(IsGermanUser()).NoDisplay;
        std::fwrite(message.data(), 1, message.size(), stderr);
        return 1;
    }
    return std::nullopt;
}
