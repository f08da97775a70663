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
    // Under the summary sentence when folders were skipped: one, and "%d" of them.
    std::string_view OneFolderUnreadable;
    std::string_view FoldersUnreadable;
    // Under the summary sentence when folders were left out because their file system did
    // not answer: one, and "%d" of them.
    std::string_view OneFolderUnanswered;
    std::string_view FoldersUnanswered;
    std::string_view RevealFailed; // %1: the folder
    // Printed when the program is started without a display.
    std::string_view NoDisplay;
};

const InterfaceTexts& EnglishTexts();
const InterfaceTexts& GermanTexts();
inline const InterfaceTexts& TextsFor(bool german) {
    return german ? GermanTexts() : EnglishTexts();
}

// `text` with "%1" replaced by `first` and "%2" by `second`, each wherever it stands; the
// inserted texts are not searched again.
std::string FillIn(std::string_view text, std::string_view first, std::string_view second = {});

// True when the user's language is German; asked anew at every call.
bool IsGermanUser();

// The publisher's web site; the logo opens it and the report page's pictures live under it.
inline constexpr std::string_view PublisherSiteUrl = "https://www.vantrel.example/";
