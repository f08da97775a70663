#pragma once

#include <string_view>

// Every text the command line prints, in one language, UTF-8. "%1" and "%2" stand for what
// FillIn puts in. The messages follow "bulkon: " on the error stream. The list itself (its
// lines, its JSON) is the same in every language; the sentences that end a scan without a
// result come from the window's own table (InterfaceTexts).
struct CommandTexts {
    std::string_view Usage; // what --help prints, lines ending in "\n"
    std::string_view TryHelp;
    std::string_view UnknownOption;   // %1: the option
    std::string_view OneFolderAtMost; // %1, %2: the first two folders
    std::string_view JsonNeedsList;
    std::string_view NullNeedsList;
    std::string_view JsonOrNull;
    std::string_view ListNeedsFolder;
    std::string_view EmptyFolderName;
    std::string_view NoSuchFolder;  // %1: the folder as given
    std::string_view NotAFolder;    // %1: the folder as given
    std::string_view FolderDeleted; // %1: the folder as given
    std::string_view NoWindowHere;
    std::string_view CannotWrite;     // %1: the system's reason
    std::string_view CannotWriteList; // %1: the system's reason
    std::string_view OneFolderUnreadable;
    std::string_view FoldersUnreadable; // %1: how many
    std::string_view OneOtherDrive;
    std::string_view OtherDrives; // %1: how many
    std::string_view OneFolderUnanswered;
    std::string_view FoldersUnanswered; // %1: how many
    std::string_view Stopped;           // %1: the files counted
    // A stop while the scan's thread waits for a folder that does not answer (%1: the files
    // counted).
    std::string_view StoppedWhileUnanswered;
    std::string_view ScanFailed; // %1: the reason
};

const CommandTexts& EnglishCommandTexts();
const CommandTexts& GermanCommandTexts();
inline const CommandTexts& CommandTextsFor(bool german) {
    return german ? GermanCommandTexts() : EnglishCommandTexts();
}
