#include "cli/CommandLine.h"

#include "platform/fs/Paths.h"
#include "scan/InterfaceTexts.h"
#include "tests/scan/RecordingWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string CurrentFolder() {
    return AbsolutePath(".");
}

TEST(CommandLine, NoArgumentsOpenTheWindowOnTheSystemDrive) {
    const CommandLine command = ParseCommandLine({});
    EXPECT_EQ(command.Mode, CommandMode::Window);
    EXPECT_TRUE(command.Folder.empty());
}

TEST(CommandLine, FolderIsTakenAsAFullPathForTheWindowAndTheList) {
    const std::string here = CurrentFolder();
    ASSERT_FALSE(here.empty());
    EXPECT_TRUE(std::filesystem::path(here).is_absolute()) << here;

    const CommandLine window = ParseCommandLine({"."});
    EXPECT_EQ(window.Mode, CommandMode::Window);
    EXPECT_EQ(window.Folder, here);

    const CommandLine list = ParseCommandLine({"--list", "--json", "."});
    EXPECT_EQ(list.Mode, CommandMode::List);
    EXPECT_TRUE(list.Json);
    EXPECT_EQ(list.Folder, here);

    // Options and the folder in any order; "--" lets a folder's name start with "-".
    const CommandLine reordered = ParseCommandLine({".", "--list"});
    EXPECT_EQ(reordered.Mode, CommandMode::List);
    EXPECT_FALSE(reordered.Json);
    const CommandLine dashed = ParseCommandLine({"--list", "--", "--json"});
    EXPECT_EQ(dashed.Mode, CommandMode::Invalid);
    EXPECT_NE(dashed.Error.find("no such folder: '--json'"), std::string::npos) << dashed.Error;
}

TEST(CommandLine, RefusesWhatItCannotFollowAndSaysWhy) {
    TempTree tree;
    ASSERT_TRUE(tree.File("file.txt", 10));
    const std::string file = tree.Path("file.txt").string();
    const std::string missing = tree.Path("missing").string();

    const struct {
        std::vector<std::string> Arguments;
        std::string Says;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x", "."}, "unknown option '-x'"},
        {{".", ".."}, "one folder at most"},
        {{"--json", "."}, "--json goes with --list"},
        {{"--list"}, "--list needs a folder"},
        {{"--list", "--json"}, "--list needs a folder"},
        {{missing}, "no such folder: '" + missing + "'"},
        {{"--list", missing}, "no such folder"},
        {{"--list", file}, "not a folder"},
        {{""}, "empty"},
    };
    for (const auto& each : cases) {
        const CommandLine command = ParseCommandLine(each.Arguments);
        EXPECT_EQ(command.Mode, CommandMode::Invalid) << each.Says;
        EXPECT_NE(command.Error.find(each.Says), std::string::npos)
            << "expected '" << each.Says << "' in '" << command.Error << "'";
    }
}

TEST(CommandLine, WindowProgramSaysWhatIsWrongInBothLanguages) {
    TempTree tree;
    ASSERT_TRUE(tree.File("dropped.txt", 10));
    const std::string file = tree.Path("dropped.txt").string();
    const std::string missing = tree.Path("gone").string();

    const struct {
        std::vector<std::string> Arguments;
        CommandProblem Problem;
        std::string English;
        std::string German;
    } cases[] = {
        {{missing},
         CommandProblem::NoSuchFolder,
         "The folder \"" + missing + "\" does not exist.",
         "Den Ordner \"" + missing + "\" gibt es nicht."},
        {{file},
         CommandProblem::NotAFolder,
         "\"" + file + "\" is a file, not a folder.",
         "\"" + file + "\" ist eine Datei, kein Ordner."},
        {{"--bogus"},
         CommandProblem::UnknownOption,
         "The option \"--bogus\" is unknown.",
         "Die Option \"--bogus\" ist unbekannt."},
        {{".", ".."},
         CommandProblem::TwoFolders,
         "not \".\" and \"..\".",
         "nicht \".\" und \"..\"."},
        {{"--json", "."},
         CommandProblem::ListUsage,
         "bulkon --list [--json] FOLDER",
         "bulkon --list [--json] ORDNER"},
        {{""},
         CommandProblem::EmptyFolderName,
         "The folder's name is empty.",
         "Der Name des Ordners ist leer."},
    };
    for (const auto& each : cases) {
        const CommandLine command = ParseCommandLine(each.Arguments);
        ASSERT_EQ(command.Mode, CommandMode::Invalid) << each.English;
        EXPECT_EQ(command.Problem, each.Problem) << each.English;
        const std::string english = ArgumentErrorMessage(command, EnglishTexts());
        const std::string german = ArgumentErrorMessage(command, GermanTexts());
        EXPECT_EQ(english.rfind("Bulkon cannot follow its command line.\n\n", 0), 0U) << english;
        EXPECT_NE(english.find(each.English), std::string::npos) << english;
        EXPECT_NE(english.find("with none to scan the system drive"), std::string::npos);
        EXPECT_EQ(german.rfind("Bulkon kann seiner Befehlszeile nicht folgen.\n\n", 0), 0U);
        EXPECT_NE(german.find(each.German), std::string::npos) << german;
        EXPECT_EQ(german.find("%"), std::string::npos) << german;
    }
}

TEST(CommandLine, HelpWinsOverEverythingThenVersion) {
    EXPECT_EQ(ParseCommandLine({"--help"}).Mode, CommandMode::Help);
    EXPECT_EQ(ParseCommandLine({"-h"}).Mode, CommandMode::Help);
    EXPECT_EQ(ParseCommandLine({"--bogus", "--list", "--version", "--help"}).Mode,
              CommandMode::Help);
    EXPECT_EQ(ParseCommandLine({"--version", "bulkon-no-such-folder"}).Mode, CommandMode::Version);
    // After "--" it is a folder's name, not a request.
    EXPECT_EQ(ParseCommandLine({"--", "--help"}).Mode, CommandMode::Invalid);

    EXPECT_NE(UsageText().find("bulkon --list [--json] FOLDER"), std::string::npos);
    EXPECT_EQ(VersionText().rfind("bulkon ", 0), 0u);
    EXPECT_EQ(VersionText().back(), '\n');
}

} // namespace
