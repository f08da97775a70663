#pragma once

#include <string>
#include <string_view>

// Every text of the interface in one language, UTF-8. Line breaks inside a text are a single
// carriage return; "&" marks a menu accelerator.
struct InterfaceTexts {
    // Set when the window is created.
    std::string_view Caption;
    std::string_view Headline;
    std::string_view Columns[4];
    std::string_view LocateMenu;
    std::string_view DeleteMenu;
    // Chosen when they are shown.
    std::string_view IdleButton;
    std::string_view StopButton;
    std::string_view BrowseButton;
    std::string_view SizeSuffix;
    std::string_view Panel0;
    std::string_view Panel1;
    std::string_view Panel2;
    std::string_view Summary;
    // Under the summary when the walk left drives out: one drive, several ("%d").
    std::string_view SkippedMountOne;
    std::string_view SkippedMountsMany;
    std::string_view TemplateResource;
    std::string_view CreditLine;
    // Messages. "%1" and "%2" stand for what FillIn puts in.
    std::string_view UnexpectedError;
    std::string_view DeleteTitle;
    std::string_view DeleteQuestion;   // %1: the path
    std::string_view DeleteIsFolder;   // %1: the path
    std::string_view DeleteFailed;     // %1: the path, %2: the system's message
    std::string_view ReportNotCreated; // %1: the temporary folder
    std::string_view ReportNotOpened;  // %1: the report file
    std::string_view ReportNotWritten; // %1: the report file
    std::string_view ReportNotClosed;  // %1: the report file
    std::string_view PageNotShown;     // %1: the report file
    // The end of a scan whose root could not be opened or read ("%s" the root).
    std::string_view RootUnreadable;
    // The end of a scan whose root's file system did not answer ("%s" the root).
    std::string_view RootUnanswered;
    // The end of a scan whose root is a kernel pseudo file system ("%s" the root).
    std::string_view RootOnPseudoFileSystem;
    // Under the summary sentence when folders were skipped: one, and "%d" of them.
    std::string_view OneFolderUnreadable;
    std::string_view FoldersUnreadable;
    // Under the summary sentence when folders were left out because their file system did
    // not answer: one, and "%d" of them.
    std::string_view OneFolderUnanswered;
    std::string_view FoldersUnanswered;
    std::string_view RevealFailed; // %1: the folder
    // Printed when the program is started without a display, or its display cannot be
    // opened.
    std::string_view NoDisplay;
    // Printed when the window program, installed with this one, cannot be started ("%s" its
    // path, then the system's reason).
    std::string_view NoWindowProgram;

    // The status line after a stopped scan ("%1": the files counted), and while deletes have
    // left the list shorter than it should be ("%1": the files listed).
    std::string_view ScanStopped;
    std::string_view ListShort;
    // Between the thousands of a count in those lines ("12,345").
    std::string_view CountGroupSeparator;
    // Windows: the messages of paths beyond MAX_PATH and of system failures.
    std::string_view OpenPathTooLong;   // %1: the file
    std::string_view DeletePathTooLong; // %1: the file
    std::string_view WindowNotCreated;  // %1: the system's message
    // The window program's box for a command line it cannot follow (%1: what is wrong, one
    // of the texts after it).
    std::string_view ArgumentsNotFollowed;
    std::string_view ArgumentUnknownOption; // %1: the option
    std::string_view ArgumentTwoFolders;    // %1, %2: the first two folders
    std::string_view ArgumentListUsage;
    std::string_view ArgumentEmptyFolder;
    std::string_view ArgumentNotAFolder;   // %1: the name given
    std::string_view ArgumentNoSuchFolder; // %1: the name given
};

const InterfaceTexts& EnglishTexts();
const InterfaceTexts& GermanTexts();
inline const InterfaceTexts& TextsFor(bool german) {
    return german ? GermanTexts() : EnglishTexts();
}

// `text` with "%1" replaced by `first` and "%2" by `second`, each wherever it stands; the
// inserted texts are not searched again.
std::string FillIn(std::string_view text, std::string_view first, std::string_view second = {});

// `text` (UTF-8) when it has at most `maxCharacters` characters; else its beginning and its
// end with "..." between them, `maxCharacters` characters in all, so that a long path in a
// message keeps its drive and its file name. Never cuts a character in two.
std::string ShortenedInMiddle(std::string_view text, std::size_t maxCharacters);

// True when the user's language is German; asked anew at every call.
bool IsGermanUser();

// The publisher's web site; the logo opens it and the report page's pictures live under it.
inline constexpr std::string_view PublisherSiteUrl = "https://www.vantrel.example/";
